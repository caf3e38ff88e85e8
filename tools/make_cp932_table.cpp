// Writes records/cp932_table.cpp, the double-byte characters of code page 932 as Qt's
// "windows-31j" converter decodes them, so that the history's reader needs no Qt.
//
// Not part of any build: run it by hand when the converter may have changed (a new Qt or ICU),
// from the repository's top folder:
//   g++ -std=c++20 -fPIC tools/make_cp932_table.cpp $(pkg-config --cflags --libs Qt6Core)
//       -o /tmp/make_cp932_table
//   /tmp/make_cp932_table records/cp932_table.cpp
// then build and run the store tests: Cp932AgainstQt compares every pair and every UTF-16 code
// unit with the converter. The file is written only when the converter still follows the rules
// the table relies on (see Check below); otherwise the program says where it does not.

#include <QFile>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <array>
#include <cstdio>
#include <map>
#include <vector>

namespace {

constexpr char kCodecName[] = "windows-31j";
constexpr int kTrails = 188;             // 40..7E and 80..FC
constexpr char16_t kNoCharacter = u'_';  // ASCII: no pair decodes to ASCII, Check makes sure

bool IsLead(int b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// The character of a pair as the program has always taken it: one character, no error, not the
// replacement character; 0 for anything else.
char16_t DecodePair(int lead, int trail) {
    QStringDecoder decoder(kCodecName, QStringConverter::Flag::Stateless);
    const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    const QString text = decoder.decode(QByteArrayView(pair, 2));
    if (decoder.hasError() || text.size() != 1 || text[0] == QChar(0xFFFD)) return 0;
    return text[0].unicode();
}

// Qt's code for one UTF-16 code unit when it reads back as that unit, else 0.
int EncodeUnit(char16_t unit, const std::map<int, char16_t>& pairs) {
    QStringEncoder encoder(kCodecName, QStringConverter::Flag::Stateless);
    const QChar c(unit);
    const QByteArray bytes = encoder.encode(QStringView(&c, 1));
    if (encoder.hasError()) return 0;
    if (bytes.size() == 1) {
        const auto b = static_cast<unsigned char>(bytes[0]);
        const bool back =
            b < 0x80 ? unit == b : b >= 0xA1 && b <= 0xDF && unit == 0xFF61 + b - 0xA1;
        return back ? b : 0;
    }
    if (bytes.size() != 2) return 0;
    const int code =
        static_cast<unsigned char>(bytes[0]) << 8 | static_cast<unsigned char>(bytes[1]);
    const auto it = pairs.find(code);
    return it != pairs.end() && it->second == unit ? code : 0;
}

// The encoder in records/cp932.cpp takes, of the pairs of one character, the first in the
// table's order, except that the NEC-selected IBM pairs (lead ED, EE) come after all others.
bool Check(const std::map<int, char16_t>& pairs) {
    bool ok = true;
    std::map<char16_t, int> chosen;
    for (const auto& [code, c] : pairs) {
        if (c < 0x80 || c == kNoCharacter || QChar::isSurrogate(c)) {
            std::fprintf(stderr, "%04X decodes to U+%04X, which the table cannot hold\n", code, c);
            ok = false;
        }
        const int trail = code & 0xFF;
        if (trail < 0x40 || trail == 0x7F || trail > 0xFC) {
            std::fprintf(stderr, "%04X: a trail byte outside 40..FC\n", code);
            ok = false;
        }
        const auto late = [](int k) { return (k >> 8) == 0xED || (k >> 8) == 0xEE; };
        const auto it = chosen.find(c);
        if (it == chosen.end() || (late(it->second) && !late(code))) chosen[c] = code;
    }
    for (int u = 0x80; u <= 0xFFFF; ++u) {
        const auto unit = static_cast<char16_t>(u);
        const bool single = u >= 0xFF61 && u <= 0xFF9F;
        const auto it = chosen.find(unit);
        const int expected = single ? 0xA1 + u - 0xFF61 : it != chosen.end() ? it->second : 0;
        const int qt = EncodeUnit(unit, pairs);
        if (qt != expected) {
            std::fprintf(stderr, "U+%04X: Qt writes %X, the table's rule %X\n", u, qt, expected);
            ok = false;
        }
    }
    return ok;
}

// Characters that read plainly in the source stay as they are; the rest become \uXXXX.
bool Plain(char16_t c) {
    switch (QChar::category(c)) {
        case QChar::Letter_Uppercase:
        case QChar::Letter_Lowercase:
        case QChar::Letter_Titlecase:
        case QChar::Letter_Modifier:
        case QChar::Letter_Other:
        case QChar::Number_DecimalDigit:
        case QChar::Number_Letter:
        case QChar::Number_Other:
        case QChar::Punctuation_Connector:
        case QChar::Punctuation_Dash:
        case QChar::Punctuation_Open:
        case QChar::Punctuation_Close:
        case QChar::Punctuation_InitialQuote:
        case QChar::Punctuation_FinalQuote:
        case QChar::Punctuation_Other:
        case QChar::Symbol_Math:
        case QChar::Symbol_Currency:
        case QChar::Symbol_Modifier:
        case QChar::Symbol_Other:
            return true;
        default:
            return false;
    }
}

QString Hex(int value, int digits) {
    return QString::number(value, 16).rightJustified(digits, u'0').toUpper();
}

QString Row(int lead, const std::array<char16_t, kTrails>& row) {
    bool run = true;
    for (std::size_t i = 0; i < row.size(); ++i) run = run && row[0] != 0 && row[i] == row[0] + i;
    const QString head = QStringLiteral("    {0x") + Hex(lead, 2) + QStringLiteral(", ");
    if (run) return head + QStringLiteral("0x") + Hex(row[0], 4) + QStringLiteral(", nullptr},\n");
    QString out = head + QStringLiteral("0, u\"");
    const QString indent(out.size() - 2, u' ');
    qsizetype width = out.size();
    for (const char16_t c : row) {
        const QString piece = c == 0     ? QString(QChar(kNoCharacter))
                              : Plain(c) ? QString(QChar(c))
                                         : QStringLiteral("\\u") + Hex(c, 4);
        const qsizetype pieceWidth = piece.size() > 1 ? 6 : c >= 0x1100 ? 2 : 1;
        if (width + pieceWidth > 96) {
            out += QStringLiteral("\"\n") + indent + QStringLiteral("u\"");
            width = indent.size() + 2;
        }
        out += piece;
        width += pieceWidth;
    }
    return out + QStringLiteral("\"},\n");
}

const char kHead[] =
    R"(// Generated by tools/make_cp932_table.cpp from Qt's "windows-31j" converter: do not edit.
// Each lead byte's row holds the characters of its trail bytes 40..7E and 80..FC in order, '_'
// where the pair is no character; a row that is a run of characters gives only the first.

#include <array>

#include "cp932.h"

namespace keta {
namespace {

constexpr int kTrails = 188;

struct Row {
    unsigned char lead;
    char16_t run;  // the first character of a run, or 0 when `text` holds the row
    const char16_t* text;
};

// clang-format off
constexpr Row kRows[] = {
)";

const char kTail[] = R"(};
// clang-format on

constexpr bool RowsAreWhole() {
    for (const Row& row : kRows) {
        if (row.run != 0) continue;
        for (int i = 0; i < kTrails; ++i) {
            if (row.text[i] == 0) return false;
        }
        if (row.text[kTrails] != 0) return false;
    }
    return true;
}
static_assert(RowsAreWhole(), "every row holds one character for each trail byte");

constexpr std::array<char16_t, kCp932PairSlots> Expand() {
    std::array<char16_t, kCp932PairSlots> pairs{};
    for (const Row& row : kRows) {
        for (int slot = 0; slot < kTrails; ++slot) {
            const auto trail = static_cast<unsigned char>(0x40 + slot + (slot >= 0x3F ? 1 : 0));
            const char16_t c =
                row.run != 0 ? static_cast<char16_t>(row.run + slot) : row.text[slot];
            pairs[Cp932PairIndex(row.lead, trail)] = c == u'_' ? char16_t{0} : c;
        }
    }
    return pairs;
}

}  // namespace

constexpr std::array<char16_t, kCp932PairSlots> kCp932Pairs = Expand();

}  // namespace keta
)";

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s records/cp932_table.cpp\n", argv[0]);
        return 2;
    }
    std::map<int, char16_t> pairs;
    QString rows;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!IsLead(lead)) continue;
        std::array<char16_t, kTrails> row{};
        bool any = false;
        for (int trail = 0; trail < 256; ++trail) {
            const char16_t c = DecodePair(lead, trail);
            if (c == 0) continue;
            pairs[lead << 8 | trail] = c;
            const int slot = trail - 0x40 - (trail > 0x7F ? 1 : 0);
            if (slot >= 0 && slot < kTrails && trail != 0x7F)
                row[static_cast<std::size_t>(slot)] = c;
            any = true;
        }
        if (any) rows += Row(lead, row);
    }
    if (!Check(pairs)) return 1;
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    out.write(kHead);
    out.write(rows.toUtf8());
    out.write(kTail);
    std::fprintf(stderr, "%zu pairs\n", pairs.size());
    return out.flush() ? 0 : 1;
}
