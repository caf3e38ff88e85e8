#include "json_text.h"

#include <cmath>
#include <cstdio>

namespace keta::web {

void JsonText::Separate() {
    if (needComma_) out_ += ',';
    needComma_ = true;
}

JsonText& JsonText::Begin(char bracket) {
    Separate();
    out_ += bracket;
    needComma_ = false;
    return *this;
}

JsonText& JsonText::End(char bracket) {
    out_ += bracket;
    needComma_ = true;
    return *this;
}

JsonText& JsonText::Key(std::string_view key) {
    Text(key);
    out_ += ':';
    needComma_ = false;
    return *this;
}

JsonText& JsonText::Text(std::string_view utf8) {
    Separate();
    out_ += '"';
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out_ += '\\';
            out_ += c;
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out_ += escaped;
        } else {
            out_ += c;  // UTF-8 passes through; the texts come from the program's own decoders
        }
    }
    out_ += '"';
    return *this;
}

JsonText& JsonText::Number(long long value) {
    Separate();
    out_ += std::to_string(value);
    return *this;
}

JsonText& JsonText::Real(double value) {
    Separate();
    if (!std::isfinite(value)) {
        out_ += "null";
        return *this;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    out_ += text;
    return *this;
}

JsonText& JsonText::Flag(bool value) {
    Separate();
    out_ += value ? "true" : "false";
    return *this;
}

}  // namespace keta::web
