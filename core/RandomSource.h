#pragma once
// The program's one source of random numbers. Its algorithm is written out here rather than
// taken from the standard library, whose engines' seeding and distributions differ between
// library versions: a seed must give the same numbers on every machine for years, because
// boards derived from a date and reproducible benchmark sets depend on it.
//
// The generator is xoshiro256** (Blackman and Vigna), its state filled from the seed by
// SplitMix64; Below() maps onto 0..bound-1 by multiplying and rejecting the few values that
// would make the result uneven (Lemire's method).
#include <array>
#include <bit>
#include <cstdint>
#include <utility>

namespace tovra {

class RandomSource {
public:
    explicit RandomSource(std::uint64_t seed);
    // The generator's raw state, as the algorithm's authors give it for their test values; not
    // all zero.
    static RandomSource FromState(const std::array<std::uint64_t, 4>& state);

    // The next 64 random bits.
    std::uint64_t Next()
    {
        const std::uint64_t result = std::rotl(state_[1] * 5, 7) * 9;
        const std::uint64_t shifted = state_[1] << 17;
        state_[2] ^= state_[0];
        state_[3] ^= state_[1];
        state_[1] ^= state_[2];
        state_[0] ^= state_[3];
        state_[2] ^= shifted;
        state_[3] = std::rotl(state_[3], 45);
        return result;
    }
    // Uniform in 0..bound-1; 0 for a bound of 0.
    std::uint64_t Below(std::uint64_t bound);
    // Uniform in low..high, both included; low when high < low.
    int Between(int low, int high);

    // Puts the elements in a uniformly random order (Fisher-Yates, last element first).
    template <class Container>
    void Shuffle(Container& items)
    {
        for (auto i = items.size(); i > 1; --i) {
            const auto j = static_cast<decltype(i)>(Below(i));
            using std::swap;
            swap(items[i - 1], items[j]);
        }
    }

    // One of the elements, uniformly; the container must not be empty.
    template <class Container>
    const auto& AnyOf(const Container& items)
    {
        return items[static_cast<decltype(items.size())>(Below(items.size()))];
    }

private:
    RandomSource() = default;

    std::array<std::uint64_t, 4> state_{};
};

// SplitMix64's step: advances `state` and returns its next output. Also a good way to turn one
// number into an unrelated-looking one (a date into a seed, say).
std::uint64_t SplitMix64(std::uint64_t& state);

} // namespace tovra
