// The sun behind a station's horizon: the spans of a day in which the sun's centre stands above
// both the run's elevation and the skyline at its azimuth. A ridge at noon in winter cuts a day
// in two, so a day is a few spans, each counted.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "horizon_table.hpp"  // HorizonProfile
#include "step/daylight.hpp"  // DayLight
#include "sun_models.hpp"

namespace kelvarin {

/// The most spans a day holds; a skyline of more ridges has its narrowest shades filled, which
/// errs towards more possible sunshine by those few minutes.
inline constexpr std::size_t kMostDaySpans = 6;

/// The spans of one day on the timeline (hours of zone time from that day's midnight), in order.
struct DaySpans {
  std::array<DayLight, kMostDaySpans> spans{};
  std::size_t count = 0;
};

/// Returns the spans of `day` at `site` in which the sun's centre stands above `elevationDeg`
/// and above the skyline `horizon`, its heights raised by `skylineOffsetDeg` (the model's own
/// elevation at a flat horizon, -0.833 for noaa, where the skyline is apparent).
DaySpans skylineSpans(const ModelSunDay& day, const ModelSite& site, double elevationDeg,
                      const HorizonProfile& horizon, double skylineOffsetDeg);

/// Returns the hours of the window [fromH, toH] in the spans.
double spansWithin(const DaySpans& spans, double fromH, double toH);

/// Returns the hours of the window [fromH, toH] (hours from the start of a day) that the spans of
/// the day share with `before`, the spans of the day before: counted once.
double spansShared(const DaySpans& spans, const DaySpans& before, double fromH, double toH);

}  // namespace kelvarin
