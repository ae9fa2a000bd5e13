// The pieces of a step line and of the day's progress line, each with its shortcut beside the
// plain way of writing it (`shortcuts` off: the plain way, to compare).
#pragma once

#include <cmath>    // std::signbit
#include <cstddef>  // std::size_t
#include <cstdint>
#include <cstdio>   // std::FILE
#include <cstring>  // std::memcpy
#include <string_view>

#include "record_stamp.hpp"
#include "step/results.hpp"  // kMissingValue
#include "writing/fixed_format.hpp"
#include "writing/output_buffer.hpp"

namespace kelvarin {

/// The widest result a step line holds: the clips leave -9999 and -100 to 1, so "\t-9999.000".
inline constexpr std::size_t kMaxResultLength = 10;

namespace detail {

// "\t0.000" to "\t1.000", eight bytes each: a result from 0 to 1, by far the most common, is
// written with one copy (measured with the missing value's copy: shape e 26 % faster, a to h 9
// to 17 %).
struct UnitResults {
  char text[1001][8];
};
inline constexpr UnitResults kUnitResults = [] {
  UnitResults results{};
  for (unsigned i = 0; i <= 1000; ++i) {
    const char digits[8] = {'\t',
                            static_cast<char>('0' + i / 1000),
                            '.',
                            static_cast<char>('0' + i / 100 % 10),
                            static_cast<char>('0' + i / 10 % 10),
                            static_cast<char>('0' + i % 10),
                            '\0',
                            '\0'};
    for (unsigned k = 0; k < 8; ++k) {
      results.text[i][k] = digits[k];
    }
  }
  return results;
}();
inline constexpr std::string_view kMissingResult = "\t-9999.000";

}  // namespace detail

/// Writes "\t%5.3f" of a result from 0 to 1 (not -0) at `p` (8 bytes of room) with one copy,
/// and returns the characters written.
inline std::size_t writeUnitResult(char* p, double r) {
  std::memcpy(p, detail::kUnitResults.text[detail::scaleAndRound(r, 1000)], 8);
  return 6;
}

/// Whether a result lies from 0 to below 1 (not -0), as most do: no clip to check, and written
/// by writeUnitResult (shape e: 7 % fewer instructions than checking each one first).
inline bool isBelowOne(double r) {
  return !std::signbit(r) && r < kUpperClip;
}

/// Writes "\t%5.3f" of a clipped result `r` at `p` (kMaxResultLength characters and 8 bytes of
/// room after them) and returns the characters written. Inline: it runs once per value.
inline std::size_t writeResult(char* p, double r, bool shortcuts) {
  if (shortcuts) {
    if (!std::signbit(r) && r <= 1.0) {
      return writeUnitResult(p, r);
    }
    if (r == kMissingValue) {
      std::memcpy(p, detail::kMissingResult.data(), detail::kMissingResult.size());
      return detail::kMissingResult.size();
    }
  }
  char text[kMaxFixedLength];
  const std::size_t length = shortcuts ? formatThreeDecimals(r, text) : formatFixed(r, 3, 5, text);
  *p = '\t';
  std::memcpy(p + 1, text, length);
  return 1 + length;
}

/// "year\tmonth\tday\t" of the last stamp written: a day's lines all begin with it.
struct WrittenDate {
  static constexpr std::size_t kRoom = 3 * 21;  // three integers and their tabs
  std::int32_t year = 0;
  std::int32_t month = 0;
  std::int32_t day = 0;
  std::size_t length = 0;  // 0: none yet
  char text[kRoom] = {};
};

namespace detail {

// Writes one stamp field: quickly for 0 to 9999, as stamps are (measured with the quick results
// of formatThreeDecimals: shapes b and g 3 % faster).
inline std::size_t writeStampField(long long value, char* out, bool shortcuts) {
  return shortcuts ? formatStampField(value, out) : formatInteger(value, out);
}

// Writes "a<separator>b<separator>c<end>" of three stamp fields at `out` (room for 3 * 21
// characters) and returns the characters written.
inline std::size_t writeThreeFields(std::int32_t a, std::int32_t b, std::int32_t c, char separator,
                                    char end, char* out, bool shortcuts) {
  std::size_t n = writeStampField(a, out, shortcuts);
  out[n++] = separator;
  n += writeStampField(b, out + n, shortcuts);
  out[n++] = separator;
  n += writeStampField(c, out + n, shortcuts);
  out[n++] = end;
  return n;
}

// Returns whether the date text of the last stamp written serves this stamp: a day's lines all
// begin with it (measured: shape g 5 % faster, e 4 %).
inline bool repeatsWrittenDate(const WrittenDate& date, const RecordStamp& stamp) {
  return date.length != 0 && stamp.year == date.year && stamp.month == date.month &&
         stamp.day == date.day;
}

}  // namespace detail

/// Writes the stamp "%d\t%d\t%d\t%.0f" of a step line to `out`. Inline: once a step, and hourly
/// steps of few columns are little more.
inline void writeStamp(OutputBuffer& out, const RecordStamp& stamp, WrittenDate& date,
                       bool shortcuts) {
  char* p = room(out, WrittenDate::kRoom + kMaxFixedLength);  // the date and the hour
  if (!(shortcuts && detail::repeatsWrittenDate(date, stamp))) {
    date.year = stamp.year;
    date.month = stamp.month;
    date.day = stamp.day;
    date.length = detail::writeThreeFields(stamp.year, stamp.month, stamp.day, '\t', '\t',
                                           date.text, shortcuts);
  }
  std::memcpy(p, date.text, WrittenDate::kRoom);
  std::size_t n = date.length;
  const float hourH = stamp.hourH;
  // A whole hour, as stamps nearly always are, is written as the integer it is ("%.0f" of 24.0
  // is "24"); halves and the rest are rounded by the formatter.
  if (shortcuts && !std::signbit(hourH) && hourH < 10000.0f &&
      hourH == static_cast<float>(static_cast<int>(hourH))) {
    n += formatStampField(static_cast<int>(hourH), p + n);
  } else {
    n += formatFixed(static_cast<double>(hourH), 0, 0, p + n);
  }
  advance(out, n);
}

}  // namespace kelvarin
