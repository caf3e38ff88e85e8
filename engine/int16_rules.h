#pragma once
// The 16-bit value rules the drill keeps: Booleans are -1 (true) and 0 (false), counters are
// signed 16-bit and only ever raised by 1 with an overflow test.

#include <cstdint>
#include <limits>

namespace keta {

using Boolean = std::int16_t;
inline constexpr Boolean True = -1;
inline constexpr Boolean False = 0;

// Raises a counter by one. Returns false, leaving the counter alone, when that would overflow.
[[nodiscard]] inline bool RaiseCounter(std::int16_t& counter) {
    if (counter == std::numeric_limits<std::int16_t>::max()) return false;
    ++counter;
    return true;
}

// Narrows a wider integer to 16 bits, saturating instead of wrapping.
inline constexpr std::int16_t NarrowToInt16(long long v) {
    if (v > std::numeric_limits<std::int16_t>::max())
        return std::numeric_limits<std::int16_t>::max();
    if (v < std::numeric_limits<std::int16_t>::min())
        return std::numeric_limits<std::int16_t>::min();
    return static_cast<std::int16_t>(v);
}

}  // namespace keta
