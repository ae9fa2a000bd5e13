// The sunshine a step could hold: the daylight of its window at the run's place or at each
// column's own, for the steps whose window reaches past the stamp's day, for a missing record,
// and for calendar periods.
#pragma once

#include <algorithm>  // std::max, std::min
#include <array>
#include <cmath>    // HUGE_VAL
#include <cstddef>  // std::size_t
#include <cstdint>  // INT64_MIN
#include <memory>   // std::unique_ptr
#include <memory_resource>
#include <optional>
#include <vector>

#include "run_parameters.hpp"
#include "step/daylight.hpp"
#include "step/places.hpp"
#include "step/results.hpp"  // kNightThreshold
#include "step/skyline.hpp"
#include "step/table_memory.hpp"
#include "sun_models.hpp"

namespace kelvarin {

/// A day's daylight on the timeline, and as the step's own arithmetic takes it on its stamp's day.
struct DayOfLight {
  DayLight light;
  DayLight asStampDay;
  bool stampArithmetic = true;  // false: by another model, which the step's arithmetic never gives
};

/// Returns the daylight of a day of sun times `sun`; `neverRises` tells a polar night from a
/// polar day.
inline DayOfLight dayOfLight(SunTimes sun, bool neverRises) {
  return {dayLightOf(sun, neverRises), stampDayLightOf(sun)};
}

/// Returns the daylight of a day at a place.
inline DayOfLight lightAt(const SolarDay& day, const SolarPlace& place) {
  return dayOfLight(sunTimesAt(day, place), sunNeverRisesAt(day, place));
}

/// Returns the daylight of a span of the sun above an elevation; the step's own arithmetic,
/// which is the program's model at the horizon, never gives it.
inline DayOfLight dayOfLight(SunSpan span) {
  const DayLight light =
      span.toH > span.fromH ? DayLight{span.fromH, span.toH} : DayLight{0.0, 0.0};
  return {light, {0.0, 0.0}, false};
}

/// The daylight of a window that reaches past its stamp's day, split as the step's arithmetic
/// needs it.
struct WindowLight {
  double hours = 0.0;            // all of it, each moment once
  double otherDaysH = 0.0;       // of other days than the stamp's
  bool stampDayDiffers = false;  // the stamp's day gives the window other light than the step's
                                 // own arithmetic takes (a sunrise before midnight, a polar night)
};

/// Sums the daylight of a window's days as forEachDayOfWindow passes them, in their order: the
/// moments that a day and the day before both light count once.
struct LightSum {
  WindowLight light;
  DayLight before{0.0, 0.0};  // the day passed before
  bool hasBefore = false;
  void add(const DayOfLight& day, std::int64_t offset, double fromH, double toH);
};

/// The extremes of a day's sun times over the columns, sunrises before midnight taken as 0 and
/// a sun that does not set as setting at 24.
struct DayExtremes {
  double earliestRiseH = 0.0;
  double latestRiseH = 24.0;
  double earliestSetH = 0.0;
  double latestSetH = 24.0;
  bool anyBeforeMidnight = true;  // a column's sunrise or sunset lies below 0
};

/// Writes each column's sun times of a day (month 1 to 12) into `values[1]` on and returns their
/// extremes.
DayExtremes workOutColumnDay(const std::vector<SolarPlace>& solar, std::int32_t day,
                             std::int32_t month, SunTimes* values);

/// Each column's sun times for every day of the year, worked out the first time a day is met. The
/// model ignores the year, so a file of many years meets the same days again.
struct ColumnYear {
  std::vector<SunTimes> days;  // by day of the table, then column
  std::vector<unsigned char> known;
  std::vector<DayExtremes> extremes;  // by day of the table
  // The columns' day fractions of a step of a day or more ending that day, and its window: such
  // windows come back at the same hours every year.
  std::vector<double> fractions;       // by day of the table, then column
  std::vector<double> fractionWindow;  // by day of the table: start and end; NaN: none yet
};

/// The year's table is kept while it takes no more than this.
inline constexpr std::size_t kColumnYearBytes = std::size_t{64} << 20;

/// Returns the columns' sun times of a day (month 1 to 12) from the year's table, and their
/// extremes in `extremes`; nothing where the table would take too much or the day lies beyond 31.
const SunTimes* columnYearDay(ColumnYear& year, const std::vector<SolarPlace>& solar,
                              std::int32_t day, std::int32_t month, const DayExtremes** extremes);

/// Returns the row of the columns' day fractions of a day's window [startH, endH] (month 1 to 12),
/// or nothing where the table would take too much. `known` tells whether the row holds that
/// window's fractions; where not, the caller writes them into it.
double* columnYearFractions(ColumnYear& year, std::size_t slots, std::int32_t day,
                            std::int32_t month, double startH, double endH, bool& known);

/// Each site's values of a day by the model's day key (modelDayKey), worked out the first time a
/// key is met: the models but noaa meet the same sun every year. Kept only with the shortcuts,
/// for a model that has day keys, while it takes no more than kColumnYearBytes.
template <typename T>
struct KeyedYear {
  std::vector<T> values;             // by key, then site
  std::vector<unsigned char> known;  // by key
  std::size_t sites = 0;
  /// Makes room for `siteCount` sites where the rules above let it be kept.
  void keep(std::size_t siteCount, SunModel model, bool shortcuts) {
    if (shortcuts && model != SunModel::kNoaa &&
        siteCount * sizeof(T) * static_cast<std::size_t>(kModelDayKeys) <= kColumnYearBytes) {
      sites = siteCount;
      values.assign(sites * kModelDayKeys, T{});
      known.assign(kModelDayKeys, 0);
    }
  }
  /// Returns the day key of `date` where the year is kept, else nothing.
  std::optional<int> keyOf(SunModel model, std::int64_t date) const {
    return values.empty() ? std::nullopt : modelDayKey(model, date);
  }
  /// Returns whether the values of `key` are known.
  bool knows(std::optional<int> key) const {
    return key && known[static_cast<std::size_t>(*key)] != 0;
  }
  /// Returns the row of the sites' values of `key`, or, without a key, `own` made room for them.
  T* rowOf(std::optional<int> key, std::vector<T>& own, std::size_t siteCount) {
    if (key) {
      known[static_cast<std::size_t>(*key)] = 1;  // the caller fills it where it was not
      return &values[static_cast<std::size_t>(*key) * sites];
    }
    own.resize(siteCount);
    return own.data();
  }
};

/// The spans of one day at every site behind skylines, one site's after another's: most sites
/// have a span a day, so a network's day takes the room of its spans, not of the most a day holds.
struct SitesSpans {
  SitesSpans() = default;
  /// Makes an empty day whose lists come from `memory`.
  explicit SitesSpans(std::pmr::memory_resource* memory) : ends(memory), spans(memory) {}
  std::pmr::vector<std::uint32_t> ends;  // by site: one past its last span
  std::pmr::vector<DayLight> spans;
  void clear() {
    ends.clear();
    spans.clear();
  }
  /// Adds the spans of the next site.
  void add(const DaySpans& day) {
    spans.insert(spans.end(), day.spans.begin(),
                 day.spans.begin() + static_cast<std::ptrdiff_t>(day.count));
    ends.push_back(static_cast<std::uint32_t>(spans.size()));
  }
  /// Returns the spans of a site.
  SpanList of(std::size_t site) const {
    const std::uint32_t from = site == 0 ? 0 : ends[site - 1];
    return {spans.data() + from, ends[site] - from};
  }
  std::size_t bytes() const {
    return ends.size() * sizeof(std::uint32_t) + spans.size() * sizeof(DayLight);
  }
};

/// Each day key's spans of every site behind skylines, kept as KeyedYear keeps a year's values,
/// while all of them take no more than kColumnYearBytes.
struct SpansYear {
  std::vector<SitesSpans> days;      // by key; empty: not kept
  std::vector<unsigned char> known;  // by key
  std::size_t bytes = 0;
  /// Makes room for the days where the rules of KeyedYear let them be kept, their lists to come
  /// from `memory`.
  void keep(SunModel model, bool shortcuts, std::pmr::memory_resource* memory) {
    if (shortcuts && model != SunModel::kNoaa) {
      days.clear();
      days.reserve(kModelDayKeys);
      for (int key = 0; key < kModelDayKeys; ++key) {
        days.emplace_back(memory);
      }
      known.assign(kModelDayKeys, 0);
    }
  }
  std::optional<int> keyOf(SunModel model, std::int64_t date) const {
    return days.empty() ? std::nullopt : modelDayKey(model, date);
  }
  bool knows(std::optional<int> key) const {
    return key && known[static_cast<std::size_t>(*key)] != 0;
  }
  /// Returns the spans of `key`, known.
  const SitesSpans& of(int key) const { return days[static_cast<std::size_t>(key)]; }
  /// Keeps `day` as the spans of `key` where there is room, and returns where they are kept:
  /// in the year, or `day` itself.
  const SitesSpans* kept(std::optional<int> key, const SitesSpans& day) {
    if (!key || bytes + day.bytes() > kColumnYearBytes) {
      return &day;
    }
    SitesSpans& row = days[static_cast<std::size_t>(*key)];
    row = day;
    bytes += row.bytes();
    known[static_cast<std::size_t>(*key)] = 1;
    return &row;
  }
};

/// How many days behind skylines are worked out together, site by site: each site's skyline is
/// then read once for them all.
inline constexpr std::size_t kSkylineDaysAhead = 16;

/// Sums the daylight of a window's days behind a skyline, as LightSum does a day of one span:
/// the moments that a day and the day before both light count once.
struct SpanSum {
  WindowLight light;
  DaySpans before;
  void add(SpanList day, std::int64_t offset, double fromH, double toH);
};

/// Where a day's light lies over the columns by a model other than the program's own: every
/// column lit from `latestFromH` to `earliestToH`, none before `earliestFromH` or after
/// `latestToH` (hours from the day's midnight). A column without light lights no window.
struct ColumnsLight {
  double latestFromH = -HUGE_VAL;
  double earliestToH = HUGE_VAL;
  double earliestFromH = HUGE_VAL;
  double latestToH = -HUGE_VAL;
  void add(DayLight light) {
    if (!(light.toH > light.fromH)) {
      latestFromH = HUGE_VAL;
      return;
    }
    latestFromH = std::max(latestFromH, light.fromH);
    earliestToH = std::min(earliestToH, light.toH);
    earliestFromH = std::min(earliestFromH, light.fromH);
    latestToH = std::max(latestToH, light.toH);
  }
};

/// The daylight of one date by a model other than the program's own: the run's place's, or
/// each column's (slot 0 unused); behind a skyline, its spans.
struct ModelDays {
  std::int64_t date = INT64_MIN;  // none yet
  DayOfLight place{};
  std::vector<DayLight> columns;           // its own columns' light, where no memo holds it
  const DayLight* columnLights = nullptr;  // each column's: `columns`, or the year's memo
  ColumnsLight extremes;                   // of the columns' light
  const SitesSpans* spans = nullptr;       // behind skylines: the year's memo, or ownSpans
  SitesSpans ownSpans;
  ColumnsLight spanExtremes;  // of the columns' spans, each span taken as a light
};

/// Where the daylight of a run comes from: the run's place, or each column's own.
struct LightSource {
  const RunParameters* params = nullptr;
  const ColumnPlaces* places = nullptr;  // nothing: every column at the run's place
  // The possible sunshine divided by: the program's own model at the horizon (`ownModel`), whose
  // step arithmetic and memos are the rest of this room, or another model or elevation, worked
  // out day by day on the timeline.
  SunModel model = SunModel::kClassic;
  double elevationDeg = 0.0;
  bool ownModel = true;
  std::array<ModelDays, 8> modelDays{};  // the dates met last: the run's place's, or each column's
  std::vector<ModelSite> modelSites;     // the run's place at 0, or each column's from 1
  // The memory of the skylines and of their year below, which outlives them.
  std::unique_ptr<std::pmr::monotonic_buffer_resource> skylineTables;
  // Each site's skyline as its sky holds it, or nothing for a flat horizon; empty without
  // --horizon.
  std::vector<std::optional<SiteSkyline>> siteSkylines;
  double skylineOffsetDeg = 0.0;     // the model's own elevation at a flat horizon
  std::vector<SpanSum> columnSpans;  // room for windowLightOfColumns behind skylines
  SpansYear skylineYear;             // each site's spans behind its skyline, by day key
  // Days behind skylines worked out together: the keys of the year to be, or, where the year does
  // not hold them, `skylineDatesAhead` dates from `skylineDateAhead`.
  std::vector<SitesSpans> skylineRowsAhead;
  std::array<ColumnsLight, kSkylineDaysAhead> skylineExtremesAhead{};
  std::int64_t skylineDateAhead = 0;
  std::size_t skylineDatesAhead = 0;
  std::vector<ColumnsLight> skylineExtremes;  // of each key's, where skylineYear is kept
  KeyedYear<DayLight> flatYear;               // each column's light, by day key
  std::vector<ColumnsLight> flatExtremes;     // of each key's, where flatYear is kept
  double sinElevation = 0.0;
  std::vector<SunSpan> columnSunSpans;  // room for each column's span of a day
  std::size_t nextModelDay = 0;
  bool shortcuts = true;              // off: every day's light worked out when it is asked
  DayMemo<DayOfLight> placeDays;      // the run's place, by day
  DayReach reach;                     // where any day's light at the run's places can lie
  std::vector<DayReach> columnReach;  // by column, with the program's own model: each one's
  ColumnYear columnYear;              // each column's own place, by day
  std::vector<LightSum> columnSums;   // room for windowLightOfColumns
  // Where the year's table is too large: the days met last, which the next steps meet again.
  std::array<ColumnDay<SunTimes>, 4> recentDays;
  std::size_t nextRecent = 0;
};

/// Returns the daylight of a day at the run's place.
DayOfLight placeLight(LightSource& source, ModelDay day);

/// Returns the daylight of the window [startH, endH] (hours from the start of `stamp`'s day, local
/// time) at the run's place; nothing where the window cannot be split into days.
std::optional<WindowLight> windowLight(LightSource& source, const RecordStamp& stamp, double startH,
                                       double endH);

/// Writes the daylight of the window at each column's own place into `light[1]` to
/// `light[columns]`, for the columns where `needed` is not 0 (every column without it); the
/// others get none on other days. Returns false where the window cannot be split into days.
bool windowLightOfColumns(LightSource& source, const RecordStamp& stamp, double startH, double endH,
                          std::size_t columns, WindowLight* light,
                          const unsigned char* needed = nullptr);

/// How a window lies at the columns' own places by a model other than the program's own.
enum class ModelWindow {
  kAcrossDays,  // another day's light may reach it: windowLightOfColumns gives its light
  kMixed,       // within its stamp's day, each column's light written
  kAllLit,      // within its stamp's day and every column's light
  kAllDark,     // within its stamp's day and no column's light
};

/// Tells how the window [startH, endH] lies at the columns' places by a model other than the
/// program's own, behind their skylines where they have them, and where it is mixed writes each
/// column's light into `light[1]` to `light[columns]`: most windows of a day or less lie within
/// their stamp's day, whose light alone is then theirs.
ModelWindow modelWindowOfColumns(LightSource& source, const RecordStamp& stamp, double startH,
                                 double endH, std::size_t columns, WindowLight* light);

/// Returns whether the step's own arithmetic, which takes the whole window against the stamp's
/// day, gives the window's daylight on the timeline: no other day's daylight reaches into it,
/// the stamp's day lights it as that arithmetic has it, and the step is a day or shorter, where
/// the night rule holds.
inline bool stampDayHolds(const WindowLight& light, bool dayOrShorter) {
  return light.otherDaysH == 0.0 && !light.stampDayDiffers && dayOrShorter;
}

/// Bounds on the daylight of every day of the year at the places of a run: no day's light
/// begins before `earliestH` or ends after `latestH` (hours of its day, on the timeline). A window
/// from `servedFromH` to `servedToH` (hours from the start of a stamp's day) reaches no other day's
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

/// Returns true when the sun rises after midnight on every day of the year at the place: no polar
/// day or night, and no sunrise the meridian moves before 0.
bool alwaysRises(const SolarPlace& place);

/// Returns whether the window [startH, endH] lasts a day or less, up to the rounding of its ends.
inline bool lastsADayAtMost(double startH, double endH) {
  return endH - startH <= 24.0 + 1e-9;
}

/// Returns whether the stamp's day alone gives the daylight of the window [startH, endH]: the
/// day has a sunrise after its midnight (no polar day or night), the window reaches no other
/// day's light and lasts no more than a day. Where it does, the step's own arithmetic holds.
/// Inline: once a step.
inline bool stampDayServes(const LightBounds& bounds, double startH, double endH, double sunriseH) {
  return startH >= bounds.servedFromH && endH <= bounds.servedToH && sunriseH >= 0.0 &&
         lastsADayAtMost(startH, endH);
}

/// Starts the daylight of a model other than the program's own at the horizon: the sites of the
/// run's place and columns, and the days a window can reach at each. No window is then served
/// by the stamp's day: the bounds in `bounds` (the run's) and `columnBounds` are closed. Behind
/// skylines (`behindSkylines`) the columns' light is their spans, so no year of their flat light
/// is kept.
void startModelLight(LightSource& source, LightBounds& bounds,
                     std::vector<LightBounds>& columnBounds, bool behindSkylines);

/// Gives the sites of a model's light their skylines from `horizon`: the run's place the table's
/// horizon for every column, each column its station's (none: flat).
void startSkylines(LightSource& source, const HorizonTable& horizon);

/// Returns where the daylight of the days of places within `bounds` can lie.
DayReach reachOf(const LightBounds& bounds);

/// Returns the day fraction of a step of `stepH` hours whose window holds `daylightH` hours of
/// daylight: the share of the step in daylight. A step of a day or less is 0 where the night
/// takes more than kNightThreshold of it, as a step within one day has it; the rule is for the
/// hours that sunrise and sunset cut, so a longer step (a polar month holds 4 % of daylight) is
/// 0 only where it holds no daylight at all.
/// Inline: once a column and step where windows leave their day.
inline double dayFractionOfDaylight(double daylightH, double stepH) {
  const double night = (stepH - daylightH) / stepH;
  if (stepH > 24.0) {
    return daylightH > 0.0 ? daylightH / stepH : 0.0;
  }
  return night > kNightThreshold ? 0.0 : 1.0 - night;
}

}  // namespace kelvarin
