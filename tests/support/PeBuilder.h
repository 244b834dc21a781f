// Builds PE32 and PE32+ images in memory, with or without a version
// resource, for the tests and the benchmark tree. The images are laid out as
// linkers lay them out (DOS header and stub, PE headers, a code section, a
// resource section whose tree comes before its data), and the builder
// reports where each structure starts so that tests can cut or corrupt an
// image at exactly that place.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace norvane {

// Little-endian stores into an image.
inline void PokeLe16(std::vector<std::uint8_t>& image, std::uint64_t at, std::uint32_t value) {
    image.at(at) = static_cast<std::uint8_t>(value);
    image.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
}

inline void PokeLe32(std::vector<std::uint8_t>& image, std::uint64_t at, std::uint32_t value) {
    PokeLe16(image, at, value & 0xFFFFu);
    PokeLe16(image, at + 2, value >> 16);
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
    std::vector<std::uint16_t> extraTypes = {};
    std::vector<std::u16string> namedTypes = {};
    std::uint32_t trailingBytes = 0;  // an overlay after the last section
    // The smallest layout that still holds a version resource: no DOS stub,
    // three data directories, no alignment, the resource section alone and
    // right after the section table, the tree packed, a version block
    // without children. Other types and languages are left out.
    bool compact = false;
};

// File offsets of the image's structures (0 where absent).
struct PeLayout {
    std::uint64_t ntHeaders = 0;  // "PE\0\0"
    std::uint64_t optionalHeader = 0;
    std::uint64_t resourceDirectory = 0;  // data directory 2: RVA, size
    std::uint64_t sectionTable = 0;
    std::uint64_t resourceSectionHeader = 0;
    std::uint64_t sectionTableEnd = 0;
    std::uint32_t resourceRva = 0;
    std::uint64_t resourceRoot = 0;
    std::uint64_t versionTypeEntry = 0;  // the root's entry for type 16
    std::uint64_t nameDirectory = 0;     // of the version type
    std::uint64_t languageDirectory = 0;
    std::uint64_t dataEntry = 0;  // of the first language
    std::uint64_t versionBlock = 0;
    std::uint64_t fixedInfo = 0;
    std::uint64_t versionEnd = 0;  // end of the first language's block

    // Every structure boundary up to the end of the version block, in
    // increasing order: an image cut at any of them has lost part of what the
    // reader needs.
    std::vector<std::uint64_t> Boundaries() const {
        std::vector<std::uint64_t> all = {0,
                                          2,
                                          0x3C,
                                          64,
                                          ntHeaders,
                                          ntHeaders + 4,
                                          optionalHeader,
                                          resourceDirectory,
                                          resourceDirectory + 8,
                                          sectionTable,
                                          resourceSectionHeader,
                                          resourceSectionHeader + 40,
                                          sectionTableEnd,
                                          resourceRoot,
                                          resourceRoot + 16,
                                          versionTypeEntry,
                                          versionTypeEntry + 8,
                                          nameDirectory,
                                          nameDirectory + 16,
                                          nameDirectory + 24,
                                          languageDirectory,
                                          languageDirectory + 16,
                                          languageDirectory + 24,
                                          dataEntry,
                                          dataEntry + 16,
                                          versionBlock,
                                          versionBlock + 6,
                                          fixedInfo,
                                          fixedInfo + 52,
                                          versionEnd};
        std::sort(all.begin(), all.end());
        all.erase(std::unique(all.begin(), all.end()), all.end());
        all.erase(std::find_if(all.begin(), all.end(), [this](std::uint64_t b) { return b >= versionEnd; }), all.end());
        return all;
    }
};

class PeBuilder {
public:
    explicit PeBuilder(PeOptions options = {}) : m_options(std::move(options)) {
        if (m_options.compact) {
            m_options.languages = 1;
            m_options.extraTypes.clear();
            m_options.namedTypes.clear();
        }
        m_options.languages = std::max(m_options.languages, 1u);
    }

    std::vector<std::uint8_t> Build(PeLayout* layoutOut = nullptr) const {
        const PeOptions& o = m_options;
        const std::uint32_t fileAlignment = o.compact ? 1 : 0x200;
        const std::uint32_t sectionAlignment = 0x1000;
        const std::uint32_t codeSize = o.compact ? 0 : 0x40;
        const std::uint32_t directoriesAt = o.pe32Plus ? 112 : 96;  // in the optional header
        const std::uint32_t optionalSize = directoriesAt + 8 * (o.compact ? 3 : 16);
        const std::uint32_t resourceRva = sectionAlignment * (codeSize != 0 ? 2 : 1);
        const Resources resources = BuildResources(resourceRva);
        const auto resourceSize = static_cast<std::uint32_t>(resources.bytes.size());
        const std::uint32_t sectionCount = (codeSize != 0 ? 1u : 0u) + (resourceSize != 0 ? 1u : 0u);

        PeLayout layout;
        layout.ntHeaders = o.compact ? 64 : 128;
        layout.optionalHeader = layout.ntHeaders + 24;
        layout.resourceDirectory = layout.optionalHeader + directoriesAt + 2 * 8;
        layout.sectionTable = layout.optionalHeader + optionalSize;
        layout.sectionTableEnd = layout.sectionTable + 40 * sectionCount;
        const std::uint64_t codeRaw = AlignUp(layout.sectionTableEnd, fileAlignment);  // headers' end
        const std::uint64_t resourceRaw = codeRaw + AlignUp(codeSize, fileAlignment);
        const std::uint64_t imageEnd = resourceRaw + AlignUp(resourceSize, fileAlignment);

        std::vector<std::uint8_t> image(imageEnd + o.trailingBytes, 0);
        image[0] = 'M';
        image[1] = 'Z';
        PokeLe32(image, 0x3C, static_cast<std::uint32_t>(layout.ntHeaders));
        const std::uint64_t nt = layout.ntHeaders;
        image[nt] = 'P';
        image[nt + 1] = 'E';
        PokeLe16(image, nt + 4, o.pe32Plus ? 0x8664 : 0x14C);
        PokeLe16(image, nt + 6, sectionCount);
        PokeLe16(image, nt + 20, optionalSize);
        PokeLe16(image, nt + 22, 0x0002 | (o.pe32Plus ? 0x0020 : 0x0100) | (o.dll ? 0x2000 : 0));
        const std::uint64_t opt = layout.optionalHeader;
        PokeLe16(image, opt, o.pe32Plus ? 0x20B : 0x10B);
        PokeLe32(image, opt + 16, codeSize != 0 ? sectionAlignment : 0);  // entry point
        PokeLe32(image, opt + 32, sectionAlignment);
        PokeLe32(image, opt + 36, fileAlignment);
        PokeLe32(image, opt + 56, resourceRva + static_cast<std::uint32_t>(AlignUp(resourceSize, sectionAlignment)));
        PokeLe32(image, opt + 60, static_cast<std::uint32_t>(codeRaw));
        PokeLe16(image, opt + 68, 2);  // Windows GUI
        PokeLe32(image, opt + directoriesAt - 4, (optionalSize - directoriesAt) / 8);

        std::uint64_t header = layout.sectionTable;
        if (codeSize != 0) {
            WriteSectionHeader(image, header, ".text", codeSize, sectionAlignment, AlignUp(codeSize, fileAlignment),
                               codeRaw, 0x60000020);
            std::fill_n(image.begin() + static_cast<std::ptrdiff_t>(codeRaw), codeSize, 0xC3);  // ret
            header += 40;
        }
        if (resourceSize != 0) {
            PokeLe32(image, layout.resourceDirectory, resourceRva);
            PokeLe32(image, layout.resourceDirectory + 4, resourceSize);
            layout.resourceSectionHeader = header;
            WriteSectionHeader(image, header, ".rsrc", resourceSize, resourceRva, AlignUp(resourceSize, fileAlignment),
                               resourceRaw, 0x40000040);
            std::copy(resources.bytes.begin(), resources.bytes.end(),
                      image.begin() + static_cast<std::ptrdiff_t>(resourceRaw));
            layout.resourceRva = resourceRva;
            layout.resourceRoot = resourceRaw;
            if (o.withVersion) {
                for (auto field : {&PeLayout::versionTypeEntry, &PeLayout::nameDirectory, &PeLayout::languageDirectory,
                                   &PeLayout::dataEntry, &PeLayout::versionBlock, &PeLayout::versionEnd})
                    layout.*field = resourceRaw + resources.version.*field;
                layout.fixedInfo = layout.versionBlock + 40;
            }
        }
        for (std::uint32_t i = 0; i < o.trailingBytes; ++i) image[imageEnd + i] = static_cast<std::uint8_t>(i * 7 + 1);
        if (layoutOut != nullptr) *layoutOut = layout;
        return image;
    }

    // Writes bytes to a new or truncated file relative to `dirFd` (AT_FDCWD
    // for a path); false on failure.
    static bool WriteFileAt(int dirFd, const char* name, const std::vector<std::uint8_t>& bytes) {
        const int fd = openat(dirFd, name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) return false;
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
            if (n <= 0 && errno != EINTR) break;
            done += n > 0 ? static_cast<std::size_t>(n) : 0;
        }
        return close(fd) == 0 && done == bytes.size();
    }
    static bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
        return WriteFileAt(AT_FDCWD, path.c_str(), bytes);
    }

private:
    struct Resources {
        std::vector<std::uint8_t> bytes;
        PeLayout version;  // the version's structures, offsets from the root
    };
    struct Type {
        bool named = false;
        std::u16string name;
        std::uint16_t id = 0;
        std::vector<std::uint16_t> languages;
    };

    static std::uint64_t AlignUp(std::uint64_t value, std::uint64_t alignment) {
        return (value + alignment - 1) / alignment * alignment;
    }

    static void PutUtf16(std::vector<std::uint8_t>& out, std::uint64_t at, std::u16string_view text) {
        for (std::size_t i = 0; i < text.size(); ++i) PokeLe16(out, at + 2 * i, text[i]);
    }

    static void WriteSectionHeader(std::vector<std::uint8_t>& image, std::uint64_t at, const char* name,
                                   std::uint32_t virtualSize, std::uint32_t rva, std::uint64_t rawSize,
                                   std::uint64_t rawPointer, std::uint32_t characteristics) {
        std::copy(name, name + 5, image.begin() + static_cast<std::ptrdiff_t>(at));
        PokeLe32(image, at + 8, virtualSize);
        PokeLe32(image, at + 12, rva);
        PokeLe32(image, at + 16, static_cast<std::uint32_t>(rawSize));
        PokeLe32(image, at + 20, static_cast<std::uint32_t>(rawPointer));
        PokeLe32(image, at + 36, characteristics);
    }

    // VS_VERSIONINFO: header, key, padding, VS_FIXEDFILEINFO and, unless
    // compact, a VarFileInfo child with one translation (code page 1200).
    std::vector<std::uint8_t> VersionBlock(unsigned index, std::uint16_t language) const {
        const PeOptions& o = m_options;
        std::vector<std::uint8_t> block(o.compact ? 92 : 160, 0);
        PokeLe16(block, 0, static_cast<std::uint32_t>(block.size()));
        PokeLe16(block, 2, 52);
        PutUtf16(block, 6, u"VS_VERSION_INFO");
        const std::uint32_t fixed[13] = {0xFEEF04BD,
                                         0x00010000,
                                         o.fileVersionMS,
                                         o.fileVersionLS + index,
                                         o.fileVersionMS,
                                         o.fileVersionLS + index,
                                         0x3F,
                                         0,
                                         0x00040004,
                                         o.dll ? 2u : 1u,
                                         0,
                                         0,
                                         0};
        for (std::size_t i = 0; i < 13; ++i) PokeLe32(block, 40 + 4 * i, fixed[i]);
        if (!o.compact) {
            PokeLe16(block, 92, 68);  // VarFileInfo, text
            PokeLe16(block, 96, 1);
            PutUtf16(block, 98, u"VarFileInfo");
            PokeLe16(block, 124, 36);  // Var "Translation", 4 bytes of binary value
            PokeLe16(block, 126, 4);
            PutUtf16(block, 130, u"Translation");
            PokeLe16(block, 156, language);
            PokeLe16(block, 158, 1200);
        }
        return block;
    }

    // The named types first, then the numbered ones in order, the version
    // type (16) among them in its languages.
    std::vector<Type> ResourceTypes() const {
        const PeOptions& o = m_options;
        static const std::uint16_t kLanguages[] = {1033, 1041, 1031, 1036, 2052, 1049};
        std::vector<Type> types;
        for (const std::u16string& name : o.namedTypes) types.push_back({true, name, 0, {1033}});
        std::vector<std::uint16_t> ids = o.extraTypes;
        ids.erase(std::remove(ids.begin(), ids.end(), std::uint16_t{16}), ids.end());
        if (o.withVersion) ids.push_back(16);
        std::sort(ids.begin(), ids.end());
        ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
        for (std::uint16_t id : ids) {
            Type type{false, {}, id, {1033}};
            if (id == 16) {
                type.languages.clear();
                for (unsigned i = 0; i < o.languages; ++i)
                    type.languages.push_back(i < std::size(kLanguages) ? kLanguages[i]
                                                                       : static_cast<std::uint16_t>(0x400 + i));
            }
            types.push_back(type);
        }
        return types;
    }

    Resources BuildResources(std::uint32_t sectionRva) const {
        const PeOptions& o = m_options;
        const std::vector<Type> types = ResourceTypes();
        Resources r;
        if (types.empty()) return r;

        // Offsets, in the order linkers use: root, name directories,
        // language directories, data entries, name strings, data.
        std::uint64_t at = 16 + 8 * types.size();
        std::vector<std::uint64_t> nameDirs, languageDirs, dataEntries, strings;
        for (std::size_t t = 0; t < types.size(); ++t) nameDirs.push_back(std::exchange(at, at + 24));
        for (const Type& type : types) languageDirs.push_back(std::exchange(at, at + 16 + 8 * type.languages.size()));
        for (const Type& type : types) dataEntries.push_back(std::exchange(at, at + 16 * type.languages.size()));
        for (const Type& type : types)
            strings.push_back(std::exchange(at, at + (type.named ? 2 + 2 * type.name.size() : 0)));
        r.bytes.resize(AlignUp(at, 4), 0);

        const auto named = static_cast<std::uint32_t>(o.namedTypes.size());
        PokeLe16(r.bytes, 12, named);
        PokeLe16(r.bytes, 14, static_cast<std::uint32_t>(types.size()) - named);
        for (std::size_t t = 0; t < types.size(); ++t) {
            const Type& type = types[t];
            const std::uint64_t entry = 16 + 8 * t;
            if (type.named) {
                PokeLe32(r.bytes, entry, 0x80000000u | static_cast<std::uint32_t>(strings[t]));
                PokeLe16(r.bytes, strings[t], static_cast<std::uint32_t>(type.name.size()));
                PutUtf16(r.bytes, strings[t] + 2, type.name);
            } else {
                PokeLe32(r.bytes, entry, type.id);
            }
            PokeLe32(r.bytes, entry + 4, 0x80000000u | static_cast<std::uint32_t>(nameDirs[t]));
            // One name, ID 1.
            PokeLe16(r.bytes, nameDirs[t] + 14, 1);
            PokeLe32(r.bytes, nameDirs[t] + 16, 1);
            PokeLe32(r.bytes, nameDirs[t] + 20, 0x80000000u | static_cast<std::uint32_t>(languageDirs[t]));
            PokeLe16(r.bytes, languageDirs[t] + 14, static_cast<std::uint32_t>(type.languages.size()));
            for (std::size_t l = 0; l < type.languages.size(); ++l) {
                const std::uint64_t languageEntry = languageDirs[t] + 16 + 8 * l;
                const std::uint64_t dataEntry = dataEntries[t] + 16 * l;
                PokeLe32(r.bytes, languageEntry, type.languages[l]);
                PokeLe32(r.bytes, languageEntry + 4, static_cast<std::uint32_t>(dataEntry));

                std::vector<std::uint8_t> data;
                if (type.id == 16) {
                    data = VersionBlock(static_cast<unsigned>(l), type.languages[l]);
                } else {
                    const char text[] = "resource data..";
                    data.assign(text, text + sizeof(text));
                    data[15] = static_cast<std::uint8_t>(type.id);
                }
                const std::uint64_t dataAt = AlignUp(r.bytes.size(), 4);
                r.bytes.resize(dataAt, 0);
                r.bytes.insert(r.bytes.end(), data.begin(), data.end());
                PokeLe32(r.bytes, dataEntry, sectionRva + static_cast<std::uint32_t>(dataAt));
                PokeLe32(r.bytes, dataEntry + 4, static_cast<std::uint32_t>(data.size()));
                if (type.id == 16 && l == 0)
                    r.version = {.versionTypeEntry = entry,
                                 .nameDirectory = nameDirs[t],
                                 .languageDirectory = languageDirs[t],
                                 .dataEntry = dataEntry,
                                 .versionBlock = dataAt,
                                 .versionEnd = dataAt + data.size()};
            }
        }
        return r;
    }

    PeOptions m_options;
};

}  // namespace norvane
