// Where the writer's bytes go: a file, or a string in tests. A sink that
// failed once stays failed and keeps its first error, so a writer may go on
// calling Write and look at the result only at the end.
#pragma once

#include <cstddef>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

#include "platform/FileReplacement.h"

namespace norvane {

class OutputSink {
public:
    OutputSink() = default;
    OutputSink(const OutputSink&) = delete;
    OutputSink& operator=(const OutputSink&) = delete;
    virtual ~OutputSink();

    // Appends bytes. False once any write has failed; later writes are
    // dropped.
    bool Write(std::string_view bytes);
    // Hands buffered bytes on. False when the sink has failed.
    bool Flush();

    bool Failed() const { return m_bFailed; }
    // The errno value of the first error, 0 while none happened.
    int ErrorNumber() const { return m_nError; }
    // The first error as "path: reason", the reason in Japanese (see
    // ErrnoText), all in the file system's encoding, as a terminal shows it;
    // empty while none happened.
    const std::string& ErrorText() const { return m_strError; }

protected:
    // Return false after calling SetFailed.
    virtual bool WriteBytes(std::string_view bytes) = 0;
    virtual bool FlushBytes() { return true; }
    // Keeps the first error only: later ones are usually its consequences.
    // path names what failed in the error text (nothing when empty).
    void SetFailed(int error, const std::string& path);

private:
    bool m_bFailed = false;
    int m_nError = 0;
    std::string m_strError;
};

// A file written anew, or a descriptor handed over. Bytes are buffered and
// written in large blocks. A file's old content stays until Commit: the bytes
// go to a temporary file that only then takes the file's place, keeping its
// permissions, owner and group (a symbolic link keeps pointing at the file it
// names). A sink that is abandoned, or destroyed uncommitted, leaves the
// target as it was and creates nothing. A device or a pipe is written
// directly.
class FileOutputSink final : public OutputSink {
public:
    static constexpr std::size_t kBufferSize = 256 * 1024;

    FileOutputSink();
    // Abandons the file if Commit was not called.
    ~FileOutputSink() override;

    // False (and the sink failed) when the file cannot be written.
    bool Open(const std::string& path);
    // Writes to a descriptor the caller owns (standard output): Commit writes
    // what is buffered and leaves the descriptor open. name stands for the
    // path in error texts.
    bool Attach(FileHandle file, const std::string& name);
    bool IsOpen() const { return m_file != FileHandle::kNone; }
    // A write that a signal interrupts (a full pipe, a slow device) gives up
    // when stop says so, failing with EINTR; otherwise it goes on.
    void SetStop(std::function<bool()> stop) { m_fnStop = std::move(stop); }
    // Writes what is buffered and puts the file in place. False when anything
    // since Open failed, the commit included; the target is then as it was
    // unless TargetChanged says otherwise.
    bool Commit();
    // Drops what was written: the target stays as it was, nothing is created.
    // An attached descriptor gets nothing more. Safe to call at any time.
    void Abandon();
    // True when the target itself was written, so that after a failure it
    // may be incomplete (a device written directly, or a file whose
    // replacement had to be copied into it in place and failed).
    bool TargetChanged() const { return m_bTargetChanged; }

protected:
    bool WriteBytes(std::string_view bytes) override;
    bool FlushBytes() override;

private:
    bool WriteAll(const char* data, std::size_t size);
    void Fail(int error) { SetFailed(error, m_strPath); }
    void Reset();

    FileHandle m_file = FileHandle::kNone;
    bool m_bAttached = false;
    bool m_bTargetChanged = false;
    FileReplacement m_replacement;
    std::function<bool()> m_fnStop;
    std::string m_strPath;
    std::string m_strBuffer;
};

// Collects the bytes in memory. It can be told to fail once a number of bytes
// has been written, to try out what callers do with a full disk.
class StringOutputSink final : public OutputSink {
public:
    const std::string& Text() const { return m_strText; }
    // Bytes beyond this limit fail the sink; what fits is kept.
    void SetFailAfter(std::size_t bytes) { m_nLimit = bytes; }

protected:
    bool WriteBytes(std::string_view bytes) override;

private:
    std::string m_strText;
    std::size_t m_nLimit = std::numeric_limits<std::size_t>::max();
};

}  // namespace norvane
