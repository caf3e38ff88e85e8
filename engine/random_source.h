#pragma once
// Uniform draws in [0, 1), reseeded from a clock reading at every deal.

#include <cstdint>
#include <random>

namespace keta {

class RandomSource {
public:
    void Reseed(double secondsSinceMidnight);
    float Next();  // uniform in [0, 1), single precision

private:
    std::mt19937 engine_{0};
};

}  // namespace keta
