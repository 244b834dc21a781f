#include "catalogue/ScanErrorPolicy.h"

#include <utility>

#include "platform/SystemCalls.h"

namespace norvane {

namespace {

bool IsVanished(std::uint32_t code) {
    // Gone, renamed, or replaced by a link since its parent was listed.
    return code == ERROR_PATH_NOT_FOUND || code == ERROR_DIRECTORY || code == ERROR_CANT_RESOLVE_FILENAME;
}

Verdict StopOnError(std::uint32_t code, bool silent, ScanResult& result, std::vector<std::string>& report) {
    std::string text = silent ? std::string() : SystemErrorText(code);
    if (!silent) report.push_back(text);
    result.errorCode = code;
    result.reason = std::move(text);
    return Verdict::kStop;
}

}  // namespace

// A folder that cannot be read is reported on both passes, as its parent
// lists it twice; one that went away since its parent was listed is
// reported once.
Verdict ScanErrorPolicy::JudgeOpen(const FolderOutcome& folder, ScanResult& result,
                                   std::vector<std::string>& report) const {
    const std::uint32_t code = folder.openError;
    const bool top = folder.top;
    if (top && m_bTopNamed) {
        result.folderMissing = code == ERROR_FILE_NOT_FOUND || IsVanished(code);
        result.notAFolder = folder.notFolder;
    }
    switch (code) {
        case ERROR_SUCCESS:
        case ERROR_NO_MORE_FILES: return Verdict::kEnumerate;
        case ERROR_FILE_NOT_FOUND: return top ? StopOnError(code, true, result, report) : Verdict::kSkip;
        case ERROR_NOT_READY:
        case ERROR_ACCESS_DENIED: {
            const std::string_view text = code == ERROR_NOT_READY ? NotReadyText() : AccessDeniedText();
            report.emplace_back(text);
            report.emplace_back(text);
            if (!top) return Verdict::kSkip;
            // The top folder unread leaves nothing listed: the scan is incomplete.
            result.errorCode = code;
            result.reason = SystemErrorText(code);
            return Verdict::kStop;
        }
        default:
            if (top && !m_bTopNamed) return StopOnError(code, true, result, report);  // no folder chosen
            if (!top && IsVanished(code)) {
                report.push_back(SystemErrorText(code));
                return Verdict::kSkip;
            }
            return StopOnError(code, false, result, report);
    }
}

Verdict ScanErrorPolicy::JudgeEnd(const FolderOutcome& folder, ScanResult& result,
                                  std::vector<std::string>& report) const {
    const bool top = folder.top;
    if (folder.denied) {
        report.emplace_back(AccessDeniedText());
        if (!top) return Verdict::kSkip;
        result.errorCode = ERROR_ACCESS_DENIED;
        result.reason = SystemErrorText(ERROR_ACCESS_DENIED);
        return Verdict::kStop;
    }
    const std::uint32_t code = folder.endError;
    switch (code) {
        case ERROR_SUCCESS:
        case ERROR_NO_MORE_FILES: return Verdict::kEnumerate;
        case ERROR_FILE_NOT_FOUND: return Verdict::kSkip;
        case ERROR_NOT_READY: report.emplace_back(NotReadyText()); return Verdict::kSkip;
        case ERROR_ACCESS_DENIED: report.emplace_back(AccessDeniedText()); return Verdict::kSkip;
        default:
            if (!top && IsVanished(code)) {
                report.push_back(SystemErrorText(code));
                return Verdict::kSkip;
            }
            return StopOnError(code, false, result, report);
    }
}

}  // namespace norvane
