// Fixed-decimal output of step lines: "%.0f" for the stamp hour and "%5.3f" for the values, but
// rounded to nearest with exact ties away from zero, as the output files have always been written.
// The C library rounds exact ties to even (0.5625 would print as 0.562), so it is used only where
// no tie can arise.
#pragma once

#include <array>
#include <bit>      // std::bit_cast
#include <cmath>    // std::signbit
#include <cstddef>  // std::size_t
#include <cstdint>
#include <cstring>  // std::memcpy

namespace kelvarin {

/// Room enough for any double written by formatFixed, "%.0f" of 1e308 included.
inline constexpr std::size_t kMaxFixedLength = 330;

/// Writes `value` with `decimals` (0 or 3) digits after the point, right-aligned in at least
/// `minWidth` (at most 16) characters, into `out` (at least kMaxFixedLength characters, not
/// terminated) and returns the number of characters written. The
/// digits of the exact binary value decide the rounding; an exact tie goes away from zero. A
/// negative value keeps its sign even when it rounds to zero ("-0.000"). Does not allocate.
std::size_t formatFixed(double value, int decimals, int minWidth, char* out);

/// Writes `value` as "%d" writes it into `out` (at least 20 characters, not terminated) and returns
/// the number of characters written.
std::size_t formatInteger(long long value, char* out);

namespace detail {

/// "000" to "999": the three decimals of a result, looked up rather than divided out.
inline constexpr auto kThreeDigits = [] {
  std::array<std::array<char, 3>, 1000> digits{};
  for (unsigned i = 0; i < 1000; ++i) {
    digits[i] = {static_cast<char>('0' + i / 100), static_cast<char>('0' + i / 10 % 10),
                 static_cast<char>('0' + i % 10)};
  }
  return digits;
}();

/// Returns |value| * `scale` (a power of ten up to 1000) rounded to a whole number, half away from
/// zero, for a finite magnitude below 2^53. Exact: the magnitude is mantissa * 2^exponent, and the
/// rounding looks at the bits shifted out, never at a rounded product.
inline std::uint64_t scaleAndRound(double magnitude, std::uint64_t scale) {
  const auto bits = std::bit_cast<std::uint64_t>(magnitude);
  const auto biasedExponent = static_cast<int>(bits >> 52);
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  int exponent = -1074;
  if (biasedExponent != 0) {
    mantissa |= std::uint64_t{1} << 52;
    exponent = biasedExponent - 1075;
  }
  if (exponent >= 0) {
    return (mantissa << exponent) * scale;  // a whole number below 2^53: nothing to round
  }
  if (exponent > -64) {
    // mantissa * scale < 2^63, so adding half a unit of the last decimal cannot overflow; an
    // exact tie carries up, which is away from zero for the magnitude.
    const auto shift = static_cast<unsigned>(-exponent);
    return (mantissa * scale + (std::uint64_t{1} << (shift - 1))) >> shift;
  }
  return 0;  // below 2^53 * 1000 / 2^64: less than half a unit of the last decimal
}

}  // namespace detail

/// Writes `value` as formatInteger does, quickly for 0 to 9999 (the fields of a stamp).
inline std::size_t formatStampField(long long value, char* out) {
  if (value >= 0 && value < 10000) {
    const auto v = static_cast<unsigned>(value);
    if (v < 10) {
      out[0] = static_cast<char>('0' + v);
      return 1;
    }
    if (v < 1000) {
      const auto& digits = detail::kThreeDigits[v];
      const std::size_t skip = v < 100 ? 1 : 0;
      std::memcpy(out, digits.data() + skip, 3 - skip);
      return 3 - skip;
    }
    out[0] = static_cast<char>('0' + v / 1000);
    std::memcpy(out + 1, detail::kThreeDigits[v % 1000].data(), 3);
    return 4;
  }
  return formatInteger(value, out);
}

/// Writes `value` as formatFixed(value, 3, 5, out) does, quickly for the results a step line
/// mostly holds (0 to below 10), and returns the number of characters written.
inline std::size_t formatThreeDecimals(double value, char* out) {
  if (!std::signbit(value) && value < 10.0) {
    const std::uint64_t scaled = detail::scaleAndRound(value, 1000);
    if (scaled < 10000) {
      out[0] = static_cast<char>('0' + scaled / 1000);
      out[1] = '.';
      std::memcpy(out + 2, detail::kThreeDigits[scaled % 1000].data(), 3);
      return 5;
    }
  }
  return formatFixed(value, 3, 5, out);
}

}  // namespace kelvarin
