// The sunshine a step could hold: the daylight of its window at the run's place or at each
// column's own, for the steps whose window reaches past the stamp's day, for a missing record,
// and for calendar periods.
#pragma once

#include <cstddef>  // std::size_t
#include <optional>
#include <vector>

#include "run_parameters.hpp"
#include "step/daylight.hpp"
#include "step/places.hpp"

namespace kelvarin {

/// Returns the daylight of a day at a place: its sun times and whether the sun rises at all.
inline DayLight lightAt(const SolarDay& day, const SolarPlace& place) {
  return dayLightOf(sunTimesAt(day, place), sunNeverRisesAt(day, place));
}

/// The daylight of a window that reaches past its stamp's day, split as the step's arithmetic
/// needs it.
struct WindowLight {
  double hours = 0.0;         // all of it
  double otherDaysH = 0.0;    // of other days than the stamp's
  bool darkStampDay = false;  // the stamp's day is a polar night
};

/// Sums the daylight of a window's days as forEachDayOfWindow passes them, in their order.
struct LightSum {
  WindowLight light;
  DayLight before{0.0, 0.0};  // the day passed before
  bool hasBefore = false;
  void add(DayLight day, std::int64_t offset, double fromH, double toH);
};

/// Where the daylight of a run comes from: the run's place, or each column's own.
struct LightSource {
  const RunParameters* params = nullptr;
  const ColumnPlaces* places = nullptr;  // nothing: every column at the run's place
  DayMemo<DayLight> placeDays;           // the run's place, by day
  std::vector<LightSum> columnSums;      // room for windowLightOfColumns
};

/// Returns the daylight of a day at the run's place.
DayLight placeLight(LightSource& source, ModelDay day);

/// Returns the daylight of the window [startH, endH] (hours from the start of `stamp`'s day, local
/// time) at the run's place; nothing where the window cannot be split into days.
std::optional<WindowLight> windowLight(LightSource& source, const RecordStamp& stamp, double startH,
                                       double endH);

/// Writes the daylight of the window at each column's own place into `light[1]` to
/// `light[columns]`. Returns false where the window cannot be split into days.
bool windowLightOfColumns(LightSource& source, const RecordStamp& stamp, double startH, double endH,
                          std::size_t columns, WindowLight* light);

/// Returns whether the step's own arithmetic, which takes the whole window against the stamp's
/// day, gives the window's true daylight: no other day's daylight reaches into it, and the
/// stamp's day is no polar night.
inline bool stampDayHolds(const WindowLight& light) {
  return light.otherDaysH == 0.0 && !light.darkStampDay;
}

/// Bounds on the daylight of every day of the year at the places of a run: no day's light
/// begins before `earliestH` or ends after `latestH` (hours of its day). A window from
/// `servedFromH` to `servedToH` (hours from the start of a stamp's day) reaches no other day's
/// light: before 0 it stays after every sunset, past 24 before every sunrise.
struct LightBounds {
  double earliestH = 24.0;
  double latestH = 0.0;
  double servedFromH = 0.0;
  double servedToH = 24.0;
};

/// Widens `bounds` to hold the days of a place. A bound, worked out from the longest day and the
/// extremes of the equation of time, not from the days themselves.
void widenLightBounds(LightBounds& bounds, const SolarPlace& place);

/// Returns whether the stamp's day alone gives the daylight of the window [startH, endH]: the
/// day has a sunrise (no polar day or night) and the window reaches no other day's light. Where
/// it does, the step's own arithmetic holds. Inline: once a step.
inline bool stampDayServes(const LightBounds& bounds, double startH, double endH, double sunriseH) {
  return startH >= bounds.servedFromH && endH <= bounds.servedToH && sunriseH >= 0.0;
}

/// Returns the day fraction of a step of `stepH` hours whose window holds `daylightH` hours of
/// daylight: the share of the step in daylight, 0 where the night takes more than
/// kNightThreshold of it, as a step within one day has it.
double dayFractionOfDaylight(double daylightH, double stepH);

}  // namespace kelvarin
