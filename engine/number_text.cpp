#include "number_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace keta {
namespace {

// Maps the full-width forms a user may type with the input method on to ASCII.
// Returns the number of bytes consumed from `s` at `pos`, with the ASCII character in `out`.
std::size_t NextChar(std::string_view s, std::size_t pos, char& out) {
    const auto c = static_cast<unsigned char>(s[pos]);
    // Full-width forms U+FF01..U+FF5E are EF BC 81..EF BD 9E in UTF-8.
    if (c == 0xEF && pos + 2 < s.size()) {
        const auto b1 = static_cast<unsigned char>(s[pos + 1]);
        const auto b2 = static_cast<unsigned char>(s[pos + 2]);
        unsigned code = 0;
        if (b1 == 0xBC && b2 >= 0x81 && b2 <= 0xBF) code = 0xFF00u + (b2 - 0x80u);
        if (b1 == 0xBD && b2 >= 0x80 && b2 <= 0x9E) code = 0xFF40u + (b2 - 0x80u);
        if (code != 0) {
            const unsigned ascii = code - 0xFF00 + 0x20;
            if ((ascii >= '0' && ascii <= '9') || ascii == '+' || ascii == '-' || ascii == '.') {
                out = static_cast<char>(ascii);
                return 3;
            }
        }
    }
    if (c == 0xE3 && pos + 2 < s.size() && static_cast<unsigned char>(s[pos + 1]) == 0x80 &&
        static_cast<unsigned char>(s[pos + 2]) == 0x80) {
        out = ' ';  // ideographic space
        return 3;
    }
    out = static_cast<char>(c);
    return 1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Adds one unit at the last place of a string of decimal digits, carrying leftwards.
void IncrementDigits(std::string& digits) {
    // An index rather than std::ranges::reverse_view, which clang 14 cannot compile against
    // the libstdc++ 12 headers (the fuzzing build uses clang).
    for (std::size_t k = digits.size(); k-- > 0;) {
        if (digits[k] != '9') {
            ++digits[k];
            return;
        }
        digits[k] = '0';
    }
    digits.insert(digits.begin(), '1');
}

}  // namespace

double ReadNumber(std::string_view utf8) {
    // Collect the leading number in ASCII, blanks skipped wherever they stand, then let strtod
    // do the conversion so that rounding is the C library's correctly rounded one.
    std::string number;
    bool digits = false, point = false, exponent = false, exponentDigits = false;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        char c = 0;
        const std::size_t used = NextChar(utf8, pos, c);
        if (IsBlank(c)) {
            pos += used;
            continue;
        }
        const bool atStart = number.empty();
        const bool afterE = exponent && (number.back() == 'e');
        if ((c == '+' || c == '-') && (atStart || afterE)) {
            number += c;
        } else if (IsDigit(c)) {
            number += c;
            (exponent ? exponentDigits : digits) = true;
        } else if (c == '.' && !point && !exponent) {
            number += c;
            point = true;
        } else if ((c == 'e' || c == 'E' || c == 'd' || c == 'D') && digits && !exponent) {
            number += 'e';
            exponent = true;
        } else {
            break;
        }
        pos += used;
    }
    if (!digits) return 0.0;
    if (exponent && !exponentDigits) {
        // "1e" or "1e+" : the exponent never started, so it is not part of the number.
        while (!number.empty() && !IsDigit(number.back())) number.pop_back();
    }
    return std::strtod(number.c_str(), nullptr);
}

std::string FormatFixed(double value, int decimals) {
    if (std::isnan(value)) return "0." + std::string(static_cast<std::size_t>(decimals), '0');
    if (std::isinf(value)) value = value > 0 ? 1e308 : -1e308;

    // 15 significant digits: the precision a double holds reliably. This settles quotients that
    // lie a hair below a decimal half (3/40 = 0.07499999...) as the half they stand for.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", value);
    const std::string sci(buf);
    const bool negative = sci[0] == '-';
    const std::size_t start = negative ? 1 : 0;
    std::string mantissa = sci.substr(start, 1) + sci.substr(start + 2, 14);  // 15 digits
    const int exp10 = std::atoi(sci.c_str() + sci.find('e') + 1);

    // Value = 0.mantissa × 10^(exp10 + 1). Place the digits around the decimal point.
    const int intDigits = exp10 + 1;
    std::string intPart, fracPart;
    if (intDigits <= 0) {
        intPart = "0";
        fracPart = std::string(static_cast<std::size_t>(-intDigits), '0') + mantissa;
    } else if (intDigits >= static_cast<int>(mantissa.size())) {
        intPart =
            mantissa + std::string(static_cast<std::size_t>(intDigits) - mantissa.size(), '0');
    } else {
        intPart = mantissa.substr(0, static_cast<std::size_t>(intDigits));
        fracPart = mantissa.substr(static_cast<std::size_t>(intDigits));
    }
    const auto keep = static_cast<std::size_t>(decimals);
    if (fracPart.size() < keep + 1) fracPart.append(keep + 1 - fracPart.size(), '0');

    // Halves away from zero: the digit after the last kept one decides on its own.
    const bool roundUp = fracPart[keep] >= '5';
    std::string digits = intPart + fracPart.substr(0, keep);
    if (roundUp) IncrementDigits(digits);
    std::string whole = digits.substr(0, digits.size() - keep);
    const std::string frac = digits.substr(digits.size() - keep);
    // Drop leading zeros the integer part may have gained, but keep one digit before the point.
    const auto firstNonZero = whole.find_first_not_of('0');
    whole = firstNonZero == std::string::npos ? "0" : whole.substr(firstNonZero);

    std::string out = whole;
    if (keep > 0) out += "." + frac;
    const bool isZero = out.find_first_not_of("0.") == std::string::npos;
    return (negative && !isZero) ? "-" + out : out;
}

std::string FormatPercent(double ratio) {
    // Shift by two places in decimal rather than multiplying in binary, so 3/80 is 3.75 exactly.
    if (!std::isfinite(ratio)) return FormatFixed(ratio, 1) + "%";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", ratio);
    std::string sci(buf);
    const std::size_t e = sci.find('e');
    const int exp10 = std::atoi(sci.c_str() + e + 1) + 2;
    sci = sci.substr(0, e) + "e" + std::to_string(exp10);
    return FormatFixed(std::strtod(sci.c_str(), nullptr), 1) + "%";
}

std::string FormatPerSecond(double ratio) { return FormatFixed(ratio, 2) + "/秒"; }

double SafeRatio(double numerator, double divisor) {
    return divisor == 0.0 ? 0.0 : numerator / divisor;
}

std::string DecimalText(long long value) { return std::to_string(value); }

}  // namespace keta
