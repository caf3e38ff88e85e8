#pragma once
// Code page 932 (Shift-JIS as Windows writes it), the code page of both data files, and the
// UTF-8 the rest of the program speaks. ASCII bytes map to themselves, the half-width katakana
// A1..DF to U+FF61..U+FF9F, and every pair of bytes is looked up in a table made from Qt's
// "windows-31j" converter (cp932_table.cpp), so that no converter is needed here.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace keta {

// Bytes that stand for one character alone (ASCII and the half-width katakana A1..DF), and
// bytes that start a character of two.
inline bool IsCp932SingleByte(unsigned char b) { return b < 0x80 || (b >= 0xA1 && b <= 0xDF); }
inline bool IsCp932LeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Where the pair of a lead byte and any trail byte is in kCp932Pairs.
inline constexpr std::size_t kCp932PairSlots = ((0x9F - 0x81 + 1) + (0xFC - 0xE0 + 1)) * 256;
constexpr std::size_t Cp932PairIndex(unsigned char lead, unsigned char trail) {
    const unsigned leadSlot = lead <= 0x9F ? lead - 0x81u : lead - 0xE0u + (0x9Fu - 0x81u + 1);
    return std::size_t{leadSlot} * 256 + trail;
}
// The character of each pair, 0 where the pair is no character (no pair stands for U+0000).
extern const std::array<char16_t, kCp932PairSlots> kCp932Pairs;

class Cp932Decoder {
public:
    // Decodes `bytes`. Returns std::nullopt when any byte sequence is not a character of the
    // code page, a lead byte without its trail byte at the end included.
    std::optional<std::u16string> Decode(std::string_view bytes) const;
    // Decodes no more than the first `maxChars` characters; nothing after them is looked at.
    std::optional<std::u16string> Decode(std::string_view bytes, std::ptrdiff_t maxChars) const;
    // True when the two bytes are one character of the code page.
    static bool IsPair(unsigned char lead, unsigned char trail) {
        return IsCp932LeadByte(lead) && kCp932Pairs[Cp932PairIndex(lead, trail)] != 0;
    }
};

// Encodes `text`. Returns std::nullopt when a code unit has no exact form in the code page (a
// best fit would not read back as the character written; a surrogate has none). A character
// with several pairs gets the one Qt's converter writes.
std::optional<std::string> EncodeCp932(std::u16string_view text);

// UTF-8 to UTF-16; std::nullopt for bytes that are not UTF-8 (overlong forms and surrogates
// included).
std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8);
// UTF-16 to UTF-8; a surrogate without its partner becomes '?', as Qt's toUtf8 writes it.
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace keta
