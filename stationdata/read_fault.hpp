// Why reading a station file stopped: one type for every fault of the file, and one function that
// writes it as the console shows it.
#pragma once

#include <cstdint>
#include <string>

namespace kelvarin {

/// A fault of the input file. The console line is "error reading input file", then ": line L"
/// when `line` is not 0, then ": FIELD TEXT" (or ": TEXT" without a field) when there is text.
struct ReadFault {
  std::uint64_t line = 0;  // 0: the fault has no line (a read error, a header without columns)
  std::string field;       // "year", "value of column 3", or empty
  std::string text;        // what is wrong: "\"0,25\" is not a number"
};

/// Returns the console line of a fault, without its line break.
std::string faultMessage(const ReadFault& fault);

}  // namespace kelvarin
