// The lenient number reading on arbitrary bytes, and the number patterns on what it reads.
// Besides sanitizer reports, checks relations that must hold between readings: trailing text
// changes nothing, full-width forms read like ASCII, a leading minus negates.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "number_text.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The same text with the ASCII digits, signs, point and space in their full-width forms.
std::string FullWidth(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (IsDigit(c) || c == '+' || c == '-' || c == '.') {
            // U+FF0B..U+FF19 are EF BC 8B..99 in UTF-8.
            out += "\xEF\xBC";
            out += static_cast<char>(0x80 + (c - 0x20));
        } else if (c == ' ') {
            out += "\xE3\x80\x80";  // ideographic space
        } else {
            out += c;
        }
    }
    return out;
}

// A whole text in the plain form strtod reads the same way.
bool IsPlainNumber(std::string_view s) {
    std::size_t pos = 0;
    if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) ++pos;
    const std::size_t start = pos;
    while (pos < s.size() && IsDigit(s[pos])) ++pos;
    if (pos == start) return false;
    if (pos < s.size() && s[pos] == '.') {
        ++pos;
        while (pos < s.size() && IsDigit(s[pos])) ++pos;
    }
    if (pos < s.size() && (s[pos] == 'e' || s[pos] == 'E')) {
        ++pos;
        if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) ++pos;
        const std::size_t exponent = pos;
        while (pos < s.size() && IsDigit(s[pos])) ++pos;
        if (pos == exponent) return false;
    }
    return pos == s.size();
}

bool Same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

// A pattern's text is plain decimal with exactly `decimals` places, never "-0", and within
// half a unit of the last place of the value (plus the 15 digits the rounding keeps).
void CheckFixed(double value, int decimals) {
    const std::string text = keta::FormatFixed(value, decimals);
    std::size_t pos = text[0] == '-' ? 1 : 0;
    const std::size_t intStart = pos;
    while (pos < text.size() && IsDigit(text[pos])) ++pos;
    FUZZ_CHECK(pos > intStart);
    FUZZ_CHECK(pos - intStart == 1 || text[intStart] != '0');
    if (decimals > 0) {
        FUZZ_CHECK(pos < text.size() && text[pos] == '.');
        FUZZ_CHECK(text.size() - pos - 1 == static_cast<std::size_t>(decimals));
        for (std::size_t i = pos + 1; i < text.size(); ++i) FUZZ_CHECK(IsDigit(text[i]));
    } else {
        FUZZ_CHECK(pos == text.size());
    }
    const double shown = std::strtod(text.c_str(), nullptr);
    if (text[0] == '-') FUZZ_CHECK(shown != 0);
    if (std::isfinite(value) && std::fabs(value) < 1e15) {
        const double tolerance = 0.5 * std::pow(10.0, -decimals) + std::fabs(value) * 1e-14;
        FUZZ_CHECK(std::fabs(shown - value) <= tolerance * (1 + 1e-9));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const double value = keta::ReadNumber(text);
    FUZZ_CHECK(!std::isnan(value));

    // Reading stops at the first character that cannot continue the number.
    FUZZ_CHECK(Same(keta::ReadNumber(std::string(text) + "x"), value));
    FUZZ_CHECK(Same(keta::ReadNumber(FullWidth(text)), value));
    if (!text.empty() && IsDigit(text[0])) {
        FUZZ_CHECK(Same(keta::ReadNumber("-" + std::string(text)), -value));
    }
    if (IsPlainNumber(text))
        FUZZ_CHECK(Same(value, std::strtod(std::string(text).c_str(), nullptr)));

    for (int decimals = 0; decimals <= 3; ++decimals) CheckFixed(value, decimals);
    const std::string percent = keta::FormatPercent(value);
    FUZZ_CHECK(!percent.empty() && percent.back() == '%');
    const std::string perSecond = keta::FormatPerSecond(value);
    FUZZ_CHECK(perSecond.size() > 4 && perSecond.ends_with("/秒"));
    return 0;
}
