// Calendar periods as output steps: which period a record belongs to, and where a period begins
// and ends on the calendar.
#pragma once

#include <cmath>  // std::ceil
#include <cstdint>
#include <optional>
#include <string_view>

#include "run_parameters.hpp"

namespace kelvarin {

/// Returns the period a name gives ("dekad", "month", "year"), or nothing.
std::optional<CalendarPeriod> periodNamed(std::string_view name);

/// Returns a period's name, as the answers give it.
const char* periodName(CalendarPeriod period);

/// Returns the shortest length of a period in minutes (a dekad of February's third: 8 days), which
/// no input step may exceed.
float shortestPeriodMin(CalendarPeriod period);

/// A period on the calendar: its first day and the day after its last, counted in days from
/// 1970-01-01.
struct PeriodDays {
  std::int64_t first;
  std::int64_t end;
};

/// Returns the period of `period`'s kind that holds the day `day` (counted from 1970-01-01).
PeriodDays periodOfDay(CalendarPeriod period, std::int64_t day);

/// Returns the day (counted from 1970-01-01) whose hours a record's interval ends in, from the
/// minutes of its stamp on the calendar: hour 24 closes its own day, hour 0 the day before.
inline std::int64_t recordEndDay(double stampMin) {
  return static_cast<std::int64_t>(std::ceil(stampMin / 1440.0)) - 1;
}

}  // namespace kelvarin
