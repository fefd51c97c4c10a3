#pragma once
// A small seedable integer random generator whose sequence is fixed by its definition
// (Steele, Lea and Flood's SplitMix64), so that anything drawn from a seed, such as the board
// of a date, comes out the same on every machine and with every standard library.
#include <cstdint>

namespace tovra {

class SplitMix64 {
public:
    explicit SplitMix64(std::uint64_t seed) : state_(seed) {}

    std::uint64_t Next()
    {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }

    // A whole number in 0..count-1, every value equally likely: draws that would favour the
    // low values (the last, incomplete block of `count`) are drawn again. count > 0.
    std::uint32_t Below(std::uint32_t count)
    {
        const std::uint64_t blocks = UINT64_MAX - UINT64_MAX % count;
        std::uint64_t value = Next();
        while (value >= blocks)
            value = Next();
        return static_cast<std::uint32_t>(value % count);
    }

private:
    std::uint64_t state_;
};

} // namespace tovra
