#pragma once
// The window's typeface, with the faces that stand in for it where it is not installed.

#include <QFont>
#include <QStringList>

namespace keta {

inline QFont GothicFont(double pointSize) {
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                      QStringLiteral("IPAPGothic"), QStringLiteral("IPAexGothic"),
                      QStringLiteral("Noto Sans CJK JP")});
    font.setPointSizeF(pointSize);
    return font;
}

}  // namespace keta
