#include "catalogue/DescriptorCache.h"

#include <cerrno>
#include <string>

#include "platform/FolderSearch.h"
#include "platform/SystemCalls.h"

namespace norvane {

namespace {

void CloseAll(const std::vector<int>& fds) {
    for (int fd : fds) CloseDescriptor(fd);
}

}  // namespace

DescriptorCache::DescriptorCache(std::size_t maxCached) : m_nMaxCached(maxCached) {}

DescriptorCache::~DescriptorCache() {
    for (CachedFolder* folder : m_lru) CloseDescriptor(folder->fd);
    CloseAll(m_pinned);
}

std::size_t DescriptorCache::OpenCount() const {
    std::lock_guard lock(m_mutex);
    return m_lru.size() + m_pinned.size();
}

int DescriptorCache::Acquire(CachedFolder* folder, std::uint32_t* error) {
    std::vector<CachedFolder*> down;  // the folders to open, the deepest first
    int fd = -1;
    {
        std::lock_guard lock(m_mutex);
        CachedFolder* at = folder;
        while (at != nullptr && at->fd < 0) {
            down.push_back(at);
            at = at->parent;
        }
        if (at != nullptr) {
            ++at->fdUsers;
            fd = at->fd;
        }
        if (down.empty()) return fd;
        down.push_back(at);  // the one held (or null: none)
    }
    return OpenBelow(down, fd, error);
}

// Opens the folders from the nearest one open (held, at the end of down)
// down to the first of down, keeping each for the folders below it.
int DescriptorCache::OpenBelow(std::vector<CachedFolder*>& down, int fd, std::uint32_t* error) {
    for (std::size_t i = down.size() - 1; i > 0; --i) {
        CachedFolder* next = down[i - 1];
        CachedFolder* held = down[i];
        const std::string name(next->rawName);
        const int nextFd =
            next->parent == nullptr ? OpenFolderDescriptor(name.c_str()) : OpenSubfolderDescriptor(fd, name.c_str());
        const int openError = errno;
        if (held != nullptr) Release(held, false);
        if (nextFd < 0) {
            *error = WinErrorFromErrno(openError);
            return -1;
        }
        std::vector<int> closing;
        {
            std::lock_guard lock(m_mutex);
            if (next->fd >= 0) {
                closing.push_back(nextFd);  // another worker got there first
            } else {
                next->fd = nextFd;
                next->lru = m_lru.insert(m_lru.end(), next);
            }
            ++next->fdUsers;
            fd = next->fd;
            Trim(closing);
        }
        CloseAll(closing);
    }
    return fd;
}

void DescriptorCache::Release(CachedFolder* folder, bool childOpened) {
    std::vector<int> closing;
    {
        std::lock_guard lock(m_mutex);
        --folder->fdUsers;
        if (childOpened && folder->unopenedChildren > 0) --folder->unopenedChildren;
        if (folder->fd >= 0 && !folder->pinned && folder->fdUsers == 0 && folder->unopenedChildren == 0) {
            // Every subfolder is open: the folder's descriptor is done with.
            closing.push_back(folder->fd);
            m_lru.erase(folder->lru);
            folder->fd = -1;
        } else if (folder->fd >= 0 && !folder->pinned) {
            m_lru.splice(m_lru.end(), m_lru, folder->lru);
        }
        Trim(closing);
    }
    CloseAll(closing);
}

void DescriptorCache::Keep(CachedFolder* folder, int fd, std::size_t children) {
    std::vector<int> closing;
    {
        std::lock_guard lock(m_mutex);
        folder->unopenedChildren = children;
        if (folder->fd >= 0) {
            closing.push_back(fd);
        } else if (folder->parent == nullptr) {
            folder->fd = fd;
            folder->pinned = true;
            m_pinned.push_back(fd);
        } else {
            folder->fd = fd;
            folder->lru = m_lru.insert(m_lru.end(), folder);
        }
        Trim(closing);
    }
    CloseAll(closing);
}

void DescriptorCache::Trim(std::vector<int>& closing) {
    for (auto it = m_lru.begin(); m_lru.size() > m_nMaxCached && it != m_lru.end();) {
        CachedFolder* folder = *it;
        if (folder->fdUsers > 0) {
            ++it;
            continue;
        }
        closing.push_back(folder->fd);
        folder->fd = -1;
        it = m_lru.erase(it);
    }
}

}  // namespace norvane
