#include "store/TargetVfs.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <string_view>

namespace norvane {

struct TargetDatabaseFile::State {
    FileReplacement* target = nullptr;
    std::atomic<int> lastError{0};
    const std::atomic<bool>* stop = nullptr;
};

namespace {

constexpr std::string_view kNamePrefix = "norvane-target:";

struct Registry {
    std::mutex mutex;
    std::map<std::string, TargetDatabaseFile::State*, std::less<>> states;
    unsigned long next = 0;
};

Registry& Targets() {
    static Registry registry;
    return registry;
}

bool IsTargetName(const char* name) { return name != nullptr && std::string_view(name).starts_with(kNamePrefix); }

// An open target: SQLite's file object, followed by ours.
struct TargetFile {
    sqlite3_file base;
    TargetDatabaseFile::State* state;
};

TargetDatabaseFile::State* StateOf(sqlite3_file* file) { return reinterpret_cast<TargetFile*>(file)->state; }

bool IsFull(int error) {
#ifdef EDQUOT
    if (error == EDQUOT) return true;
#endif
    return error == ENOSPC || error == EFBIG;
}

int Failed(sqlite3_file* file, int error, int code) {
    StateOf(file)->lastError = error;
    return IsFull(error) ? SQLITE_FULL : code;
}

int Close(sqlite3_file* /*file*/) { return SQLITE_OK; }

int Read(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset) {
    std::size_t got = 0;
    const auto size = static_cast<std::size_t>(amount);
    if (const int error = StateOf(file)->target->ReadAt(static_cast<std::uint64_t>(offset), buffer, size, &got))
        return Failed(file, error, SQLITE_IOERR_READ);
    if (got == size) return SQLITE_OK;
    // SQLite asks that what lies past the end reads as zeros.
    std::memset(static_cast<char*>(buffer) + got, 0, size - got);
    return SQLITE_IOERR_SHORT_READ;
}

int Write(sqlite3_file* file, const void* data, int amount, sqlite3_int64 offset) {
    const std::atomic<bool>* stop = StateOf(file)->stop;
    if (stop != nullptr && stop->load(std::memory_order_relaxed)) return Failed(file, EINTR, SQLITE_IOERR_WRITE);
    const int error =
        StateOf(file)->target->WriteAt(static_cast<std::uint64_t>(offset), data, static_cast<std::size_t>(amount));
    return error == 0 ? SQLITE_OK : Failed(file, error, SQLITE_IOERR_WRITE);
}

int Truncate(sqlite3_file* file, sqlite3_int64 size) {
    const int error = StateOf(file)->target->Truncate(static_cast<std::uint64_t>(size));
    return error == 0 ? SQLITE_OK : Failed(file, error, SQLITE_IOERR_TRUNCATE);
}

// The replacement makes its bytes durable as it takes the target's place.
int Sync(sqlite3_file* /*file*/, int /*flags*/) { return SQLITE_OK; }

int FileSize(sqlite3_file* file, sqlite3_int64* size) {
    std::uint64_t bytes = 0;
    if (const int error = StateOf(file)->target->Size(&bytes)) return Failed(file, error, SQLITE_IOERR_FSTAT);
    *size = static_cast<sqlite3_int64>(bytes);
    return SQLITE_OK;
}

// The file is the writer's alone until it is committed.
int Lock(sqlite3_file* /*file*/, int /*level*/) { return SQLITE_OK; }
int CheckReservedLock(sqlite3_file* /*file*/, int* reserved) {
    *reserved = 0;
    return SQLITE_OK;
}
int FileControl(sqlite3_file* /*file*/, int /*op*/, void* /*arg*/) { return SQLITE_NOTFOUND; }
int SectorSize(sqlite3_file* /*file*/) { return 4096; }
int DeviceCharacteristics(sqlite3_file* /*file*/) { return 0; }

const sqlite3_io_methods kTargetMethods = {1,
                                           Close,
                                           Read,
                                           Write,
                                           Truncate,
                                           Sync,
                                           FileSize,
                                           Lock,
                                           Lock,
                                           CheckReservedLock,
                                           FileControl,
                                           SectorSize,
                                           DeviceCharacteristics,
                                           nullptr,
                                           nullptr,
                                           nullptr,
                                           nullptr,
                                           nullptr,
                                           nullptr};

sqlite3_vfs* Base(sqlite3_vfs* vfs) { return static_cast<sqlite3_vfs*>(vfs->pAppData); }

int Open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* outFlags) {
    if (!IsTargetName(name)) return Base(vfs)->xOpen(Base(vfs), name, file, flags, outFlags);
    file->pMethods = nullptr;
    // A journal or any other file beside the database has no place here.
    if ((flags & SQLITE_OPEN_MAIN_DB) == 0) return SQLITE_CANTOPEN;
    std::lock_guard lock(Targets().mutex);
    const auto it = Targets().states.find(std::string_view(name));
    if (it == Targets().states.end()) return SQLITE_CANTOPEN;
    auto* target = reinterpret_cast<TargetFile*>(file);
    target->state = it->second;
    file->pMethods = &kTargetMethods;
    if (outFlags != nullptr) *outFlags = flags;
    return SQLITE_OK;
}

int Delete(sqlite3_vfs* vfs, const char* name, int syncDir) {
    return IsTargetName(name) ? SQLITE_OK : Base(vfs)->xDelete(Base(vfs), name, syncDir);
}

int Access(sqlite3_vfs* vfs, const char* name, int flags, int* result) {
    if (!IsTargetName(name)) return Base(vfs)->xAccess(Base(vfs), name, flags, result);
    *result = 0;  // no journal, no WAL
    return SQLITE_OK;
}

int FullPathname(sqlite3_vfs* vfs, const char* name, int size, char* out) {
    if (!IsTargetName(name)) return Base(vfs)->xFullPathname(Base(vfs), name, size, out);
    const std::size_t length = std::strlen(name);
    if (length + 1 > static_cast<std::size_t>(size)) return SQLITE_CANTOPEN;
    std::memcpy(out, name, length + 1);
    return SQLITE_OK;
}

void* DlOpen(sqlite3_vfs* vfs, const char* name) { return Base(vfs)->xDlOpen(Base(vfs), name); }
void DlError(sqlite3_vfs* vfs, int size, char* out) { Base(vfs)->xDlError(Base(vfs), size, out); }
void (*DlSym(sqlite3_vfs* vfs, void* handle, const char* symbol))(void) {
    return Base(vfs)->xDlSym(Base(vfs), handle, symbol);
}
void DlClose(sqlite3_vfs* vfs, void* handle) { Base(vfs)->xDlClose(Base(vfs), handle); }
int Randomness(sqlite3_vfs* vfs, int size, char* out) { return Base(vfs)->xRandomness(Base(vfs), size, out); }
int Sleep(sqlite3_vfs* vfs, int microseconds) { return Base(vfs)->xSleep(Base(vfs), microseconds); }
int CurrentTime(sqlite3_vfs* vfs, double* now) { return Base(vfs)->xCurrentTime(Base(vfs), now); }
int GetLastError(sqlite3_vfs* vfs, int size, char* out) { return Base(vfs)->xGetLastError(Base(vfs), size, out); }

// Registered once, never the default VFS.
void RegisterVfs() {
    static std::once_flag once;
    std::call_once(once, [] {
        static sqlite3_vfs vfs{};
        sqlite3_vfs* base = sqlite3_vfs_find(nullptr);
        vfs.iVersion = 1;
        vfs.szOsFile = std::max(static_cast<int>(sizeof(TargetFile)), base->szOsFile);
        vfs.mxPathname = base->mxPathname;
        vfs.zName = TargetDatabaseFile::VfsName();
        vfs.pAppData = base;
        vfs.xOpen = Open;
        vfs.xDelete = Delete;
        vfs.xAccess = Access;
        vfs.xFullPathname = FullPathname;
        vfs.xDlOpen = DlOpen;
        vfs.xDlError = DlError;
        vfs.xDlSym = DlSym;
        vfs.xDlClose = DlClose;
        vfs.xRandomness = Randomness;
        vfs.xSleep = Sleep;
        vfs.xCurrentTime = CurrentTime;
        vfs.xGetLastError = GetLastError;
        sqlite3_vfs_register(&vfs, 0);
    });
}

}  // namespace

TargetDatabaseFile::TargetDatabaseFile(FileReplacement& target) : m_pState(std::make_unique<State>()) {
    RegisterVfs();
    m_pState->target = &target;
    std::lock_guard lock(Targets().mutex);
    m_strName = std::string(kNamePrefix) + std::to_string(Targets().next++);
    Targets().states.emplace(m_strName, m_pState.get());
}

TargetDatabaseFile::~TargetDatabaseFile() {
    {
        std::lock_guard lock(Targets().mutex);
        Targets().states.erase(m_strName);
    }
}

const char* TargetDatabaseFile::VfsName() { return "norvane-target"; }

int TargetDatabaseFile::LastError() const { return m_pState->lastError.load(); }

void TargetDatabaseFile::SetStop(const std::atomic<bool>* stop) { m_pState->stop = stop; }

}  // namespace norvane
