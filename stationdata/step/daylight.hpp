// The daylight of a window of local time that may reach into other days: each part of it taken
// against the sun of its own day. A step's window ends at its last record's local end, which a
// time shift can carry past midnight, and a step may be longer than a day; the day of the stamp
// alone says nothing of the hours of the day before or after.
#pragma once

#include <algorithm>  // std::max, std::min
#include <chrono>
#include <cmath>  // std::floor, std::ceil, std::isfinite
#include <cstdint>
#include <optional>

#include "record_stamp.hpp"
#include "solar.hpp"

namespace kelvarin {

/// The daylight of one local day by the sun model, on the timeline of the run's zone time in
/// hours from that day's midnight: sunrise to sunset as they fall, so that a sunrise before 0 lies
/// in the evening of the day before and a sunset past 24 in the morning of the day after. A day
/// the sun does not set is light from its midnight to the next; one it does not rise is dark.
struct DayLight {
  double fromH;
  double toH;
};

/// Returns the daylight of a day of sun times `sun`; `neverRises` tells a polar night from a
/// polar day, which the sun times do not.
inline DayLight dayLightOf(SunTimes sun, bool neverRises) {
  if (sun.sunriseH == -1.0 && sun.sunsetH == -1.0) {
    return neverRises ? DayLight{0.0, 0.0} : DayLight{0.0, 24.0};
  }
  return {sun.sunriseH, sun.sunsetH};
}

/// Returns the daylight of a day as a step within that day has always taken it: a sunrise before
/// midnight raised to 0, and a day without sunrise and sunset (polar day and polar night alike)
/// light from 0 to 24. Where a window's share of it equals its share of dayLightOf, the step's
/// own arithmetic gives the window's daylight.
inline DayLight stampDayLightOf(SunTimes sun) {
  return {sun.sunriseH < 0.0 ? 0.0 : sun.sunriseH, sun.sunsetH < 0.0 ? 24.0 : sun.sunsetH};
}

/// Returns the hours of daylight of a day in the window [fromH, toH], in hours from the start of
/// that day.
inline double lightWithin(DayLight light, double fromH, double toH) {
  return std::max(0.0, std::min(toH, light.toH) - std::max(fromH, light.fromH));
}

/// Returns the hours of the window [fromH, toH] (hours from the start of a day) that `light`, that
/// day's daylight, shares with `before`, the daylight of the day before: the moments a sunset past
/// midnight and a sunrise before it both claim, which count once.
inline double lightShared(DayLight light, DayLight before, double fromH, double toH) {
  return std::max(0.0, std::min({toH, light.toH, before.toH - 24.0}) -
                           std::max({fromH, light.fromH, before.fromH - 24.0}));
}

/// A day as the sun models take it: the program's own by its day and month, the others by its
/// date on the calendar.
struct ModelDay {
  std::int32_t day;
  std::int32_t month;
  std::int64_t date = 0;  // days from 1970-01-01
};

/// Where the daylight of any day of a run can lie, in hours from that day's midnight: a place's
/// offset from its meridian moves sunrise and sunset by up to a day either way. The default holds
/// every place within 24 hours of its meridian.
struct DayReach {
  double fromH = -24.5;
  double toH = 48.5;
};

/// Windows longer than this are not split into days: beyond the longest output step a run takes
/// (100 years) and its time shift.
inline constexpr double kMaxWindowDays = 36600.0;

/// Returns the first day of `stamp` on the calendar (months and days beyond their range counting
/// on, as the stamps are compared), or nothing when it lies beyond the calendar's reach.
std::optional<std::chrono::sys_days> stampDay(const RecordStamp& stamp);

/// Returns the first day of `stamp` on the calendar for the sun model, which ignores the year:
/// a year beyond the calendar's reach is taken by its place in the 400-year cycle of leap years,
/// so that its days follow each other as they do. Nothing for a month or day beyond reach.
std::optional<std::chrono::sys_days> modelStampDay(const RecordStamp& stamp);

/// The days whose daylight can reach a window, by their distance in days from the stamp's.
struct WindowDays {
  std::int64_t first;
  std::int64_t last;
};

/// Returns the days whose daylight can reach into the window [startH, endH] (hours from the start
/// of a stamp's day) by `reach`, the stamp's own always among them; nothing for a window that is
/// not finite or longer than kMaxWindowDays.
inline std::optional<WindowDays> windowDays(double startH, double endH, DayReach reach) {
  if (!std::isfinite(startH) || !std::isfinite(endH) || endH - startH > kMaxWindowDays * 24.0 ||
      std::fabs(startH) > kMaxWindowDays * 24.0 * 4.0) {
    return std::nullopt;
  }
  // Day k's light lies within [reach.fromH, reach.toH] of its own hours, which the window
  // meets only where startH - 24k < reach.toH and endH - 24k > reach.fromH. The stamp's own day
  // is always passed: it tells whether the step's own arithmetic holds.
  return WindowDays{std::min<std::int64_t>(
                        static_cast<std::int64_t>(std::floor((startH - reach.toH) / 24.0)) + 1, 0),
                    std::max<std::int64_t>(
                        static_cast<std::int64_t>(std::ceil((endH - reach.fromH) / 24.0)) - 1, 0)};
}

/// Calls `part(ModelDay, offset, fromH, toH)` for every local day whose daylight can reach into
/// the window [startH, endH] (hours from the start of `stamp`'s day, local time) by `reach`, in
/// order. `offset` is the day's distance in days from the stamp's, and [fromH, toH] the window in
/// hours from the start of that day. The stamp's own day is passed as it is stored, the others as
/// the calendar has them. Returns false, calling nothing, for a window that is not finite,
/// longer than kMaxWindowDays or beyond the calendar.
template <typename Part>
bool forEachDayOfWindow(const RecordStamp& stamp, double startH, double endH, Part part,
                        DayReach reach = {}) {
  const std::optional<WindowDays> days = windowDays(startH, endH, reach);
  if (!days) {
    return false;
  }
  const std::optional<std::chrono::sys_days> base = modelStampDay(stamp);
  if (!base) {
    return false;
  }
  for (std::int64_t k = days->first; k <= days->last; ++k) {
    const std::chrono::sys_days when = *base + std::chrono::days{k};
    ModelDay day{stamp.day, stamp.month, when.time_since_epoch().count()};
    if (k != 0) {
      const std::chrono::year_month_day date{when};
      day.day = static_cast<std::int32_t>(static_cast<unsigned>(date.day()));
      day.month = static_cast<std::int32_t>(static_cast<unsigned>(date.month()));
    }
    const double shiftH = 24.0 * static_cast<double>(k);
    part(day, k, startH - shiftH, endH - shiftH);
  }
  return true;
}

}  // namespace kelvarin
