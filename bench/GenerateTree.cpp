// Makes a deterministic folder tree for the scan benchmarks:
//   bench_GenerateTree ROOT [--files N] [--seed S]
// ROOT must not exist or be empty. About 20 files a folder, folders up to 6
// deep, names with spaces, several dots, leading and trailing dots, Japanese
// (UTF-8) and hidden ones; sizes mostly under 4 KiB, made with ftruncate
// (sparse, so even the rare multi-GiB file costs nothing); a few hundred PE
// images, most with a version resource; a few files larger than the version
// reader's minimum that are not PE; modification times spread over 1985-2035.
// The same N and S always give the same names, sizes, contents and times.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "platform/VersionInfo.h"
#include "support/PeBuilder.h"

namespace {

constexpr unsigned kMaxDepth = 6;
constexpr std::uint64_t kFilesPerFolder = 20;
constexpr std::uint64_t kDefaultFiles = 100000;
constexpr std::uint64_t kMaxFiles = 10000000;
constexpr std::int64_t kFirstTime = 473385600;              // 1985-01-01 00:00 UTC
constexpr std::int64_t kTimeSpan = 50LL * 365 * 24 * 3600;  // to about 2035

// splitmix64: the same sequence on every system (the standard library's
// distributions are not).
class Random {
public:
    explicit Random(std::uint64_t seed) : m_nState(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (m_nState += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    std::uint64_t Below(std::uint64_t bound) { return bound == 0 ? 0 : Next() % bound; }

private:
    std::uint64_t m_nState;
};

struct Folder {
    std::string path;  // relative to ROOT; "." for ROOT itself
    unsigned depth = 0;
    std::uint64_t files = 0;
};

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "bench_GenerateTree: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

[[noreturn]] void Usage(const char* message) {
    std::fprintf(stderr,
                 "bench_GenerateTree: %s\n"
                 "usage: bench_GenerateTree ROOT [--files N] [--seed S]\n"
                 "  ROOT must not exist or be empty; N from 1 to %llu (default %llu)\n",
                 message, static_cast<unsigned long long>(kMaxFiles), static_cast<unsigned long long>(kDefaultFiles));
    std::exit(2);
}

bool ParseNumber(const char* text, std::uint64_t* value) {
    if (text == nullptr || *text == '\0') return false;
    std::uint64_t v = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9' || v > (UINT64_MAX - 9) / 10) return false;
        v = v * 10 + static_cast<std::uint64_t>(*p - '0');
    }
    *value = v;
    return true;
}

// Makes ROOT and its missing parents, or accepts an empty folder.
int OpenRoot(const std::string& root) {
    struct stat st {};
    if (lstat(root.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode)) Usage("ROOT exists and is not a folder");
        DIR* dir = opendir(root.c_str());
        if (dir == nullptr) Fail(root);
        bool empty = true;
        while (const dirent* entry = readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) empty = false;
        }
        closedir(dir);
        if (!empty) Usage("ROOT is not empty");
    } else {
        for (std::size_t slash = root.find('/', 1);; slash = root.find('/', slash + 1)) {
            const std::string part = root.substr(0, slash);
            if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) Fail(part);
            if (slash == std::string::npos) break;
        }
    }
    const int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) Fail(root);
    return fd;
}

std::string FolderName(Random& random, std::size_t index) {
    const std::string n = std::to_string(index);
    switch (random.Below(10)) {
        case 0: return "sub folder " + n;
        case 1: return "release." + n + ".old";
        case 2: return ".cache" + n;  // hidden
        case 3: return "フォルダ" + n;
        case 4: return "data " + n + ".";
        default: return "dir" + n;
    }
}

std::string FileName(Random& random, std::uint64_t index) {
    const std::string n = std::to_string(index);
    const std::uint64_t pick = random.Below(100);
    if (pick < 40) return "file" + n + ".txt";
    if (pick < 48) return "report " + n + " final.docx";
    if (pick < 54) return "archive." + n + ".tar.gz";
    if (pick < 58) return ".hidden" + n;
    if (pick < 61) return ".config." + n + ".ini";
    if (pick < 63) return "trailing" + n + ".";
    if (pick < 64) return "two dots" + n + "..";
    if (pick < 70) return "資料" + n + ".txt";
    if (pick < 74) return "日本語 ファイル " + n + ".csv";
    if (pick < 78) return "README" + n;
    if (pick < 80) return " leading space " + n + ".log";
    if (pick < 82) return "trailing space " + n + " ";
    if (pick < 88) return "Photo_" + n + ".JPG";
    if (pick < 91) return "データ." + n + ".バックアップ";
    if (pick < 94) return "a.b.c.d." + n;
    return "UPPER" + n + ".TXT";
}

std::string PeName(Random& random, std::uint64_t index) {
    static const char* const kExtensions[] = {".exe", ".dll", ".EXE", ".DLL", ".exe", ".dll",
                                              ".ocx", ".sys", ".bin", "",     ".tmp", ".dat"};
    static const char* const kStems[] = {"setup", "tool ", "lib.", "プログラム", ".agent", "driver"};
    const std::string stem = kStems[random.Below(std::size(kStems))];
    return stem + std::to_string(index) + kExtensions[random.Below(std::size(kExtensions))];
}

std::vector<std::uint8_t> PeImage(Random& random) {
    norvane::PeOptions options;
    options.pe32Plus = random.Below(2) == 1;
    options.dll = random.Below(2) == 1;
    options.withVersion = random.Below(10) != 0;
    options.fileVersionMS = static_cast<std::uint32_t>((random.Below(20) << 16) | random.Below(100));
    options.fileVersionLS = static_cast<std::uint32_t>((random.Below(10000) << 16) | random.Below(1000));
    options.languages = static_cast<unsigned>(1 + random.Below(3));
    if (random.Below(2) == 1) options.extraTypes = {3, 14, 24};
    if (random.Below(8) == 0) options.namedTypes = {u"MUI"};
    if (random.Below(4) == 0) options.trailingBytes = static_cast<std::uint32_t>(random.Below(64 * 1024));
    return norvane::PeBuilder(options).Build();
}

// Not PE, but large enough that the scan opens them: text, and an "MZ"
// header whose PE header is missing.
std::vector<std::uint8_t> OtherContent(Random& random) {
    const std::size_t size = static_cast<std::size_t>(norvane::kMinVersionResourceFileSize + random.Below(8192));
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i % 61 == 60 ? '\n' : 'a' + (i * 7 + size) % 26);
    if (random.Below(2) == 0) {
        bytes[0] = 'M';
        bytes[1] = 'Z';
        norvane::PokeLe32(bytes, 0x3C, static_cast<std::uint32_t>(size + 4096));
    }
    return bytes;
}

std::uint64_t SparseSize(Random& random) {
    const std::uint64_t pick = random.Below(10000);
    if (pick < 9000) return random.Below(4096);
    if (pick < 9800) return 4096 + random.Below(1 << 20);
    if (pick < 9999) return random.Below(256ULL << 20);
    return (4ULL << 30) + random.Below(2ULL << 30);  // more than 32 bits
}

timespec RandomTime(Random& random) {
    timespec t{};
    t.tv_sec = static_cast<time_t>(kFirstTime + static_cast<std::int64_t>(random.Below(kTimeSpan)));
    t.tv_nsec = static_cast<long>(random.Below(1000000000));
    return t;
}

// True for the n-th of `total` items when `count` of them are to be chosen,
// spread evenly.
bool Chosen(std::uint64_t n, std::uint64_t count, std::uint64_t total) {
    return (n + 1) * count / total != n * count / total;
}

void WriteAll(int fd, const std::vector<std::uint8_t>& bytes, const std::string& what) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Fail(what);
        done += static_cast<std::size_t>(n);
    }
}

// Folders, breadth first: the fan-out is the smallest that reaches the
// folder count within kMaxDepth levels, varied around that value.
std::vector<Folder> MakeFolders(int rootFd, const std::string& root, std::uint64_t files, Random& random) {
    const std::uint64_t folderCount = std::max<std::uint64_t>(1, files / kFilesPerFolder);
    std::uint64_t fanOut = 1;
    for (std::uint64_t reach = 0; reach + 1 < folderCount;) {
        ++fanOut;
        reach = 0;
        for (std::uint64_t level = 1, width = 1; level <= kMaxDepth; ++level) reach += (width *= fanOut);
    }
    std::vector<Folder> folders = {{".", 0, 0}};
    folders.reserve(folderCount);
    for (std::size_t parent = 0; folders.size() < folderCount; parent = (parent + 1) % folders.size()) {
        if (folders[parent].depth >= kMaxDepth) continue;
        const std::uint64_t children = fanOut / 2 + random.Below(fanOut + 1);
        for (std::uint64_t c = 0; c < children && folders.size() < folderCount; ++c) {
            const std::string name = FolderName(random, folders.size());
            const std::string path = folders[parent].path == "." ? name : folders[parent].path + "/" + name;
            if (mkdirat(rootFd, path.c_str(), 0755) != 0) Fail(root + "/" + path);
            folders.push_back({path, folders[parent].depth + 1, 0});
        }
    }
    return folders;
}

// About kFilesPerFolder files a folder (10 to 30), exactly `files` in all.
void AssignFiles(std::vector<Folder>& folders, std::uint64_t files, Random& random) {
    std::uint64_t assigned = 0;
    for (Folder& folder : folders) {
        folder.files = kFilesPerFolder / 2 + random.Below(kFilesPerFolder + 1);
        assigned += folder.files;
    }
    for (std::size_t i = 0; assigned != files; i = (i + 1) % folders.size()) {
        if (assigned < files) {
            ++folders[i].files;
            ++assigned;
        } else if (folders[i].files > 0) {
            --folders[i].files;
            --assigned;
        }
    }
}

// Makes every folder's files; returns how many are PE images.
std::uint64_t MakeFiles(int rootFd, const std::string& root, const std::vector<Folder>& folders, std::uint64_t files,
                        Random& random) {
    const std::uint64_t peCount = std::min<std::uint64_t>(400, std::max<std::uint64_t>(1, files / 250));
    const std::uint64_t otherCount = std::min<std::uint64_t>(100, std::max<std::uint64_t>(1, files / 1000));
    std::uint64_t made = 0;
    std::uint64_t peMade = 0;
    for (const Folder& folder : folders) {
        const int dirFd = openat(rootFd, folder.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd < 0) Fail(root + "/" + folder.path);
        for (std::uint64_t f = 0; f < folder.files; ++f, ++made) {
            const bool pe = Chosen(made, peCount, files);
            const bool other = !pe && Chosen(made, otherCount, files);
            const std::string name = pe ? PeName(random, made) : FileName(random, made);
            const std::string what = root + "/" + folder.path + "/" + name;
            const int fd = openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd < 0) Fail(what);
            if (pe) {
                WriteAll(fd, PeImage(random), what);
                ++peMade;
            } else if (other) {
                WriteAll(fd, OtherContent(random), what);
            } else if (const std::uint64_t size = SparseSize(random); size > 0) {
                if (ftruncate(fd, static_cast<off_t>(size)) != 0) Fail(what);
            }
            const timespec when = RandomTime(random);
            const timespec times[2] = {when, when};
            if (futimens(fd, times) != 0) Fail(what);
            if (close(fd) != 0) Fail(what);
        }
        close(dirFd);
    }
    return peMade;
}

}  // namespace

int main(int argc, char** argv) {
    std::string root;
    std::uint64_t files = kDefaultFiles;
    std::uint64_t seed = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--files") {
            if (!ParseNumber(i + 1 < argc ? argv[++i] : nullptr, &files) || files == 0 || files > kMaxFiles)
                Usage("--files needs a number from 1 to 10000000");
        } else if (arg == "--seed") {
            if (!ParseNumber(i + 1 < argc ? argv[++i] : nullptr, &seed)) Usage("--seed needs a number");
        } else if (arg.starts_with("-") || !root.empty()) {
            Usage(("unexpected argument " + arg).c_str());
        } else {
            root = arg;
        }
    }
    if (root.empty()) Usage("ROOT is missing");

    const int rootFd = OpenRoot(root);
    Random random(seed);
    std::vector<Folder> folders = MakeFolders(rootFd, root, files, random);
    AssignFiles(folders, files, random);
    const std::uint64_t peMade = MakeFiles(rootFd, root, folders, files, random);
    // Folder times last: making their entries changed them.
    for (const Folder& folder : folders) {
        const timespec when = RandomTime(random);
        const timespec times[2] = {when, when};
        if (utimensat(rootFd, folder.path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) Fail(root + "/" + folder.path);
    }
    close(rootFd);
    std::printf("made %llu files (%llu PE images) in %llu folders (ROOT included) under %s\n",
                static_cast<unsigned long long>(files), static_cast<unsigned long long>(peMade),
                static_cast<unsigned long long>(folders.size()), root.c_str());
    return 0;
}
