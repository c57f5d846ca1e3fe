#pragma once
// The program's one random generator. It keeps the C library's rand()
// contract (values 0..32767, the classic linear congruential step) so that a
// seed reproduces a whole session: quotations, deals, casts and answers.
#include <cstdint>

namespace sw {

inline constexpr int kRandMax = 32767;

class RandomGenerator {
public:
    void Seed(std::uint32_t seed) { state_ = seed; }
    int Next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7fffu);
    }

private:
    std::uint32_t state_ = 1;
};

// The shared instance every random choice draws from.
RandomGenerator& Generator();
inline int Rand() { return Generator().Next(); }
inline void SRand(std::uint32_t seed) { Generator().Seed(seed); }

}  // namespace sw
