#include "RandomSource.h"

namespace tovra {

namespace {
struct Product {
    std::uint64_t high;
    std::uint64_t low;
};

// The full 128-bit product, from 32-bit halves: the same on every compiler.
Product Multiply(std::uint64_t a, std::uint64_t b)
{
    const std::uint64_t aLow = a & 0xffffffffu;
    const std::uint64_t aHigh = a >> 32;
    const std::uint64_t bLow = b & 0xffffffffu;
    const std::uint64_t bHigh = b >> 32;
    const std::uint64_t lowLow = aLow * bLow;
    const std::uint64_t highLow = aHigh * bLow;
    const std::uint64_t lowHigh = aLow * bHigh;
    const std::uint64_t middle = (lowLow >> 32) + (highLow & 0xffffffffu) + (lowHigh & 0xffffffffu);
    return {aHigh * bHigh + (highLow >> 32) + (lowHigh >> 32) + (middle >> 32), (middle << 32) | (lowLow & 0xffffffffu)};
}
} // namespace

std::uint64_t SplitMix64(std::uint64_t& state)
{
    state += 0x9e3779b97f4a7c15u;
    std::uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
    return z ^ (z >> 31);
}

RandomSource::RandomSource(std::uint64_t seed)
{
    // SplitMix64 never gives four zero words, the one state xoshiro cannot leave.
    for (std::uint64_t& word : state_)
        word = SplitMix64(seed);
}

RandomSource RandomSource::FromState(const std::array<std::uint64_t, 4>& state)
{
    RandomSource source;
    source.state_ = state;
    return source;
}

std::uint64_t RandomSource::Below(std::uint64_t bound)
{
    if (bound == 0)
        return 0;
    // The high word of random * bound is uniform in 0..bound-1 once the low words below
    // 2^64 mod bound are thrown away.
    Product product = Multiply(Next(), bound);
    if (product.low < bound) {
        const std::uint64_t threshold = (0 - bound) % bound;
        while (product.low < threshold)
            product = Multiply(Next(), bound);
    }
    return product.high;
}

int RandomSource::Between(int low, int high)
{
    if (high <= low)
        return low;
    const auto span = static_cast<std::uint64_t>(static_cast<std::int64_t>(high) - low) + 1;
    return static_cast<int>(static_cast<std::int64_t>(low) + static_cast<std::int64_t>(Below(span)));
}

} // namespace tovra
