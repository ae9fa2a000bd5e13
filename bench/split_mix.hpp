// The benchmark generators' random numbers: small and deterministic, so that every run of a
// benchmark reads the same file.
#pragma once

#include <cstdint>

namespace kelvarin::bench {

struct SplitMix64 {
  std::uint64_t state;

  std::uint64_t next() {
    std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }

  /// Returns a number from 0 (included) to 1 (excluded).
  double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
};

}  // namespace kelvarin::bench
