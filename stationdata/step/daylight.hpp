// The daylight of a window of local time that may reach into other days: each part of it taken
// against the sun of its own day. A step's window ends at its last record's local end, which a
// time shift can carry past midnight, and a step may be longer than a day; the day of the stamp
// alone says nothing of the hours of the day before or after.
#pragma once

#include <algorithm>  // std::max, std::min
#include <chrono>
#include <cmath>  // std::floor, std::ceil, std::isfinite
#include <cstdint>

#include "record_stamp.hpp"
#include "solar.hpp"

namespace kelvarin {

/// The daylight of one local day by the sun model: sunrise to sunset, a sunrise before midnight
/// raised to 0; a day the sun does not set is light from 0 to 24, one it does not rise is dark.
struct DayLight {
  double fromH;
  double toH;
};

/// Returns the daylight of a day of sun times `sun`; `neverRises` tells a polar night from a
/// polar day, which the sun times do not.
inline DayLight dayLightOf(SunTimes sun, bool neverRises) {
  if (sun.sunriseH < 0.0 && sun.sunsetH < 0.0 && neverRises) {
    return {0.0, 0.0};
  }
  return {sun.sunriseH < 0.0 ? 0.0 : sun.sunriseH, sun.sunsetH < 0.0 ? 24.0 : sun.sunsetH};
}

/// Returns the hours of daylight of a day in the window [fromH, toH], in hours from the start of
/// that day: a sunset past midnight lights the first hours of the next day, as a step within one
/// day has always counted it.
inline double lightWithin(DayLight light, double fromH, double toH) {
  return std::max(0.0, std::min(toH, std::min(light.toH, 48.0)) - std::max(fromH, light.fromH));
}

/// A day as the sun model takes it.
struct ModelDay {
  std::int32_t day;
  std::int32_t month;
};

/// Windows longer than this are not split into days: no output step of a station file is.
inline constexpr double kMaxWindowDays = 1200.0;

/// Returns the first day of `stamp` on the calendar (months and days beyond their range counting
/// on, as the stamps are compared), or nothing when it lies beyond the calendar's reach.
std::optional<std::chrono::sys_days> stampDay(const RecordStamp& stamp);

/// Calls `part(ModelDay, offset, fromH, toH)` for every local day whose daylight can reach into
/// the window [startH, endH] (hours from the start of `stamp`'s day, local time): each day it
/// touches and the day before the first, whose sunset may pass midnight. `offset` is the day's
/// distance in days from the stamp's, and [fromH, toH] the window in hours from the start of that
/// day. The stamp's own day is passed as it is stored, the others as the calendar has them.
/// Returns false, calling nothing, for a window that is not finite, longer than kMaxWindowDays or
/// beyond the calendar.
template <typename Part>
bool forEachDayOfWindow(const RecordStamp& stamp, double startH, double endH, Part part) {
  if (!std::isfinite(startH) || !std::isfinite(endH) || endH - startH > kMaxWindowDays * 24.0 ||
      std::fabs(startH) > kMaxWindowDays * 24.0 * 4.0) {
    return false;
  }
  const auto first = static_cast<std::int64_t>(std::floor(startH / 24.0)) - 1;
  const auto last = static_cast<std::int64_t>(std::ceil(endH / 24.0)) - 1;
  const std::optional<std::chrono::sys_days> base = stampDay(stamp);
  if (!base) {
    return false;
  }
  for (std::int64_t k = first; k <= last; ++k) {
    ModelDay day{stamp.day, stamp.month};
    if (k != 0) {
      const std::chrono::year_month_day date{*base + std::chrono::days{k}};
      day = {static_cast<std::int32_t>(static_cast<unsigned>(date.day())),
             static_cast<std::int32_t>(static_cast<unsigned>(date.month()))};
    }
    const double shiftH = 24.0 * static_cast<double>(k);
    part(day, k, startH - shiftH, endH - shiftH);
  }
  return true;
}

}  // namespace kelvarin
