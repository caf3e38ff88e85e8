// The code page table and encoder against Qt's "windows-31j" converter, which the desktop used
// before the rules moved into standard-library code: every pair of bytes and every UTF-16 code
// unit, so that no character reads or writes differently than it did.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

#include "cp932.h"

namespace keta {
namespace {

constexpr char kCodec[] = "windows-31j";

TEST(Cp932AgainstQt, EveryPairOfBytesDecodesAsQtDecodesIt) {
    int characters = 0;
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
        for (int trail = 0; trail <= 0xFF; ++trail) {
            QStringDecoder qt(kCodec, QStringConverter::Flag::Stateless);
            const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            const QString decoded = qt.decode(QByteArrayView(pair, 2));
            const bool qtPair = IsCp932LeadByte(static_cast<unsigned char>(lead)) &&
                                !qt.hasError() && decoded.size() == 1 &&
                                decoded[0] != QChar(0xFFFD);
            const auto lb = static_cast<unsigned char>(lead);
            const auto tb = static_cast<unsigned char>(trail);
            ASSERT_EQ(Cp932Decoder::IsPair(lb, tb), qtPair) << std::hex << lead << ' ' << trail;
            if (!qtPair) continue;
            ++characters;
            const std::optional<std::u16string> ours =
                Cp932Decoder().Decode(std::string_view(pair, 2));
            ASSERT_TRUE(ours.has_value());
            ASSERT_EQ(*ours, std::u16string(1, decoded[0].unicode()))
                << std::hex << lead << ' ' << trail;
        }
    }
    // The code page's double-byte characters, NEC and IBM extensions included.
    EXPECT_GT(characters, 7000);
}

TEST(Cp932AgainstQt, EveryCodeUnitEncodesAsQtEncodesItOrIsRefusedAsBefore) {
    Cp932Decoder back;
    int written = 0;
    for (char32_t unit = 1; unit <= 0xFFFF; ++unit) {
        const auto c = static_cast<char16_t>(unit);
        std::optional<std::string> expected;
        if (c < 0x80) {
            expected = std::string(1, static_cast<char>(c));
        } else {
            QStringEncoder qt(kCodec, QStringConverter::Flag::Stateless);
            const QChar qc(c);
            const QByteArray encoded = qt.encode(QStringView(&qc, 1));
            const std::optional<std::u16string> readBack =
                back.Decode(std::string_view(encoded.constData(), encoded.size()));
            if (!qt.hasError() && readBack && *readBack == std::u16string(1, c))
                expected = std::string(encoded.constData(), encoded.size());
        }
        const std::optional<std::string> ours = EncodeCp932(std::u16string_view(&c, 1));
        ASSERT_EQ(ours, expected) << std::hex << static_cast<unsigned>(unit);
        if (ours) ++written;
    }
    EXPECT_GT(written, 7000);
}

}  // namespace
}  // namespace keta
