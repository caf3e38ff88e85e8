#pragma once
// A minimal JSON writer for what the bridge hands the page: UTF-8 texts, integers and arrays.
// Only the bridge writes JSON, and only of its own values, so no reader is needed here.

#include <string>
#include <string_view>

namespace keta::web {

class JsonText {
public:
    JsonText& Begin(char bracket);  // '{' or '['
    JsonText& End(char bracket);    // '}' or ']'
    JsonText& Key(std::string_view key);
    JsonText& Text(std::string_view utf8);
    JsonText& Number(long long value);
    JsonText& Real(double value);
    JsonText& Flag(bool value);
    const std::string& Str() const { return out_; }

private:
    void Separate();
    std::string out_;
    bool needComma_ = false;
};

}  // namespace keta::web
