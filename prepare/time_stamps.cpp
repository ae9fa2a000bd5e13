#include "time_stamps.hpp"

#include <chrono>
#include <cstdio>  // std::snprintf

#include "text_rows.hpp"  // allDigits

namespace kelvarin::prepare {

namespace {

constexpr std::int64_t kMinutesPerDay = 1440;

// Reads the digits of text[at, at + count); the caller has checked that they are digits.
int digits(std::string_view text, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

bool digitsAt(std::string_view text, std::size_t at, std::size_t count) {
  return at + count <= text.size() && allDigits(text.substr(at, count));
}

// Minutes of a calendar date and a time of day; nothing for an impossible one. Hour 24 is
// allowed at minute 0 only: the end of the day.
std::optional<std::int64_t> minutesOf(int year, int month, int day, int hour, int minute) {
  using namespace std::chrono;
  const year_month_day date{std::chrono::year{year},
                            std::chrono::month{static_cast<unsigned>(month)},
                            std::chrono::day{static_cast<unsigned>(day)}};
  if (!date.ok() || hour < 0 || hour > 24 || minute < 0 || minute > 59 ||
      (hour == 24 && minute != 0)) {
    return std::nullopt;
  }
  const auto days = static_cast<std::int64_t>(sys_days{date}.time_since_epoch().count());
  return days * kMinutesPerDay + hour * 60 + minute;
}

// A date without a time is the end of its day.
constexpr int kEndOfDayHour = 24;

// Reads YYYY-MM-DD (the end of the day) or YYYY-MM-DD[T ]HH:MM[:SS][Z].
std::optional<std::int64_t> readIsoStamp(std::string_view text, StampFormat format) {
  if (text.size() < 10 || !digitsAt(text, 0, 4) || text[4] != '-' || !digitsAt(text, 5, 2) ||
      text[7] != '-' || !digitsAt(text, 8, 2)) {
    return std::nullopt;
  }
  const int year = digits(text, 0, 4);
  const int month = digits(text, 5, 2);
  const int day = digits(text, 8, 2);
  if (format == StampFormat::kIsoDate) {
    return text.size() == 10 ? minutesOf(year, month, day, kEndOfDayHour, 0) : std::nullopt;
  }
  // "T" or a blank, HH:MM, then optionally ":SS" (only :00 lies on a minute) and "Z".
  std::string_view rest = text.substr(10);
  if (!rest.empty() && rest.back() == 'Z') {
    rest.remove_suffix(1);
  }
  if (rest.size() != 6 && rest.size() != 9) {
    return std::nullopt;
  }
  if ((rest[0] != 'T' && rest[0] != ' ') || !digitsAt(rest, 1, 2) || rest[3] != ':' ||
      !digitsAt(rest, 4, 2) || (rest.size() == 9 && (rest[6] != ':' || rest.substr(7) != "00"))) {
    return std::nullopt;
  }
  return minutesOf(year, month, day, digits(rest, 1, 2), digits(rest, 4, 2));
}

// Reads DD.MM.YYYY (the end of the day) or DD.MM.YYYY HH:MM.
std::optional<std::int64_t> readDottedStamp(std::string_view text, StampFormat format) {
  if (text.size() < 10 || !digitsAt(text, 0, 2) || text[2] != '.' || !digitsAt(text, 3, 2) ||
      text[5] != '.' || !digitsAt(text, 6, 4)) {
    return std::nullopt;
  }
  const int day = digits(text, 0, 2);
  const int month = digits(text, 3, 2);
  const int year = digits(text, 6, 4);
  if (format == StampFormat::kDottedDate) {
    return text.size() == 10 ? minutesOf(year, month, day, kEndOfDayHour, 0) : std::nullopt;
  }
  const std::string_view rest = text.substr(10);
  if (rest.size() != 6 || rest[0] != ' ' || !digitsAt(rest, 1, 2) || rest[3] != ':' ||
      !digitsAt(rest, 4, 2)) {
    return std::nullopt;
  }
  return minutesOf(year, month, day, digits(rest, 1, 2), digits(rest, 4, 2));
}

}  // namespace

std::optional<StampFormat> detectStampFormat(std::string_view text) {
  if (allDigits(text)) {
    switch (text.size()) {
      case 8:
        return StampFormat::kCompactDate;
      case 10:
        return StampFormat::kCompactHour;
      case 12:
        return StampFormat::kCompactMinute;
      default:
        return std::nullopt;
    }
  }
  if (digitsAt(text, 0, 4) && text.size() >= 10 && text[4] == '-' && text[7] == '-') {
    return text.size() == 10 ? StampFormat::kIsoDate : StampFormat::kIso;
  }
  if (digitsAt(text, 0, 2) && text.size() >= 10 && text[2] == '.' && text[5] == '.') {
    return text.size() == 10 ? StampFormat::kDottedDate : StampFormat::kDotted;
  }
  return std::nullopt;
}

bool isDateOnly(StampFormat format) {
  return format == StampFormat::kCompactDate || format == StampFormat::kIsoDate ||
         format == StampFormat::kDottedDate;
}

const char* formatName(StampFormat format) {
  switch (format) {
    case StampFormat::kCompactHour:
      return "YYYYMMDDHH";
    case StampFormat::kCompactMinute:
      return "YYYYMMDDHHMM";
    case StampFormat::kCompactDate:
      return "YYYYMMDD";
    case StampFormat::kIso:
      return "YYYY-MM-DD HH:MM";
    case StampFormat::kIsoDate:
      return "YYYY-MM-DD";
    case StampFormat::kDotted:
      return "DD.MM.YYYY HH:MM";
    case StampFormat::kDottedDate:
      return "DD.MM.YYYY";
  }
  return "";
}

std::optional<std::int64_t> readStamp(std::string_view text, StampFormat format) {
  switch (format) {
    case StampFormat::kCompactHour:
      if (text.size() != 10 || !allDigits(text)) {
        return std::nullopt;
      }
      return minutesOf(digits(text, 0, 4), digits(text, 4, 2), digits(text, 6, 2),
                       digits(text, 8, 2), 0);
    case StampFormat::kCompactMinute:
      if (text.size() != 12 || !allDigits(text)) {
        return std::nullopt;
      }
      return minutesOf(digits(text, 0, 4), digits(text, 4, 2), digits(text, 6, 2),
                       digits(text, 8, 2), digits(text, 10, 2));
    case StampFormat::kCompactDate:
      if (text.size() != 8 || !allDigits(text)) {
        return std::nullopt;
      }
      return minutesOf(digits(text, 0, 4), digits(text, 4, 2), digits(text, 6, 2), kEndOfDayHour,
                       0);
    case StampFormat::kIsoDate:
    case StampFormat::kIso:
      return readIsoStamp(text, format);
    case StampFormat::kDottedDate:
    case StampFormat::kDotted:
      return readDottedStamp(text, format);
  }
  return std::nullopt;
}

StationStamp stationStamp(std::int64_t minutes) {
  using namespace std::chrono;
  // Midnight closes the day before: its minute of the day is 1440, not 0.
  std::int64_t days = minutes / kMinutesPerDay;
  std::int64_t minuteOfDay = minutes % kMinutesPerDay;
  if (minuteOfDay <= 0) {
    minuteOfDay += kMinutesPerDay;
    days -= 1;
  }
  const year_month_day date{sys_days{std::chrono::days{days}}};
  return {static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
          static_cast<unsigned>(date.day()), minuteOfDay};
}

std::string describeMinutes(std::int64_t minutes) {
  const StationStamp stamp = stationStamp(minutes);
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d", stamp.year, stamp.month, stamp.day,
                static_cast<int>(stamp.minuteOfDay / 60), static_cast<int>(stamp.minuteOfDay % 60));
  return text;
}

}  // namespace kelvarin::prepare
