#include "platform/VersionInfo.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>

namespace norvane {

namespace {

// DOS header.
constexpr std::uint64_t kDosHeaderSize = 64;
constexpr std::size_t kLfanewOffset = 0x3C;

// "PE\0\0" and the COFF file header.
constexpr std::uint64_t kNtSignatureSize = 4;
constexpr std::uint64_t kFileHeaderSize = 20;
constexpr std::size_t kNumberOfSectionsOffset = 4 + 2;
constexpr std::size_t kSizeOfOptionalHeaderOffset = 4 + 16;

// Optional header.
constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;
constexpr std::uint64_t kPe32DirectoriesOffset = 96;
constexpr std::uint64_t kPe32PlusDirectoriesOffset = 112;
constexpr std::uint64_t kDataDirectorySize = 8;
constexpr std::uint32_t kResourceDirectoryIndex = 2;
constexpr std::uint64_t kDirectoriesNeeded = kResourceDirectoryIndex + 1;

// Section header.
constexpr std::uint64_t kSectionHeaderSize = 40;

// Resource tree.
constexpr std::uint64_t kResourceDirectorySize = 16;
constexpr std::uint64_t kResourceEntrySize = 8;
constexpr std::uint64_t kResourceDataEntrySize = 16;
constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kHighBit = 0x80000000u;

// VS_VERSIONINFO up to the end of its VS_FIXEDFILEINFO.
constexpr char16_t kVersionKey[] = u"VS_VERSION_INFO";
constexpr std::uint64_t kVersionHeaderSize = 6;
constexpr std::uint64_t kVersionKeySize = sizeof(kVersionKey);  // terminator included
constexpr std::uint64_t kFixedInfoOffset = (kVersionHeaderSize + kVersionKeySize + 3) / 4 * 4;
constexpr std::uint64_t kFixedInfoSize = sizeof(VS_FIXEDFILEINFO);
constexpr std::uint64_t kVersionBlockMinSize = kFixedInfoOffset + kFixedInfoSize;

// Hostile counts end the read instead of costing time.
constexpr std::uint64_t kMaxEntries = 4096;
constexpr std::uint64_t kMaxSections = 4096;
// Entries and section headers are read this many at a time.
constexpr std::uint64_t kEntriesPerRead = 32;
constexpr std::uint64_t kSectionsPerRead = 16;

constexpr std::uint64_t kMinPe32HeadersEnd = kDosHeaderSize + kNtSignatureSize + kFileHeaderSize +
                                             kPe32DirectoriesOffset + kDirectoriesNeeded * kDataDirectorySize +
                                             kSectionHeaderSize;
constexpr std::uint64_t kMinResourceBytes =
    (kResourceDirectorySize + kResourceEntrySize) * 3 + kResourceDataEntrySize + kVersionBlockMinSize;
static_assert(kVersionBlockMinSize == 92);
static_assert(kMinPe32HeadersEnd + kMinResourceBytes == kMinVersionResourceFileSize,
              "the size bound follows from the layout the reader requires");

std::uint16_t Le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::uint32_t Le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

struct Section {
    std::uint64_t virtualAddress = 0;
    std::uint64_t virtualSize = 0;  // the raw size when the header gives 0
    std::uint64_t rawSize = 0;
    std::uint64_t rawPointer = 0;
};

// One pass over one image. Every structure of the resource tree and the
// version data is "claimed" when read: claims may not overlap, which also
// ends any loop in the tree (a directory that points back at itself or at an
// ancestor overlaps it).
class PeReader {
public:
    explicit PeReader(const ByteSource& source) : m_source(source), m_nFileSize(source.Size()) {}

    bool Read(VS_FIXEDFILEINFO* info);

private:
    bool ReadBytes(std::uint64_t offset, void* buffer, std::uint64_t length) const;
    bool ReadHeaders();
    bool SectionFor(std::uint64_t rva, std::uint64_t length, Section* section);
    bool MapRva(std::uint64_t rva, std::uint64_t length, std::uint64_t* offset);
    bool Claim(std::uint64_t offset, std::uint64_t length);
    bool FindVersionType(std::uint32_t* offsetToData);
    bool ReadFirstEntry(std::uint32_t directoryOffset, std::uint32_t* offsetToData);

    const ByteSource& m_source;
    std::uint64_t m_nFileSize;
    std::uint64_t m_nSectionTable = 0;
    std::uint64_t m_nSectionCount = 0;
    std::uint64_t m_nSectionTableEnd = 0;
    std::uint64_t m_nResourceRva = 0;
    Section m_lastSection;
    bool m_bHaveLastSection = false;
    struct Extent {
        std::uint64_t begin;
        std::uint64_t end;
    };
    Extent m_claims[5] = {};
    std::size_t m_nClaims = 0;
};

bool PeReader::ReadBytes(std::uint64_t offset, void* buffer, std::uint64_t length) const {
    if (offset > m_nFileSize || length > m_nFileSize - offset) return false;
    return m_source.ReadAt(offset, buffer, static_cast<std::size_t>(length));
}

bool PeReader::ReadHeaders() {
    unsigned char dos[kDosHeaderSize];
    if (!ReadBytes(0, dos, sizeof(dos)) || dos[0] != 'M' || dos[1] != 'Z') return false;
    const std::uint64_t ntHeaders = Le32(dos + kLfanewOffset);
    if (ntHeaders < kDosHeaderSize) return false;

    // Signature, file header and optional header up to the resource
    // directory, in one read sized for PE32+ (a PE32 image that passes has
    // at least that many bytes after its headers anyway).
    unsigned char
        nt[kNtSignatureSize + kFileHeaderSize + kPe32PlusDirectoriesOffset + kDirectoriesNeeded * kDataDirectorySize];
    if (!ReadBytes(ntHeaders, nt, sizeof(nt)) || std::memcmp(nt, "PE\0\0", 4) != 0) return false;
    const unsigned char* optional = nt + kNtSignatureSize + kFileHeaderSize;
    const std::uint16_t magic = Le16(optional);
    std::uint64_t directories = 0;
    if (magic == kPe32Magic) directories = kPe32DirectoriesOffset;
    else if (magic == kPe32PlusMagic) directories = kPe32PlusDirectoriesOffset;
    else return false;
    const std::uint64_t optionalSize = Le16(nt + kSizeOfOptionalHeaderOffset);
    const std::uint64_t directoryCount = Le32(optional + directories - 4);
    if (optionalSize < directories + kDirectoriesNeeded * kDataDirectorySize || directoryCount < kDirectoriesNeeded)
        return false;
    const unsigned char* resource = optional + directories + kResourceDirectoryIndex * kDataDirectorySize;
    m_nResourceRva = Le32(resource);
    if (m_nResourceRva == 0 || Le32(resource + 4) == 0) return false;  // no resources at all

    m_nSectionCount = Le16(nt + kNumberOfSectionsOffset);
    if (m_nSectionCount == 0 || m_nSectionCount > kMaxSections) return false;
    m_nSectionTable = ntHeaders + kNtSignatureSize + kFileHeaderSize + optionalSize;
    m_nSectionTableEnd = m_nSectionTable + m_nSectionCount * kSectionHeaderSize;
    return m_nSectionTableEnd <= m_nFileSize;
}

// The first section whose memory range holds `rva` and whose raw data holds
// all `length` bytes from it.
bool PeReader::SectionFor(std::uint64_t rva, std::uint64_t length, Section* section) {
    auto holds = [rva, length](const Section& s) {
        return rva >= s.virtualAddress && rva - s.virtualAddress < s.virtualSize && length <= s.rawSize &&
               rva - s.virtualAddress <= s.rawSize - length;
    };
    if (m_bHaveLastSection && holds(m_lastSection)) {
        *section = m_lastSection;
        return true;
    }
    unsigned char headers[kSectionsPerRead * kSectionHeaderSize];
    for (std::uint64_t first = 0; first < m_nSectionCount; first += kSectionsPerRead) {
        const std::uint64_t count = std::min(kSectionsPerRead, m_nSectionCount - first);
        if (!ReadBytes(m_nSectionTable + first * kSectionHeaderSize, headers, count * kSectionHeaderSize)) return false;
        for (std::uint64_t i = 0; i < count; ++i) {
            const unsigned char* h = headers + i * kSectionHeaderSize;
            Section s;
            s.virtualSize = Le32(h + 8);
            s.virtualAddress = Le32(h + 12);
            s.rawSize = Le32(h + 16);
            s.rawPointer = Le32(h + 20);
            if (s.virtualSize == 0) s.virtualSize = s.rawSize;
            if (holds(s)) {
                m_lastSection = s;
                m_bHaveLastSection = true;
                *section = s;
                return true;
            }
        }
    }
    return false;
}

// The file offset of `length` bytes at `rva`: inside one section's raw data,
// after the section table, inside the file.
bool PeReader::MapRva(std::uint64_t rva, std::uint64_t length, std::uint64_t* offset) {
    Section section;
    if (!SectionFor(rva, length, &section)) return false;
    // All values are below 2^33, so the sum cannot wrap.
    const std::uint64_t at = section.rawPointer + (rva - section.virtualAddress);
    if (at < m_nSectionTableEnd || at > m_nFileSize || length > m_nFileSize - at) return false;
    *offset = at;
    return true;
}

bool PeReader::Claim(std::uint64_t offset, std::uint64_t length) {
    const std::uint64_t end = offset + length;  // MapRva checked it lies in the file
    for (std::size_t i = 0; i < m_nClaims; ++i) {
        if (offset < m_claims[i].end && m_claims[i].begin < end) return false;
    }
    if (m_nClaims == std::size(m_claims)) return false;
    m_claims[m_nClaims++] = {offset, end};
    return true;
}

// The root directory's entry for RT_VERSION (an ID entry of 16; a named
// entry never is): its OffsetToData.
bool PeReader::FindVersionType(std::uint32_t* offsetToData) {
    std::uint64_t root = 0;
    unsigned char header[kResourceDirectorySize];
    if (!MapRva(m_nResourceRva, kResourceDirectorySize, &root) || !ReadBytes(root, header, sizeof(header)))
        return false;
    const std::uint64_t count =
        std::min<std::uint64_t>(kMaxEntries, std::uint64_t{Le16(header + 12)} + Le16(header + 14));
    unsigned char entries[kEntriesPerRead * kResourceEntrySize];
    for (std::uint64_t first = 0; first < count; first += kEntriesPerRead) {
        const std::uint64_t n = std::min(kEntriesPerRead, count - first);
        std::uint64_t at = 0;
        if (!MapRva(m_nResourceRva + kResourceDirectorySize + first * kResourceEntrySize, n * kResourceEntrySize,
                    &at) ||
            !ReadBytes(at, entries, n * kResourceEntrySize))
            return false;
        for (std::uint64_t i = 0; i < n; ++i) {
            if (Le32(entries + i * kResourceEntrySize) != kRtVersion) continue;
            // The root directory is claimed up to the entry used, so what
            // the tree points at may not overlap it.
            const std::uint64_t used = kResourceDirectorySize + (first + i + 1) * kResourceEntrySize;
            std::uint64_t whole = 0;
            if (!MapRva(m_nResourceRva, used, &whole) || whole != root || !Claim(root, used)) return false;
            *offsetToData = Le32(entries + i * kResourceEntrySize + 4);
            return true;
        }
    }
    return false;
}

// The first entry of the directory at `directoryOffset` (from the resource
// root): its OffsetToData.
bool PeReader::ReadFirstEntry(std::uint32_t directoryOffset, std::uint32_t* offsetToData) {
    constexpr std::uint64_t kLength = kResourceDirectorySize + kResourceEntrySize;
    unsigned char directory[kLength];
    std::uint64_t at = 0;
    if (!MapRva(m_nResourceRva + directoryOffset, kLength, &at) || !Claim(at, kLength) ||
        !ReadBytes(at, directory, kLength))
        return false;
    if (Le16(directory + 12) == 0 && Le16(directory + 14) == 0) return false;
    *offsetToData = Le32(directory + kResourceDirectorySize + 4);
    return true;
}

bool PeReader::Read(VS_FIXEDFILEINFO* info) {
    if (m_nFileSize < kMinVersionResourceFileSize || !ReadHeaders()) return false;

    // Type, then the first name, then the first language: two directories,
    // then a data entry.
    std::uint32_t entry = 0;
    if (!FindVersionType(&entry) || (entry & kHighBit) == 0) return false;
    if (!ReadFirstEntry(entry & ~kHighBit, &entry) || (entry & kHighBit) == 0) return false;
    if (!ReadFirstEntry(entry & ~kHighBit, &entry) || (entry & kHighBit) != 0) return false;

    unsigned char dataEntry[kResourceDataEntrySize];
    std::uint64_t at = 0;
    if (!MapRva(m_nResourceRva + entry, kResourceDataEntrySize, &at) || !Claim(at, kResourceDataEntrySize) ||
        !ReadBytes(at, dataEntry, sizeof(dataEntry)))
        return false;
    const std::uint64_t dataRva = Le32(dataEntry);
    const std::uint64_t dataSize = Le32(dataEntry + 4);
    if (dataSize < kVersionBlockMinSize || !MapRva(dataRva, dataSize, &at) || !Claim(at, dataSize)) return false;

    unsigned char block[kVersionBlockMinSize];
    if (!ReadBytes(at, block, sizeof(block))) return false;
    const std::uint64_t length = Le16(block);
    const std::uint64_t valueLength = Le16(block + 2);
    // A block length past the resource's end is left alone: only the fixed
    // info is read, and it lies inside the resource.
    if (length < kVersionBlockMinSize || valueLength < kFixedInfoSize) return false;
    for (std::size_t i = 0; i < std::size(kVersionKey); ++i) {
        if (Le16(block + kVersionHeaderSize + 2 * i) != kVersionKey[i]) return false;
    }
    const unsigned char* fixed = block + kFixedInfoOffset;
    if (Le32(fixed) != kFixedFileInfoSignature) return false;
    std::uint32_t* fields[] = {&info->dwSignature,     &info->dwStrucVersion,     &info->dwFileVersionMS,
                               &info->dwFileVersionLS, &info->dwProductVersionMS, &info->dwProductVersionLS,
                               &info->dwFileFlagsMask, &info->dwFileFlags,        &info->dwFileOS,
                               &info->dwFileType,      &info->dwFileSubtype,      &info->dwFileDateMS,
                               &info->dwFileDateLS};
    static_assert(std::size(fields) * 4 == kFixedInfoSize);
    for (std::size_t i = 0; i < std::size(fields); ++i) *fields[i] = Le32(fixed + 4 * i);
    return true;
}

}  // namespace

bool MemoryByteSource::ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const {
    if (offset > m_nSize || length > m_nSize - offset) return false;
    if (length > 0) std::memcpy(buffer, m_pData + offset, length);
    return true;
}

bool ReadFixedFileInfo(const ByteSource& source, VS_FIXEDFILEINFO* info) {
    if (info == nullptr) return false;
    VS_FIXEDFILEINFO read;
    PeReader reader(source);
    const bool ok = reader.Read(&read);
    *info = ok ? read : VS_FIXEDFILEINFO{};
    return ok;
}

}  // namespace norvane
