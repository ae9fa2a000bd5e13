// The sun behind a station's horizon: the spans of a day in which the sun's centre stands above
// both the run's elevation and the skyline at its azimuth. A ridge at noon in winter cuts a day
// in two, so a day is a few spans, each counted.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory_resource>
#include <vector>

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

/// A day's spans as a run holds them: `count` of them in order from `first`.
struct SpanList {
  const DayLight* first = nullptr;
  std::size_t count = 0;
  SpanList() = default;
  SpanList(const DayLight* from, std::size_t spans) : first(from), count(spans) {}
  SpanList(const DaySpans& day)  // NOLINT(google-explicit-constructor): a day's spans are a list
      : first(day.spans.data()), count(day.count) {}
};

/// A skyline as the sky of one site holds it, worked out once a run. What the sun must clear (the
/// larger of the run's elevation and the skyline) is cut into pieces along each of which the
/// declination of the sky's points only rises or only falls. The sun keeps one declination
/// through a day, so it crosses a piece at most once, where the piece's declination is its own: a
/// day's crossings are found piece by piece, not by looking along the sun's path. On a piece at
/// the run's elevation the crossing is the flat sunrise or sunset; on the others Newton's method
/// settles it from the piece's points, every few degrees, which keep their sines and cosines.
struct SiteSkyline {
  /// A point of a piece: the sine of the declination a star there has, the sines and cosines
  /// of its elevation and azimuth, and the star's hour angle there.
  struct Point {
    double sinDeclination;
    double sinE;
    double cosE;
    double sinA;
    double cosA;
    double hourAngleRad;
  };
  enum class Kind : std::uint8_t {
    kSloped,   // the skyline's: crossed where Newton's method finds it
    kMorning,  // the run's elevation in the east: crossed at the flat sunrise
    kEvening,  // in the west: at the flat sunset
  };
  struct Piece {
    double alongRad;           // the azimuth it runs over, 0 on a wall
    double riseRad;            // the elevation it gains
    std::uint32_t firstPoint;  // where it is sloped, its points, ends included (the last may be
                               // the next piece's first)
    std::uint16_t intervals;   // between them
    Kind kind;
  };
  SiteSkyline() = default;
  /// Makes an empty skyline whose tables come from `memory`.
  explicit SiteSkyline(std::pmr::memory_resource* memory)
      : pieces(memory), sines(memory), points(memory) {}
  double sinLatitude = 0.0;
  double cosLatitude = 1.0;
  double sinElevation = 0.0;  // of the run's elevation
  double sinLowest = 0.0;     // of the lowest that the sun must clear
  double sinHighest = 0.0;    // of the highest
  double sinNorth = 0.0;      // of what the sun must clear in the north
  double sinSouth = 0.0;      // and in the south
  bool flat = true;           // lowest and highest the same: the flat path, exactly
  std::pmr::vector<Piece> pieces;
  // The sine of the declination where each piece starts, and where the last ends (the first's
  // again): a day looks through these alone for the pieces it crosses.
  std::pmr::vector<double> sines;
  std::pmr::vector<Point> points;
};

/// Returns the skyline `horizon`, its heights raised by `skylineOffsetDeg` (the model's own
/// elevation at a flat horizon, -0.833 for noaa, where the skyline is apparent), as the sky of
/// `site` holds it, above `elevationDeg`, its tables in `memory`.
SiteSkyline siteSkyline(const ModelSite& site, double elevationDeg, const HorizonProfile& horizon,
                        double skylineOffsetDeg,
                        std::pmr::memory_resource* memory = std::pmr::get_default_resource());

/// Returns the spans of `day` at `site` in which the sun's centre stands above what `skyline`
/// (of that site) makes it clear.
DaySpans skylineSpans(const ModelSunDay& day, const ModelSite& site, const SiteSkyline& skyline);

/// Writes the spans of each of the `count` days from `days` at `site` behind `skyline` into
/// `spans`, as skylineSpans gives them: the pieces no sun of those days can cross, most of them
/// over a fortnight, are passed over once for them all.
void skylineSpansOfDays(const ModelSunDay* days, std::size_t count, const ModelSite& site,
                        const SiteSkyline& skyline, DaySpans* spans);

/// Returns the spans of `day` at `site` in which the sun's centre stands above `elevationDeg`
/// and above the skyline `horizon`, its heights raised by `skylineOffsetDeg`.
DaySpans skylineSpans(const ModelSunDay& day, const ModelSite& site, double elevationDeg,
                      const HorizonProfile& horizon, double skylineOffsetDeg);

/// Returns the hours of the window [fromH, toH] in the spans. Inline, as a network's step takes
/// it once a column.
inline double spansWithin(SpanList spans, double fromH, double toH) {
  double hours = 0.0;
  for (std::size_t i = 0; i < spans.count; ++i) {
    hours += lightWithin(spans.first[i], fromH, toH);
  }
  return hours;
}

/// Returns the hours of the window [fromH, toH] (hours from the start of a day) that the spans of
/// the day share with `before`, the spans of the day before: counted once.
double spansShared(SpanList spans, SpanList before, double fromH, double toH);

}  // namespace kelvarin
