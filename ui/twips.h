#pragma once
// The window is laid out in twips: 1440 to the inch, 15 to the pixel at 96 dots per inch.
// Qt's high-DPI scaling takes device pixels from there.

#include <QRect>
#include <QtGlobal>

#include "layout_twips.h"

namespace keta {

inline constexpr int kTwipsPerPixel = 15;

inline int TwipsToPixels(double twips) { return qRound(twips / kTwipsPerPixel); }

// Both edges are converted, so neighbours laid out edge to edge in twips stay edge to edge.
inline QRect TwipsRect(int left, int top, int width, int height) {
    const int x = TwipsToPixels(left), y = TwipsToPixels(top);
    return {x, y, TwipsToPixels(left + width) - x, TwipsToPixels(top + height) - y};
}

inline QRect TwipsRect(const TwipsBox& box) {
    return TwipsRect(box.left, box.top, box.width, box.height);
}

}  // namespace keta
