// What both result layouts take from a step: a table value's number, the step's times on the
// calendar, and the share of its possible sunshine that was observed.
#pragma once

#include <cstddef>  // std::size_t
#include <string>
#include <string_view>
#include <vector>

#include "writing/step_line.hpp"  // writeResult, kMaxResultLength
#include "writing/step_report.hpp"

namespace kelvarin {

/// Returns the shortest text that reads back as the single-precision angle `value` (13.4, not
/// 13.3999996): the answers and the places table are read as floats.
std::string shortestText(float value);

/// Returns the double that text gives: the angle as it was written, not the float's binary value.
double shortestDouble(float value);

/// The text a table writes for a result, without the tab it begins with.
struct ResultText {
  char text[kMaxResultLength + 8];
  std::size_t length;
  std::string_view view() const { return {text + 1, length - 1}; }
};

/// Returns the text of a clipped result `r` as the table writes it, by the table's own writer.
/// Inline: once a value of the CSV file (out of line, 6 % more of a CSV run's instructions).
inline ResultText resultText(double r) {
  ResultText result;
  result.length = writeResult(result.text, r, true);
  return result;
}

/// Returns the value of a table value's text: "0.637" as the double nearest to 0.637, as the
/// C library reads it (quickly for the five characters most values have).
double tableValue(std::string_view text);

/// Writes `value` with three decimals as the table writes its values (formatFixed), quickly for
/// the minutes of a step (0 to below a billion), and returns the number of characters written.
/// `out` holds at least kMaxFixedLength characters.
std::size_t formatMinutes(double value, char* out);

/// Returns a time in minutes from 1970-01-01 00:00 as ISO 8601, "2023-06-21T13:00" (with seconds
/// where there are any); empty where it is not finite.
std::string isoTime(double minutes);

/// Returns the share of a column's possible sunshine whose records are there: 1 where nothing
/// is missing (also in the night).
inline double observedShare(double possibleMin, double missingMin) {
  if (!(missingMin > 0.0)) {
    return 1.0;
  }
  return possibleMin > 0.0 ? (possibleMin - missingMin) / possibleMin : 0.0;
}

}  // namespace kelvarin
