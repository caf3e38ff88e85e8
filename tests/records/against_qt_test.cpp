// The shared rules against the Qt calls the desktop used before them: every pair of bytes and
// every UTF-16 code unit against the "windows-31j" converter, the date and time texts against
// QDateTime. A history written by either must read and write the same, byte for byte.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <optional>
#include <random>
#include <string>

#include "cp932.h"
#include "history_records.h"

namespace keta {
namespace {

using namespace std::string_literals;

constexpr char kCodecName[] = "windows-31j";

// The character Qt makes of two bytes, as the desktop took it: one character, no error, not
// the replacement character.
std::optional<char16_t> QtPair(unsigned char lead, unsigned char trail) {
    QStringDecoder decoder(kCodecName, QStringConverter::Flag::Stateless);
    const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    const QString text = decoder.decode(QByteArrayView(pair, 2));
    if (decoder.hasError() || text.size() != 1 || text[0] == QChar(0xFFFD)) return std::nullopt;
    return text[0].unicode();
}

TEST(Cp932AgainstQt, EveryPairDecodesAsQtDecodesIt) {
    int characters = 0;
    for (int lead = 0; lead <= 0xFF; ++lead) {
        const auto leadByte = static_cast<unsigned char>(lead);
        if (!IsCp932LeadByte(leadByte)) {
            EXPECT_FALSE(Cp932Decoder::IsPair(leadByte, 0x40)) << lead;
            continue;
        }
        for (int trail = 0; trail <= 0xFF; ++trail) {
            const auto trailByte = static_cast<unsigned char>(trail);
            const std::optional<char16_t> qt = QtPair(leadByte, trailByte);
            const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            const std::optional<std::u16string> ours = Cp932Decoder().Decode({pair, 2});
            ASSERT_EQ(Cp932Decoder::IsPair(leadByte, trailByte), qt.has_value())
                << std::hex << lead << ' ' << trail;
            if (qt) {
                ASSERT_EQ(ours, std::u16string(1, *qt)) << std::hex << lead << ' ' << trail;
                ++characters;
            } else {
                ASSERT_EQ(ours, std::nullopt) << std::hex << lead << ' ' << trail;
            }
        }
    }
    EXPECT_GT(characters, 7000);  // the table is not empty, whatever Qt offers
}

TEST(Cp932AgainstQt, TheBytesOfOneCharacterDecodeAsQtDecodesThem) {
    for (int b = 0; b <= 0xFF; ++b) {
        const auto byte = static_cast<unsigned char>(b);
        // ICU's table swaps the controls 1A, 1C and 7F as IBM's code page does; the program
        // always read ASCII as itself, as Windows does.
        if (!IsCp932SingleByte(byte) || b == 0x1A || b == 0x1C || b == 0x7F) continue;
        QStringDecoder decoder(kCodecName, QStringConverter::Flag::Stateless);
        const char one = static_cast<char>(b);
        const QString qt = decoder.decode(QByteArrayView(&one, 1));
        ASSERT_FALSE(decoder.hasError()) << b;
        EXPECT_EQ(Cp932Decoder().Decode({&one, 1}), qt.toStdU16String()) << b;
    }
}

// What the desktop wrote for one code unit: Qt's bytes when they read back as that unit.
std::optional<std::string> QtEncoded(char16_t unit) {
    if (unit < 0x80) return std::string(1, static_cast<char>(unit));
    QStringEncoder encoder(kCodecName, QStringConverter::Flag::Stateless);
    const QChar c(unit);
    const QByteArray bytes = encoder.encode(QStringView(&c, 1));
    if (encoder.hasError() || bytes.isEmpty()) return std::nullopt;
    QStringDecoder decoder(kCodecName, QStringConverter::Flag::Stateless);
    const auto first = static_cast<unsigned char>(bytes[0]);
    // Bytes that are no character to the reader are none to the writer either.
    const bool readable = bytes.size() == 1   ? IsCp932SingleByte(first)
                          : bytes.size() == 2 ? IsCp932LeadByte(first)
                                              : false;
    const QString back = decoder.decode(bytes);
    if (!readable || back != QStringView(&c, 1) || decoder.hasError()) {
        return std::nullopt;
    }
    return bytes.toStdString();
}

TEST(Cp932AgainstQt, EveryCodeUnitEncodesAsQtEncodesIt) {
    int written = 0;
    for (int u = 0; u <= 0xFFFF; ++u) {
        const auto unit = static_cast<char16_t>(u);
        const std::optional<std::string> qt = QtEncoded(unit);
        ASSERT_EQ(EncodeCp932(std::u16string_view(&unit, 1)), qt) << std::hex << u;
        written += qt ? 1 : 0;
    }
    EXPECT_GT(written, 7000);
}

TEST(HistoryTextsAgainstQt, DatesAndTimesReadAsQDateTimeWroteThem) {
    const struct {
        int year, month, day, hour, minute, second;
    } cases[] = {
        {2026, 12, 8, 9, 5, 3},    {2004, 5, 1, 13, 5, 9},   {1, 1, 1, 0, 0, 0},
        {999, 10, 31, 23, 59, 59}, {9999, 12, 31, 12, 0, 1}, {10000, 1, 2, 3, 4, 5},
        {-44, 3, 15, 6, 7, 8},
    };
    for (const auto& c : cases) {
        SavedResult result;
        result.year = c.year;
        result.month = c.month;
        result.day = c.day;
        result.hour = c.hour;
        result.minute = c.minute;
        result.second = c.second;
        const QDateTime at(QDate(c.year, c.month, c.day), QTime(c.hour, c.minute, c.second));
        ASSERT_TRUE(at.isValid()) << c.year;
        EXPECT_EQ(HistoryDateText(result),
                  at.toString(QStringLiteral("yyyy/MM/dd")).toStdU16String());
        EXPECT_EQ(HistoryTimeText(result),
                  at.toString(QStringLiteral("HH:mm:ss")).toStdU16String());
    }
}

TEST(Utf8AgainstQt, RandomTextsConvertAsQtConvertsThem) {
    std::mt19937 random(932);
    for (int n = 0; n < 2000; ++n) {
        QString text;
        const int length = static_cast<int>(random() % 12);
        for (int i = 0; i < length; ++i) {
            // Every plane, surrogates left out: they are no characters of their own.
            char32_t c = random() % 0x110000;
            if (c >= 0xD800 && c <= 0xDFFF) c -= 0x800;
            text += QString::fromUcs4(&c, 1);
        }
        const std::u16string utf16 = text.toStdU16String();
        const std::string utf8 = text.toUtf8().toStdString();
        ASSERT_EQ(Utf16ToUtf8(utf16), utf8);
        ASSERT_EQ(Utf8ToUtf16(utf8), utf16);
    }
    // A surrogate alone, which a typed text may hold, is written as Qt wrote it.
    for (const std::u16string& text : {u"\xD800"s,
                                       u"a\xDBFF"
                                       u"b"s,
                                       u"\xDC00\xD800"s}) {
        EXPECT_EQ(Utf16ToUtf8(text), QString::fromStdU16String(text).toUtf8().toStdString());
    }
}

}  // namespace
}  // namespace keta
