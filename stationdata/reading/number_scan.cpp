#include "reading/number_scan.hpp"

#include <cmath>    // std::isinf
#include <cstdlib>  // std::strtod, std::strtof
#include <string>

namespace kelvarin {

namespace {

using detail::kPowersOfTenDouble;
using detail::kPowersOfTenFloat;

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
// Far beyond any double's exponent, and small enough that taking more digits never overflows.
constexpr std::int64_t kExponentCap = 100000;

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

template <typename T, std::uint64_t kMaxExactMantissa, std::int64_t kMaxExactPower,
          typename Convert>
Scanned<T> scanGeneral(const char* text, const T* powersOfTen, Convert libraryConvert) {
  DecimalText d;
  if (!takeDecimal(text, d)) {
    return {ScanStatus::kNotANumber, 0, T{0}};
  }
  T value{};
  if (!convertFast<T, kMaxExactMantissa, kMaxExactPower>(d, powersOfTen, value)) {
    // Long mantissas and large exponents: the C library rounds them correctly.
    const std::string number(text, d.numberLength);
    value = libraryConvert(number.c_str());
  }
  return {std::isinf(value) ? ScanStatus::kOutOfRange : ScanStatus::kOk, d.length, value};
}

}  // namespace

Scanned<double> scanDoubleGeneral(const char* text) {
  return scanGeneral<double, std::uint64_t{1} << 53, 22>(
      text, kPowersOfTenDouble, [](const char* s) { return std::strtod(s, nullptr); });
}

Scanned<float> scanFloatGeneral(const char* text) {
  return scanGeneral<float, std::uint64_t{1} << 24, 10>(
      text, kPowersOfTenFloat, [](const char* s) { return std::strtof(s, nullptr); });
}

}  // namespace kelvarin
