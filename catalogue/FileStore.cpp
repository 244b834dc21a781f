#include <cstring>
#include <new>
#include <type_traits>

#include "catalogue/FileItem.h"
#include "platform/Paths.h"

namespace norvane {

namespace {

// Where a shown name and its raw bytes are put together; reused by the
// calling thread.
std::string& KeptNameBuffer() {
    thread_local std::string buffer;
    return buffer;
}

// The folders from the top down to folder; reused by the calling thread.
const std::vector<const Folder*>& Chain(const Folder* folder) {
    thread_local std::vector<const Folder*> chain;
    chain.clear();
    for (const Folder* f = folder; f != nullptr; f = f->parent) chain.push_back(f);
    return chain;
}

}  // namespace

void AppendFolderText(std::string& out, const Folder* folder) {
    if (folder == nullptr) return;
    out.reserve(out.size() + folder->textLength);
    const auto& chain = Chain(folder);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        out += (*it)->name;
        if ((*it)->parent != nullptr) out += '/';
    }
}

std::string FolderText(const Folder* folder) {
    std::string text;
    AppendFolderText(text, folder);
    return text;
}

bool FolderTextEquals(const Folder* folder, std::string_view text) {
    if (folder == nullptr) return text.empty();
    if (folder->textLength != text.size()) return false;
    // From the end: folders of one tree differ mostly in their last names.
    std::size_t end = text.size();
    for (const Folder* f = folder; f != nullptr; f = f->parent) {
        if (f->parent != nullptr) {
            if (end == 0 || text[end - 1] != '/') return false;
            --end;
        }
        if (f->name.size() > end || text.compare(end - f->name.size(), f->name.size(), f->name) != 0) return false;
        end -= f->name.size();
    }
    return end == 0;
}

// The records are trivially destroyed: a chunk is released without them.
static_assert(std::is_trivially_destructible_v<FileItem> && std::is_trivially_destructible_v<Folder>);

const Folder* StoreArena::AddFolder(const Folder* parent, std::string_view name, std::string_view rawName) {
    if (m_nFolders % kChunkFolders == 0) {
        m_folders.emplace_back(static_cast<Folder*>(::operator new(sizeof(Folder) * kChunkFolders)));
    }
    Folder* folder = new (m_folders.back().get() + m_nFolders % kChunkFolders) Folder();
    ++m_nFolders;
    folder->parent = parent;
    folder->name = StoreText(name);
    folder->rawName = rawName.empty() || rawName == name ? folder->name : StoreText(rawName);
    folder->textLength = parent != nullptr ? parent->textLength + name.size() + 1 : name.size();
    return folder;
}

std::string_view StoreArena::StoreText(std::string_view text) {
    if (text.size() > kTextBlock / 4) {
        // A long text gets a block of its own, so the shared block is not wasted.
        char* block = m_textBlocks.emplace_back(new char[text.size()]).get();
        std::memcpy(block, text.data(), text.size());
        return std::string_view(block, text.size());
    }
    if (m_pTextBlock == nullptr || m_nTextUsed + text.size() > kTextBlock) {
        m_pTextBlock = m_textBlocks.emplace_back(new char[kTextBlock]).get();
        m_nTextUsed = 0;
    }
    char* where = m_pTextBlock + m_nTextUsed;
    if (!text.empty()) std::memcpy(where, text.data(), text.size());
    m_nTextUsed += text.size();
    return std::string_view(where, text.size());
}

FileItem* StoreArena::AddItem(std::string_view name, const Folder* folder, std::string_view rawName) {
    const std::size_t nSlot = m_nItems % kChunkItems;
    if (nSlot == 0) {
        FileItem* chunk =
            m_items.emplace_back(static_cast<FileItem*>(::operator new(sizeof(FileItem) * kChunkItems))).get();
        m_nChunk = m_store.AddChunk(chunk);
    }
    FileItem* item = new (m_items.back().get() + nSlot) FileItem();
    ++m_nItems;
    if (rawName.empty() || rawName == name) {
        item->fileName = StoreText(name);
    } else {
        // The shown name, the raw name's length, the raw name: one text, so
        // that the record finds the raw bytes right after its name.
        std::string& both = KeptNameBuffer();
        both.assign(name);
        const auto nRaw = static_cast<std::uint32_t>(rawName.size());
        both.append(reinterpret_cast<const char*>(&nRaw), sizeof nRaw);
        both.append(rawName);
        item->fileName = StoreText(both).substr(0, name.size());
        item->rawNameKept = true;
    }
    const std::size_t nExtension = ExtensionOffset(item->fileName);
    item->extensionOffset =
        nExtension < FileItem::kExtensionNotKept ? static_cast<std::uint16_t>(nExtension) : FileItem::kExtensionNotKept;
    item->ref = static_cast<ItemRef>((std::size_t{m_nChunk} << kChunkBits) | nSlot);
    item->folder = folder;
    return item;
}

std::string_view FileItem::LongNameExtension() const { return fileName.substr(ExtensionOffset(fileName)); }

std::string_view FileItem::KeptRawName() const {
    const char* pLength = fileName.data() + fileName.size();
    std::uint32_t nRaw = 0;
    std::memcpy(&nRaw, pLength, sizeof nRaw);
    return std::string_view(pLength + sizeof nRaw, nRaw);
}

// The records of the million files a list holds are numbered in four bytes.
static_assert(sizeof(FileItem) == 56);

FileStore::FileStore() = default;
FileStore::~FileStore() = default;

StoreArena* FileStore::NewArena() {
    std::lock_guard lock(m_mutex);
    return m_arenas.emplace_back(std::make_unique<StoreArena>(*this)).get();
}

std::uint32_t FileStore::AddChunk(FileItem* chunk) {
    std::lock_guard lock(m_mutex);
    // Four thousand million records: far past any memory that holds them.
    if (m_nChunks == kPages * kPageChunks) throw std::bad_alloc();
    std::unique_ptr<FileItem*[]>& page = m_chunkPages[m_nChunks / kPageChunks];
    if (page == nullptr) page = std::make_unique<FileItem*[]>(kPageChunks);
    page[m_nChunks % kPageChunks] = chunk;
    return static_cast<std::uint32_t>(m_nChunks++);
}

const Folder* FileStore::AddFolder(std::string_view text) { return AddFolder(nullptr, text); }

const Folder* FileStore::AddFolder(const Folder* parent, std::string_view name, std::string_view rawName) {
    if (m_pDefault == nullptr) m_pDefault = NewArena();
    return m_pDefault->AddFolder(parent, name, rawName);
}

FileItem* FileStore::AddItem(std::string_view name, const Folder* folder, std::string_view rawName) {
    if (m_pDefault == nullptr) m_pDefault = NewArena();
    return m_pDefault->AddItem(name, folder, rawName);
}

}  // namespace norvane
