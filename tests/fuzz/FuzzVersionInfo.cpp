// Feeds arbitrary bytes to the version-resource reader. Besides staying free
// of crashes and undefined behaviour, the reader must keep two promises:
// a failed read leaves the block all zero, and no image smaller than
// kMinVersionResourceFileSize passes on its layout alone (checked by claiming
// a larger size than the bytes hold: every read past the real end fails).
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/VersionInfo.h"

namespace {

class ClaimedSizeSource : public norvane::ByteSource {
public:
    ClaimedSizeSource(const std::uint8_t* data, std::size_t size, std::uint64_t claimed)
        : m_memory(data, size), m_nClaimed(claimed) {}
    std::uint64_t Size() const override { return m_nClaimed; }
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const override {
        return m_memory.ReadAt(offset, buffer, length);
    }

private:
    norvane::MemoryByteSource m_memory;
    std::uint64_t m_nClaimed;
};

bool IsZero(const norvane::VS_FIXEDFILEINFO& info) {
    const norvane::VS_FIXEDFILEINFO zero;
    return std::memcmp(&info, &zero, sizeof(info)) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    norvane::VS_FIXEDFILEINFO info;
    info.dwSignature = 1;
    const norvane::MemoryByteSource source(data, size);
    if (norvane::ReadFixedFileInfo(source, &info)) {
        if (info.dwSignature != norvane::kFixedFileInfoSignature) std::abort();
    } else if (!IsZero(info)) {
        std::abort();
    }

    if (size < norvane::kMinVersionResourceFileSize) {
        const ClaimedSizeSource claimed(data, size, norvane::kMinVersionResourceFileSize);
        if (norvane::ReadFixedFileInfo(claimed, &info)) std::abort();
    }
    return 0;
}
