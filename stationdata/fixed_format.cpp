#include "fixed_format.hpp"

#include <bit>    // std::bit_cast
#include <cmath>  // std::isfinite, std::fabs
#include <cstdint>
#include <cstdio>   // std::snprintf
#include <cstring>  // std::memcpy

namespace kelvarin {

namespace {

constexpr std::uint64_t kPowersOfTen[] = {1, 10, 100, 1000};
constexpr double kTwoTo53 = 9007199254740992.0;

// Writes the digits of `n` (at most 20) and returns their count.
std::size_t writeUnsigned(std::uint64_t n, char* out) {
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

}  // namespace

std::size_t formatFixed(double value, int decimals, int minWidth, char* out) {
  const double magnitude = std::fabs(value);
  if (!std::isfinite(value) || magnitude >= kTwoTo53) {
    // Infinities, NaN and whole numbers too large for a tie: the C library is exact here.
    char text[kMaxFixedLength + 1];
    const int n = std::snprintf(text, sizeof text, "%*.*f", minWidth, decimals, value);
    const auto length = static_cast<std::size_t>(n);
    std::memcpy(out, text, length);
    return length;
  }
  // magnitude = mantissa * 2^exponent exactly, with a mantissa of at most 53 bits.
  const auto bits = std::bit_cast<std::uint64_t>(magnitude);
  const auto biasedExponent = static_cast<int>(bits >> 52);
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  int exponent = -1074;
  if (biasedExponent != 0) {
    mantissa |= std::uint64_t{1} << 52;
    exponent = biasedExponent - 1075;
  }
  const std::uint64_t scale = kPowersOfTen[decimals];
  std::uint64_t scaled;  // magnitude * 10^decimals, rounded half away from zero
  if (exponent >= 0) {
    scaled = (mantissa << exponent) * scale;  // whole number below 2^53: no rounding at all
  } else if (exponent < -120) {
    scaled = 0;  // far below half a unit of the last decimal
  } else {
    const auto shift = static_cast<unsigned>(-exponent);
    const unsigned __int128 product = static_cast<unsigned __int128>(mantissa) * scale;
    const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
    scaled = static_cast<std::uint64_t>((product + half) >> shift);
  }
  char integerDigits[20];
  const std::size_t integerLength = writeUnsigned(scaled / scale, integerDigits);
  const std::size_t signLength = std::signbit(value) ? 1 : 0;
  const std::size_t fractionLength = decimals > 0 ? static_cast<std::size_t>(decimals) + 1 : 0;
  const std::size_t textLength = signLength + integerLength + fractionLength;
  std::size_t length = 0;
  for (; length + textLength < static_cast<std::size_t>(minWidth); ++length) {
    out[length] = ' ';
  }
  if (signLength != 0) {
    out[length++] = '-';
  }
  std::memcpy(out + length, integerDigits, integerLength);
  length += integerLength;
  if (decimals > 0) {
    out[length++] = '.';
    std::uint64_t fraction = scaled % scale;
    for (int i = decimals - 1; i >= 0; --i) {
      out[length + static_cast<std::size_t>(i)] = static_cast<char>('0' + fraction % 10);
      fraction /= 10;
    }
    length += static_cast<std::size_t>(decimals);
  }
  return length;
}

std::size_t formatInteger(long long value, char* out) {
  if (value < 0) {
    out[0] = '-';
    return 1 + writeUnsigned(0 - static_cast<std::uint64_t>(value), out + 1);
  }
  return writeUnsigned(static_cast<std::uint64_t>(value), out);
}

}  // namespace kelvarin
