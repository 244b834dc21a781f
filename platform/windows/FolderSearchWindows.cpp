// Folder enumeration with FindFirstFileExW / FindNextFileW: attributes,
// sizes and times come with each entry, so no entry costs a call of its own.
// A folder handle is the folder's long path ("\\?\..."), which the handle
// holds.
#include "platform/FolderSearch.h"

#include "platform/windows/Win32.h"

#include <string>

#include "platform/CodePage.h"

namespace norvane {

namespace {

std::wstring* PathOf(FolderHandle handle) { return reinterpret_cast<std::wstring*>(handle); }

FolderHandle HandleOf(std::wstring* path) { return static_cast<FolderHandle>(reinterpret_cast<std::intptr_t>(path)); }

std::wstring Join(const std::wstring& folder, std::wstring_view name) {
    std::wstring path = folder;
    if (!path.ends_with(L'\\')) path += L'\\';
    path += name;
    return path;
}

// A symbolic link or a junction: listed as a link, never entered (as a link
// to a folder is not on Linux).
bool IsLink(const WIN32_FIND_DATAW& data) {
    return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
           (data.dwReserved0 == IO_REPARSE_TAG_SYMLINK || data.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT);
}

}  // namespace

struct FolderSearch::State {
    HANDLE find = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW data{};
    bool pending = false;  // data holds an entry not yet given
    std::wstring path;
};

void FolderSearch::Close() {
    if (m_pState == nullptr) return;
    if (m_pState->find != INVALID_HANDLE_VALUE) FindClose(m_pState->find);
    delete m_pState;
    m_pState = nullptr;
}

namespace {

std::uint32_t Start(std::wstring path, FolderSearch::State** state) {
    auto* opened = new FolderSearch::State;
    opened->path = std::move(path);
    opened->find = FindFirstFileExW(Join(opened->path, L"*").c_str(), FindExInfoBasic, &opened->data,
                                    FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (opened->find == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // A drive's root without entries has no "." either.
        if (error != ERROR_FILE_NOT_FOUND) {
            delete opened;
            return error;
        }
    }
    opened->pending = opened->find != INVALID_HANDLE_VALUE;
    *state = opened;
    return ERROR_SUCCESS;
}

}  // namespace

std::uint32_t FolderSearch::Open(const std::string& rawPath) {
    Close();
    if (rawPath.empty()) return Fail(ERROR_PATH_NOT_FOUND);
    return Fail(Start(LongPath(rawPath), &m_pState));
}

std::uint32_t FolderSearch::OpenAt(const FolderSearch& parent, const std::string& rawName) {
    return OpenAt(parent.Handle(), rawName.c_str());
}

std::uint32_t FolderSearch::OpenAt(FolderHandle parent, const char* rawName) {
    Close();
    if (parent == FolderHandle::kNone) return Fail(ERROR_INVALID_HANDLE);
    return Fail(Start(Join(*PathOf(parent), WideFromUtf8(rawName)), &m_pState));
}

FolderHandle FolderSearch::Handle() const {
    return m_pState == nullptr ? FolderHandle::kNone : HandleOf(&m_pState->path);
}

FolderHandle FolderSearch::KeepHandle() const {
    return m_pState == nullptr ? FolderHandle::kNone : HandleOf(new std::wstring(m_pState->path));
}

FolderHandle OpenFolderHandle(const char* rawPath, std::uint32_t* error) {
    std::wstring path = LongPath(rawPath);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        *error = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_DIRECTORY;
        return FolderHandle::kNone;
    }
    return HandleOf(new std::wstring(std::move(path)));
}

// The subfolder was listed as a folder (not a link): it is reached by its
// path, and an error shows once it is searched.
FolderHandle OpenSubfolderHandle(FolderHandle parent, const char* rawName, std::uint32_t* error) {
    if (parent == FolderHandle::kNone) {
        *error = ERROR_INVALID_HANDLE;
        return FolderHandle::kNone;
    }
    return HandleOf(new std::wstring(Join(*PathOf(parent), WideFromUtf8(rawName))));
}

void CloseFolderHandle(FolderHandle handle) {
    if (handle != FolderHandle::kNone) delete PathOf(handle);
}

// Folders are not looked at for loops: a folder is entered only through its
// parent's listing, where junctions and links are not folders.
bool FolderSearch::Identity(FolderIdentity* /*identity*/) const { return false; }

bool FolderSearch::Next(FindData* data) {
    if (m_pState == nullptr || m_pState->find == INVALID_HANDLE_VALUE) {
        if (m_nLastError == ERROR_SUCCESS) m_nLastError = ERROR_NO_MORE_FILES;
        return false;
    }
    State& state = *m_pState;
    if (!state.pending && !FindNextFileW(state.find, &state.data)) {
        m_nLastError = GetLastError();
        return false;
    }
    state.pending = false;
    if (m_pStop != nullptr && m_pStop->load(std::memory_order_relaxed)) {
        m_nLastError = ERROR_OPERATION_ABORTED;
        return false;
    }
    const WIN32_FIND_DATAW& found = state.data;
    data->rawName = Utf8FromWide(found.cFileName);
    data->symbolicLink = IsLink(found);
    const bool directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !data->symbolicLink;
    data->dwFileAttributes = found.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    if (directory) data->dwFileAttributes |= FILE_ATTRIBUTE_DIRECTORY;
    data->regularFile = !directory && !data->symbolicLink && (found.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) == 0;
    data->fileSize = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    data->ftLastWriteTime = Ticks(found.ftLastWriteTime);
    if (directory && !m_bStatDirectories) {
        data->fileSize = 0;
        data->ftLastWriteTime = 0;
    }
    data->statError = 0;
    data->cFileName = FileNameToCodePage(data->rawName, FileSystemCodePage());
    return true;
}

}  // namespace norvane
