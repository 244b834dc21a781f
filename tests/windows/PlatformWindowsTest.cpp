// The Windows implementation of platform/ on the real calls (run under Wine
// in CI): enumeration with its marks, long paths, the scan's folder texts,
// versions, replacing a file, code pages, the settings file.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "catalogue/FolderScan.h"
#include "platform/CodePage.h"
#include "platform/FileReplacement.h"
#include "platform/FolderSearch.h"
#include "platform/PrivateProfile.h"
#include "platform/VersionInfo.h"
#include "support/PeBuilder.h"

#include "platform/windows/Win32.h"

namespace norvane {
namespace {

// A fresh folder under the temporary folder, removed with all it holds.
class TempFolder {
public:
    TempFolder() {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        static int s_nNext = 0;
        do {
            m_path = Utf8FromWide(base) + "norvane-test-" + std::to_string(GetTickCount64()) + "-" +
                     std::to_string(s_nNext++);
        } while (!CreateDirectoryW(LongPath(m_path).c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() { Remove(LongPath(m_path)); }
    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "\\" + name; }

private:
    static void Remove(const std::wstring& path) {
        WIN32_FIND_DATAW data{};
        const HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = data.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring child = path + L"\\" + name;
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) Remove(child);
                else DeleteFileW(child.c_str());
            } while (FindNextFileW(find, &data));
            FindClose(find);
        }
        RemoveDirectoryW(path.c_str());
    }
    std::string m_path;
};

void WriteBytes(const std::string& path, std::string_view bytes) {
    const HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string ReadBytes(const std::string& path) {
    const HANDLE file =
        CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "(none)";
    std::string bytes(1 << 16, '\0');
    DWORD got = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
    bytes.resize(got);
    return bytes;
}

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    FolderSearch search;
    if (search.Open(folder) != ERROR_SUCCESS) return names;
    FindData entry;
    while (search.Next(&entry)) {
        if (entry.rawName != "." && entry.rawName != "..") names.push_back(entry.rawName);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(WindowsFolderSearch, EntriesCarryTheirMarksSizesTimesAndUnicodeNames) {
    TempFolder dir;
    WriteBytes(dir / "a.txt", "abc");
    WriteBytes(dir / "日本語ｶﾅ.txt", "12345");
    WriteBytes(dir / "marked.sys", "");
    ASSERT_TRUE(
        SetFileAttributesW(LongPath(dir / "marked.sys").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(CreateDirectoryW(LongPath(dir / "サブ").c_str(), nullptr));
    // 2001-02-03 04:05:06 UTC.
    const std::uint64_t ticks = 126255975060000000ULL;
    const HANDLE file =
        CreateFileW(LongPath(dir / "a.txt").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ::FILETIME time{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &time));
    CloseHandle(file);

    FolderSearch search;
    ASSERT_EQ(search.Open(dir.Path()), ERROR_SUCCESS);
    std::map<std::string, FindData> found;
    for (FindData entry; search.Next(&entry);) found[entry.rawName] = entry;
    EXPECT_EQ(search.LastError(), ERROR_NO_MORE_FILES);
    ASSERT_EQ(found.size(), 6u);  // "." and ".." too, as the program always saw them
    EXPECT_EQ(found["a.txt"].fileSize, 3u);
    EXPECT_EQ(found["a.txt"].ftLastWriteTime, ticks);
    EXPECT_TRUE(found["a.txt"].regularFile);
    EXPECT_EQ(found["日本語ｶﾅ.txt"].fileSize, 5u);
    EXPECT_EQ(found["marked.sys"].dwFileAttributes, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    EXPECT_EQ(found["サブ"].dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(found["サブ"].regularFile);

    EXPECT_EQ(search.Open(dir / "missing"), ERROR_PATH_NOT_FOUND);
    std::uint32_t error = 0;
    EXPECT_EQ(OpenFolderHandle((dir / "a.txt").c_str(), &error), FolderHandle::kNone);
    EXPECT_NE(error, 0u);
}

// A tree past MAX_PATH, with a PE file at the bottom: the scan reaches it,
// shows its folder with "\", reads its version, and keeps the marks.
TEST(WindowsScan, ReachesPastMaxPathShowsBackslashesAndReadsVersions) {
    TempFolder dir;
    std::string folder = dir.Path();
    for (int i = 0; i < 6; ++i) {
        folder += "\\" + std::string(50, static_cast<char>('a' + i));
        ASSERT_TRUE(CreateDirectoryW(LongPath(folder).c_str(), nullptr)) << folder;
    }
    ASSERT_GT(folder.size(), 300u);
    const std::vector<std::uint8_t> image = PeBuilder().Build();
    WriteBytes(folder + "\\app.exe", std::string(image.begin(), image.end()));
    WriteBytes(dir / "hidden.txt", "x");
    ASSERT_TRUE(SetFileAttributesW(LongPath(dir / "hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));

    for (int threads : {0, 4}) {
        FileStore store;
        std::vector<FileItem*> rows;
        ScanOptions options;
        options.threads = threads;
        const ScanResult result =
            ScanFolder(dir.Path(), options, store, [&](FileItem* item) { rows.push_back(item); }, {});
        EXPECT_TRUE(result.completed());
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[0]->fileName, "hidden.txt");
        EXPECT_TRUE(rows[0]->hidden);
        EXPECT_EQ(rows[1]->fileName, "app.exe");
        EXPECT_EQ(rows[1]->directory(), folder + "\\");
        EXPECT_EQ(rows[1]->versionInfo.dwFileVersionMS, 0x00010002u);
        EXPECT_EQ(rows[1]->versionInfo.dwFileVersionLS, 0x00030004u);
    }
    FileStore store;
    ScanOptions options;
    options.includeHidden = false;
    std::size_t count = 0;
    ScanFolder(dir.Path(), options, store, [&](FileItem*) { ++count; }, {});
    EXPECT_EQ(count, 1u);
}

TEST(WindowsFileReplacement, TheOldFileStaysWholeUntilCommitAndNoTemporaryFileRemains) {
    TempFolder dir;
    const std::string target = dir / "out.txt";
    WriteBytes(target, "old");
    {
        FileReplacement replacement;
        ASSERT_EQ(replacement.Open(target), 0);
        ASSERT_EQ(replacement.WriteAt(0, "new bytes", 9), 0);
        EXPECT_EQ(ReadBytes(target), "old");
        replacement.Abandon();
    }
    EXPECT_EQ(ReadBytes(target), "old");
    EXPECT_EQ(NamesIn(dir.Path()), std::vector<std::string>{"out.txt"});
    {
        FileReplacement replacement;
        ASSERT_EQ(replacement.Open(target), 0);
        ASSERT_EQ(replacement.WriteAt(0, "new bytes", 9), 0);
        std::uint64_t size = 0;
        ASSERT_EQ(replacement.Size(&size), 0);
        EXPECT_EQ(size, 9u);
        ASSERT_EQ(replacement.Commit(), 0);
    }
    EXPECT_EQ(ReadBytes(target), "new bytes");
    EXPECT_EQ(NamesIn(dir.Path()), std::vector<std::string>{"out.txt"});
    {
        // Let go without a commit: as an abandon.
        FileReplacement replacement;
        ASSERT_EQ(replacement.Open(dir / "fresh.txt"), 0);
        ASSERT_EQ(replacement.WriteAt(0, "x", 1), 0);
    }
    EXPECT_EQ(NamesIn(dir.Path()), std::vector<std::string>{"out.txt"});
    FileReplacement replacement;
    EXPECT_EQ(replacement.Open(dir / "missing\\out.txt"), ENOENT);
    EXPECT_EQ(replacement.Open(dir.Path()), EISDIR);
}

TEST(WindowsCodePage, ConversionsMarkWhatCannotBeHeld) {
    EXPECT_EQ(Utf8ToCodePage("日本語ｶﾅ", kCodePageShiftJis), "\x93\xfa\x96\x7b\x8c\xea\xb6\xc5");
    EXPECT_EQ(CodePageToUtf8("\x93\xfa\x96\x7b\x8c\xea\xb6\xc5", kCodePageShiftJis), "日本語ｶﾅ");
    EXPECT_EQ(Utf8ToCodePage("a\xc3\xa9z", kCodePageShiftJis), "a?z");  // é has no look-alike put in
    EXPECT_EQ(CodePageToUtf8("a\x81", kCodePageShiftJis), "a?");        // a lone lead byte at the end
    EXPECT_EQ(FileNameToCodePage("a\xff"
                                 "b",
                                 kCodePageUtf8, kCodePageUtf8),
              "a?b");
    EXPECT_EQ(FileNameToCodePage("x\x83\x5c", kCodePageShiftJis, kCodePageShiftJis), "x\x83\x5c");
    EXPECT_EQ(NameCodePage(), kCodePageUtf8);
}

TEST(WindowsSettings, AProfileWrittenReadsBackWithCrLf) {
    TempFolder dir;
    const std::string path = dir / "Norvane.ini";
    ASSERT_TRUE(WritePrivateProfileStrings("EXPORT", {{"FOLDER", "C:\\out"}, {"TITLE", "名前"}}, path));
    ASSERT_TRUE(WritePrivateProfileStrings("EXPORT", {{"FOLDER", "D:\\"}}, path));
    EXPECT_EQ(ReadBytes(path), "[EXPORT]\r\nFOLDER=D:\\\r\nTITLE=名前\r\n");
    EXPECT_EQ(ReadProfileValueFromFile(path, "export", "title", kCodePageUtf8), "名前");
    EXPECT_FALSE(ReadProfileValueFromFile(dir / "none.ini", "EXPORT", "TITLE", kCodePageUtf8).has_value());
    ASSERT_TRUE(SetFileAttributesW(LongPath(path).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(WritePrivateProfileStrings("EXPORT", {{"FOLDER", "E:\\"}}, path));
}

}  // namespace
}  // namespace norvane
