#include "cp932.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>

namespace keta {
namespace {

// The name under which Qt's ICU backend offers the Windows form of Shift-JIS:
// 81 7C is U+FF0D, 81 5F is U+FF3C, and the NEC and IBM extensions are included.
constexpr char kCodecName[] = "windows-31j";

bool IsHalfWidthKatakana(unsigned char b) { return b >= 0xA1 && b <= 0xDF; }

constexpr int kLeadByteCount = (0x9F - 0x81 + 1) + (0xFC - 0xE0 + 1);

// The characters the program itself writes into its files, known without asking the converter:
// a history the program wrote then loads and shows without loading ICU's tables at start-up.
struct KnownPair {
    unsigned char lead;
    unsigned char trail;
    char16_t character;
};
constexpr KnownPair kOwnCharacters[] = {
    {0x95, 0x62, u'秒'},
    {0x81, 0x7B, u'＋'},
    {0x81, 0x7C, u'－'},
};

}  // namespace

char16_t Cp932Decoder::DoubleByte(unsigned char lead, unsigned char trail) {
    if (doubleBytes_.empty())
        doubleBytes_.assign(static_cast<std::size_t>(kLeadByteCount) * 256, 0);
    char16_t& slot = doubleBytes_[PairIndex(lead, trail)];
    if (slot == 0) {
        for (const KnownPair& known : kOwnCharacters) {
            if (known.lead == lead && known.trail == trail) return slot = known.character;
        }
        // Stateless, so that a pair that does not complete is an error rather than a
        // character held back for a next call that never comes.
        QStringDecoder decoder(kCodecName, QStringConverter::Flag::Stateless);
        const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        const QString decoded = decoder.decode(QByteArrayView(pair, 2));
        const bool one = !decoder.hasError() && decoded.size() == 1 && decoded[0] != QChar(0xFFFD);
        slot = one ? decoded[0].unicode() : kInvalid;
    }
    return slot;
}

std::optional<QString> Cp932Decoder::Decode(QByteArrayView bytes) {
    return Decode(bytes, bytes.size());
}

std::optional<QString> Cp932Decoder::Decode(QByteArrayView bytes, qsizetype maxChars) {
    QString text(std::min(bytes.size(), maxChars), Qt::Uninitialized);
    QChar* out = text.data();
    qsizetype n = 0;
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size && n < maxChars; ++i) {
        const unsigned char b = in[i];
        if (b < 0x80) {
            out[n++] = QChar(b);
        } else if (IsHalfWidthKatakana(b)) {
            out[n++] = QChar(char16_t(0xFF61 + (b - 0xA1)));
        } else if (IsCp932LeadByte(b) && i + 1 < size) {
            const char16_t c = DoubleByte(b, in[i + 1]);
            if (c == kInvalid) return std::nullopt;
            out[n++] = QChar(c);
            ++i;
        } else {
            return std::nullopt;  // 80, A0, FD..FF, or a lead byte cut off at the end
        }
    }
    text.truncate(n);
    return text;
}

std::optional<QByteArray> EncodeCp932(QStringView text) {
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    // Kept per thread: its table then fills once instead of on every save.
    thread_local Cp932Decoder check;
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            bytes.append(static_cast<char>(c.unicode()));
            continue;
        }
        QStringEncoder encoder(kCodecName, QStringConverter::Flag::Stateless);
        const QByteArray encoded = encoder.encode(QStringView(&c, 1));
        // Only exact mappings: a best fit would not read back as the character written.
        const std::optional<QString> back = check.Decode(encoded);
        if (encoder.hasError() || !back || *back != QStringView(&c, 1)) return std::nullopt;
        bytes.append(encoded);
    }
    return bytes;
}

}  // namespace keta
