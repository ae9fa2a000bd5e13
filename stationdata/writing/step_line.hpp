// The pieces of a step line and of the day's progress line, each with its shortcut beside the
// plain way of writing it (`shortcuts` off: the plain way, to compare).
#pragma once

#include <cstddef>  // std::size_t
#include <cstdint>
#include <cstdio>  // std::FILE

#include "record_stamp.hpp"
#include "writing/output_buffer.hpp"

namespace kelvarin {

/// The widest result a step line holds: the clips leave -9999 and -100 to 1, so "\t-9999.000".
inline constexpr std::size_t kMaxResultLength = 10;

/// Writes "\t%5.3f" of a clipped result `r` at `p` (kMaxResultLength characters and 8 bytes of
/// room after them) and returns the characters written.
std::size_t writeResult(char* p, double r, bool shortcuts);

/// "year\tmonth\tday\t" of the last stamp written: a day's lines all begin with it.
struct WrittenDate {
  static constexpr std::size_t kRoom = 3 * 21;  // three integers and their tabs
  std::int32_t year = 0;
  std::int32_t month = 0;
  std::int32_t day = 0;
  std::size_t length = 0;  // 0: none yet
  char text[kRoom] = {};
};

/// Writes the stamp "%d\t%d\t%d\t%.0f" of a step line to `out`.
void writeStamp(OutputBuffer& out, const RecordStamp& stamp, WrittenDate& date, bool shortcuts);

/// Writes "day.month.year" on its own line to `report`, as "%d.%d.%d\n" does.
void reportDay(std::FILE* report, const RecordStamp& stamp, bool shortcuts);

}  // namespace kelvarin
