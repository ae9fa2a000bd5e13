// Number scanning for data records, with the reach of the C library's "%d", "%f" and "%lf"
// conversions: what those accepted from a station file is read the same, value for value.
//
// Each scanner starts at the first character of a field (white space already skipped) and reads
// the longest prefix that can continue a number, so "0.5-999" is two fields. The text must be
// followed by a character that cannot continue a number (a NUL terminator does), which the scanners
// rely on instead of an end pointer. None of them allocates on the common path, and none throws.
#pragma once

#include <cstddef>  // std::size_t
#include <cstdint>

#include "powers_of_ten.hpp"  // detail::kPowersOfTenDouble, kPowersOfTenFloat

namespace kelvarin {

enum class ScanStatus {
  kOk,
  kNotANumber,  // no digits where a number must start: nothing is consumed
  kOutOfRange,  // the number does not fit the field's type (or rounds to infinity)
};

template <typename T>
struct Scanned {
  ScanStatus status;
  std::size_t length;  // characters taken by the field, also when it is out of range
  T value;
};

#include "reading/char_classes.inc"

/// Returns true for a character that may directly follow a number field: white space ends it, and
/// a sign, digit or point starts the next field, as fixed-width files run "0.5-999" together.
/// Anything else ("0,25", "0x10", "12:00") makes the field faulty.
inline bool canFollowField(char c) {
  return isWhiteSpace(c) || isDigit(c) || c == '+' || c == '-' || c == '.';
}

namespace detail {

// The plain decimals that fill station files: sign, at most 19 digits, an optional point, no
// exponent. Returns false for anything else, which the general scanners below take.
struct PlainDecimal {
  bool negative;
  std::uint64_t mantissa;  // all the digits, point removed
  std::size_t fractionDigits;
  std::size_t length;
};

inline bool takePlainDecimal(const char* text, PlainDecimal& d) {
  const char* p = text;
  d.negative = (*p == '-');
  p += (*p == '-' || *p == '+') ? 1 : 0;
  const char* digits = p;
  std::uint64_t mantissa = 0;
  for (; isDigit(*p); ++p) {
    mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
  }
  std::size_t count = static_cast<std::size_t>(p - digits);
  d.fractionDigits = 0;
  if (*p == '.') {
    const char* fraction = ++p;
    for (; isDigit(*p); ++p) {
      mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
    }
    d.fractionDigits = static_cast<std::size_t>(p - fraction);
    count += d.fractionDigits;
  }
  d.mantissa = mantissa;
  d.length = static_cast<std::size_t>(p - text);
  // More than 19 digits may have wrapped the mantissa; an exponent needs the general scanner.
  return count > 0 && count <= 19 && (*p | 0x20) != 'e';
}

}  // namespace detail

/// Reads a decimal number (optional sign, digits with an optional point, optional exponent)
/// correctly rounded to double. An 'e' or "e+" with no digit after it is taken and ignored, as the
/// C library's reader does. This is the general case; scanDouble tries the plain one first.
Scanned<double> scanDoubleGeneral(const char* text);

/// Reads a decimal number like scanDoubleGeneral, rounded once, straight to single precision.
Scanned<float> scanFloatGeneral(const char* text);

namespace detail {

// The plain case of both scanners: the mantissa and the power of ten are both exact in T, so one
// IEEE division rounds the decimal correctly.
template <typename T, std::uint64_t kMaxExactMantissa, std::size_t kMaxExactPower>
bool scanPlain(const char* text, const T* powersOfTen, Scanned<T>& result) {
  PlainDecimal d;
  if (!takePlainDecimal(text, d) || d.mantissa > kMaxExactMantissa ||
      d.fractionDigits > kMaxExactPower) {
    return false;
  }
  const T magnitude = static_cast<T>(d.mantissa) / powersOfTen[d.fractionDigits];
  result = {ScanStatus::kOk, d.length, d.negative ? -magnitude : magnitude};
  return true;
}

}  // namespace detail

/// Reads a decimal number correctly rounded to double (see scanDoubleGeneral).
inline Scanned<double> scanDouble(const char* text) {
  Scanned<double> result;
  return detail::scanPlain<double, std::uint64_t{1} << 53, 22>(text, detail::kPowersOfTenDouble,
                                                               result)
             ? result
             : scanDoubleGeneral(text);
}

/// Reads a decimal number rounded once, straight to single precision, as strtof does (never
/// through a double).
inline Scanned<float> scanFloat(const char* text) {
  Scanned<float> result;
  return detail::scanPlain<float, std::uint64_t{1} << 24, 10>(text, detail::kPowersOfTenFloat,
                                                              result)
             ? result
             : scanFloatGeneral(text);
}

/// Reads an optional sign and decimal digits (leading zeros allowed) as a signed 32-bit integer.
inline Scanned<std::int32_t> scanInt32(const char* text) {
  const char* p = text;
  const bool negative = (*p == '-');
  p += (*p == '-' || *p == '+') ? 1 : 0;
  if (!isDigit(*p)) {
    return {ScanStatus::kNotANumber, 0, 0};
  }
  constexpr std::int64_t kLimit = std::int64_t{1} << 32;  // past either end of int32
  std::int64_t magnitude = 0;
  for (; isDigit(*p); ++p) {
    if (magnitude < kLimit) {
      magnitude = magnitude * 10 + (*p - '0');
    }
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  const auto length = static_cast<std::size_t>(p - text);
  if (value < INT32_MIN || value > INT32_MAX) {
    return {ScanStatus::kOutOfRange, length, 0};
  }
  return {ScanStatus::kOk, length, static_cast<std::int32_t>(value)};
}

}  // namespace kelvarin
