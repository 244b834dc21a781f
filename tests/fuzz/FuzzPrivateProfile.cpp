// Feeds arbitrary bytes as a settings file to the private-profile reader and
// writer. Input: byte 0 the buffer size, byte 1 the code page (bit 0) and the
// size of the pieces the text is streamed in (bits 1-7); then, separated by
// NUL bytes, section, key and value; the rest is the file's content. Without
// three NULs the whole rest is the content and fixed names are used.
//
// Checked: streaming in pieces gives what one piece gives; the value read is
// cut within the buffer; a write reads back as written, touches no other key
// or section, and writing the same again changes nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "platform/CodePage.h"
#include "platform/PrivateProfile.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

std::string_view TakePart(std::string_view* rest, bool* found) {
    std::size_t nul = rest->find('\0');
    if (nul == std::string_view::npos) {
        *found = false;
        return {};
    }
    std::string_view part = rest->substr(0, nul);
    rest->remove_prefix(nul + 1);
    return part;
}

std::optional<std::string> StreamedValue(std::string_view text, std::string_view section, std::string_view key,
                                         int codePage, std::size_t pieceSize) {
    norvane::PrivateProfileLookup lookup(section, key, codePage);
    for (std::size_t pos = 0; pos < text.size(); pos += pieceSize) {
        if (!lookup.Feed(text.substr(pos, pieceSize))) break;
    }
    return lookup.Finish();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t bufferSize = data[0];
    const int codePage = (data[1] & 1) != 0 ? norvane::kCodePageShiftJis : norvane::kCodePageUtf8;
    const std::size_t pieceSize = (data[1] >> 1) + 1u;
    std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);

    std::string_view section = "TITLE";
    std::string_view key = "VALUE1";
    std::string_view value = " \"new\" value\r\n[X]";
    std::string_view parts = rest;
    bool found = true;
    std::string_view s = TakePart(&parts, &found);
    std::string_view k = TakePart(&parts, &found);
    std::string_view v = TakePart(&parts, &found);
    if (found) {
        section = s;
        key = k;
        value = v;
        rest = parts;
    }
    const std::string_view text = rest;

    // Reading: one piece or many give the same, and the cut stays in the buffer.
    std::optional<std::string> whole = norvane::FindPrivateProfileValue(text, section, key, codePage);
    Check(whole == StreamedValue(text, section, key, codePage, pieceSize));
    if (whole && bufferSize > 0) {
        Check(norvane::CutToBytes(*whole, bufferSize - 1, codePage).size() < bufferSize);
    }

    // Writing: the value reads back as the reader returns written values.
    std::optional<std::string> updated =
        norvane::UpdatePrivateProfileText(text, section, {{std::string(key), std::string(value)}}, codePage);
    if (!updated) return 0;
    std::string_view expected = norvane::CleanProfileValueForRead(norvane::CleanProfileValueForWrite(value));
    Check(norvane::FindPrivateProfileValue(*updated, section, key, codePage) == std::optional<std::string>(expected));

    // Names one byte longer never match the written ones: their values stay.
    const std::string otherKey = std::string(key) + "x";
    const std::string otherSection = std::string(section) + "x";
    Check(norvane::FindPrivateProfileValue(text, section, otherKey, codePage) ==
          norvane::FindPrivateProfileValue(*updated, section, otherKey, codePage));
    Check(norvane::FindPrivateProfileValue(text, otherSection, key, codePage) ==
          norvane::FindPrivateProfileValue(*updated, otherSection, key, codePage));

    // The rewritten text is in its final form: the same write again is a no-op.
    Check(norvane::UpdatePrivateProfileText(*updated, section, {{std::string(key), std::string(value)}}, codePage) ==
          updated);
    return 0;
}
