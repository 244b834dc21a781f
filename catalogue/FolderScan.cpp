#include "catalogue/FolderScan.h"

#include <sys/resource.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "catalogue/VersionProbePool.h"
#include "platform/CodePage.h"
#include "platform/FolderSearch.h"
#include "platform/Paths.h"
#include "platform/SystemCalls.h"
#include "platform/VersionInfo.h"

namespace norvane {

namespace {

enum class Verdict { kEnumerate, kSkip, kStop };

struct Subfolder {
    std::string rawName;
    std::string name;
};

// A deep tree keeps one folder open per level, and pending probes keep one
// each: allow what the system allows.
std::size_t RaiseOpenFileLimit() {
    struct rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1024;
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
        getrlimit(RLIMIT_NOFILE, &limit);
    }
    return limit.rlim_cur == RLIM_INFINITY ? 1u << 20 : static_cast<std::size_t>(limit.rlim_cur);
}

class Scanner {
public:
    Scanner(const ScanOptions& options, FileStore& store, const ScanDiagnostics& diagnostics, ScanResult& result,
            std::size_t openFileLimit)
        : m_options(options),
          m_store(store),
          m_diagnostics(diagnostics),
          m_result(result),
          m_pool(options.probeThreads, std::clamp<std::size_t>(openFileLimit / 4, 4, 1024)) {}

    // One folder: its own files, then (with recursion) each subfolder's tree.
    // openError is the outcome of opening the folder.
    bool ScanTree(FolderSearch& search, std::uint32_t openError, const Folder* folder) {
        std::vector<Subfolder> subfolders;
        Verdict first = Judge(openError);
        if (first == Verdict::kStop) return false;
        std::uint32_t secondCode = openError;
        if (first == Verdict::kEnumerate) {
            search.SetStatDirectories(false);
            ListFiles(search, folder, subfolders);
            secondCode = search.LastError();
        }
        // The subfolders are judged again, as a second enumeration of the
        // folder would be: a folder that could not be read is reported once
        // more, and an error part-way through the folder stops here.
        Verdict second = Judge(secondCode);
        if (second == Verdict::kStop) return false;
        if (second == Verdict::kSkip || !m_options.recurse) return true;
        for (auto& sub : subfolders) {
            FolderSearch child;
            std::uint32_t error = child.OpenAt(search, sub.rawName);
            std::string text;
            text.reserve(folder->text.size() + sub.name.size() + 1);
            text.append(folder->text).append(sub.name).push_back('/');
            const Folder* childFolder = m_store.AddFolder(std::move(text));
            if (!ScanTree(child, error, childFolder)) return false;
        }
        return true;
    }

    void Finish() { m_pool.Wait(); }

private:
    Verdict Judge(std::uint32_t code) {
        switch (code) {
            case ERROR_SUCCESS:
            case ERROR_NO_MORE_FILES: return Verdict::kEnumerate;
            case ERROR_FILE_NOT_FOUND: return Verdict::kSkip;
            case ERROR_NOT_READY: Report(NotReadyText()); return Verdict::kSkip;
            case ERROR_ACCESS_DENIED: Report(AccessDeniedText()); return Verdict::kSkip;
            default: {
                std::string text = SystemErrorText(code);
                Report(text);
                m_result.completed = false;
                m_result.errorCode = code;
                m_result.reason = std::move(text);
                return Verdict::kStop;
            }
        }
    }

    void Report(std::string_view text) {
        if (m_diagnostics) m_diagnostics(text);
    }

    void ListFiles(FolderSearch& search, const Folder* folder, std::vector<Subfolder>& subfolders) {
        std::vector<VersionProbePool::Job> jobs;
        while (search.Next(&m_entry)) {
            std::uint32_t attributes = m_entry.dwFileAttributes;
            if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (m_entry.rawName != "." && m_entry.rawName != "..") {
                    subfolders.push_back(Subfolder{m_entry.rawName, m_entry.cFileName});
                }
                continue;
            }
            if (!m_options.includeSystem && (attributes & FILE_ATTRIBUTE_SYSTEM)) continue;
            if (!m_options.includeHidden && (attributes & FILE_ATTRIBUTE_HIDDEN)) continue;
            FileItem* item = m_store.AddItem(m_entry.cFileName, folder);
            item->fileSize = m_entry.fileSize;
            item->fileTime = m_entry.ftLastWriteTime;
            item->systemFile = (attributes & FILE_ATTRIBUTE_SYSTEM) != 0;
            item->hidden = (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
            // A file too small to hold a version resource is never opened.
            if (m_entry.regularFile && m_entry.fileSize >= kMinVersionResourceFileSize) {
                jobs.push_back(VersionProbePool::Job{item, m_entry.rawName});
            }
            if (m_options.progress && ++m_nSinceProgress == 4096) {
                m_nSinceProgress = 0;
                m_options.progress(m_store.ItemCount());
            }
        }
        m_pool.Submit(search.Fd(), jobs);
    }

    const ScanOptions& m_options;
    FileStore& m_store;
    const ScanDiagnostics& m_diagnostics;
    ScanResult& m_result;
    VersionProbePool m_pool;
    FindData m_entry;
    std::size_t m_nSinceProgress = 0;
};

}  // namespace

std::string_view NotReadyText() {
    static const std::string text = Utf8ToCodePage("ディスクの準備ができていません。\n");
    return text;
}

std::string_view AccessDeniedText() {
    static const std::string text = Utf8ToCodePage("アクセスが拒否されました。処理を続けます。\n");
    return text;
}

ScanResult ScanFolder(std::string_view folder, std::string_view targetFolder, const ScanOptions& options,
                      FileStore& store, const ScanSink& sink, const ScanDiagnostics& diagnostics) {
    ScanResult result;
    int fsCodePage = FileSystemCodePage();
    std::string rawTarget = CodePageToFileSystem(targetFolder, fsCodePage);
    if (!IsRootFolder(rawTarget)) {
        std::uint32_t code = CreateFolder(rawTarget);
        if (code != ERROR_SUCCESS && code != ERROR_ALREADY_EXISTS) {
            result.completed = false;
            result.errorCode = code;
            return result;
        }
    }
    std::size_t firstItem = store.ItemCount();
    {
        Scanner scanner(options, store, diagnostics, result, RaiseOpenFileLimit());
        FolderSearch search;
        std::uint32_t error = search.Open(CodePageToFileSystem(folder, fsCodePage));
        const Folder* top = store.AddFolder(std::string(folder));
        scanner.ScanTree(search, error, top);
        scanner.Finish();
    }
    if (sink) {
        for (std::size_t i = firstItem; i < store.ItemCount(); ++i) sink(store.At(i));
    }
    return result;
}

}  // namespace norvane
