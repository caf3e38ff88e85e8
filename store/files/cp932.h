#pragma once
// Code page 932 (Shift-JIS as Windows writes it), the code page of both data files.
// ASCII bytes map to themselves; everything else goes through Qt's converter once per
// distinct character and is then looked up, which keeps loading a long history fast.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

namespace keta {

// Bytes that stand for one character alone (ASCII and the half-width katakana A1..DF), and
// bytes that start a character of two.
inline bool IsCp932SingleByte(unsigned char b) { return b < 0x80 || (b >= 0xA1 && b <= 0xDF); }
inline bool IsCp932LeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

class Cp932Decoder {
public:
    // Decodes `bytes`. Returns std::nullopt when any byte sequence is not a character of the
    // code page, a lead byte without its trail byte at the end included.
    std::optional<QString> Decode(QByteArrayView bytes);
    // Decodes no more than the first `maxChars` characters; nothing after them is looked at.
    std::optional<QString> Decode(QByteArrayView bytes, qsizetype maxChars);
    // True when the two bytes are one character of the code page.
    bool IsPair(unsigned char lead, unsigned char trail) {
        // Inline for the pairs looked up before: a long history holds a handful, many times.
        if (!doubleBytes_.empty()) {
            const char16_t known = doubleBytes_[PairIndex(lead, trail)];
            if (known != 0) return known != kInvalid;
        }
        return DoubleByte(lead, trail) != kInvalid;
    }

private:
    // Never the result of a real mapping: marks a pair that is not a character.
    static constexpr char16_t kInvalid = 0xFFFF;

    static std::size_t PairIndex(unsigned char lead, unsigned char trail) {
        const unsigned leadSlot = lead <= 0x9F ? lead - 0x81u : lead - 0xE0u + (0x9Fu - 0x81u + 1);
        return std::size_t{leadSlot} * 256 + trail;
    }
    char16_t DoubleByte(unsigned char lead, unsigned char trail);

    // One entry per lead byte and trail byte, filled on first use: 0 = not looked up yet.
    std::vector<char16_t> doubleBytes_;
};

// Encodes `text`. Returns std::nullopt when a character has no exact form in the code page.
std::optional<QByteArray> EncodeCp932(QStringView text);

}  // namespace keta
