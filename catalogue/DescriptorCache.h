// The folder descriptors a scan keeps open: a subfolder is opened relative
// to its parent, so that no path ever has to be spelt out (depth is not
// limited by a path's length), yet a deep or wide tree must not hold a
// descriptor per folder. A folder keeps its descriptor while subfolders of
// it are still to be opened; at most a set number of such descriptors stay
// cached, the least recently used going first, and a folder whose ancestors'
// descriptors were all given up is reached again from the nearest one still
// open, name by name.
//
// Threads. Any number of workers use one cache at a time; it guards its
// state with a lock of its own, never held across a system call that may
// wait on the file system (closing a descriptor aside).
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <string_view>
#include <vector>

namespace norvane {

// A folder as the cache knows it; a scan's folder records derive from it.
struct CachedFolder {
    CachedFolder* parent = nullptr;  // null for the top
    std::string_view rawName;        // the name in the parent; the top: its whole path

    // The cache's own, under its lock (in an order that leaves no gap).
    std::size_t unopenedChildren = 0;
    std::list<CachedFolder*>::iterator lru;
    int fd = -1;
    int fdUsers = 0;
    bool pinned = false;  // the top's stays open
};

class DescriptorCache {
public:
    explicit DescriptorCache(std::size_t maxCached);
    // Closes every descriptor still held.
    ~DescriptorCache();
    DescriptorCache(const DescriptorCache&) = delete;
    DescriptorCache& operator=(const DescriptorCache&) = delete;

    // A descriptor of folder, opened from the nearest ancestor still open
    // (the top by its path when its own is not held); -1 with *error (a
    // Windows error code) when some folder on the way could not be opened.
    // Each successful call is paired with Release.
    int Acquire(CachedFolder* folder, std::uint32_t* error);
    // childOpened: a subfolder was opened through it (one fewer to come).
    void Release(CachedFolder* folder, bool childOpened);
    // A folder that was read keeps fd (its own, handed over) for its
    // children still to be opened; the top keeps it to the end.
    void Keep(CachedFolder* folder, int fd, std::size_t children);

    // Descriptors held now (tests).
    std::size_t OpenCount() const;

private:
    // Closes what the cache no longer needs; the descriptors go to closing.
    void Trim(std::vector<int>& closing);
    int OpenBelow(std::vector<CachedFolder*>& down, int fd, std::uint32_t* error);

    const std::size_t m_nMaxCached;
    mutable std::mutex m_mutex;
    std::list<CachedFolder*> m_lru;  // cached descriptors, the least recently used first
    std::vector<int> m_pinned;
};

}  // namespace norvane
