// Shared plumbing of the fuzz entry points: fuzz data as an input stream, and a sink.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace kelvarin::fuzz {

/// Returns a stream reading `data` (fmemopen refuses an empty buffer: /dev/null stands in).
inline std::FILE* openData(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return std::fopen("/dev/null", "r");
  }
  return fmemopen(const_cast<std::uint8_t*>(data), size, "r");
}

/// Returns a stream that swallows what is written, opened once for the whole fuzzing run.
inline std::FILE* sink() {
  static std::FILE* const devNull = std::fopen("/dev/null", "w");
  return devNull;
}

}  // namespace kelvarin::fuzz
