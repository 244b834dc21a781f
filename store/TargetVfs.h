// Lets SQLite write a database into a FileReplacement: the catalogue is then
// written as every file of the program is, into a temporary file beside its
// target that takes the target's place only once whole. SQLite sees a file
// under a name of its own, through a VFS of the program's that hands every
// other file to SQLite's own VFS.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "platform/FileReplacement.h"

namespace norvane {

// While it lives, the database name Name() opened with the VFS VfsName() is
// the replacement's new content. Only the database itself is opened there:
// it must be written without a journal (journal_mode OFF).
class TargetDatabaseFile {
public:
    explicit TargetDatabaseFile(FileReplacement& target);
    ~TargetDatabaseFile();
    TargetDatabaseFile(const TargetDatabaseFile&) = delete;
    TargetDatabaseFile& operator=(const TargetDatabaseFile&) = delete;

    static const char* VfsName();
    const std::string& Name() const { return m_strName; }
    // The errno of the last read or write that failed (SQLite keeps only
    // its own code).
    int LastError() const;
    // Once *stop is true every write fails (EINTR): a stop comes through
    // also while SQLite writes many pages in one call.
    void SetStop(const std::atomic<bool>* stop);

    struct State;

private:
    std::string m_strName;
    std::unique_ptr<State> m_pState;
};

}  // namespace norvane
