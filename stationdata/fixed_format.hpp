// Fixed-decimal output of step lines: "%.0f" for the stamp hour and "%5.3f" for the values, but
// rounded to nearest with exact ties away from zero, as the output files have always been written.
// The C library rounds exact ties to even (0.5625 would print as 0.562), so it is used only where
// no tie can arise.
#pragma once

#include <cstddef>  // std::size_t

namespace kelvarin {

/// Room enough for any double written by formatFixed, "%.0f" of 1e308 included.
inline constexpr std::size_t kMaxFixedLength = 330;

/// Writes `value` with `decimals` (0 to 3) digits after the point, right-aligned in at least
/// `minWidth` (at most 16) characters, into `out` (at least kMaxFixedLength characters, not
/// terminated) and returns the number of characters written. The
/// digits of the exact binary value decide the rounding; an exact tie goes away from zero. A
/// negative value keeps its sign even when it rounds to zero ("-0.000"). Does not allocate.
std::size_t formatFixed(double value, int decimals, int minWidth, char* out);

/// Writes `value` as "%d" writes it into `out` (at least 20 characters, not terminated) and returns
/// the number of characters written.
std::size_t formatInteger(long long value, char* out);

}  // namespace kelvarin
