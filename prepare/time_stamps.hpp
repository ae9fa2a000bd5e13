// Time stamps as public archives write them, read into minutes on the calendar.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelvarin::prepare {

/// The stamp formats a time column may hold; one column holds one of them.
enum class StampFormat {
  kCompactHour,    // YYYYMMDDHH (the German weather service's hourly products)
  kCompactMinute,  // YYYYMMDDHHMM
  kCompactDate,    // YYYYMMDD, a daily value
  kIso,            // YYYY-MM-DD[T ]HH:MM[:SS][Z]
  kIsoDate,        // YYYY-MM-DD, a daily value
  kDotted,         // DD.MM.YYYY HH:MM
  kDottedDate,     // DD.MM.YYYY, a daily value
};

/// Returns the format of a stamp as written, or nothing when it is none of them.
std::optional<StampFormat> detectStampFormat(std::string_view text);

/// Returns true for the formats without a time of day: their values cover the whole day.
bool isDateOnly(StampFormat format);

/// Reads a stamp of `format` as minutes since 1970-01-01 00:00 on the real calendar. A date
/// without a time is the end of its day (hour 24), where its value's interval ends. Returns
/// nothing for a text of another format or an impossible date or time (30 February, hour 25).
std::optional<std::int64_t> readStamp(std::string_view text, StampFormat format);

/// Returns a format's name for messages ("YYYYMMDDHH").
const char* formatName(StampFormat format);

/// The fields of a station file's stamp for minutes on the calendar: midnight is hour 24 of the
/// day before, the end of the interval that ends there.
struct StationStamp {
  int year;
  unsigned month;
  unsigned day;
  std::int64_t minuteOfDay;  // 1 to 1440
};
StationStamp stationStamp(std::int64_t minutes);

/// Returns "2023-06-21 13:00" for minutes on the calendar, for messages; midnight is written as
/// the station file writes it, "2023-06-20 24:00".
std::string describeMinutes(std::int64_t minutes);

}  // namespace kelvarin::prepare
