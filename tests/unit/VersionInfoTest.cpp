#include "platform/VersionInfo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <future>
#include <vector>

#include "support/PeBuilder.h"
#include "support/TempDir.h"

namespace norvane {
namespace {

using Image = std::vector<std::uint8_t>;

// Memory that counts the reads made of it, and may claim to be longer than
// it is (reads past its real end then fail, as on a file cut short).
struct CountingSource : MemoryByteSource {
    explicit CountingSource(const Image& bytes, std::uint64_t claimedSize = 0)
        : MemoryByteSource(bytes.data(), bytes.size()),
          m_nClaimedSize(std::max<std::uint64_t>(claimedSize, bytes.size())) {}
    std::uint64_t Size() const override { return m_nClaimedSize; }
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const override {
        ++m_nReads;
        m_nBytes += length;
        return MemoryByteSource::ReadAt(offset, buffer, length);
    }
    std::uint64_t m_nClaimedSize;
    mutable std::uint64_t m_nReads = 0, m_nBytes = 0;
};

bool IsZero(const VS_FIXEDFILEINFO& info) {
    const VS_FIXEDFILEINFO zero;
    return std::memcmp(&info, &zero, sizeof(info)) == 0;
}

// The reader's answer, checked to be all zero whenever it is "no version".
bool HasVersion(const ByteSource& source, VS_FIXEDFILEINFO* info = nullptr) {
    VS_FIXEDFILEINFO read;
    read.dwSignature = read.dwFileVersionMS = read.dwFileDateLS = 0xA5A5A5A5;  // a failed read clears it
    const bool ok = ReadFixedFileInfo(source, &read);
    EXPECT_TRUE(ok || IsZero(read));
    if (info != nullptr) *info = read;
    return ok;
}

bool HasVersion(const Image& image) { return HasVersion(MemoryByteSource(image.data(), image.size())); }

// A copy of `image` with `value` stored in `width` bits at `at`.
Image Poked(Image image, std::uint64_t at, int width, std::uint32_t value) {
    width == 16 ? PokeLe16(image, at, value) : PokeLe32(image, at, value);
    return image;
}

// The first language's fixed info, read in a few small pieces of a large
// image; nothing from an image cut at any structure boundary, nor from one
// without a version resource.
TEST(VersionInfo, ReadsTheFirstLanguageInSmallPiecesAndNothingOfACutImage) {
    const PeOptions rich{.dll = true,
                         .fileVersionMS = 0x000A0014,
                         .fileVersionLS = 0x001E0028,
                         .languages = 4,
                         .extraTypes = {3, 14, 24, 240},
                         .namedTypes = {u"MUI", u"TYPELIB"},
                         .trailingBytes = 4 << 20};
    PeOptions richPlus = rich;
    richPlus.pe32Plus = true;
    const PeOptions compact{.compact = true}, compactPlus{.pe32Plus = true, .compact = true};
    for (const PeOptions& shape : {rich, richPlus, compact, compactPlus}) {
        SCOPED_TRACE(testing::Message() << (shape.pe32Plus ? "PE32+" : "PE32") << (shape.compact ? " compact" : ""));
        PeLayout layout;
        const Image image = PeBuilder(shape).Build(&layout);
        CountingSource source(image);
        VS_FIXEDFILEINFO info;
        ASSERT_TRUE(HasVersion(source, &info));
        EXPECT_LE(source.m_nReads, 10u);
        EXPECT_LE(source.m_nBytes, 1024u);
        EXPECT_EQ(info.dwFileVersionMS, shape.fileVersionMS);
        EXPECT_EQ(info.dwFileVersionLS, shape.fileVersionLS);  // later languages have higher ones
        EXPECT_EQ(info.dwFileType, shape.dll ? 2u : 1u);

        const std::vector<std::uint64_t> cuts = layout.Boundaries();
        ASSERT_GE(cuts.size(), 18u);
        for (std::uint64_t cut : cuts) {
            SCOPED_TRACE(testing::Message() << "cut at " << cut);
            const Image prefix(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(cut));
            EXPECT_FALSE(HasVersion(prefix));
            // The same bytes where the file claims its full size: the read
            // that reaches past the cut fails (the reader reads the version
            // block only up to the end of the fixed info).
            if (cut < layout.fixedInfo + 52) {
                EXPECT_FALSE(HasVersion(CountingSource(prefix, image.size())));
            }
        }
        const Image whole(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(layout.versionEnd));
        EXPECT_TRUE(HasVersion(whole));

        PeOptions none = shape;  // compact: no resource section at all
        none.withVersion = false;
        EXPECT_FALSE(HasVersion(PeBuilder(none).Build()));
    }
}

// The smallest image the reader accepts is exactly the bound, and each rule
// behind the bound, broken in an image large enough to pass the size test,
// is caught by the rule itself. What the size or the DOS header rules out
// costs no read or one.
TEST(VersionInfo, TheBoundAndTheLayoutRulesBehindItHold) {
    const PeOptions compact{.compact = true};
    const Image smallest = PeBuilder(compact).Build();
    ASSERT_EQ(smallest.size(), kMinVersionResourceFileSize);
    EXPECT_TRUE(HasVersion(smallest));
    const Image shorter(smallest.begin(), smallest.end() - 1);
    CountingSource source(shorter);
    EXPECT_FALSE(HasVersion(source));
    EXPECT_EQ(source.m_nReads, 0u);
    EXPECT_FALSE(HasVersion(CountingSource(shorter, kMinVersionResourceFileSize)));

    PeLayout layout;
    const Image image = PeBuilder({.trailingBytes = 64, .compact = true}).Build(&layout);
    ASSERT_TRUE(HasVersion(image));
    // PE headers inside the DOS header, where e_lfanew doubles as a field
    // of the optional header (SectionAlignment): all moved 60 bytes down.
    Image overlapping = image;
    overlapping.erase(overlapping.begin() + 4, overlapping.begin() + 64);
    PokeLe32(overlapping, 0x3C, 4);
    PokeLe32(overlapping, layout.resourceSectionHeader - 60 + 20, static_cast<std::uint32_t>(layout.resourceRoot - 60));
    ASSERT_GE(overlapping.size(), kMinVersionResourceFileSize);
    EXPECT_FALSE(HasVersion(overlapping));
    EXPECT_FALSE(HasVersion(Poked(image, layout.ntHeaders + 6, 16, 2)));         // the tree in a 2nd section header
    EXPECT_FALSE(HasVersion(Poked(image, layout.optionalHeader + 92, 32, 2)));   // two data directories
    EXPECT_FALSE(HasVersion(Poked(image, layout.ntHeaders + 20, 16, 96 + 16)));  // no room for a third
    // The version data overlapping the tree: its RVA at the data entry.
    EXPECT_FALSE(
        HasVersion(Poked(image, layout.dataEntry, 32,
                         static_cast<std::uint32_t>(layout.resourceRva + (layout.dataEntry - layout.resourceRoot)))));

    Image text(4096, 'a'), mz = text;
    mz[0] = 'M';
    mz[1] = 'Z';
    PokeLe32(mz, 0x3C, 0xFFFFFFF0u);  // e_lfanew past the end
    for (const Image* notPe : {&text, &mz}) {
        CountingSource counted(*notPe);
        EXPECT_FALSE(HasVersion(counted));
        EXPECT_EQ(counted.m_nReads, 1u);
        EXPECT_EQ(counted.m_nBytes, 64u);
    }
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

TEST(VersionInfo, HostileHeadersAndResourceTreesEndTheRead) {
    using L = PeLayout;
    constexpr std::uint32_t kDir = 0x80000000u;
    const std::vector<std::pair<const char*, std::vector<Poke>>> corruptions = {
        {"no PE signature", {{&L::ntHeaders, 0, 16, 'P' | 'X' << 8}}},
        {"ROM magic", {{&L::optionalHeader, 0, 16, 0x107}}},
        {"65535 sections", {{&L::ntHeaders, 6, 16, 0xFFFF}}},
        {"huge optional header", {{&L::ntHeaders, 20, 16, 0xFFFF}}},
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
        {"empty name directory", {{&L::nameDirectory, 14, 16, 0}}},
        {"name entry that is not a directory", {{&L::nameDirectory, 20, 32, 0x7FFFFFF0u}}},
        {"directory offset past the section", {{&L::nameDirectory, 20, 32, 0xFFFFFFF0u}}},
        {"data entry overlapping the language directory", {{&L::languageDirectory, 20, 32, 8, &L::languageDirectory}}},
        {"data size that wraps", {{&L::dataEntry, 4, 32, 0xFFFFFFFFu}}},
        {"data too small for the block", {{&L::dataEntry, 4, 32, 91}}},
        {"block length too small", {{&L::versionBlock, 0, 16, 91}}},
        {"value too short for the fixed info", {{&L::versionBlock, 2, 16, 51}}},
        {"wrong key", {{&L::versionBlock, 6 + 2 * 14, 16, 'X'}}},
        {"key without terminator", {{&L::versionBlock, 6 + 2 * 15, 16, 'X'}}},
        {"wrong signature", {{&L::fixedInfo, 0, 32, kFixedFileInfoSignature ^ 1}}},
    };
    for (bool pe32Plus : {false, true}) {
        PeLayout layout;
        const Image image = PeBuilder({.pe32Plus = pe32Plus, .extraTypes = {3, 24}}).Build(&layout);
        ASSERT_TRUE(HasVersion(image));
        for (const auto& [what, pokes] : corruptions) {
            Image bad = image;
            for (const Poke& poke : pokes) {
                const std::uint64_t link = poke.linkTo != nullptr ? layout.*poke.linkTo - layout.resourceRoot : 0;
                bad = Poked(std::move(bad), layout.*poke.at + poke.add, poke.width,
                            poke.value + static_cast<std::uint32_t>(link));
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

    TempDir m_dir;
    FolderHandle Dir() const { return static_cast<FolderHandle>(m_nDirFd); }
    const int m_nDirFd = open(m_dir.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
};

// Only regular files are opened: a FIFO, a folder or a device fails at once.
TEST_F(VersionInfoFile, ReadsRegularFilesOnlyAndNeverBlocks) {
    ASSERT_TRUE(PeBuilder::WriteFileAt(m_nDirFd, "app.exe", PeBuilder().Build()));
    ASSERT_TRUE(PeBuilder::WriteFileAt(m_nDirFd, "tiny.dll", Image(10, 'M')));
    ASSERT_EQ(symlinkat("app.exe", m_nDirFd, "link.exe"), 0);
    ASSERT_EQ(mkfifoat(m_nDirFd, "pipe.exe", 0644), 0);
    ASSERT_EQ(mkdirat(m_nDirFd, "folder.exe", 0755), 0);

    VS_FIXEDFILEINFO info;
    EXPECT_TRUE(ReadFileVersionAt(Dir(), "app.exe", &info));
    EXPECT_EQ(info.dwFileVersionMS, 0x00010002u);
    EXPECT_TRUE(ReadRegularFileVersionAt(Dir(), "app.exe", &info));
    EXPECT_TRUE(ReadFileVersionAt(static_cast<FolderHandle>(AT_FDCWD), (m_dir / "app.exe").c_str(), &info));

    for (const char* name : {"tiny.dll", "link.exe", "missing.exe", "pipe.exe", "folder.exe", "/dev/null"}) {
        for (auto* read : {&ReadFileVersionAt, &ReadRegularFileVersionAt}) {
            auto result = std::async(std::launch::async, [&, read] {
                VS_FIXEDFILEINFO junk;
                junk.dwSignature = junk.dwFileVersionMS = junk.dwFileDateLS = 0xA5A5A5A5;
                const bool ok = read(Dir(), name, &junk);
                return std::pair{ok, IsZero(junk)};
            });
            if (result.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
                ADD_FAILURE() << name << " blocked";
                // A writer lets a reader blocked on the FIFO go.
                const int writer = openat(m_nDirFd, "pipe.exe", O_WRONLY | O_NONBLOCK);
                if (writer >= 0) close(writer);
            }
            const auto [ok, zero] = result.get();
            EXPECT_FALSE(ok) << name;
            EXPECT_TRUE(zero) << name;
        }
    }
}

// A reader that does not own the file may not ask to keep its access time:
// the open is retried without O_NOATIME.
TEST_F(VersionInfoFile, ReadsFilesOfOtherOwners) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to make a file of another owner";
    ASSERT_TRUE(PeBuilder::WriteFileAt(m_nDirFd, "app.exe", PeBuilder().Build()));
    ASSERT_EQ(fchownat(m_nDirFd, "app.exe", 12345, 12345, 0), 0);
    ASSERT_EQ(chmod(m_dir.Path().c_str(), 0755), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        VS_FIXEDFILEINFO info;
        const bool ok = setgid(65534) == 0 && setuid(65534) == 0 && ReadFileVersionAt(Dir(), "app.exe", &info) &&
                        info.dwFileVersionMS == 0x00010002u;
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace norvane
