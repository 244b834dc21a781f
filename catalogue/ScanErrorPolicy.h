// What a scan does about a folder it could not read wholly: report it and
// go on, or stop the scan. Judged on the consumer's side, in scan order, so
// the diagnostics come in the same order whatever the number of workers.
// A folder is judged twice: once opened (whether it can be enumerated),
// once read (how the enumeration ended); a folder is reported once, by its
// name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/FolderScan.h"
#include "platform/WinTypes.h"

namespace norvane {

// What reading one folder came to (kept for every folder of a scan until
// its end: small).
struct FolderOutcome {
    // One of the folders above it, which it is (a folder bind-mounted
    // inside itself): not listed again.
    const Folder* loopOf = nullptr;
    std::uint32_t openError = ERROR_SUCCESS;
    std::uint32_t endError = ERROR_NO_MORE_FILES;
    bool top = false;
    bool denied = false;     // listed, but its entries could not be looked at
    bool notFolder = false;  // the top only: something else is there
};

enum class Verdict { kEnumerate, kSkip, kStop };

class ScanErrorPolicy {
public:
    // topNamed: a folder was given at all (without one the scan ends
    // silently).
    explicit ScanErrorPolicy(bool topNamed) : m_bTopNamed(topNamed) {}

    // The texts to report go to report (the folder's text, ": " and the
    // message, in the code page, each with its line end); a stop's code,
    // reason and folder, and whether the top is missing, go to result.
    Verdict JudgeOpen(const Folder* folder, const FolderOutcome& outcome, ScanResult& result,
                      std::vector<std::string>& report) const;
    Verdict JudgeEnd(const Folder* folder, const FolderOutcome& outcome, ScanResult& result,
                     std::vector<std::string>& report) const;

private:
    bool m_bTopNamed;
};

}  // namespace norvane
