#include "random_source.h"

#include <cmath>
#include <cstring>

namespace keta {

void RandomSource::Reseed(double secondsSinceMidnight) {
    // Every bit of the reading counts, so two deals a fraction of a second apart differ.
    // memcpy rather than std::bit_cast, which the WebAssembly toolchain's library lacks.
    static_assert(sizeof(double) == sizeof(std::uint64_t));
    std::uint64_t bits = 0;
    std::memcpy(&bits, &secondsSinceMidnight, sizeof bits);
    std::seed_seq seq{static_cast<std::uint32_t>(bits), static_cast<std::uint32_t>(bits >> 32)};
    engine_.seed(seq);
}

float RandomSource::Next() {
    // 24 random bits make every single-precision value in [0, 1) on a 2^-24 grid equally likely.
    const auto r = static_cast<std::uint32_t>(engine_() >> 8);
    return static_cast<float>(r) * (1.0f / 16777216.0f);
}

}  // namespace keta
