#include "export/OutputSink.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace norvane {

OutputSink::~OutputSink() = default;

bool OutputSink::Write(std::string_view bytes)
{
    if (m_bFailed)
        return false;
    if (bytes.empty())
        return true;
    return WriteBytes(bytes);
}

bool OutputSink::Flush()
{
    if (m_bFailed)
        return false;
    return FlushBytes();
}

void OutputSink::SetFailed(std::string errorText)
{
    if (m_bFailed)
        return;
    m_bFailed = true;
    m_strError = std::move(errorText);
}

FileOutputSink::FileOutputSink() = default;

FileOutputSink::~FileOutputSink()
{
    if (m_nFd >= 0)
        Close();
}

bool FileOutputSink::Open(const std::string& path)
{
    if (m_nFd >= 0) {
        SetFailed(m_strPath + ": the output file is already open");
        return false;
    }
    m_strPath = path;
    if (Failed())
        return false;
    // 0666 lets the umask decide, as for any file a user program creates.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        FailWithErrno(errno);
        return false;
    }
    m_nFd = fd;
    m_strBuffer.reserve(kBufferSize);
    return true;
}

bool FileOutputSink::Attach(int fd, const std::string& name)
{
    if (m_nFd >= 0) {
        SetFailed(m_strPath + ": the output file is already open");
        return false;
    }
    m_strPath = name;
    if (Failed())
        return false;
    m_nFd = fd;
    m_bOwnsFd = false;
    m_strBuffer.reserve(kBufferSize);
    return true;
}

bool FileOutputSink::Close()
{
    if (m_nFd < 0)
        return !Failed();
    if (!Failed())
        FlushBytes();
    // close() can report a write error that the file system deferred (NFS,
    // quota); the descriptor is gone either way, so it is never retried.
    if (m_bOwnsFd && ::close(m_nFd) != 0)
        FailWithErrno(errno);
    m_nFd = -1;
    m_bOwnsFd = true;
    m_strBuffer.clear();
    m_strBuffer.shrink_to_fit();
    return !Failed();
}

bool FileOutputSink::WriteBytes(std::string_view bytes)
{
    if (m_nFd < 0) {
        SetFailed("no output file is open");
        return false;
    }
    if (m_strBuffer.size() + bytes.size() <= kBufferSize) {
        m_strBuffer.append(bytes);
        return true;
    }
    if (!FlushBytes())
        return false;
    if (bytes.size() >= kBufferSize)
        return WriteAll(bytes.data(), bytes.size());
    m_strBuffer.append(bytes);
    return true;
}

bool FileOutputSink::FlushBytes()
{
    if (m_nFd < 0)
        return !Failed();
    const bool bOk = WriteAll(m_strBuffer.data(), m_strBuffer.size());
    m_strBuffer.clear();
    return bOk;
}

bool FileOutputSink::WriteAll(const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(m_nFd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            FailWithErrno(errno);
            return false;
        }
        if (written == 0) {
            // Not expected from a regular file; failing beats looping.
            FailWithErrno(EIO);
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

void FileOutputSink::FailWithErrno(int error)
{
    std::string text = m_strPath;
    text += ": ";
    text += std::generic_category().message(error);
    SetFailed(std::move(text));
}

bool StringOutputSink::WriteBytes(std::string_view bytes)
{
    const std::size_t room = m_nLimit - std::min(m_nLimit, m_strText.size());
    if (bytes.size() <= room) {
        m_strText.append(bytes);
        return true;
    }
    m_strText.append(bytes.substr(0, room));
    SetFailed("No space left on device");
    return false;
}

}  // namespace norvane
