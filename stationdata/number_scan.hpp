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

/// Reads an optional sign and decimal digits (leading zeros allowed) as a signed 32-bit integer.
Scanned<std::int32_t> scanInt32(const char* text);

/// Reads a decimal number (optional sign, digits with an optional point, optional exponent)
/// correctly rounded to double. An 'e' or "e+" with no digit after it is taken and ignored, as the
/// C library's reader does.
Scanned<double> scanDouble(const char* text);

/// Reads a decimal number like scanDouble, rounded once, straight to single precision (as strtof
/// does, never through a double).
Scanned<float> scanFloat(const char* text);

}  // namespace kelvarin
