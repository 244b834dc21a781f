// Where the writer's bytes go: a file, or a string in tests. A sink that
// failed once stays failed and keeps the text of its first error, so a writer
// may go on calling Write and look at the result only at the end.
#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

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
    // The first error, empty while none happened.
    const std::string& ErrorText() const { return m_strError; }

protected:
    // Return false after calling SetFailed.
    virtual bool WriteBytes(std::string_view bytes) = 0;
    virtual bool FlushBytes() { return true; }
    // Keeps the first error only: later ones are usually its consequences.
    void SetFailed(std::string errorText);

private:
    bool m_bFailed = false;
    std::string m_strError;
};

// A file opened for writing (created when missing, truncated when
// present), or a descriptor handed over. Bytes are buffered and written in
// large blocks.
class FileOutputSink final : public OutputSink {
public:
    static constexpr std::size_t kBufferSize = 256 * 1024;

    FileOutputSink();
    // Closes the file if Close was not called; an error then goes unreported,
    // so callers that care call Close.
    ~FileOutputSink() override;

    // False (and the sink failed) when the file cannot be opened.
    bool Open(const std::string& path);
    // Writes to a descriptor the caller owns (standard output): Close writes
    // what is buffered and leaves the descriptor open. name stands for the
    // path in error texts.
    bool Attach(int fd, const std::string& name);
    bool IsOpen() const { return m_nFd >= 0; }
    // Writes what is buffered and closes the file. False when anything since
    // Open failed, the close included.
    bool Close();

protected:
    bool WriteBytes(std::string_view bytes) override;
    bool FlushBytes() override;

private:
    bool WriteAll(const char* data, std::size_t size);
    void FailWithErrno(int error);

    int m_nFd = -1;
    bool m_bOwnsFd = true;
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
