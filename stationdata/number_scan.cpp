#include "number_scan.hpp"

#include <cmath>    // std::isinf
#include <cstdlib>  // std::strtod, std::strtof
#include <string>

namespace kelvarin {

namespace {

bool isDigit(char c) {
  return static_cast<unsigned char>(c - '0') < 10;
}

// The syntax of one decimal number, taken apart: enough to convert it exactly on the fast path,
// and the span of its text for the library fallback.
struct DecimalText {
  std::size_t length = 0;        // characters taken, a dangling exponent marker included
  std::size_t numberLength = 0;  // characters that form the number proper, for the fallback
  bool negative = false;
  std::uint64_t mantissa = 0;   // the significant digits, when there are at most 19
  int significantDigits = 0;    // digits from the first nonzero one on
  std::int64_t exponent10 = 0;  // value = mantissa * 10^exponent10 (when mantissa is exact)
};

constexpr int kMaxMantissaDigits = 19;
constexpr std::int64_t kExponentCap =
    100000;  // far beyond any double, small enough not to overflow

// Returns false when the text does not start with a number (a lone sign or point is none).
bool takeDecimal(const char* text, DecimalText& d) {
  const char* p = text;
  if (*p == '+' || *p == '-') {
    d.negative = (*p == '-');
    ++p;
  }
  bool anyDigit = false;
  for (; isDigit(*p); ++p) {
    anyDigit = true;
    if (d.significantDigits > 0 || *p != '0') {
      if (++d.significantDigits <= kMaxMantissaDigits) {
        d.mantissa = d.mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
      } else {
        ++d.exponent10;
      }
    }
  }
  if (*p == '.') {
    ++p;
    for (; isDigit(*p); ++p) {
      anyDigit = true;
      if (d.significantDigits > 0 || *p != '0') {
        if (++d.significantDigits <= kMaxMantissaDigits) {
          d.mantissa = d.mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
          --d.exponent10;
        }
      } else {
        --d.exponent10;
      }
    }
  }
  if (!anyDigit) {
    return false;
  }
  d.numberLength = static_cast<std::size_t>(p - text);
  if (*p == 'e' || *p == 'E') {
    ++p;
    bool negativeExponent = false;
    if (*p == '+' || *p == '-') {
      negativeExponent = (*p == '-');
      ++p;
    }
    std::int64_t e = 0;
    bool anyExponentDigit = false;
    for (; isDigit(*p); ++p) {
      anyExponentDigit = true;
      if (e < kExponentCap) {
        e = e * 10 + (*p - '0');
      }
    }
    if (anyExponentDigit) {
      d.exponent10 += negativeExponent ? -e : e;
      d.numberLength = static_cast<std::size_t>(p - text);
    }
  }
  d.length = static_cast<std::size_t>(p - text);
  return true;
}

constexpr double kPowersOfTenDouble[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr float kPowersOfTenFloat[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                       1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

// Both operands of the one multiplication or division are exact, so IEEE rounding of that single
// operation is the correct rounding of the decimal number.
template <typename T, std::uint64_t kMaxExactMantissa, std::int64_t kMaxExactPower>
bool convertFast(const DecimalText& d, const T* powersOfTen, T& value) {
  if (d.significantDigits > kMaxMantissaDigits || d.mantissa > kMaxExactMantissa) {
    return false;
  }
  T magnitude;
  if (d.mantissa == 0) {
    magnitude = T{0};
  } else if (d.exponent10 >= 0 && d.exponent10 <= kMaxExactPower) {
    magnitude = static_cast<T>(d.mantissa) * powersOfTen[d.exponent10];
  } else if (d.exponent10 < 0 && d.exponent10 >= -kMaxExactPower) {
    magnitude = static_cast<T>(d.mantissa) / powersOfTen[-d.exponent10];
  } else {
    return false;
  }
  value = d.negative ? -magnitude : magnitude;
  return true;
}

template <typename T, typename Convert>
Scanned<T> finish(const char* text, const DecimalText& d, bool fast, T value, Convert slow) {
  if (!fast) {
    // Long mantissas and large exponents: the C library rounds them correctly.
    const std::string number(text, d.numberLength);
    value = slow(number.c_str());
  }
  if (std::isinf(value)) {
    return {ScanStatus::kOutOfRange, d.length, value};
  }
  return {ScanStatus::kOk, d.length, value};
}

}  // namespace

Scanned<std::int32_t> scanInt32(const char* text) {
  const char* p = text;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = (*p == '-');
    ++p;
  }
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

Scanned<double> scanDouble(const char* text) {
  DecimalText d;
  if (!takeDecimal(text, d)) {
    return {ScanStatus::kNotANumber, 0, 0.0};
  }
  double value = 0.0;
  const bool fast = convertFast<double, std::uint64_t{1} << 53, 22>(d, kPowersOfTenDouble, value);
  return finish(text, d, fast, value, [](const char* s) { return std::strtod(s, nullptr); });
}

Scanned<float> scanFloat(const char* text) {
  DecimalText d;
  if (!takeDecimal(text, d)) {
    return {ScanStatus::kNotANumber, 0, 0.0f};
  }
  float value = 0.0f;
  const bool fast = convertFast<float, std::uint64_t{1} << 24, 10>(d, kPowersOfTenFloat, value);
  return finish(text, d, fast, value, [](const char* s) { return std::strtof(s, nullptr); });
}

}  // namespace kelvarin
