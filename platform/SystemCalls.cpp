#include "platform/SystemCalls.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/CodePage.h"
#include "platform/WinTypes.h"

namespace norvane {

namespace {

int RealOpenAt(int dirFd, const char* name, int flags) { return ::openat(dirFd, name, flags); }

const SystemCalls kReal = {RealOpenAt, ::fdopendir, ::readdir, ::closedir, ::fstatat, ::mkdir};

SystemCalls g_calls = kReal;

}  // namespace

SystemCalls& Sys() { return g_calls; }

const SystemCalls& RealSystemCalls() { return kReal; }

std::uint32_t WinErrorFromErrno(int error) {
    switch (error) {
        case 0: return ERROR_SUCCESS;
        case ENOENT:
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM: return ERROR_ACCESS_DENIED;
        case ENOMEDIUM: return ERROR_NOT_READY;
        case EEXIST: return ERROR_ALREADY_EXISTS;
        case EIO: return ERROR_READ_FAULT;
        case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
        case EMFILE:
        case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        case ELOOP: return ERROR_CANT_RESOLVE_FILENAME;
        default: return 31;  // ERROR_GEN_FAILURE
    }
}

std::string SystemErrorText(std::uint32_t code) {
    const char* text = nullptr;
    switch (code) {
        case ERROR_FILE_NOT_FOUND: text = "指定されたファイルが見つかりません。"; break;
        case ERROR_PATH_NOT_FOUND: text = "指定されたパスが見つかりません。"; break;
        case ERROR_TOO_MANY_OPEN_FILES: text = "システムはファイルを開くことができません。"; break;
        case ERROR_ACCESS_DENIED: text = "アクセスが拒否されました。"; break;
        case ERROR_NOT_ENOUGH_MEMORY: text = "このコマンドを実行するのに十分な記憶域がありません。"; break;
        case ERROR_NOT_READY: text = "デバイスの準備ができていません。"; break;
        case ERROR_READ_FAULT: text = "指定されたデバイスから読み取ることができません。"; break;
        case 31: text = "システムに接続されたデバイスが機能していません。"; break;
        case ERROR_FILENAME_EXCED_RANGE: text = "ファイル名または拡張子が長すぎます。"; break;
        case ERROR_CANT_RESOLVE_FILENAME: text = "ファイル名を解決できませんでした。"; break;
        default: break;
    }
    std::string utf8 = text != nullptr ? text : "エラー " + std::to_string(code);
    utf8 += '\n';
    return Utf8ToCodePage(utf8);
}

}  // namespace norvane
