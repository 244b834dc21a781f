#include "platform/VersionInfo.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "support/PeBuilder.h"

namespace norvane {
namespace {

using Image = std::vector<std::uint8_t>;

// Memory that counts the reads made of it, and may claim to be longer than
// it is (reads past its real end then fail, as on a file cut short).
class CountingSource : public ByteSource {
public:
    explicit CountingSource(const Image& bytes, std::uint64_t claimedSize = 0)
        : m_bytes(bytes), m_nClaimedSize(std::max<std::uint64_t>(claimedSize, bytes.size())) {}
    std::uint64_t Size() const override { return m_nClaimedSize; }
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const override
    {
        ++m_nReads;
        m_nBytes += length;
        m_nLargest = std::max<std::uint64_t>(m_nLargest, length);
        return MemoryByteSource(m_bytes.data(), m_bytes.size()).ReadAt(offset, buffer, length);
    }
    mutable std::uint64_t m_nReads = 0;
    mutable std::uint64_t m_nBytes = 0;
    mutable std::uint64_t m_nLargest = 0;

private:
    const Image& m_bytes;
    std::uint64_t m_nClaimedSize;
};

// A block full of junk, to see that a failed read clears it.
VS_FIXEDFILEINFO Junk()
{
    VS_FIXEDFILEINFO info;
    info.dwSignature = info.dwFileVersionMS = info.dwFileVersionLS = info.dwFileDateLS = 0xA5A5A5A5;
    return info;
}

bool IsZero(const VS_FIXEDFILEINFO& info)
{
    const VS_FIXEDFILEINFO zero;
    return std::memcmp(&info, &zero, sizeof(info)) == 0;
}

// The reader's answer, checked to be all zero whenever it is "no version".
bool HasVersion(const ByteSource& source, VS_FIXEDFILEINFO* info = nullptr)
{
    VS_FIXEDFILEINFO read = Junk();
    const bool ok = ReadFixedFileInfo(source, &read);
    EXPECT_TRUE(ok || IsZero(read));
    if (info != nullptr)
        *info = read;
    return ok;
}

bool HasVersion(const Image& image, VS_FIXEDFILEINFO* info = nullptr)
{
    return HasVersion(MemoryByteSource(image.data(), image.size()), info);
}

Image Build(PeOptions options, PeLayout* layout = nullptr)
{
    return PeBuilder(std::move(options)).Build(layout);
}

// ---------------------------------------------------------------- images

TEST(VersionInfo, ReadsTheFixedInfoOfPe32AndPe32PlusImages)
{
    for (bool pe32Plus : {false, true}) {
        for (bool dll : {false, true}) {
            SCOPED_TRACE(testing::Message() << "pe32Plus " << pe32Plus << " dll " << dll);
            PeOptions options;
            options.pe32Plus = pe32Plus;
            options.dll = dll;
            options.fileVersionMS = 0x000A0014;
            options.fileVersionLS = 0x001E0028;
            VS_FIXEDFILEINFO info;
            ASSERT_TRUE(HasVersion(Build(options), &info));
            EXPECT_EQ(info.dwSignature, kFixedFileInfoSignature);
            EXPECT_EQ(info.dwStrucVersion, 0x00010000u);
            EXPECT_EQ(info.dwFileVersionMS, 0x000A0014u);
            EXPECT_EQ(info.dwFileVersionLS, 0x001E0028u);
            EXPECT_EQ(info.dwProductVersionLS, 0x001E0028u);
            EXPECT_EQ(info.dwFileType, dll ? 2u : 1u);
        }
    }
}

TEST(VersionInfo, ImagesWithoutAVersionResourceHaveNone)
{
    for (bool pe32Plus : {false, true}) {
        PeOptions options;
        options.pe32Plus = pe32Plus;
        options.withVersion = false;
        EXPECT_FALSE(HasVersion(Build(options)));  // no resource section at all
        options.extraTypes = {3, 14, 24};
        options.namedTypes = {u"MUI"};
        EXPECT_FALSE(HasVersion(Build(options)));
    }
}

TEST(VersionInfo, TakesTheFirstLanguageAmongOtherTypes)
{
    PeOptions options;
    options.languages = 4;
    options.extraTypes = {3, 14, 24, 240};
    options.namedTypes = {u"MUI", u"TYPELIB"};
    for (bool pe32Plus : {false, true}) {
        options.pe32Plus = pe32Plus;
        VS_FIXEDFILEINFO info;
        ASSERT_TRUE(HasVersion(Build(options), &info));
        EXPECT_EQ(info.dwFileVersionLS, options.fileVersionLS);  // not a later language's
    }
}

TEST(VersionInfo, ANamedTypeIsNeverTheVersionType)
{
    // The version type's entry turned into a named one whose low bits are 16.
    PeOptions options;
    options.namedTypes = {u"X"};
    PeLayout layout;
    Image image = Build(options, &layout);
    ASSERT_TRUE(HasVersion(image));
    PokeLe32(image, layout.versionTypeEntry, 0x80000010u);
    EXPECT_FALSE(HasVersion(image));
}

// ---------------------------------------------------------------- reads

TEST(VersionInfo, AFileThatIsNotPeCostsOneReadOfItsDosHeader)
{
    Image text(4096, 'a');
    CountingSource source(text);
    EXPECT_FALSE(HasVersion(source));
    EXPECT_EQ(source.m_nReads, 1u);
    EXPECT_EQ(source.m_nBytes, 64u);

    Image mz(4096, 0);
    mz[0] = 'M';
    mz[1] = 'Z';
    PokeLe32(mz, 0x3C, 0xFFFFFFF0u);  // e_lfanew past the end
    CountingSource mzSource(mz);
    EXPECT_FALSE(HasVersion(mzSource));
    EXPECT_EQ(mzSource.m_nReads, 1u);

    Image small(kMinVersionResourceFileSize - 1, 0);
    CountingSource smallSource(small);
    EXPECT_FALSE(HasVersion(smallSource));
    EXPECT_EQ(smallSource.m_nReads, 0u);
}

TEST(VersionInfo, ReadsOnlySmallPiecesOfALargeImage)
{
    PeOptions options;
    options.trailingBytes = 4 << 20;
    options.extraTypes = {3, 24};
    const Image image = Build(options);
    CountingSource source(image);
    EXPECT_TRUE(HasVersion(source));
    EXPECT_LE(source.m_nReads, 10u);
    EXPECT_LE(source.m_nLargest, 640u);
    EXPECT_LE(source.m_nBytes, 1024u);
}

// ---------------------------------------------------------------- truncation

TEST(VersionInfo, AnImageCutAtAnyStructureBoundaryHasNoVersion)
{
    std::vector<PeOptions> shapes(5);
    shapes[1].pe32Plus = true;
    shapes[2].compact = true;
    shapes[3].compact = true;
    shapes[3].pe32Plus = true;
    shapes[4].languages = 3;
    shapes[4].extraTypes = {3, 24};
    shapes[4].namedTypes = {u"MUI"};
    for (std::size_t s = 0; s < shapes.size(); ++s) {
        PeLayout layout;
        const Image image = Build(shapes[s], &layout);
        const std::vector<std::uint64_t> cuts = layout.Boundaries();
        ASSERT_GE(cuts.size(), 18u);
        for (std::uint64_t cut : cuts) {
            SCOPED_TRACE(testing::Message() << "shape " << s << " cut at " << cut);
            const Image prefix(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(cut));
            EXPECT_FALSE(HasVersion(prefix));
            // The same bytes where the file claims its full size: the read
            // that reaches past the cut fails (the reader reads the version
            // block only up to the end of the fixed info).
            if (cut < layout.fixedInfo + 52) {
                EXPECT_FALSE(HasVersion(CountingSource(prefix, image.size())));
            }
        }
        const Image whole(image.begin(),
                          image.begin() + static_cast<std::ptrdiff_t>(layout.versionEnd));
        EXPECT_TRUE(HasVersion(whole)) << "shape " << s;
    }
}

// ---------------------------------------------------------------- size bound

TEST(VersionInfo, TheSmallestAcceptedImageIsExactlyTheBound)
{
    PeOptions options;
    options.compact = true;
    const Image smallest = Build(options);
    ASSERT_EQ(smallest.size(), kMinVersionResourceFileSize);
    EXPECT_TRUE(HasVersion(smallest));

    const Image shorter(smallest.begin(), smallest.end() - 1);
    EXPECT_FALSE(HasVersion(shorter));
    EXPECT_FALSE(HasVersion(CountingSource(shorter, kMinVersionResourceFileSize)));

    options.pe32Plus = true;
    EXPECT_EQ(Build(options).size(), kMinVersionResourceFileSize + 16);
    EXPECT_TRUE(HasVersion(Build(options)));
}

// Each rule behind the bound, broken in an image large enough to pass the
// size test, so that the rule itself must catch it.
TEST(VersionInfo, TheLayoutRulesBehindTheBoundHold)
{
    PeOptions options;
    options.compact = true;
    options.trailingBytes = 64;
    PeLayout layout;
    const Image image = Build(options, &layout);
    ASSERT_TRUE(HasVersion(image));

    // PE headers inside the DOS header, where e_lfanew doubles as a field
    // of the optional header (SectionAlignment): all moved 60 bytes down.
    Image overlapping(image.begin(), image.begin() + 4);
    overlapping.insert(overlapping.end(), image.begin() + 64, image.end());
    PokeLe32(overlapping, 0x3C, 4);
    PokeLe32(overlapping, layout.resourceSectionHeader - 60 + 20,
             static_cast<std::uint32_t>(layout.resourceRoot - 60));
    ASSERT_GE(overlapping.size(), kMinVersionResourceFileSize);
    EXPECT_FALSE(HasVersion(overlapping));

    // The resource tree inside the section table (a second header claimed).
    Image inTable = image;
    PokeLe16(inTable, layout.ntHeaders + 6, 2);
    EXPECT_FALSE(HasVersion(inTable));

    // Fewer than three data directories.
    Image fewDirectories = image;
    PokeLe32(fewDirectories, layout.optionalHeader + 92, 2);
    EXPECT_FALSE(HasVersion(fewDirectories));
    PokeLe32(fewDirectories, layout.optionalHeader + 92, 3);
    PokeLe16(fewDirectories, layout.ntHeaders + 20, 96 + 16);
    EXPECT_FALSE(HasVersion(fewDirectories));

    // The version data overlapping the tree: its RVA at the data entry.
    Image overlappingData = image;
    PokeLe32(overlappingData, layout.dataEntry,
             static_cast<std::uint32_t>(layout.resourceRva + (layout.dataEntry - layout.resourceRoot)));
    EXPECT_FALSE(HasVersion(overlappingData));
}

// ---------------------------------------------------------------- hostile values

struct Corruption {
    const char* what;
    std::function<void(Image&, const PeLayout&)> apply;
};

void ExpectEachRejected(const PeOptions& options, const std::vector<Corruption>& corruptions)
{
    PeLayout layout;
    const Image image = Build(options, &layout);
    ASSERT_TRUE(HasVersion(image));
    for (const Corruption& corruption : corruptions) {
        Image bad = image;
        corruption.apply(bad, layout);
        CountingSource source(bad);
        EXPECT_FALSE(HasVersion(source)) << corruption.what;
        EXPECT_LE(source.m_nReads, 200u) << corruption.what;
    }
}

TEST(VersionInfo, HostileHeadersEndTheRead)
{
    const std::vector<Corruption> corruptions = {
        {"e_lfanew past the end", [](Image& i, const PeLayout&) { PokeLe32(i, 0x3C, 0xFFFFFFF0u); }},
        {"e_lfanew at the last bytes",
         [](Image& i, const PeLayout&) { PokeLe32(i, 0x3C, static_cast<std::uint32_t>(i.size() - 2)); }},
        {"no PE signature", [](Image& i, const PeLayout& l) { i[l.ntHeaders + 1] = 'X'; }},
        {"ROM magic", [](Image& i, const PeLayout& l) { PokeLe16(i, l.optionalHeader, 0x107); }},
        {"no sections", [](Image& i, const PeLayout& l) { PokeLe16(i, l.ntHeaders + 6, 0); }},
        {"65535 sections", [](Image& i, const PeLayout& l) { PokeLe16(i, l.ntHeaders + 6, 0xFFFF); }},
        {"huge optional header",
         [](Image& i, const PeLayout& l) { PokeLe16(i, l.ntHeaders + 20, 0xFFFF); }},
        {"no resource directory",
         [](Image& i, const PeLayout& l) { PokeLe32(i, l.resourceDirectory, 0); }},
        {"resource RVA in no section",
         [](Image& i, const PeLayout& l) { PokeLe32(i, l.resourceDirectory, 0x7FFF0000u); }},
        {"resource RVA at the top",
         [](Image& i, const PeLayout& l) { PokeLe32(i, l.resourceDirectory, 0xFFFFFFFFu); }},
        {"section raw data far past the end",
         [](Image& i, const PeLayout& l) { PokeLe32(i, l.resourceSectionHeader + 20, 0xFFFFFFF0u); }},
        {"section raw data shorter than the tree",
         [](Image& i, const PeLayout& l) { PokeLe32(i, l.resourceSectionHeader + 16, 16); }},
        {"section at the top of the address space",
         [](Image& i, const PeLayout& l) {
             PokeLe32(i, l.resourceSectionHeader + 8, 0xFFFFFFFFu);
             PokeLe32(i, l.resourceSectionHeader + 12, 0xFFFFFFF0u);
         }},
    };
    for (bool pe32Plus : {false, true}) {
        PeOptions options;
        options.pe32Plus = pe32Plus;
        ExpectEachRejected(options, corruptions);
    }
}

TEST(VersionInfo, HostileResourceTreesEndTheRead)
{
    auto relative = [](const PeLayout& l, std::uint64_t fileOffset) {
        return static_cast<std::uint32_t>(fileOffset - l.resourceRoot);
    };
    const std::vector<Corruption> corruptions = {
        {"absurd counts and no version type",
         [](Image& i, const PeLayout& l) {
             PokeLe32(i, l.versionTypeEntry, 17);
             PokeLe16(i, l.resourceRoot + 12, 0xFFFF);
             PokeLe16(i, l.resourceRoot + 14, 0xFFFF);
         }},
        {"type entry that is not a directory",
         [relative](Image& i, const PeLayout& l) {
             PokeLe32(i, l.versionTypeEntry + 4, relative(l, l.dataEntry));
         }},
        {"type entry pointing at the root",
         [](Image& i, const PeLayout& l) { PokeLe32(i, l.versionTypeEntry + 4, 0x80000000u); }},
        {"name directory pointing at itself",
         [relative](Image& i, const PeLayout& l) {
             PokeLe32(i, l.nameDirectory + 20, 0x80000000u | relative(l, l.nameDirectory));
         }},
        {"language directory pointing at itself",
         [relative](Image& i, const PeLayout& l) {
             PokeLe32(i, l.languageDirectory + 20, 0x80000000u | relative(l, l.languageDirectory));
         }},
        {"empty name directory",
         [](Image& i, const PeLayout& l) { PokeLe16(i, l.nameDirectory + 14, 0); }},
        {"name entry that is not a directory",
         [](Image& i, const PeLayout& l) { PokeLe32(i, l.nameDirectory + 20, 0x7FFFFFF0u); }},
        {"directory offset past the section",
         [](Image& i, const PeLayout& l) { PokeLe32(i, l.nameDirectory + 20, 0xFFFFFFF0u); }},
        {"data entry in place of a directory",
         [relative](Image& i, const PeLayout& l) {
             PokeLe32(i, l.languageDirectory + 20, 0x80000000u | relative(l, l.dataEntry));
         }},
        {"data entry overlapping the language directory",
         [relative](Image& i, const PeLayout& l) {
             PokeLe32(i, l.languageDirectory + 20, relative(l, l.languageDirectory) + 8);
         }},
        {"data RVA in no section", [](Image& i, const PeLayout& l) { PokeLe32(i, l.dataEntry, 0x10); }},
        {"data RVA at the top", [](Image& i, const PeLayout& l) { PokeLe32(i, l.dataEntry, 0xFFFFFFFFu); }},
        {"data size that wraps",
         [](Image& i, const PeLayout& l) { PokeLe32(i, l.dataEntry + 4, 0xFFFFFFFFu); }},
        {"data too small for the block",
         [](Image& i, const PeLayout& l) { PokeLe32(i, l.dataEntry + 4, 91); }},
        {"block length too small", [](Image& i, const PeLayout& l) { PokeLe16(i, l.versionBlock, 91); }},
        {"value too short for the fixed info",
         [](Image& i, const PeLayout& l) { PokeLe16(i, l.versionBlock + 2, 51); }},
        {"wrong key", [](Image& i, const PeLayout& l) { i[l.versionBlock + 6 + 2 * 14] = 'X'; }},
        {"key without terminator",
         [](Image& i, const PeLayout& l) { i[l.versionBlock + 6 + 2 * 15] = 'X'; }},
        {"wrong signature", [](Image& i, const PeLayout& l) { i[l.fixedInfo] ^= 1; }},
    };
    for (bool pe32Plus : {false, true}) {
        PeOptions options;
        options.pe32Plus = pe32Plus;
        options.extraTypes = {3, 24};
        ExpectEachRejected(options, corruptions);
    }
}

// ---------------------------------------------------------------- files

class VersionInfoFile : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/norvane-version-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_strDir = pattern;
        m_nDirFd = open(pattern, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(m_nDirFd, 0);
    }
    void TearDown() override
    {
        if (m_nDirFd >= 0)
            close(m_nDirFd);
        const std::string command = "rm -rf '" + m_strDir + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
    }
    void Write(const char* name, const Image& bytes)
    {
        ASSERT_TRUE(PeBuilder::WriteFileAt(m_nDirFd, name, bytes)) << name;
    }

    std::string m_strDir;
    int m_nDirFd = -1;
};

TEST_F(VersionInfoFile, ReadsRegularFilesOnly)
{
    Write("app.exe", Build({}));
    Write("notes.txt", Image(2000, 'n'));
    Write("tiny.dll", Image(10, 'M'));
    ASSERT_EQ(symlinkat("app.exe", m_nDirFd, "link.exe"), 0);

    VS_FIXEDFILEINFO info;
    EXPECT_TRUE(ReadFileVersionAt(m_nDirFd, "app.exe", &info));
    EXPECT_EQ(info.dwFileVersionMS, 0x00010002u);
    EXPECT_TRUE(ReadRegularFileVersionAt(m_nDirFd, "app.exe", &info));
    EXPECT_TRUE(ReadFileVersionAt(AT_FDCWD, (m_strDir + "/app.exe").c_str(), &info));

    for (const char* name : {"notes.txt", "tiny.dll", "link.exe", "missing.exe"}) {
        info = Junk();
        EXPECT_FALSE(ReadFileVersionAt(m_nDirFd, name, &info)) << name;
        EXPECT_TRUE(IsZero(info)) << name;
        EXPECT_FALSE(ReadRegularFileVersionAt(m_nDirFd, name, &info)) << name;
        EXPECT_TRUE(IsZero(info)) << name;
    }
}

TEST_F(VersionInfoFile, SpecialFilesFailAtOnceWithoutBlocking)
{
    ASSERT_EQ(mkfifoat(m_nDirFd, "pipe.exe", 0644), 0);
    ASSERT_EQ(mkdirat(m_nDirFd, "folder.exe", 0755), 0);
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = m_strDir + "/socket.exe";
    ASSERT_LT(socketPath.size(), sizeof(address.sun_path));
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);

    const std::vector<std::pair<int, std::string>> entries = {
        {m_nDirFd, "pipe.exe"}, {m_nDirFd, "folder.exe"}, {m_nDirFd, "socket.exe"},
        {AT_FDCWD, "/dev/null"}, {AT_FDCWD, "/dev/zero"}};
    for (const auto& [dirFd, name] : entries) {
        for (auto* read : {&ReadFileVersionAt, &ReadRegularFileVersionAt}) {
            std::future<bool> result = std::async(std::launch::async, [&, read] {
                VS_FIXEDFILEINFO info;
                return read(dirFd, name.c_str(), &info);
            });
            if (result.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
                ADD_FAILURE() << name << " blocked";
                // A writer lets a reader blocked on the FIFO go.
                const int writer = openat(m_nDirFd, "pipe.exe", O_WRONLY | O_NONBLOCK);
                if (writer >= 0)
                    close(writer);
            }
            EXPECT_FALSE(result.get()) << name;
        }
    }
    close(sock);
}

TEST_F(VersionInfoFile, ManyThreadsReadAtOnce)
{
    constexpr int kFiles = 8;
    for (int f = 0; f < kFiles; ++f) {
        PeOptions options;
        options.pe32Plus = f % 2 == 1;
        options.fileVersionMS = static_cast<std::uint32_t>(f + 1) << 16;
        Write(("f" + std::to_string(f) + ".dll").c_str(), Build(options));
    }
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 400; ++i) {
                const int f = (i + t) % kFiles;
                VS_FIXEDFILEINFO info;
                const std::string name = "f" + std::to_string(f) + ".dll";
                if (!ReadFileVersionAt(m_nDirFd, name.c_str(), &info) ||
                    info.dwFileVersionMS != static_cast<std::uint32_t>(f + 1) << 16)
                    ++wrong;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

// A reader that does not own the file may not ask to keep its access time:
// the open is retried without O_NOATIME.
TEST_F(VersionInfoFile, ReadsFilesOfOtherOwners)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to make a file of another owner";
    Write("app.exe", Build({}));
    ASSERT_EQ(fchownat(m_nDirFd, "app.exe", 12345, 12345, 0), 0);
    ASSERT_EQ(chmod(m_strDir.c_str(), 0755), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        VS_FIXEDFILEINFO info;
        const bool ok = setgid(65534) == 0 && setuid(65534) == 0 &&
                        ReadFileVersionAt(m_nDirFd, "app.exe", &info) &&
                        info.dwFileVersionMS == 0x00010002u;
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// Writes the fuzzer's seed corpus; run once by hand with
//   NORVANE_SEED_DIR=tests/fuzz/seeds/FuzzVersionInfo norvane_unit_tests
//     --gtest_also_run_disabled_tests --gtest_filter='*WriteFuzzSeeds'
TEST(VersionInfoSeeds, DISABLED_WriteFuzzSeeds)
{
    const char* dir = std::getenv("NORVANE_SEED_DIR");
    ASSERT_NE(dir, nullptr);
    auto small = [](PeOptions options) {
        options.fileAlignment = 16;
        options.stubBytes = 0;
        return options;
    };
    PeOptions pe32Plus;
    pe32Plus.pe32Plus = true;
    PeOptions none;
    none.withVersion = false;
    none.extraTypes = {24};
    PeOptions many;
    many.languages = 2;
    many.extraTypes = {3, 24};
    many.namedTypes = {u"MUI"};
    PeOptions compact;
    compact.compact = true;
    const std::vector<std::pair<const char*, PeOptions>> seeds = {
        {"pe32", small({})}, {"pe32plus", small(pe32Plus)}, {"no-version", small(none)},
        {"languages-and-types", small(many)}, {"smallest", compact}};
    for (const auto& [name, options] : seeds) {
        const Image image = Build(options);
        EXPECT_EQ(HasVersion(image), options.withVersion) << name;
        ASSERT_TRUE(PeBuilder::WriteFile(std::string(dir) + "/" + name, image)) << name;
    }
}

}  // namespace
}  // namespace norvane
