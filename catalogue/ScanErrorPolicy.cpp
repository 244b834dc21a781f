#include "catalogue/ScanErrorPolicy.h"

#include <utility>

#include "platform/SystemCalls.h"

namespace norvane {

namespace {

bool IsVanished(std::uint32_t code) {
    // Gone, renamed, or replaced by a link since its parent was listed.
    return code == ERROR_PATH_NOT_FOUND || code == ERROR_DIRECTORY || code == ERROR_CANT_RESOLVE_FILENAME;
}

// A diagnostic names the folder it is about first.
void Report(const Folder* folder, std::string_view text, std::vector<std::string>& report) {
    std::string line = FolderText(folder);
    line += ": ";
    line += text;
    report.push_back(std::move(line));
}

Verdict Stop(const Folder* folder, std::uint32_t code, std::string reason, ScanResult& result) {
    result.errorCode = code;
    result.reason = std::move(reason);
    result.folder = FolderText(folder);
    return Verdict::kStop;
}

Verdict StopOnError(const Folder* folder, std::uint32_t code, bool silent, ScanResult& result,
                    std::vector<std::string>& report) {
    std::string text = silent ? std::string() : SystemErrorText(code);
    if (!silent) Report(folder, text, report);
    return Stop(folder, code, std::move(text), result);
}

}  // namespace

// A folder that cannot be read, or went away since its parent was listed,
// or is one of the folders above it, is reported once, by its name.
Verdict ScanErrorPolicy::JudgeOpen(const Folder* folder, const FolderOutcome& outcome, ScanResult& result,
                                   std::vector<std::string>& report) const {
    const std::uint32_t code = outcome.openError;
    const bool top = outcome.top;
    if (top && m_bTopNamed) {
        result.folderMissing = code == ERROR_FILE_NOT_FOUND || IsVanished(code);
        result.notAFolder = outcome.notFolder;
    }
    if (outcome.loopOf != nullptr) {
        Report(folder, LoopText(FolderText(outcome.loopOf)), report);
        return Verdict::kSkip;
    }
    switch (code) {
        case ERROR_SUCCESS:
        case ERROR_NO_MORE_FILES: return Verdict::kEnumerate;
        case ERROR_FILE_NOT_FOUND: return top ? StopOnError(folder, code, true, result, report) : Verdict::kSkip;
        case ERROR_NOT_READY:
        case ERROR_ACCESS_DENIED:
            Report(folder, code == ERROR_NOT_READY ? NotReadyText() : AccessDeniedText(), report);
            if (!top) return Verdict::kSkip;
            // The top folder unread leaves nothing listed: the scan is incomplete.
            return Stop(folder, code, SystemErrorText(code), result);
        default:
            if (top && !m_bTopNamed) return StopOnError(folder, code, true, result, report);  // no folder chosen
            if (!top && IsVanished(code)) {
                Report(folder, SystemErrorText(code), report);
                return Verdict::kSkip;
            }
            return StopOnError(folder, code, false, result, report);
    }
}

Verdict ScanErrorPolicy::JudgeEnd(const Folder* folder, const FolderOutcome& outcome, ScanResult& result,
                                  std::vector<std::string>& report) const {
    const bool top = outcome.top;
    if (outcome.denied) {
        Report(folder, AccessDeniedText(), report);
        if (!top) return Verdict::kSkip;
        return Stop(folder, ERROR_ACCESS_DENIED, SystemErrorText(ERROR_ACCESS_DENIED), result);
    }
    const std::uint32_t code = outcome.endError;
    switch (code) {
        case ERROR_SUCCESS:
        case ERROR_NO_MORE_FILES: return Verdict::kEnumerate;
        case ERROR_FILE_NOT_FOUND: return Verdict::kSkip;
        case ERROR_NOT_READY: Report(folder, NotReadyText(), report); return Verdict::kSkip;
        case ERROR_ACCESS_DENIED: Report(folder, AccessDeniedText(), report); return Verdict::kSkip;
        default:
            if (!top && IsVanished(code)) {
                Report(folder, SystemErrorText(code), report);
                return Verdict::kSkip;
            }
            return StopOnError(folder, code, false, result, report);
    }
}

}  // namespace norvane
