// One listed file, the folder records the files share, and the store that
// owns the records of one scan.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/WinTypes.h"

namespace norvane {

// A folder as the records show it. Its text (the full path in the code page,
// always ending with "/") is the parent's text, the name and "/"; a folder
// without a parent (the top of a scan) holds its whole text as its name.
// Folder texts are made when a cell, a sort or the writer needs them, so a
// deep tree costs its names once, not once per level below them.
struct Folder {
    const Folder* parent = nullptr;
    std::string_view name;
    std::size_t textLength = 0;  // the length of the whole text
    // The name as the file system gives it (the top: the path the scan was
    // given): the bytes of name itself where they are the same.
    std::string_view rawName;
};

// The text of a folder (nothing for a null folder), appended to out.
void AppendFolderText(std::string& out, const Folder* folder);
std::string FolderText(const Folder* folder);
// True when the folder's text is exactly text (byte for byte).
bool FolderTextEquals(const Folder* folder, std::string_view text);

// The file version of a record: the two doublewords of the version block's
// fixed part that the list, the sort and the writer read (all zero without a
// version resource).
struct FileVersion {
    std::uint32_t dwFileVersionMS = 0;
    std::uint32_t dwFileVersionLS = 0;
    FileVersion() = default;
    FileVersion(const VS_FIXEDFILEINFO& info)  // NOLINT: taken as it comes from the reader
        : dwFileVersionMS(info.dwFileVersionMS), dwFileVersionLS(info.dwFileVersionLS) {}
};

// What a listed entry is on disk. A link is never followed: it is listed
// with its own size and time.
enum FileKind { kFileKindFile = 0, kFileKindLink = 1, kFileKindOther = 2 };

// A record's number in its store (FileStore::Item): four bytes where its
// address takes eight, for whoever holds a list of a million records.
using ItemRef = std::uint32_t;

// One file found by the scan. The name is a view into the owning FileStore's
// storage and the folder a shared record, so a record stays compact. The
// file system's bytes of a name that shows otherwise (converted into the
// code page, or not valid in it) are kept after the shown name, in the same
// storage; the record itself only says that they are there.
struct FileItem {
    // extensionOffset of a name too long for it: the extension is found anew.
    static constexpr std::uint16_t kExtensionNotKept = 0xFFFF;

    std::string_view fileName;          // the name as enumerated, in the code page
    std::uint64_t fileSize = 0;         // all 64 bits
    FILETIME fileTime = 0;              // last write, UTC
    FileVersion versionInfo;            // all zero without a version resource
    const Folder* folder = nullptr;     // the folder that holds the file
    ItemRef ref = 0;                    // its number in its store
    std::uint16_t extensionOffset = 0;  // where the extension starts in fileName
    bool systemFile : 1 = false;
    bool hidden : 1 = false;
    FileKind kind : 2 = kFileKindFile;
    bool rawNameKept : 1 = false;  // the name's bytes on disk differ from fileName

    // From the last period of the name to its end, the period included;
    // empty when the name has no period.
    std::string_view extension() const {
        return extensionOffset != kExtensionNotKept ? fileName.substr(extensionOffset) : LongNameExtension();
    }
    // The folder text, ending with "/" (made anew at every call).
    std::string directory() const { return FolderText(folder); }
    // The name as the file system gives it.
    std::string_view rawName() const { return rawNameKept ? KeptRawName() : fileName; }

private:
    std::string_view LongNameExtension() const;
    std::string_view KeptRawName() const;
};

class FileStore;

// The records and texts one thread adds to a store. Records keep their
// addresses until the store is cleared (they live in fixed-size chunks).
class StoreArena {
public:
    // Records come in chunks of this many (a record's ItemRef: its chunk's
    // number, then its place in the chunk).
    static constexpr std::size_t kChunkBits = 10;
    static constexpr std::size_t kChunkItems = std::size_t{1} << kChunkBits;

    explicit StoreArena(FileStore& store) : m_store(store) {}
    StoreArena(const StoreArena&) = delete;
    StoreArena& operator=(const StoreArena&) = delete;

    // rawName: the file system's bytes of the name, when they differ from
    // it (empty: the same).
    const Folder* AddFolder(const Folder* parent, std::string_view name, std::string_view rawName = {});
    FileItem* AddItem(std::string_view name, const Folder* folder, std::string_view rawName = {});
    std::string_view StoreText(std::string_view text);

private:
    // Chunks are raw storage whose records are made as they are added, so
    // that an arena touches no memory it does not use (a scan has many).
    struct Release {
        void operator()(void* chunk) const { ::operator delete(chunk); }
    };
    static constexpr std::size_t kChunkFolders = 1024;
    static constexpr std::size_t kTextBlock = 256 * 1024;
    std::vector<std::unique_ptr<FileItem, Release>> m_items;
    std::vector<std::unique_ptr<Folder, Release>> m_folders;
    std::vector<std::unique_ptr<char[]>> m_textBlocks;
    FileStore& m_store;
    std::uint32_t m_nChunk = 0;    // the store's number of the newest record chunk
    char* m_pTextBlock = nullptr;  // the block new short texts go into
    std::size_t m_nTextUsed = 0;
    std::size_t m_nItems = 0;
    std::size_t m_nFolders = 0;
};

// Owns the records of one scan and the texts they point into, in arenas: the
// scan's threads each fill one of their own. The store's own AddFolder and
// AddItem fill a default arena from one thread at a time.
class FileStore {
public:
    FileStore();
    ~FileStore();
    FileStore(const FileStore&) = delete;
    FileStore& operator=(const FileStore&) = delete;

    // A folder without a parent, whose text is text.
    const Folder* AddFolder(std::string_view text);
    // A folder inside parent; rawName as StoreArena's.
    const Folder* AddFolder(const Folder* parent, std::string_view name, std::string_view rawName = {});
    // A new record whose name is a copy of name; the extension is found here.
    FileItem* AddItem(std::string_view name, const Folder* folder, std::string_view rawName = {});

    // A new arena, owned by the store; safe from any thread.
    StoreArena* NewArena();

    // The record numbered ref. Takes no lock: a thread may ask for any
    // record that was handed to it (through a lock, as a scan hands over its
    // rows) after its arena made it.
    const FileItem* Item(ItemRef ref) const {
        const std::size_t nChunk = ref >> StoreArena::kChunkBits;
        return m_chunkPages[nChunk / kPageChunks][nChunk % kPageChunks] + (ref & (StoreArena::kChunkItems - 1));
    }

private:
    friend class StoreArena;
    static constexpr std::size_t kPageChunks = 1024;
    // Pages enough for every ItemRef.
    static constexpr std::size_t kPages = (std::size_t{1} << (32 - StoreArena::kChunkBits)) / kPageChunks;

    // Numbers a new chunk of records; any thread.
    std::uint32_t AddChunk(FileItem* chunk);

    mutable std::mutex m_mutex;
    std::vector<std::unique_ptr<StoreArena>> m_arenas;
    StoreArena* m_pDefault = nullptr;
    // The record chunks by number, in pages that never move once made.
    std::array<std::unique_ptr<FileItem*[]>, kPages> m_chunkPages;
    std::size_t m_nChunks = 0;
};

}  // namespace norvane
