#pragma once
// The program's one seedable random generator, its sequence fixed by its definition (Steele,
// Lea and Flood's SplitMix64) and its mappings onto ranges written out here, never the standard
// library's engines or distributions, whose results differ between library versions: anything
// drawn from a seed, such as the board of a date or a benchmark's set of positions, comes out
// the same on every machine, for years. (The solver's tie-breaks are its own; see
// solver/TieBreaks.h.)
#include <cstdint>
#include <random>
#include <utility>

namespace tovra {

class SplitMix64 {
public:
    explicit SplitMix64(std::uint64_t seed) : state_(seed) {}
    // Seeded from the system's entropy, for names that must differ between runs and between
    // copies of the program started at the same moment.
    static SplitMix64 FromEntropy()
    {
        std::random_device entropy;
        return SplitMix64((std::uint64_t{entropy()} << 32) ^ entropy());
    }

    std::uint64_t Next()
    {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }

    // A whole number in 0..count-1, every value equally likely: draws that would favour the
    // low values (the last, incomplete block of `count`) are drawn again. count > 0.
    std::uint32_t Below(std::uint32_t count) { return static_cast<std::uint32_t>(Below64(count)); }
    std::uint64_t Below64(std::uint64_t count)
    {
        const std::uint64_t blocks = UINT64_MAX - UINT64_MAX % count;
        std::uint64_t value = Next();
        while (value >= blocks)
            value = Next();
        return value % count;
    }

    // A whole number in low..high, both included, every value equally likely; low when
    // high < low.
    int Between(int low, int high)
    {
        if (high <= low)
            return low;
        const auto span = static_cast<std::uint64_t>(static_cast<std::int64_t>(high) - low) + 1;
        return static_cast<int>(static_cast<std::int64_t>(low) + static_cast<std::int64_t>(Below64(span)));
    }

    // Puts the elements in a uniformly random order (Fisher and Yates, from the last element).
    template <class Container>
    void Shuffle(Container& items)
    {
        for (auto i = items.size(); i > 1; --i) {
            const auto j = static_cast<decltype(i)>(Below64(i));
            using std::swap;
            swap(items[i - 1], items[j]);
        }
    }

    // One of the elements, each equally likely; not for an empty container.
    template <class Container>
    const auto& AnyOf(const Container& items)
    {
        return items[static_cast<decltype(items.size())>(Below64(items.size()))];
    }

private:
    std::uint64_t state_;
};

} // namespace tovra
