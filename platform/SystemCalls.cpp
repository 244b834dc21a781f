#include "platform/SystemCalls.h"

#include <cerrno>

#include "platform/CodePage.h"
#include "platform/WinTypes.h"

namespace norvane {

std::uint32_t WinErrorFromErrno(int error, bool bWriting) {
    switch (error) {
        case 0: return ERROR_SUCCESS;
        case ENOENT:
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR: return ERROR_ACCESS_DENIED;
#ifdef ENOMEDIUM  // errno values some C libraries lack (Windows')
        case ENOMEDIUM: return ERROR_NOT_READY;
#endif
        case EEXIST: return ERROR_ALREADY_EXISTS;
        // A read fault says "cannot read", which a failed write is not.
        case EIO: return bWriting ? ERROR_IO_DEVICE : ERROR_READ_FAULT;
        case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
        case EMFILE:
        case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        case ELOOP: return ERROR_CANT_RESOLVE_FILENAME;
#ifdef EDQUOT
        case EDQUOT:
#endif
        case ENOSPC: return ERROR_DISK_FULL;
        case EROFS: return ERROR_WRITE_PROTECT;
        case EFBIG: return ERROR_FILE_TOO_LARGE;
        case ETXTBSY:
        case EBUSY: return ERROR_SHARING_VIOLATION;
        case EBADF: return ERROR_INVALID_HANDLE;
        case EINVAL: return ERROR_INVALID_PARAMETER;
        case EOPNOTSUPP: return ERROR_NOT_SUPPORTED;
        case EILSEQ: return ERROR_INVALID_NAME;
        case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
        case EPIPE: return ERROR_NO_DATA;
#ifdef EUCLEAN
        case EUCLEAN: return ERROR_FILE_CORRUPT;
#endif
            // A network file system whose server went away.
#ifdef ESTALE
        case ESTALE:
        case EHOSTDOWN:
#endif
        case ENOTCONN:
        case ECONNRESET:
        case ECONNABORTED:
        case EHOSTUNREACH:
        case ETIMEDOUT: return ERROR_NETNAME_DELETED;
        default: return ERROR_GEN_FAILURE;
    }
}

std::string SystemErrorTextUtf8(std::uint32_t code) {
    if (std::string own = SystemMessageUtf8(code); !own.empty()) return own;
    const char* text = nullptr;
    switch (code) {
        case ERROR_FILE_NOT_FOUND: text = "指定されたファイルが見つかりません。"; break;
        case ERROR_PATH_NOT_FOUND: text = "指定されたパスが見つかりません。"; break;
        case ERROR_TOO_MANY_OPEN_FILES: text = "システムはファイルを開くことができません。"; break;
        case ERROR_ACCESS_DENIED: text = "アクセスが拒否されました。"; break;
        case ERROR_INVALID_HANDLE: text = "ハンドルが無効です。"; break;
        case ERROR_NOT_ENOUGH_MEMORY: text = "このコマンドを実行するのに十分な記憶域がありません。"; break;
        case ERROR_WRITE_PROTECT: text = "このメディアは書き込み禁止になっています。"; break;
        case ERROR_NOT_READY: text = "デバイスの準備ができていません。"; break;
        case ERROR_READ_FAULT: text = "指定されたデバイスから読み取ることができません。"; break;
        case ERROR_GEN_FAILURE: text = "システムに接続されたデバイスが機能していません。"; break;
        case ERROR_SHARING_VIOLATION:
            text = "プロセスはファイルにアクセスできません。別のプロセスが使用中です。";
            break;
        case ERROR_NOT_SUPPORTED: text = "要求はサポートされていません。"; break;
        case ERROR_NETNAME_DELETED: text = "指定されたネットワーク名は利用できません。"; break;
        case ERROR_INVALID_PARAMETER: text = "パラメーターが間違っています。"; break;
        case ERROR_DISK_FULL: text = "ディスクに十分な空き領域がありません。"; break;
        case ERROR_INVALID_NAME:
            text = "ファイル名、ディレクトリ名、またはボリューム ラベルの構文が間違っています。";
            break;
        case ERROR_DIR_NOT_EMPTY: text = "ディレクトリが空ではありません。"; break;
        case ERROR_ALREADY_EXISTS: text = "既に存在するファイルを作成することはできません。"; break;
        case ERROR_FILENAME_EXCED_RANGE: text = "ファイル名または拡張子が長すぎます。"; break;
        case ERROR_FILE_TOO_LARGE: text = "ファイル サイズが制限を超えているため、保存できません。"; break;
        case ERROR_NO_DATA: text = "パイプを閉じています。"; break;
        case ERROR_DIRECTORY: text = "ディレクトリ名が無効です。"; break;
        case ERROR_IO_DEVICE: text = "I/O デバイス エラーが発生したため、要求を実行できませんでした。"; break;
        case ERROR_FILE_CORRUPT: text = "ファイルまたはディレクトリが壊れているため、読み取ることができません。"; break;
        case ERROR_CANT_RESOLVE_FILENAME: text = "ファイル名を解決できませんでした。"; break;
        default: break;
    }
    return text != nullptr ? std::string(text) : "エラー " + std::to_string(code);
}

std::string SystemErrorText(std::uint32_t code) { return Utf8ToCodePage(SystemErrorTextUtf8(code) + '\n'); }

std::string ErrnoText(int error, bool bWriting) { return SystemErrorTextUtf8(WinErrorFromErrno(error, bWriting)); }

}  // namespace norvane
