#include "export/OutputSink.h"

#include <algorithm>
#include <cerrno>

#include "platform/CodePage.h"
#include "platform/SystemCalls.h"

namespace norvane {

OutputSink::~OutputSink() = default;

bool OutputSink::Write(std::string_view bytes) {
    if (m_bFailed) return false;
    if (bytes.empty()) return true;
    return WriteBytes(bytes);
}

bool OutputSink::Flush() {
    if (m_bFailed) return false;
    return FlushBytes();
}

void OutputSink::SetFailed(int error, const std::string& path) {
    if (m_bFailed) return;
    m_bFailed = true;
    m_nError = error;
    m_strError = path.empty() ? std::string() : path + ": ";
    m_strError += Utf8ToCodePage(ErrnoText(error, true), FileSystemCodePage());
}

FileOutputSink::FileOutputSink() = default;

FileOutputSink::~FileOutputSink() { Abandon(); }

bool FileOutputSink::Open(const std::string& path) {
    if (m_file != FileHandle::kNone) {
        SetFailed(EBUSY, m_strPath);
        return false;
    }
    m_strPath = path;
    if (Failed()) return false;
    if (const int error = m_replacement.Open(path); error != 0) {
        m_bTargetChanged = m_replacement.TargetChanged();
        Fail(error);
        return false;
    }
    m_bTargetChanged = m_replacement.TargetChanged();
    m_file = m_replacement.Handle();
    m_strBuffer.reserve(kBufferSize);
    return true;
}

bool FileOutputSink::Attach(FileHandle file, const std::string& name) {
    if (m_file != FileHandle::kNone) {
        SetFailed(EBUSY, m_strPath);
        return false;
    }
    m_strPath = name;
    if (Failed()) return false;
    m_file = file;
    m_bAttached = true;
    // Bytes handed to a descriptor cannot be taken back.
    m_bTargetChanged = true;
    m_strBuffer.reserve(kBufferSize);
    return true;
}

bool FileOutputSink::Commit() {
    if (m_file == FileHandle::kNone) return !Failed();
    if (!Failed()) FlushBytes();
    if (m_bAttached) {
        Reset();
        return !Failed();
    }
    if (Failed()) {
        m_replacement.Abandon();
    } else if (const int error = m_replacement.Commit(); error != 0) {
        Fail(error);
    }
    m_bTargetChanged = m_bTargetChanged || m_replacement.TargetChanged();
    Reset();
    return !Failed();
}

void FileOutputSink::Abandon() {
    if (m_file == FileHandle::kNone) return;
    if (!m_bAttached) m_replacement.Abandon();
    Reset();
}

void FileOutputSink::Reset() {
    m_file = FileHandle::kNone;
    m_bAttached = false;
    m_strBuffer.clear();
    m_strBuffer.shrink_to_fit();
}

bool FileOutputSink::WriteBytes(std::string_view bytes) {
    if (m_file == FileHandle::kNone) {
        SetFailed(EBADF, m_strPath);
        return false;
    }
    if (m_strBuffer.size() + bytes.size() <= kBufferSize) {
        m_strBuffer.append(bytes);
        return true;
    }
    if (!FlushBytes()) return false;
    if (bytes.size() >= kBufferSize) return WriteAll(bytes.data(), bytes.size());
    m_strBuffer.append(bytes);
    return true;
}

bool FileOutputSink::FlushBytes() {
    if (m_file == FileHandle::kNone) return !Failed();
    const bool bOk = WriteAll(m_strBuffer.data(), m_strBuffer.size());
    m_strBuffer.clear();
    return bOk;
}

bool FileOutputSink::WriteAll(const char* data, std::size_t size) {
    while (size > 0) {
        int error = 0;
        const long long written = WriteSome(m_file, data, size, &error);
        if (written < 0) {
            if (error == EINTR && !(m_fnStop && m_fnStop())) continue;
            Fail(error);
            return false;
        }
        if (written == 0) {
            // Not expected from a regular file; failing beats looping.
            Fail(EIO);
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool StringOutputSink::WriteBytes(std::string_view bytes) {
    const std::size_t room = m_nLimit - std::min(m_nLimit, m_strText.size());
    if (bytes.size() <= room) {
        m_strText.append(bytes);
        return true;
    }
    m_strText.append(bytes.substr(0, room));
    SetFailed(ENOSPC, {});
    return false;
}

}  // namespace norvane
