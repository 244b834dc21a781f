#include "platform/VersionInfo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "support/PeBuilder.h"
#include "support/TempDir.h"

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

TEST(VersionInfo, ReadsTheFirstLanguagesFixedInfoOfPe32AndPe32PlusImagesInSmallPieces)
{
    for (bool pe32Plus : {false, true}) {
        SCOPED_TRACE(pe32Plus ? "PE32+" : "PE32");
        PeOptions options;
        options.pe32Plus = pe32Plus;
        options.dll = true;
        options.fileVersionMS = 0x000A0014;
        options.fileVersionLS = 0x001E0028;
        options.languages = 4;  // later languages have a higher fileVersionLS
        options.extraTypes = {3, 14, 24, 240};
        options.namedTypes = {u"MUI", u"TYPELIB"};
        options.trailingBytes = 4 << 20;
        const Image image = Build(options);
        CountingSource source(image);
        VS_FIXEDFILEINFO info;
        ASSERT_TRUE(HasVersion(source, &info));
        EXPECT_LE(source.m_nReads, 10u);  // a few small pieces of a large image
        EXPECT_LE(source.m_nLargest, 640u);
        EXPECT_LE(source.m_nBytes, 1024u);
        EXPECT_EQ(info.dwSignature, kFixedFileInfoSignature);
        EXPECT_EQ(info.dwStrucVersion, 0x00010000u);
        EXPECT_EQ(info.dwFileVersionMS, 0x000A0014u);
        EXPECT_EQ(info.dwFileVersionLS, 0x001E0028u);
        EXPECT_EQ(info.dwProductVersionLS, 0x001E0028u);
        EXPECT_EQ(info.dwFileType, 2u);

        options.withVersion = false;
        options.trailingBytes = 0;
        EXPECT_FALSE(HasVersion(Build(options)));
        options.extraTypes.clear();
        options.namedTypes.clear();
        EXPECT_FALSE(HasVersion(Build(options)));  // no resource section at all
    }
}

TEST(VersionInfo, AFileThatIsNotPeCostsOneReadOfItsDosHeader)
{
    Image image(4096, 'a');
    for (bool mz : {false, true}) {
        if (mz) {
            image[0] = 'M';
            image[1] = 'Z';
            PokeLe32(image, 0x3C, 0xFFFFFFF0u);  // e_lfanew past the end
        }
        CountingSource source(image);
        EXPECT_FALSE(HasVersion(source));
        EXPECT_EQ(source.m_nReads, 1u);
        EXPECT_EQ(source.m_nBytes, 64u);
    }
}

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

TEST(VersionInfo, TheSmallestAcceptedImageIsExactlyTheBound)
{
    PeOptions options;
    options.compact = true;
    const Image smallest = Build(options);
    ASSERT_EQ(smallest.size(), kMinVersionResourceFileSize);
    EXPECT_TRUE(HasVersion(smallest));

    const Image shorter(smallest.begin(), smallest.end() - 1);
    CountingSource source(shorter);
    EXPECT_FALSE(HasVersion(source));
    EXPECT_EQ(source.m_nReads, 0u);  // its size alone rules it out
    EXPECT_FALSE(HasVersion(CountingSource(shorter, kMinVersionResourceFileSize)));
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

// A store of `width` bits at a structure's offset plus `add`; `linkTo` adds
// that structure's offset from the resource root to the value, as a link in
// the tree holds it.
struct Poke {
    std::uint64_t PeLayout::*at;
    std::uint64_t add;
    int width;
    std::uint32_t value;
    std::uint64_t PeLayout::*linkTo = nullptr;
};

TEST(VersionInfo, HostileHeadersAndResourceTreesEndTheRead)
{
    using L = PeLayout;
    constexpr std::uint32_t kDir = 0x80000000u;
    const std::vector<std::pair<const char*, std::vector<Poke>>> corruptions = {
        {"no PE signature", {{&L::ntHeaders, 0, 16, 'P' | 'X' << 8}}},
        {"ROM magic", {{&L::optionalHeader, 0, 16, 0x107}}},
        {"no sections", {{&L::ntHeaders, 6, 16, 0}}},
        {"65535 sections", {{&L::ntHeaders, 6, 16, 0xFFFF}}},
        {"huge optional header", {{&L::ntHeaders, 20, 16, 0xFFFF}}},
        {"no resource directory", {{&L::resourceDirectory, 0, 32, 0}}},
        {"resource RVA in no section", {{&L::resourceDirectory, 0, 32, 0x7FFF0000u}}},
        {"section raw data far past the end", {{&L::resourceSectionHeader, 20, 32, 0xFFFFFFF0u}}},
        {"section raw data shorter than the tree", {{&L::resourceSectionHeader, 16, 32, 16}}},
        {"section at the top of the address space",
         {{&L::resourceSectionHeader, 8, 32, 0xFFFFFFFFu}, {&L::resourceSectionHeader, 12, 32, 0xFFFFFFF0u}}},
        {"a named type whose low bits are 16", {{&L::versionTypeEntry, 0, 32, kDir | 16}}},
        {"absurd counts and no version type",
         {{&L::versionTypeEntry, 0, 32, 17}, {&L::resourceRoot, 12, 32, 0xFFFFFFFFu}}},
        {"type entry that is not a directory", {{&L::versionTypeEntry, 4, 32, 0, &L::dataEntry}}},
        {"type entry pointing at the root", {{&L::versionTypeEntry, 4, 32, kDir}}},
        {"name directory pointing at itself", {{&L::nameDirectory, 20, 32, kDir, &L::nameDirectory}}},
        {"language directory pointing at itself",
         {{&L::languageDirectory, 20, 32, kDir, &L::languageDirectory}}},
        {"empty name directory", {{&L::nameDirectory, 14, 16, 0}}},
        {"name entry that is not a directory", {{&L::nameDirectory, 20, 32, 0x7FFFFFF0u}}},
        {"directory offset past the section", {{&L::nameDirectory, 20, 32, 0xFFFFFFF0u}}},
        {"data entry overlapping the language directory",
         {{&L::languageDirectory, 20, 32, 8, &L::languageDirectory}}},
        {"data RVA in no section", {{&L::dataEntry, 0, 32, 0x10}}},
        {"data size that wraps", {{&L::dataEntry, 4, 32, 0xFFFFFFFFu}}},
        {"data too small for the block", {{&L::dataEntry, 4, 32, 91}}},
        {"block length too small", {{&L::versionBlock, 0, 16, 91}}},
        {"value too short for the fixed info", {{&L::versionBlock, 2, 16, 51}}},
        {"wrong key", {{&L::versionBlock, 6 + 2 * 14, 16, 'X'}}},
        {"key without terminator", {{&L::versionBlock, 6 + 2 * 15, 16, 'X'}}},
        {"wrong signature", {{&L::fixedInfo, 0, 32, kFixedFileInfoSignature ^ 1}}},
    };
    for (bool pe32Plus : {false, true}) {
        PeOptions options;
        options.pe32Plus = pe32Plus;
        options.extraTypes = {3, 24};
        PeLayout layout;
        const Image image = Build(options, &layout);
        ASSERT_TRUE(HasVersion(image));
        for (const auto& [what, pokes] : corruptions) {
            Image bad = image;
            for (const Poke& poke : pokes) {
                const std::uint64_t at = layout.*poke.at + poke.add;
                std::uint32_t value = poke.value;
                if (poke.linkTo != nullptr)
                    value += static_cast<std::uint32_t>(layout.*poke.linkTo - layout.resourceRoot);
                poke.width == 16 ? PokeLe16(bad, at, value) : PokeLe32(bad, at, value);
            }
            CountingSource source(bad);
            EXPECT_FALSE(HasVersion(source)) << what << (pe32Plus ? " (PE32+)" : "");
            EXPECT_LE(source.m_nReads, 200u) << what;
        }
    }
}

class VersionInfoFile : public testing::Test {
protected:
    ~VersionInfoFile() override { close(m_nDirFd); }
    void Write(const char* name, const Image& bytes)
    {
        ASSERT_TRUE(PeBuilder::WriteFileAt(m_nDirFd, name, bytes)) << name;
    }

    TempDir m_dir;
    const int m_nDirFd = open(m_dir.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
};

// Only regular files are opened: a FIFO, a folder or a device fails at once.
TEST_F(VersionInfoFile, ReadsRegularFilesOnlyAndNeverBlocks)
{
    Write("app.exe", Build({}));
    Write("notes.txt", Image(2000, 'n'));
    Write("tiny.dll", Image(10, 'M'));
    ASSERT_EQ(symlinkat("app.exe", m_nDirFd, "link.exe"), 0);
    ASSERT_EQ(mkfifoat(m_nDirFd, "pipe.exe", 0644), 0);
    ASSERT_EQ(mkdirat(m_nDirFd, "folder.exe", 0755), 0);

    VS_FIXEDFILEINFO info;
    EXPECT_TRUE(ReadFileVersionAt(m_nDirFd, "app.exe", &info));
    EXPECT_EQ(info.dwFileVersionMS, 0x00010002u);
    EXPECT_TRUE(ReadRegularFileVersionAt(m_nDirFd, "app.exe", &info));
    EXPECT_TRUE(ReadFileVersionAt(AT_FDCWD, (m_dir / "app.exe").c_str(), &info));

    for (const char* name :
         {"notes.txt", "tiny.dll", "link.exe", "missing.exe", "pipe.exe", "folder.exe", "/dev/null"}) {
        for (auto* read : {&ReadFileVersionAt, &ReadRegularFileVersionAt}) {
            auto result = std::async(std::launch::async, [&, read] {
                VS_FIXEDFILEINFO junk = Junk();
                const bool ok = read(m_nDirFd, name, &junk);
                return std::pair{ok, IsZero(junk)};
            });
            if (result.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
                ADD_FAILURE() << name << " blocked";
                // A writer lets a reader blocked on the FIFO go.
                const int writer = openat(m_nDirFd, "pipe.exe", O_WRONLY | O_NONBLOCK);
                if (writer >= 0)
                    close(writer);
            }
            const auto [ok, zero] = result.get();
            EXPECT_FALSE(ok) << name;
            EXPECT_TRUE(zero) << name;
        }
    }
}

TEST_F(VersionInfoFile, ManyThreadsReadAtOnce)
{
    constexpr int kFiles = 8;
    auto name = [](int f) { return "f" + std::to_string(f) + ".dll"; };
    auto version = [](int f) { return static_cast<std::uint32_t>(f + 1) << 16; };
    for (int f = 0; f < kFiles; ++f) {
        PeOptions options;
        options.pe32Plus = f % 2 == 1;
        options.fileVersionMS = version(f);
        Write(name(f).c_str(), Build(options));
    }
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 400; ++i) {
                VS_FIXEDFILEINFO info;
                const int f = (i + t) % kFiles;
                if (!ReadFileVersionAt(m_nDirFd, name(f).c_str(), &info) || info.dwFileVersionMS != version(f))
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
    ASSERT_EQ(chmod(m_dir.Path().c_str(), 0755), 0);
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

}  // namespace
}  // namespace norvane
