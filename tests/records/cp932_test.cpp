#include "cp932.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace keta {
namespace {

using namespace std::string_literals;

TEST(Cp932, ReadsAndWritesTheBytesOfTheProgramsOwnCharacters) {
    const struct {
        std::u16string text;
        std::string bytes;
    } cases[] = {
        {u"秒", "\x95\x62"}, {u"＋", "\x81\x7B"}, {u"－", "\x81\x7C"},  // U+FF0D, not U+2212
        {u"\\", "\x5C"},     {u"ｱ", "\xB1"},      {u"\x1A", "\x1A"},
        {u"\0"s, "\0"s},     {u"ﾟ", "\xDF"},      {u"60秒", "60\x95\x62"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeCp932(c.text), c.bytes) << Utf16ToUtf8(c.text);
        EXPECT_EQ(Cp932Decoder().Decode(c.bytes), c.text) << Utf16ToUtf8(c.text);
    }
}

// A character with more than one pair (the NEC and IBM extensions repeat some) is written with
// the one Qt's converter chose, and every one of its pairs reads back as it.
TEST(Cp932, ACharacterWithSeveralPairsIsWrittenWithTheConvertersChoice) {
    const struct {
        char16_t character;
        std::string written;
        std::string alsoRead;
    } cases[] = {
        {u'∵', "\x81\xE6", "\xFA\x5B"},   // JIS row 2 before the IBM pair
        {u'∵', "\x81\xE6", "\x87\x9A"},   // and before NEC row 13
        {u'￢', "\x81\xCA", "\xEE\xF9"},  // and before the NEC-selected IBM pair
        {u'Ⅰ', "\x87\x54", "\xFA\x4A"},   // NEC row 13 before the IBM pair
        {u'纊', "\xFA\x5C", "\xED\x40"},  // the IBM pair before the NEC-selected one
        {u'ⅰ', "\xFA\x40", "\xEE\xEF"},
    };
    for (const auto& c : cases) {
        const std::u16string text(1, c.character);
        EXPECT_EQ(EncodeCp932(text), c.written) << Utf16ToUtf8(text);
        EXPECT_EQ(Cp932Decoder().Decode(c.written), text) << Utf16ToUtf8(text);
        EXPECT_EQ(Cp932Decoder().Decode(c.alsoRead), text) << Utf16ToUtf8(text);
    }
}

TEST(Cp932, RefusesCharactersWithoutAnExactForm) {
    for (const std::u16string& text : {u"\u2212"s, u"é"s, u"¥"s, u"\uF86F"s, u"a\U0001F600"s,
                                       u"\xD800"s, u"\xFFFF"s, u"\u0080"s}) {
        EXPECT_EQ(EncodeCp932(text), std::nullopt) << Utf16ToUtf8(text);
    }
    // Private use characters are the user-defined pairs F040..F9FC.
    EXPECT_EQ(EncodeCp932(u"\uE000\uE757"), "\xF0\x40\xF9\xFC"s);
}

TEST(Cp932, RefusesBytesThatAreNoCharacterAndGoesOnAfterwards) {
    for (const std::string& bad : {"a\x95"s, "\x81 x"s, "\x85\x40"s, "\x80"s, "\xA0"s, "\xFD"s,
                                   "\xFF"s, "\x81\x7F"s, "\x81\xFD"s, "\xFC\x4C"s}) {
        EXPECT_EQ(Cp932Decoder().Decode(bad), std::nullopt) << bad;
    }
    EXPECT_EQ(Cp932Decoder().Decode("60\x95\x62"), u"60秒");
}

TEST(Cp932, ADecodingCutShortLooksNoFurther) {
    const struct {
        std::string bytes;
        std::ptrdiff_t maxChars;
        std::optional<std::u16string> text;
    } cases[] = {
        {"ab\x80", 2, u"ab"},               // the bad byte is never reached
        {"ab\x80", 3, std::nullopt},        //
        {"\x95\x62\x95", 1, u"秒"},         // nor the lone lead byte
        {"\x95\x62\x95", 2, std::nullopt},  //
        {"abc", 0, u""},                    //
        {"abc", 10, u"abc"},                // more than there is
        {"", 5, u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Cp932Decoder().Decode(c.bytes, c.maxChars), c.text)
            << c.bytes << " " << c.maxChars;
    }
}

TEST(Utf8, ConvertsEveryLengthOfSequenceBothWays) {
    const struct {
        std::string utf8;
        std::u16string utf16;
    } cases[] = {
        {"", u""},
        {"a\x7F", u"a\x7F"},
        {"\xC2\x80\xDF\xBF", u"\u0080\u07FF"},
        {"\xE0\xA0\x80\xE7\xA7\x92\xEF\xBF\xBF", u"\u0800秒\uFFFF"},
        {"\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", u"\U00010000\U0010FFFF"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
        EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8) << c.utf8;
    }
}

TEST(Utf8, RefusesBytesThatAreNotUtf8) {
    for (const std::string& bad : {
             "\x80"s,              // a continuation byte alone
             "\xC0\x80"s,          // overlong NUL
             "\xC1\xBF"s,          // overlong
             "\xE0\x9F\xBF"s,      // overlong three bytes
             "\xF0\x8F\xBF\xBF"s,  // overlong four bytes
             "\xED\xA0\x80"s,      // a surrogate
             "\xF4\x90\x80\x80"s,  // beyond U+10FFFF
             "\xF5\x80\x80\x80"s,  //
             "\xE7\xA7"s,          // cut short
             "\xE7\x41\x92"s,      // not a continuation
             "a\xFF"s,
         }) {
        EXPECT_EQ(Utf8ToUtf16(bad), std::nullopt) << bad;
    }
}

TEST(Utf8, ASurrogateWithoutItsPartnerBecomesAQuestionMark) {
    const struct {
        std::u16string utf16;
        std::string utf8;
    } cases[] = {
        {u"a\xD800"s, "a?"},
        {u"\xDC00z"s, "?z"},
        {u"\xD800\xD800\xDC00"s, "?\xF0\x90\x80\x80"},
    };
    for (const auto& c : cases) EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8);
}

}  // namespace
}  // namespace keta
