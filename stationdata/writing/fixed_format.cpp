#include "writing/fixed_format.hpp"

#include <bit>    // std::bit_cast
#include <cmath>  // std::isfinite, std::fabs, std::signbit
#include <cstdint>
#include <cstdio>   // std::snprintf
#include <cstring>  // std::memcpy

namespace kelvarin {

namespace {

constexpr double kTwoTo53 = 9007199254740992.0;

// Writes the digits of `n` (at most 20) and returns their count.
std::size_t writeUnsigned(std::uint64_t n, char* out) {
  if (n < 10) {
    out[0] = static_cast<char>('0' + n);
    return 1;
  }
  char reversed[20];
  std::size_t count = 0;
  do {
    reversed[count++] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n != 0);
  for (std::size_t i = 0; i < count; ++i) {
    out[i] = reversed[count - 1 - i];
  }
  return count;
}

template <int kDecimals>
std::size_t formatFinite(double value, int minWidth, char* out) {
  static_assert(kDecimals == 0 || kDecimals == 3, "the stamp hour and the results");
  constexpr std::uint64_t kScale = kDecimals == 0 ? 1 : 1000;
  const std::uint64_t scaled = detail::scaleAndRound(std::fabs(value), kScale);
  char integerDigits[20];
  const std::size_t integerLength = writeUnsigned(scaled / kScale, integerDigits);
  const std::size_t signLength = std::signbit(value) ? 1 : 0;
  constexpr std::size_t kFractionLength = kDecimals > 0 ? kDecimals + 1 : 0;
  std::size_t length = 0;
  for (; length + signLength + integerLength + kFractionLength < static_cast<std::size_t>(minWidth);
       ++length) {
    out[length] = ' ';
  }
  if (signLength != 0) {
    out[length++] = '-';
  }
  std::memcpy(out + length, integerDigits, integerLength);
  length += integerLength;
  if constexpr (kDecimals > 0) {
    out[length] = '.';
    std::uint64_t fraction = scaled % kScale;
    for (int i = kDecimals; i >= 1; --i) {
      out[length + static_cast<std::size_t>(i)] = static_cast<char>('0' + fraction % 10);
      fraction /= 10;
    }
    length += kFractionLength;
  }
  return length;
}

}  // namespace

std::size_t formatFixed(double value, int decimals, int minWidth, char* out) {
  if (!std::isfinite(value) || std::fabs(value) >= kTwoTo53) {
    // Infinities, NaN and whole numbers too large for a tie: the C library is exact here.
    char text[kMaxFixedLength + 1];
    const int n = std::snprintf(text, sizeof text, "%*.*f", minWidth, decimals, value);
    const auto length = static_cast<std::size_t>(n);
    std::memcpy(out, text, length);
    return length;
  }
  return decimals == 0 ? formatFinite<0>(value, minWidth, out)
                       : formatFinite<3>(value, minWidth, out);
}

std::size_t formatInteger(long long value, char* out) {
  if (value < 0) {
    out[0] = '-';
    return 1 + writeUnsigned(0 - static_cast<std::uint64_t>(value), out + 1);
  }
  return writeUnsigned(static_cast<std::uint64_t>(value), out);
}

}  // namespace kelvarin
