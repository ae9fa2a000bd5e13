#include "step/calendar.hpp"

#include <chrono>

namespace kelvarin {

std::optional<CalendarPeriod> periodNamed(std::string_view name) {
  if (name == "dekad") {
    return CalendarPeriod::kDekad;
  }
  if (name == "month") {
    return CalendarPeriod::kMonth;
  }
  if (name == "year") {
    return CalendarPeriod::kYear;
  }
  return std::nullopt;
}

const char* periodName(CalendarPeriod period) {
  switch (period) {
    case CalendarPeriod::kDekad:
      return "dekad";
    case CalendarPeriod::kMonth:
      return "month";
    case CalendarPeriod::kYear:
      return "year";
    case CalendarPeriod::kNone:
      break;
  }
  return "";
}

float shortestPeriodMin(CalendarPeriod period) {
  switch (period) {
    case CalendarPeriod::kDekad:
      return 8.0f * 1440.0f;
    case CalendarPeriod::kMonth:
      return 28.0f * 1440.0f;
    case CalendarPeriod::kYear:
      return 365.0f * 1440.0f;
    case CalendarPeriod::kNone:
      break;
  }
  return 0.0f;
}

PeriodDays periodOfDay(CalendarPeriod period, std::int64_t day) {
  using namespace std::chrono;
  const sys_days date{days{day}};
  const year_month_day ymd{date};
  const auto count = [](sys_days d) {
    return static_cast<std::int64_t>(d.time_since_epoch().count());
  };
  if (period == CalendarPeriod::kYear) {
    return {count(sys_days{ymd.year() / January / 1}),
            count(sys_days{(ymd.year() + years{1}) / January / 1})};
  }
  const sys_days monthStart{ymd.year() / ymd.month() / 1};
  const sys_days nextMonth{(ymd.year() / ymd.month() + months{1}) / 1};
  if (period == CalendarPeriod::kMonth) {
    return {count(monthStart), count(nextMonth)};
  }
  const unsigned dayOfMonth = static_cast<unsigned>(ymd.day());
  if (dayOfMonth <= 10) {
    return {count(monthStart), count(monthStart) + 10};
  }
  if (dayOfMonth <= 20) {
    return {count(monthStart) + 10, count(monthStart) + 20};
  }
  return {count(monthStart) + 20, count(nextMonth)};
}

}  // namespace kelvarin
