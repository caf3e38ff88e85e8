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

class Cp932Decoder {
public:
    // Decodes `bytes`. Returns std::nullopt when any byte sequence is not a character of the
    // code page, a lead byte without its trail byte at the end included.
    std::optional<QString> Decode(QByteArrayView bytes);

private:
    char16_t DoubleByte(unsigned char lead, unsigned char trail);

    // One entry per lead byte and trail byte, filled on first use: 0 = not looked up yet.
    std::vector<char16_t> doubleBytes_;
};

// Encodes `text`. Returns std::nullopt when a character has no exact form in the code page.
std::optional<QByteArray> EncodeCp932(QStringView text);

}  // namespace keta
