#include "export/OutputSink.h"

#include <algorithm>
#include <cerrno>
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

FileOutputSink::~FileOutputSink() { Abandon(); }

bool FileOutputSink::Open(const std::string& path)
{
    if (m_nFd >= 0) {
        SetFailed(m_strPath + ": the output file is already open");
        return false;
    }
    m_strPath = path;
    if (Failed())
        return false;
    if (const int error = m_replacement.Open(path); error != 0) {
        m_bTargetChanged = m_replacement.TargetChanged();
        FailWithErrno(error);
        return false;
    }
    m_bTargetChanged = m_replacement.TargetChanged();
    m_nFd = m_replacement.Fd();
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
    m_bAttached = true;
    // Bytes handed to a descriptor cannot be taken back.
    m_bTargetChanged = true;
    m_strBuffer.reserve(kBufferSize);
    return true;
}

bool FileOutputSink::Commit()
{
    if (m_nFd < 0)
        return !Failed();
    if (!Failed())
        FlushBytes();
    if (m_bAttached) {
        Reset();
        return !Failed();
    }
    if (Failed()) {
        m_replacement.Abandon();
    } else if (const int error = m_replacement.Commit(); error != 0) {
        FailWithErrno(error);
    }
    m_bTargetChanged = m_bTargetChanged || m_replacement.TargetChanged();
    Reset();
    return !Failed();
}

void FileOutputSink::Abandon()
{
    if (m_nFd < 0)
        return;
    if (!m_bAttached)
        m_replacement.Abandon();
    Reset();
}

void FileOutputSink::Reset()
{
    m_nFd = -1;
    m_bAttached = false;
    m_strBuffer.clear();
    m_strBuffer.shrink_to_fit();
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
