#pragma once
// Qt's strings and the standard ones of the shared record rules (records/), without a copy
// where a view does.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>
#include <string>
#include <string_view>

#include "cp932.h"

namespace keta {

inline std::u16string_view U16(QStringView text) {
    return {text.utf16(), static_cast<std::size_t>(text.size())};
}
inline QString ToQString(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()),
                   static_cast<qsizetype>(text.size()));
}
inline std::string_view Bytes(QByteArrayView bytes) {
    return {bytes.data(), static_cast<std::size_t>(bytes.size())};
}
inline QByteArray ToQByteArray(std::string_view bytes) {
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// EncodeCp932 for a Qt text.
inline std::optional<QByteArray> Cp932Bytes(QStringView text) {
    const std::optional<std::string> bytes = EncodeCp932(U16(text));
    if (!bytes) return std::nullopt;
    return ToQByteArray(*bytes);
}

}  // namespace keta
