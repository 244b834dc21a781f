// One listed file, and the store that owns the records of one scan.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/WinTypes.h"

namespace norvane {

// A folder's text as the records show it: the full path in the code page,
// always ending with the separator "/". One is shared by every record of the
// folder.
struct Folder {
    std::string text;
};

// One file found by the scan. Texts are views into the owning FileStore's
// storage, so a record stays compact (the folder text is shared, not copied).
struct FileItem {
    std::string_view fileName;        // the name as enumerated, in the code page
    std::uint64_t fileSize = 0;       // all 64 bits
    FILETIME fileTime = 0;            // last write, UTC
    VS_FIXEDFILEINFO versionInfo{};   // all zero without a version resource
    const Folder* folder = nullptr;   // the folder that holds the file
    std::uint32_t extensionOffset = 0;  // where the extension starts in fileName
    bool systemFile = false;
    bool hidden = false;

    // From the last period of the name to its end, the period included;
    // empty when the name has no period.
    std::string_view extension() const { return fileName.substr(extensionOffset); }
    // The folder text, ending with "/".
    std::string_view directory() const {
        return folder ? std::string_view(folder->text) : std::string_view();
    }
};

// Owns the records of one scan and the texts they point into. Records keep
// their addresses until Clear (they live in fixed-size chunks).
class FileStore {
public:
    FileStore();
    ~FileStore();
    FileStore(const FileStore&) = delete;
    FileStore& operator=(const FileStore&) = delete;

    // A folder text shared by the records added with it.
    const Folder* AddFolder(std::string text);
    // A new record whose name is a copy of name; the extension is found here.
    FileItem* AddItem(std::string_view name, const Folder* folder);

    std::size_t ItemCount() const { return m_nItems; }
    FileItem* At(std::size_t index) const { return &m_chunks[index / kChunkItems][index % kChunkItems]; }
    void Clear();

private:
    std::string_view StoreText(std::string_view text);

    static constexpr std::size_t kChunkItems = 4096;
    static constexpr std::size_t kTextBlock = 256 * 1024;
    std::vector<std::unique_ptr<FileItem[]>> m_chunks;
    std::vector<std::unique_ptr<char[]>> m_textBlocks;
    char* m_pTextBlock = nullptr;  // the block new short texts go into
    std::size_t m_nTextUsed = 0;
    std::deque<Folder> m_folders;
    std::size_t m_nItems = 0;
};

}  // namespace norvane
