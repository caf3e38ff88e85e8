#pragma once
// Rectangles of the window's layout that more than one place needs, in twips. Plain integers,
// so that the drill's tests can take the time bar's full width from here too.

namespace keta {

struct TwipsBox {
    int left;
    int top;
    int width;
    int height;
};

// The time bar: the green bar that shrinks and the red one behind it share this rectangle; its
// width is the full width that start-up reads back.
inline constexpr TwipsBox kTimeBarTwips{225, 945, 8745, 75};

}  // namespace keta
