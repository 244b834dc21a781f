// Builds PE32 and PE32+ images in memory, with or without a version
// resource, for the tests, the fuzz seeds and the benchmark tree. The images
// follow what linkers write (DOS header and stub, PE headers, a code section,
// a resource section whose tree comes before its data), and the builder
// reports where each structure starts and ends so that tests can cut or
// corrupt an image at exactly that place.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

namespace norvane {

// Little-endian stores and loads into an image.
inline void PokeLe16(std::vector<std::uint8_t>& image, std::uint64_t at, std::uint32_t value)
{
    image.at(at) = static_cast<std::uint8_t>(value);
    image.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
}

inline void PokeLe32(std::vector<std::uint8_t>& image, std::uint64_t at, std::uint32_t value)
{
    PokeLe16(image, at, value & 0xFFFFu);
    PokeLe16(image, at + 2, value >> 16);
}

inline std::uint32_t PeekLe32(const std::vector<std::uint8_t>& image, std::uint64_t at)
{
    return static_cast<std::uint32_t>(image.at(at)) |
           (static_cast<std::uint32_t>(image.at(at + 1)) << 8) |
           (static_cast<std::uint32_t>(image.at(at + 2)) << 16) |
           (static_cast<std::uint32_t>(image.at(at + 3)) << 24);
}

struct PeOptions {
    bool pe32Plus = false;
    bool dll = false;
    bool withVersion = true;
    std::uint32_t fileVersionMS = 0x00010002;  // 1.2
    std::uint32_t fileVersionLS = 0x00030004;  // .3.4
    // The version resource in this many languages (1033, 1041, 1031, ...);
    // the n-th (from 0) has fileVersionLS + n, so tests can tell which one
    // was read.
    unsigned languages = 1;
    // Other resource types by ID (3 icon, 14 group icon, 24 manifest, ...),
    // and types named by a string; named ones come first in the root, as in
    // every linker's output.
    std::vector<std::uint16_t> extraTypes;
    std::vector<std::u16string> namedTypes;
    bool codeSection = true;
    std::uint32_t fileAlignment = 0x200;
    std::uint32_t stubBytes = 64;      // DOS stub between the DOS header and "PE"
    std::uint32_t trailingBytes = 0;   // an overlay after the last section
    // The smallest layout that still holds a version resource: no stub, three
    // data directories, the resource section alone and right after the
    // section table, the tree packed, a version block without children.
    // Other types, languages and the code section are left out.
    bool compact = false;
};

// File offsets of the image's structures (0 where absent).
struct PeLayout {
    std::uint64_t ntHeaders = 0;           // "PE\0\0"
    std::uint64_t optionalHeader = 0;
    std::uint64_t resourceDirectory = 0;   // data directory 2: RVA, size
    std::uint64_t sectionTable = 0;
    std::uint64_t resourceSectionHeader = 0;
    std::uint64_t sectionTableEnd = 0;
    std::uint32_t resourceRva = 0;
    std::uint64_t resourceRoot = 0;
    std::uint64_t versionTypeEntry = 0;    // the root's entry for type 16
    std::uint64_t nameDirectory = 0;       // of the version type
    std::uint64_t languageDirectory = 0;
    std::uint64_t dataEntry = 0;           // of the first language
    std::uint64_t versionBlock = 0;
    std::uint64_t fixedInfo = 0;
    std::uint64_t versionEnd = 0;          // end of the first language's block
    std::uint64_t fileSize = 0;

    // Every structure boundary up to the end of the version block, in
    // increasing order: an image cut at any of them has lost part of what the
    // reader needs.
    std::vector<std::uint64_t> Boundaries() const
    {
        std::vector<std::uint64_t> all = {
            0, 2, 0x3C, 64, ntHeaders, ntHeaders + 4, optionalHeader, resourceDirectory,
            resourceDirectory + 8, sectionTable, resourceSectionHeader,
            resourceSectionHeader + 40, sectionTableEnd, resourceRoot, resourceRoot + 16,
            versionTypeEntry, versionTypeEntry + 8, nameDirectory, nameDirectory + 16,
            nameDirectory + 24, languageDirectory, languageDirectory + 16,
            languageDirectory + 24, dataEntry, dataEntry + 16, versionBlock, versionBlock + 6,
            fixedInfo, fixedInfo + 52, versionEnd};
        std::sort(all.begin(), all.end());
        all.erase(std::unique(all.begin(), all.end()), all.end());
        all.erase(std::remove_if(all.begin(), all.end(),
                                 [this](std::uint64_t b) { return b >= versionEnd; }),
                  all.end());
        return all;
    }
};

class PeBuilder {
public:
    explicit PeBuilder(PeOptions options = {}) : m_options(std::move(options))
    {
        if (m_options.compact) {
            m_options.languages = 1;
            m_options.extraTypes.clear();
            m_options.namedTypes.clear();
            m_options.codeSection = false;
            m_options.fileAlignment = 1;
            m_options.stubBytes = 0;
        }
        if (m_options.languages == 0)
            m_options.languages = 1;
        if (m_options.fileAlignment == 0)
            m_options.fileAlignment = 1;
    }

    std::vector<std::uint8_t> Build(PeLayout* layoutOut = nullptr) const
    {
        const PeOptions& o = m_options;
        PeLayout layout;
        const std::uint32_t directoryCount = o.compact ? 3 : 16;
        const std::uint32_t optionalSize = (o.pe32Plus ? 112u : 96u) + 8 * directoryCount;
        const std::uint32_t sectionAlignment = 0x1000;

        Resources resources = BuildResources();
        const bool withResources = !resources.bytes.empty();
        const std::uint32_t sectionCount = (o.codeSection ? 1u : 0u) + (withResources ? 1u : 0u);

        layout.ntHeaders = 64 + o.stubBytes;
        layout.optionalHeader = layout.ntHeaders + 24;
        layout.resourceDirectory = layout.optionalHeader + (o.pe32Plus ? 112 : 96) + 2 * 8;
        layout.sectionTable = layout.optionalHeader + optionalSize;
        layout.sectionTableEnd = layout.sectionTable + 40 * sectionCount;
        const std::uint64_t headersSize = AlignUp(layout.sectionTableEnd, o.fileAlignment);

        // Sections: file offsets and RVAs.
        std::uint64_t nextRaw = headersSize;
        std::uint32_t nextRva = sectionAlignment;
        const std::uint32_t codeSize = 0x40;
        const std::uint64_t codeRaw = nextRaw;
        const std::uint32_t codeRva = nextRva;
        if (o.codeSection) {
            nextRaw += AlignUp(codeSize, o.fileAlignment);
            nextRva += sectionAlignment;
        }
        const std::uint64_t resourceRaw = nextRaw;
        const std::uint32_t resourceRva = nextRva;
        const std::uint64_t resourceRawSize = AlignUp(resources.bytes.size(), o.fileAlignment);
        if (withResources) {
            nextRaw += resourceRawSize;
            nextRva += static_cast<std::uint32_t>(AlignUp(resources.bytes.size(), sectionAlignment));
        }
        const std::uint64_t imageEnd = nextRaw;

        std::vector<std::uint8_t> image(imageEnd + o.trailingBytes, 0);
        // DOS header and stub.
        image[0] = 'M';
        image[1] = 'Z';
        PokeLe16(image, 2, 0x90);
        PokeLe16(image, 4, 3);
        PokeLe16(image, 8, 4);
        PokeLe16(image, 0x0C, 0xFFFF);
        PokeLe16(image, 0x10, 0xB8);
        PokeLe16(image, 0x18, 0x40);
        PokeLe32(image, 0x3C, static_cast<std::uint32_t>(layout.ntHeaders));
        const char stub[] = "This program needs Windows.\r\n$";
        for (std::uint32_t i = 0; i < o.stubBytes; ++i)
            image[64 + i] = static_cast<std::uint8_t>(i < sizeof(stub) - 1 ? stub[i] : 0);

        // "PE\0\0" and the file header.
        const std::uint64_t nt = layout.ntHeaders;
        image[nt] = 'P';
        image[nt + 1] = 'E';
        PokeLe16(image, nt + 4, o.pe32Plus ? 0x8664 : 0x14C);
        PokeLe16(image, nt + 6, sectionCount);
        PokeLe32(image, nt + 8, 0x5F5E1000);  // time stamp
        PokeLe16(image, nt + 20, optionalSize);
        PokeLe16(image, nt + 22, 0x0002 | (o.pe32Plus ? 0x0020 : 0x0100) | (o.dll ? 0x2000 : 0));

        // Optional header.
        const std::uint64_t opt = layout.optionalHeader;
        PokeLe16(image, opt, o.pe32Plus ? 0x20B : 0x10B);
        image[opt + 2] = 14;
        PokeLe32(image, opt + 4, o.codeSection ? codeSize : 0);
        PokeLe32(image, opt + 8, static_cast<std::uint32_t>(resources.bytes.size()));
        PokeLe32(image, opt + 16, o.codeSection ? codeRva : 0);
        PokeLe32(image, opt + 20, o.codeSection ? codeRva : 0);
        if (o.pe32Plus) {
            PokeLe32(image, opt + 24, 0x40000000);
            PokeLe32(image, opt + 28, 0x00000001);  // image base 0x140000000
        } else {
            PokeLe32(image, opt + 28, o.dll ? 0x10000000 : 0x00400000);
        }
        PokeLe32(image, opt + 32, sectionAlignment);
        PokeLe32(image, opt + 36, o.fileAlignment);
        PokeLe16(image, opt + 40, 6);  // operating system 6.0
        PokeLe16(image, opt + 48, 6);  // subsystem 6.0
        PokeLe32(image, opt + 56, nextRva);  // size of image
        PokeLe32(image, opt + 60, static_cast<std::uint32_t>(headersSize));
        PokeLe16(image, opt + 68, 2);  // Windows GUI
        PokeLe16(image, opt + 70, 0x8140);
        const std::uint64_t counts = opt + 72;  // stack and heap sizes
        if (o.pe32Plus) {
            PokeLe32(image, counts, 0x100000);
            PokeLe32(image, counts + 8, 0x1000);
            PokeLe32(image, counts + 16, 0x100000);
            PokeLe32(image, counts + 24, 0x1000);
        } else {
            PokeLe32(image, counts, 0x100000);
            PokeLe32(image, counts + 4, 0x1000);
            PokeLe32(image, counts + 8, 0x100000);
            PokeLe32(image, counts + 12, 0x1000);
        }
        PokeLe32(image, opt + (o.pe32Plus ? 108 : 92), directoryCount);
        if (withResources) {
            PokeLe32(image, layout.resourceDirectory, resourceRva);
            PokeLe32(image, layout.resourceDirectory + 4,
                     static_cast<std::uint32_t>(resources.bytes.size()));
        }

        // Section table and section data.
        std::uint64_t header = layout.sectionTable;
        if (o.codeSection) {
            WriteSectionHeader(image, header, ".text", codeSize, codeRva,
                               AlignUp(codeSize, o.fileAlignment), codeRaw, 0x60000020);
            for (std::uint32_t i = 0; i < codeSize; ++i)
                image[codeRaw + i] = 0xC3;  // ret
            header += 40;
        }
        if (withResources) {
            layout.resourceSectionHeader = header;
            WriteSectionHeader(image, header, ".rsrc",
                               static_cast<std::uint32_t>(resources.bytes.size()), resourceRva,
                               resourceRawSize, resourceRaw, 0x40000040);
            // Data entries hold RVAs: add the section's own RVA now.
            for (std::uint64_t entry : resources.dataEntries) {
                std::vector<std::uint8_t>& bytes = resources.bytes;
                PokeLe32(bytes, entry, PeekLe32(bytes, entry) + resourceRva);
            }
            std::copy(resources.bytes.begin(), resources.bytes.end(),
                      image.begin() + static_cast<std::ptrdiff_t>(resourceRaw));
            layout.resourceRva = resourceRva;
            layout.resourceRoot = resourceRaw;
            if (o.withVersion) {
                layout.versionTypeEntry = resourceRaw + resources.versionTypeEntry;
                layout.nameDirectory = resourceRaw + resources.nameDirectory;
                layout.languageDirectory = resourceRaw + resources.languageDirectory;
                layout.dataEntry = resourceRaw + resources.dataEntry;
                layout.versionBlock = resourceRaw + resources.versionBlock;
                layout.fixedInfo = layout.versionBlock + 40;
                layout.versionEnd = resourceRaw + resources.versionEnd;
            }
        }
        for (std::uint32_t i = 0; i < o.trailingBytes; ++i)
            image[imageEnd + i] = static_cast<std::uint8_t>(i * 7 + 1);
        layout.fileSize = image.size();
        if (layoutOut != nullptr)
            *layoutOut = layout;
        return image;
    }

    // Writes bytes to a new or truncated file relative to `dirFd` (AT_FDCWD
    // for a path); false, with errno, on failure.
    static bool WriteFileAt(int dirFd, const char* name, const std::vector<std::uint8_t>& bytes)
    {
        const int fd = openat(dirFd, name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                const int error = errno;
                close(fd);
                errno = error;
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return close(fd) == 0;
    }
    static bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
    {
        return WriteFileAt(AT_FDCWD, path.c_str(), bytes);
    }

private:
    struct Resources {
        std::vector<std::uint8_t> bytes;         // offsets relative to the root
        std::vector<std::uint64_t> dataEntries;  // where the data RVAs are
        std::uint64_t versionTypeEntry = 0;
        std::uint64_t nameDirectory = 0;
        std::uint64_t languageDirectory = 0;
        std::uint64_t dataEntry = 0;
        std::uint64_t versionBlock = 0;
        std::uint64_t versionEnd = 0;
    };
    struct Type {
        bool named = false;
        std::u16string name;
        std::uint16_t id = 0;
        std::vector<std::uint16_t> languages;
    };

    static std::uint64_t AlignUp(std::uint64_t value, std::uint64_t alignment)
    {
        return (value + alignment - 1) / alignment * alignment;
    }

    static void WriteSectionHeader(std::vector<std::uint8_t>& image, std::uint64_t at,
                                   const char* name, std::uint32_t virtualSize,
                                   std::uint32_t rva, std::uint64_t rawSize,
                                   std::uint64_t rawPointer, std::uint32_t characteristics)
    {
        for (std::size_t i = 0; i < 8 && name[i] != '\0'; ++i)
            image[at + i] = static_cast<std::uint8_t>(name[i]);
        PokeLe32(image, at + 8, virtualSize);
        PokeLe32(image, at + 12, rva);
        PokeLe32(image, at + 16, static_cast<std::uint32_t>(rawSize));
        PokeLe32(image, at + 20, static_cast<std::uint32_t>(rawPointer));
        PokeLe32(image, at + 36, characteristics);
    }

    static void PutDirectory(std::vector<std::uint8_t>& out, std::uint64_t at,
                             std::uint32_t named, std::uint32_t ids)
    {
        PokeLe16(out, at + 12, named);
        PokeLe16(out, at + 14, ids);
    }

    // The version block: header, key, padding, VS_FIXEDFILEINFO and, unless
    // compact, a VarFileInfo child with one translation.
    std::vector<std::uint8_t> VersionBlock(unsigned index, std::uint16_t language) const
    {
        const PeOptions& o = m_options;
        std::vector<std::uint8_t> block(92, 0);
        PokeLe16(block, 2, 52);
        const std::u16string key = u"VS_VERSION_INFO";
        for (std::size_t i = 0; i < key.size(); ++i)
            PokeLe16(block, 6 + 2 * i, key[i]);
        const std::uint32_t fixed[13] = {
            0xFEEF04BD, 0x00010000, o.fileVersionMS, o.fileVersionLS + index, o.fileVersionMS,
            o.fileVersionLS + index, 0x3F, 0, 0x00040004, o.dll ? 2u : 1u, 0, 0, 0};
        for (std::size_t i = 0; i < 13; ++i)
            PokeLe32(block, 40 + 4 * i, fixed[i]);
        if (!o.compact) {
            // VarFileInfo { Var "Translation" = language, code page 1200 }.
            std::vector<std::uint8_t> child(68, 0);
            PokeLe16(child, 0, 68);
            PokeLe16(child, 4, 1);
            const std::u16string varFileInfo = u"VarFileInfo";
            for (std::size_t i = 0; i < varFileInfo.size(); ++i)
                PokeLe16(child, 6 + 2 * i, varFileInfo[i]);
            PokeLe16(child, 32, 36);
            PokeLe16(child, 34, 4);
            const std::u16string translation = u"Translation";
            for (std::size_t i = 0; i < translation.size(); ++i)
                PokeLe16(child, 38 + 2 * i, translation[i]);
            PokeLe16(child, 64, language);
            PokeLe16(child, 66, 1200);
            block.insert(block.end(), child.begin(), child.end());
        }
        PokeLe16(block, 0, static_cast<std::uint32_t>(block.size()));
        return block;
    }

    Resources BuildResources() const
    {
        const PeOptions& o = m_options;
        static const std::uint16_t kLanguages[] = {1033, 1041, 1031, 1036, 2052, 1049};
        std::vector<Type> types;
        for (const std::u16string& name : o.namedTypes)
            types.push_back({true, name, 0, {1033}});
        std::vector<std::uint16_t> ids = o.extraTypes;
        ids.erase(std::remove(ids.begin(), ids.end(), std::uint16_t{16}), ids.end());
        if (o.withVersion)
            ids.push_back(16);
        std::sort(ids.begin(), ids.end());
        ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
        for (std::uint16_t id : ids) {
            Type type{false, {}, id, {1033}};
            if (id == 16) {
                type.languages.clear();
                for (unsigned i = 0; i < o.languages; ++i)
                    type.languages.push_back(i < std::size(kLanguages)
                                                 ? kLanguages[i]
                                                 : static_cast<std::uint16_t>(0x400 + i));
            }
            types.push_back(type);
        }
        Resources r;
        if (types.empty())
            return r;

        // Offsets, in the order linkers use: root, name directories,
        // language directories, data entries, name strings, data.
        std::uint64_t at = 16 + 8 * types.size();
        std::vector<std::uint64_t> nameDirs, languageDirs, dataEntries, strings;
        for (std::size_t t = 0; t < types.size(); ++t) {
            nameDirs.push_back(at);
            at += 24;
        }
        for (const Type& type : types) {
            languageDirs.push_back(at);
            at += 16 + 8 * type.languages.size();
        }
        for (const Type& type : types) {
            dataEntries.push_back(at);
            at += 16 * type.languages.size();
        }
        for (const Type& type : types) {
            strings.push_back(at);
            if (type.named)
                at += 2 + 2 * type.name.size();
        }
        at = AlignUp(at, 4);
        r.bytes.resize(at, 0);

        std::uint32_t named = 0;
        for (const Type& type : types)
            named += type.named ? 1 : 0;
        PutDirectory(r.bytes, 0, named, static_cast<std::uint32_t>(types.size()) - named);
        for (std::size_t t = 0; t < types.size(); ++t) {
            const Type& type = types[t];
            const std::uint64_t entry = 16 + 8 * t;
            if (type.named) {
                PokeLe32(r.bytes, entry, 0x80000000u | static_cast<std::uint32_t>(strings[t]));
                PokeLe16(r.bytes, strings[t], static_cast<std::uint32_t>(type.name.size()));
                for (std::size_t i = 0; i < type.name.size(); ++i)
                    PokeLe16(r.bytes, strings[t] + 2 + 2 * i, type.name[i]);
            } else {
                PokeLe32(r.bytes, entry, type.id);
            }
            PokeLe32(r.bytes, entry + 4, 0x80000000u | static_cast<std::uint32_t>(nameDirs[t]));
            // One name, ID 1.
            PutDirectory(r.bytes, nameDirs[t], 0, 1);
            PokeLe32(r.bytes, nameDirs[t] + 16, 1);
            PokeLe32(r.bytes, nameDirs[t] + 20,
                     0x80000000u | static_cast<std::uint32_t>(languageDirs[t]));
            PutDirectory(r.bytes, languageDirs[t], 0,
                         static_cast<std::uint32_t>(type.languages.size()));
            for (std::size_t l = 0; l < type.languages.size(); ++l) {
                const std::uint64_t languageEntry = languageDirs[t] + 16 + 8 * l;
                const std::uint64_t dataEntry = dataEntries[t] + 16 * l;
                PokeLe32(r.bytes, languageEntry, type.languages[l]);
                PokeLe32(r.bytes, languageEntry + 4, static_cast<std::uint32_t>(dataEntry));

                std::vector<std::uint8_t> data;
                if (type.id == 16 && !type.named) {
                    data = VersionBlock(static_cast<unsigned>(l), type.languages[l]);
                } else {
                    const char text[] = "resource data..";
                    data.assign(text, text + sizeof(text));
                    data[15] = static_cast<std::uint8_t>(type.id);
                }
                const std::uint64_t dataAt = AlignUp(r.bytes.size(), 4);
                r.bytes.resize(dataAt, 0);
                r.bytes.insert(r.bytes.end(), data.begin(), data.end());
                // The section's RVA is added once it is known.
                PokeLe32(r.bytes, dataEntry, static_cast<std::uint32_t>(dataAt));
                PokeLe32(r.bytes, dataEntry + 4, static_cast<std::uint32_t>(data.size()));
                r.dataEntries.push_back(dataEntry);
                if (type.id == 16 && !type.named && l == 0) {
                    r.versionTypeEntry = entry;
                    r.nameDirectory = nameDirs[t];
                    r.languageDirectory = languageDirs[t];
                    r.dataEntry = dataEntry;
                    r.versionBlock = dataAt;
                    r.versionEnd = dataAt + data.size();
                }
            }
        }
        return r;
    }

    PeOptions m_options;
};

}  // namespace norvane
