#pragma once
// A control array of the window: controls addressed by their index, as the handlers number
// them (some arrays start at 1, and their slot 0 stays empty).

#include <array>
#include <cstddef>

namespace keta {

template <typename Control, std::size_t Slots>
class ControlArray {
public:
    Control*& operator[](int index) { return slots_[static_cast<std::size_t>(index)]; }
    Control* operator[](int index) const { return slots_[static_cast<std::size_t>(index)]; }

    // Every slot, in index order (an empty slot 0 included where the array starts at 1).
    auto begin() const { return slots_.begin(); }
    auto end() const { return slots_.end(); }

private:
    std::array<Control*, Slots> slots_{};
};

}  // namespace keta
