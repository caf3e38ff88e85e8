#include "cp932.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace keta {
namespace {

bool IsHalfWidthKatakana(unsigned char b) { return b >= 0xA1 && b <= 0xDF; }

// The pair the encoder writes for each UTF-16 code unit, 0 for none. A character with several
// pairs (the NEC and IBM duplicates) gets the first in the table's order, except that the
// NEC-selected IBM pairs (lead ED, EE) give way to any other: the choice Qt's converter makes.
// Built once, on the first encoding; a 128 KiB table is cheaper than searching per character.
const std::vector<std::uint16_t>& EncoderCodes() {
    static const std::vector<std::uint16_t> codes = [] {
        std::vector<std::uint16_t> table(0x10000, 0);
        const auto late = [](unsigned lead) { return lead == 0xED || lead == 0xEE; };
        for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
            const auto leadByte = static_cast<unsigned char>(lead);
            if (!IsCp932LeadByte(leadByte)) continue;
            for (unsigned trail = 0; trail <= 0xFF; ++trail) {
                const char16_t c =
                    kCp932Pairs[Cp932PairIndex(leadByte, static_cast<unsigned char>(trail))];
                if (c == 0) continue;
                std::uint16_t& code = table[c];
                if (code == 0 || (late(code >> 8u) && !late(lead))) {
                    code = static_cast<std::uint16_t>(lead << 8u | trail);
                }
            }
        }
        return table;
    }();
    return codes;
}

void AppendUtf8(std::string& out, char32_t c) {
    const auto byte = [&out](char32_t b) { out += static_cast<char>(b); };
    if (c < 0x80) {
        byte(c);
    } else if (c < 0x800) {
        byte(0xC0 | c >> 6);
        byte(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        byte(0xE0 | c >> 12);
        byte(0x80 | (c >> 6 & 0x3F));
        byte(0x80 | (c & 0x3F));
    } else {
        byte(0xF0 | c >> 18);
        byte(0x80 | (c >> 12 & 0x3F));
        byte(0x80 | (c >> 6 & 0x3F));
        byte(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::optional<std::u16string> Cp932Decoder::Decode(std::string_view bytes) const {
    return Decode(bytes, static_cast<std::ptrdiff_t>(bytes.size()));
}

std::optional<std::u16string> Cp932Decoder::Decode(std::string_view bytes,
                                                   std::ptrdiff_t maxChars) const {
    const auto size = static_cast<std::ptrdiff_t>(bytes.size());
    std::u16string text(
        static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, std::min(size, maxChars))), u'\0');
    char16_t* const out = text.data();
    std::ptrdiff_t n = 0;
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::ptrdiff_t i = 0; i < size && n < maxChars; ++i) {
        const unsigned char b = in[i];
        if (b < 0x80) {
            out[n++] = b;
        } else if (IsHalfWidthKatakana(b)) {
            out[n++] = static_cast<char16_t>(0xFF61 + (b - 0xA1));
        } else if (IsCp932LeadByte(b) && i + 1 < size) {
            const char16_t c = kCp932Pairs[Cp932PairIndex(b, in[i + 1])];
            if (c == 0) return std::nullopt;
            out[n++] = c;
            ++i;
        } else {
            return std::nullopt;  // 80, A0, FD..FF, or a lead byte cut off at the end
        }
    }
    text.resize(static_cast<std::size_t>(n));
    return text;
}

std::optional<std::string> EncodeCp932(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size() * 2);
    const std::vector<std::uint16_t>* codes = nullptr;
    for (const char16_t c : text) {
        if (c < 0x80) {
            bytes += static_cast<char>(c);
        } else if (c >= 0xFF61 && c <= 0xFF9F) {
            bytes += static_cast<char>(0xA1 + (c - 0xFF61));
        } else {
            // A text of ASCII alone, as most are, never builds the table.
            if (codes == nullptr) codes = &EncoderCodes();
            const std::uint16_t code = (*codes)[c];
            if (code == 0) return std::nullopt;
            bytes += static_cast<char>(code >> 8u);
            bytes += static_cast<char>(code & 0xFFu);
        }
    }
    return bytes;
}

std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8) {
    std::u16string text;
    text.reserve(utf8.size());
    const auto* in = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t size = utf8.size();
    for (std::size_t i = 0; i < size;) {
        const unsigned char b = in[i];
        if (b < 0x80) {
            text += static_cast<char16_t>(b);
            ++i;
            continue;
        }
        // The length and the smallest code point of that length: shorter forms are overlong.
        std::size_t length = 0;
        char32_t c = 0;
        char32_t least = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            length = 2;
            c = b & 0x1Fu;
            least = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            c = b & 0x0Fu;
            least = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            c = b & 0x07u;
            least = 0x10000;
        } else {
            return std::nullopt;
        }
        if (size - i < length) return std::nullopt;
        for (std::size_t k = 1; k < length; ++k) {
            const unsigned char next = in[i + k];
            if ((next & 0xC0u) != 0x80) return std::nullopt;
            c = c << 6 | (next & 0x3Fu);
        }
        if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
        if (c >= 0x10000) {
            c -= 0x10000;
            text += static_cast<char16_t>(0xD800 + (c >> 10));
            text += static_cast<char16_t>(0xDC00 + (c & 0x3FFu));
        } else {
            text += static_cast<char16_t>(c);
        }
        i += length;
    }
    return text;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string utf8;
    utf8.reserve(text.size() * 3);
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size; ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < size && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00u);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = u'?';
        }
        AppendUtf8(utf8, c);
    }
    return utf8;
}

}  // namespace keta
