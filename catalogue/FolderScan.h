// The folder scan: every file of a folder, and with recursion of all its
// subfolders, as records in a FileStore, handed over in scan order: a
// folder's own files in enumeration order, then each subfolder's tree in
// enumeration order. Workers from the process's pool (WorkerPool) read
// folders ahead of the one thread that takes the rows (enumerate, look at
// each entry, read version resources); the rows, their order and the
// diagnostics are the same for any number of workers.
//
// Its parts: the workers keep folder descriptors in a DescriptorCache and
// take folders to read from a ScanScheduler; each folder's rows and outcome
// go to the consumer through its FolderNews (ScanHandOver.h), and the
// consumer judges failures with the ScanErrorPolicy.
//
// Threads. A FolderScan is made, started, taken from and destroyed by one
// thread, the consumer; only RequestStop may be called from any thread, and
// the wake function runs on a worker (or on a thread that asks for a stop).
// The consumer never takes a lock a worker may hold, except while it blocks
// in Take with a wait. Records are written by the worker that reads their
// folder and handed over with release and acquire: a record that Take has
// returned is complete and is never written again, and it stays at its
// address in the store until the store is cleared (after the scan's workers
// ended). Folder records are immutable once made.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/FileItem.h"

namespace norvane {

// The number of workers when none is asked for. Reading a folder waits on
// the disk or the network far more than it computes, so more workers than
// cores overlap the waits: on a share that answers each call after a round
// trip, 32 workers read a tree in two thirds of the time 16 take, and 64 were
// no faster; on a local disk they cost a few megabytes and no time
// (bench/README.md has the figures).
inline constexpr int kDefaultScanThreads = 32;

struct ScanOptions {
    bool recurse = true;
    bool includeSystem = true;
    bool includeHidden = true;
    // Workers reading folders; 0 reads them on the consumer's thread, inside
    // Take (no thread is started).
    int threads = kDefaultScanThreads;
    // The workers give up the processor after every folder and every few
    // entries, so that a consumer that must answer its user (a window) gets
    // a core at once from a scan that reads a warm cache as fast as the
    // cores go.
    bool workersYield = false;
    // Rows the workers read ahead of what the consumer has taken: past this
    // many they start no folder but the one the consumer waits for, and go
    // on once it has taken half. A consumer that falls behind (a window busy
    // painting) so holds a bounded list of rows to take, not most of a tree.
    std::size_t readAheadRows = 64 * 1024;
};

enum class ScanEnd {
    kCompleted,         // ran to its end (folders it could not read skipped)
    kStoppedByRequest,  // RequestStop
    kStoppedByError,    // an error ended it, or the top folder could not be read
};

struct ScanResult {
    ScanEnd end = ScanEnd::kCompleted;
    bool completed() const { return end == ScanEnd::kCompleted; }
    // Why it stopped on an error: the Windows error code and the text
    // reported for it.
    std::uint32_t errorCode = 0;
    std::string reason;
    // The top folder is not there (or is no folder): nothing was listed.
    bool folderMissing = false;
    // With folderMissing: something other than a folder (a file) is there.
    bool notAFolder = false;
    // The folder the error that stopped the scan is about (code page, "/"
    // at the end).
    std::string folder;
    // Every diagnostic, in order, one per folder it is about: the folder's
    // text, ": " and the message (in the code page, ending with a line
    // feed).
    std::vector<std::string> diagnostics;
};

// What Take hands over: rows in scan order, then the diagnostics that follow
// them (a batch ends where a diagnostic comes between two rows).
struct ScanBatch {
    std::vector<FileItem*> rows;
    std::vector<std::string> diagnostics;
    void clear() {
        rows.clear();
        diagnostics.clear();
    }
};

struct ScanProgress {
    std::uint64_t files = 0;    // files read so far
    std::uint64_t folders = 0;  // folders read so far
    std::string folder;         // the folder the rows have reached (code page)
};

class FolderScan {
public:
    // rawFolder: the top folder as the file system names it (bytes for the
    // system calls); the records show it converted into the code page, with
    // "/" at the end. Nothing is read before Start.
    FolderScan(std::string rawFolder, const ScanOptions& options, FileStore& store);
    // The same into a store the scan holds a share of: letting the scan go
    // never waits. Its workers (one may be inside a slow system call) end on
    // their own and then drop the scan's share of the store.
    FolderScan(std::string rawFolder, const ScanOptions& options, std::shared_ptr<FileStore> store);
    // Stops the workers; with a store of the caller's own, waits for them
    // (they write into it).
    ~FolderScan();
    FolderScan(const FolderScan&) = delete;
    FolderScan& operator=(const FolderScan&) = delete;

    // Starts the workers. wake, when given, is called on a worker thread
    // when something is ready for Take, first after Start, then after each
    // Take that handed over nothing; at most once in between. So a consumer
    // that must not wait (a window) posts itself an event from wake and, on
    // its own thread, calls Take without waiting until a batch comes back
    // empty.
    void Start(std::function<void()> wake = {});
    // Asks the scan to stop; any thread, at any time. It sets a flag and
    // returns: the workers stop at their next entry (or once they are back
    // from the system call they are in), Take at once.
    void RequestStop();

    // Hands over what is ready, up to maxRows rows, waiting up to wait for
    // something when nothing is. False once the scan has ended and all was
    // handed over (batch then holds the last of it). With no wait, Take
    // never waits and takes no lock at all.
    bool Take(ScanBatch& batch, std::chrono::milliseconds wait, std::size_t maxRows = SIZE_MAX);
    // Valid once Take returned false.
    const ScanResult& Result() const;
    // Counts so far; the consumer's thread.
    ScanProgress Progress() const;

    class Engine;

private:
    std::shared_ptr<Engine> m_pEngine;
    bool m_bWaitForWorkers = true;
};

// Receives the diagnostics the scan writes (texts in the code page).
using ScanDiagnostics = std::function<void(std::string_view)>;
// Receives every accepted file, in scan order, once its record is complete.
using ScanSink = std::function<void(FileItem*)>;

// A whole scan on the calling thread's behalf: rows to sink and diagnostics
// to diagnostics in scan order, as they come.
ScanResult ScanFolder(std::string_view rawFolder, const ScanOptions& options, FileStore& store, const ScanSink& sink,
                      const ScanDiagnostics& diagnostics);

// The text of the top folder of a scan of rawFolder (the file system's bytes,
// in its encoding): in the code page, shown as names are, ending with "/".
std::string TopFolderText(std::string_view rawFolder, int fileSystemCodePage);

// The texts the scan writes itself after a folder's name.
std::string_view NotReadyText();      // "ディスクの準備ができていません。\n"
std::string_view AccessDeniedText();  // "アクセスが拒否されました。処理を続けます。\n"
// A folder that is the same as folder, one above it: it is not listed again.
std::string LoopText(std::string_view folder);

}  // namespace norvane
