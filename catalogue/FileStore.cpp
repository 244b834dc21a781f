#include <cstring>

#include "catalogue/FileItem.h"
#include "platform/Paths.h"

namespace norvane {

FileStore::FileStore() = default;
FileStore::~FileStore() = default;

const Folder* FileStore::AddFolder(std::string text) {
    m_folders.push_back(Folder{std::move(text)});
    return &m_folders.back();
}

std::string_view FileStore::StoreText(std::string_view text) {
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

FileItem* FileStore::AddItem(std::string_view name, const Folder* folder) {
    if (m_nItems % kChunkItems == 0) m_chunks.emplace_back(new FileItem[kChunkItems]);
    FileItem* item = &m_chunks.back()[m_nItems % kChunkItems];
    ++m_nItems;
    item->fileName = StoreText(name);
    item->extensionOffset = static_cast<std::uint32_t>(ExtensionOffset(item->fileName));
    item->folder = folder;
    return item;
}

void FileStore::Clear() {
    m_chunks.clear();
    m_textBlocks.clear();
    m_pTextBlock = nullptr;
    m_nTextUsed = 0;
    m_folders.clear();
    m_nItems = 0;
}

}  // namespace norvane
