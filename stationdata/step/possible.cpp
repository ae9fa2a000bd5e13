#include "step/possible.hpp"

#include <algorithm>  // std::min, std::min_element
#include <cmath>

#include "step/results.hpp"  // kNightThreshold

namespace kelvarin {

namespace {

// The daylight of a day at site `s` (0: the run's place, else a column's) by the run's model, when
// that is not the program's own, from the day's part of the model.
DayOfLight modelLight(const LightSource& source, const ModelSunDay& day, std::size_t s) {
  return dayOfLight(modelSunSpanAt(day, source.modelSites[s], source.sinElevation));
}

// The spans of a site on `count` model days: behind its skyline, or its flat light.
void siteSpansOfDays(const LightSource& source, const ModelSunDay* sunDays, std::size_t count,
                     std::size_t s, DaySpans* spans) {
  if (source.siteSkylines[s]) {
    skylineSpansOfDays(sunDays, count, source.modelSites[s], *source.siteSkylines[s], spans);
    return;
  }
  for (std::size_t k = 0; k < count; ++k) {
    spans[k] = DaySpans{};
    const DayLight flat = modelLight(source, sunDays[k], s).light;
    if (flat.toH > flat.fromH) {
      spans[k].spans[spans[k].count++] = flat;
    }
  }
}

// Works out the spans of `count` model days behind the skylines into the rows ahead, and their
// extremes: site by site, so that each site's skyline is read once for them all, not once a day.
void spansOfDays(LightSource& source, const ModelSunDay* sunDays, std::size_t count) {
  std::vector<SitesSpans>& rows = source.skylineRowsAhead;
  rows.resize(kSkylineDaysAhead);
  std::array<ColumnsLight, kSkylineDaysAhead>& extremes = source.skylineExtremesAhead;
  for (std::size_t k = 0; k < count; ++k) {
    rows[k].clear();
    extremes[k] = ColumnsLight{};
  }
  std::array<DaySpans, kSkylineDaysAhead> daySpans;
  for (std::size_t s = 0; s < source.siteSkylines.size(); ++s) {
    if (s == 0 && source.places != nullptr) {
      for (std::size_t k = 0; k < count; ++k) {
        rows[k].add(DaySpans{});  // slot 0 is no column
      }
      continue;
    }
    siteSpansOfDays(source, sunDays, count, s, daySpans.data());
    for (std::size_t k = 0; k < count; ++k) {
      const DaySpans& spans = daySpans[k];
      rows[k].add(spans);
      if (s > 0 && spans.count == 0) {
        extremes[k].add(DayLight{0.0, 0.0});  // a column in the dark all day
      }
      for (std::size_t i = 0; i < spans.count; ++i) {
        extremes[k].add(spans.spans[i]);
      }
    }
  }
}

// Works out the spans of `date`'s day key behind the skylines, and of the keys of the fortnight
// after it that the year does not know yet, into the year. Keys the year has no room for stay
// unknown.
void skylineYearFrom(LightSource& source, std::int64_t date) {
  const double meridianDeg = static_cast<double>(source.params->referenceMeridianDeg);
  std::array<int, kSkylineDaysAhead> keys{};
  std::array<ModelSunDay, kSkylineDaysAhead> sunDays{};
  std::size_t count = 0;
  for (std::int64_t d = date; d < date + static_cast<std::int64_t>(kSkylineDaysAhead); ++d) {
    const std::optional<int> key = source.skylineYear.keyOf(source.model, d);
    if (key && !source.skylineYear.knows(key) &&
        std::find(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(count), *key) ==
            keys.begin() + static_cast<std::ptrdiff_t>(count)) {
      keys[count] = *key;
      sunDays[count++] = modelSunDay(source.model, d, meridianDeg);
    }
  }
  spansOfDays(source, sunDays.data(), count);
  source.skylineDatesAhead = 0;  // the rows ahead hold keys now, not dates
  for (std::size_t k = 0; k < count; ++k) {
    source.skylineYear.kept(keys[k], source.skylineRowsAhead[k]);
    if (source.skylineYear.knows(keys[k])) {
      source.skylineExtremes[static_cast<std::size_t>(keys[k])] = source.skylineExtremesAhead[k];
    }
  }
}

// Returns which of the rows ahead holds the spans of `date`, behind skylines whose year does not
// hold it (NOAA's sun, or no room): worked out, with the shortcuts with the fortnight after it,
// where they do not.
std::size_t skylineRowOf(LightSource& source, std::int64_t date) {
  if (!(date >= source.skylineDateAhead &&
        date - source.skylineDateAhead < static_cast<std::int64_t>(source.skylineDatesAhead))) {
    const double meridianDeg = static_cast<double>(source.params->referenceMeridianDeg);
    const std::size_t count = source.shortcuts ? kSkylineDaysAhead : 1;
    std::array<ModelSunDay, kSkylineDaysAhead> sunDays{};
    for (std::size_t k = 0; k < count; ++k) {
      sunDays[k] = modelSunDay(source.model, date + static_cast<std::int64_t>(k), meridianDeg);
    }
    spansOfDays(source, sunDays.data(), count);
    source.skylineDateAhead = date;
    source.skylineDatesAhead = count;
  }
  return static_cast<std::size_t>(date - source.skylineDateAhead);
}

// The daylight of a date by the run's model, at the run's place or at every column's, from the
// dates met last: a window's days come back in the next steps.
const ModelDays& modelDaysOf(LightSource& source, ModelDay day) {
  for (const ModelDays& known : source.modelDays) {
    if (known.date == day.date) {
      return known;
    }
  }
  ModelDays& oldest = source.modelDays[source.nextModelDay];
  source.nextModelDay = (source.nextModelDay + 1) % source.modelDays.size();
  oldest.date = day.date;
  const RunParameters& p = *source.params;
  // The declination and the equation of time once a date; each place takes only its hour angle.
  const ModelSunDay sunDay =
      modelSunDay(source.model, day.date, static_cast<double>(p.referenceMeridianDeg));
  const std::optional<int> key = source.skylineYear.keyOf(source.model, day.date);
  if (key && !source.siteSkylines.empty() && !source.skylineYear.knows(key)) {
    skylineYearFrom(source, day.date);
  }
  if (source.places == nullptr) {
    oldest.place = modelLight(source, sunDay, 0);
  } else if (source.siteSkylines.empty()) {  // behind skylines the columns' light is their spans
    // Each column's light: from the year's memo where the model's day key is known there.
    const std::size_t slots = source.places->solar.size();
    const std::optional<int> flatKey = source.flatYear.keyOf(source.model, day.date);
    const bool flatKnown = source.flatYear.knows(flatKey);
    DayLight* row = source.flatYear.rowOf(flatKey, oldest.columns, slots);
    if (flatKnown) {
      oldest.extremes = source.flatExtremes[static_cast<std::size_t>(*flatKey)];
    } else {
      std::vector<SunSpan>& spans = source.columnSunSpans;
      spans.resize(slots);
      modelSunSpansAt(sunDay, source.modelSites.data() + 1, slots - 1, source.sinElevation,
                      spans.data() + 1);
      ColumnsLight extremes;  // in registers, not stored at every column
      for (std::size_t c = 1; c < slots; ++c) {
        row[c] = dayOfLight(spans[c]).light;
        extremes.add(row[c]);
      }
      oldest.extremes = extremes;
      if (flatKey) {
        source.flatExtremes[static_cast<std::size_t>(*flatKey)] = oldest.extremes;
      }
    }
    oldest.columnLights = row;
  }
  if (!source.siteSkylines.empty()) {
    if (source.skylineYear.knows(key)) {
      oldest.spans = &source.skylineYear.of(*key);
      oldest.spanExtremes = source.skylineExtremes[static_cast<std::size_t>(*key)];
    } else {
      // The rows ahead are worked out again as the dates go on: the date keeps its own.
      const std::size_t k = skylineRowOf(source, day.date);
      oldest.ownSpans = source.skylineRowsAhead[k];
      oldest.spanExtremes = source.skylineExtremesAhead[k];
      oldest.spans = &oldest.ownSpans;
    }
  }
  return oldest;
}

}  // namespace

DayOfLight placeLight(LightSource& source, ModelDay day) {
  if (!source.ownModel) {
    return modelDaysOf(source, day).place;
  }
  const RunParameters& p = *source.params;
  const auto compute = [&] {
    if (!isValidMonth(day.month)) {
      return DayOfLight{{0.0, 0.0}, {0.0, 0.0}};  // no stamp with such a month reaches a step
    }
    return lightAt(solarDay(day.day, day.month),
                   solarPlace(p.latitudeDeg, p.longitudeDeg, p.referenceMeridianDeg));
  };
  return source.shortcuts ? rememberedForDay(source.placeDays, day.day, day.month, compute)
                          : compute();
}

void LightSum::add(const DayOfLight& day, std::int64_t offset, double fromH, double toH) {
  const double ownH = lightWithin(day.light, fromH, toH);
  const double hours =
      hasBefore ? ownH - std::min(lightShared(day.light, before, fromH, toH), ownH) : ownH;
  light.hours += hours;
  if (offset == 0) {
    light.stampDayDiffers = !day.stampArithmetic || ownH != lightWithin(day.asStampDay, fromH, toH);
  } else {
    light.otherDaysH += hours;
  }
  before = day.light;
  hasBefore = true;
}

void SpanSum::add(SpanList day, std::int64_t offset, double fromH, double toH) {
  const double ownH = spansWithin(day, fromH, toH);
  const double hours = ownH - std::min(spansShared(day, before, fromH, toH), ownH);
  light.hours += hours;
  if (offset == 0) {
    light.stampDayDiffers = true;  // the step's own arithmetic knows no skyline
  } else {
    light.otherDaysH += hours;
  }
  before.count = std::min(day.count, kMostDaySpans);
  std::copy(day.first, day.first + before.count, before.spans.begin());
}

std::optional<WindowLight> windowLight(LightSource& source, const RecordStamp& stamp, double startH,
                                       double endH) {
  if (!source.siteSkylines.empty()) {
    SpanSum sum;
    if (!forEachDayOfWindow(
            stamp, startH, endH,
            [&](ModelDay day, std::int64_t offset, double fromH, double toH) {
              sum.add(modelDaysOf(source, day).spans->of(0), offset, fromH, toH);
            },
            source.reach)) {
      return std::nullopt;
    }
    return sum.light;
  }
  LightSum sum;
  if (!forEachDayOfWindow(
          stamp, startH, endH,
          [&](ModelDay day, std::int64_t offset, double fromH, double toH) {
            sum.add(placeLight(source, day), offset, fromH, toH);
          },
          source.reach)) {
    return std::nullopt;
  }
  return sum.light;
}

DayExtremes workOutColumnDay(const std::vector<SolarPlace>& solar, std::int32_t day,
                             std::int32_t month, SunTimes* values) {
  const SolarDay solarOfDay = solarDay(day, month);
  DayExtremes x{24.0, 0.0, 24.0, 0.0, false};
  for (std::size_t c = 1; c < solar.size(); ++c) {
    const SunTimes sun = sunTimesAt(solarOfDay, solar[c]);
    values[c] = sun;
    const double riseH = sun.sunriseH < 0.0 ? 0.0 : sun.sunriseH;
    const double setH = sun.sunsetH < 0.0 ? 24.0 : sun.sunsetH;
    x.earliestRiseH = std::min(x.earliestRiseH, riseH);
    x.latestRiseH = std::max(x.latestRiseH, riseH);
    x.earliestSetH = std::min(x.earliestSetH, setH);
    x.latestSetH = std::max(x.latestSetH, setH);
    x.anyBeforeMidnight |= sun.sunriseH < 0.0 || sun.sunsetH < 0.0;
  }
  return x;
}

const SunTimes* columnYearDay(ColumnYear& year, const std::vector<SolarPlace>& solar,
                              std::int32_t day, std::int32_t month, const DayExtremes** extremes) {
  constexpr std::size_t kDays = 12 * 31;
  const std::size_t slots = solar.size();
  if (day < 1 || day > 31 || !isValidMonth(month) ||
      slots * sizeof(SunTimes) * kDays > kColumnYearBytes) {
    return nullptr;
  }
  if (year.known.empty()) {
    year.known.assign(kDays, 0);
    year.extremes.assign(kDays, DayExtremes{});
    year.days.resize(slots * kDays);
  }
  const auto index = static_cast<std::size_t>((month - 1) * 31 + (day - 1));
  SunTimes* row = &year.days[index * slots];
  if (year.known[index] == 0) {
    year.extremes[index] = workOutColumnDay(solar, day, month, row);
    year.known[index] = 1;
  }
  *extremes = &year.extremes[index];
  return row;
}

double* columnYearFractions(ColumnYear& year, std::size_t slots, std::int32_t day,
                            std::int32_t month, double startH, double endH, bool& known) {
  constexpr std::size_t kDays = 12 * 31;
  if (day < 1 || day > 31 || !isValidMonth(month) ||
      slots * (sizeof(SunTimes) + sizeof(double)) * kDays > kColumnYearBytes) {
    return nullptr;
  }
  if (year.fractions.empty()) {
    year.fractions.resize(slots * kDays);
    year.fractionWindow.assign(2 * kDays, std::nan(""));
  }
  const auto index = static_cast<std::size_t>((month - 1) * 31 + (day - 1));
  double* window = &year.fractionWindow[2 * index];
  known = window[0] == startH && window[1] == endH;
  window[0] = startH;
  window[1] = endH;
  return &year.fractions[index * slots];
}

namespace {

// Returns each column's sun times of a day from the days met last, working them out into the
// oldest of them when the day is not among them.
const SunTimes* recentColumnDay(LightSource& source, ModelDay day) {
  for (ColumnDay<SunTimes>& recent : source.recentDays) {
    if (!recent.values.empty() && recent.day == day.day && recent.month == day.month) {
      return recent.values.data();
    }
  }
  ColumnDay<SunTimes>& oldest = source.recentDays[source.nextRecent];
  source.nextRecent = (source.nextRecent + 1) % source.recentDays.size();
  holdsColumnDay(oldest, day.day, day.month, source.places->solar.size());
  workOutColumnDay(source.places->solar, day.day, day.month, oldest.values.data());
  return oldest.values.data();
}

}  // namespace

bool windowLightOfColumns(LightSource& source, const RecordStamp& stamp, double startH, double endH,
                          std::size_t columns, WindowLight* light, const unsigned char* needed) {
  const std::vector<SolarPlace>& solar = source.places->solar;
  std::vector<LightSum>& sums = source.columnSums;
  sums.assign(columns + 1, LightSum{});
  if (!source.siteSkylines.empty()) {
    source.columnSpans.assign(columns + 1, SpanSum{});
  }
  // Day by day: the day's sun times from the year's table where it is kept, else the day's part
  // of the sun model worked out once for every column.
  const bool split = forEachDayOfWindow(
      stamp, startH, endH,
      [&](ModelDay day, std::int64_t offset, double fromH, double toH) {
        if (!isValidMonth(day.month)) {
          return;
        }
        if (!source.siteSkylines.empty()) {
          const SitesSpans& spans = *modelDaysOf(source, day).spans;
          for (std::size_t c = 1; c <= columns; ++c) {
            if (needed == nullptr || needed[c] != 0) {
              source.columnSpans[c].add(spans.of(c), offset, fromH, toH);
            }
          }
          return;
        }
        if (!source.ownModel) {
          const DayLight* lights = modelDaysOf(source, day).columnLights;
          for (std::size_t c = 1; c <= columns; ++c) {
            if (needed == nullptr || needed[c] != 0) {
              sums[c].add(DayOfLight{lights[c], {0.0, 0.0}, false}, offset, fromH, toH);
            }
          }
          return;
        }
        const DayExtremes* extremes = nullptr;
        const SunTimes* row = nullptr;
        if (source.shortcuts) {
          row = columnYearDay(source.columnYear, solar, day.day, day.month, &extremes);
          if (row == nullptr) {
            row = recentColumnDay(source, day);
          }
        }
        std::optional<SolarDay> solarOfDay;
        for (std::size_t c = 1; c <= columns; ++c) {
          if (needed != nullptr && needed[c] == 0) {
            continue;
          }
          // A day whose light cannot reach the window at this column's place adds nothing, and
          // shares nothing in it with the next day (a network across the world's meridians
          // reaches 5 days a window, most columns 2 of them).
          if (c < source.columnReach.size() &&
              !(toH > source.columnReach[c].fromH && fromH < source.columnReach[c].toH)) {
            sums[c].hasBefore = false;
            continue;
          }
          if (!solarOfDay && (row == nullptr || row[c].sunriseH < 0.0)) {
            solarOfDay = solarDay(day.day, day.month);
          }
          const DayOfLight dayLight =
              row == nullptr ? lightAt(*solarOfDay, solar[c])
                             : dayOfLight(row[c], row[c].sunriseH < 0.0 &&
                                                      sunNeverRisesAt(*solarOfDay, solar[c]));
          sums[c].add(dayLight, offset, fromH, toH);
        }
      },
      source.reach);
  for (std::size_t c = 1; c <= columns; ++c) {
    light[c] = source.siteSkylines.empty() ? sums[c].light : source.columnSpans[c].light;
  }
  return split;
}

namespace {

// The extremes of a day's light over the columns: of their spans behind skylines, else of their
// flat light.
const ColumnsLight& columnsLightOf(const LightSource& source, const ModelDays& day) {
  return source.siteSkylines.empty() ? day.extremes : day.spanExtremes;
}

}  // namespace

ModelWindow modelWindowOfColumns(LightSource& source, const RecordStamp& stamp, double startH,
                                 double endH, std::size_t columns, WindowLight* light) {
  if (!isValidMonth(stamp.month)) {
    return ModelWindow::kAcrossDays;
  }
  // The days the window may reach by the bounds of the year, each tried by the extremes of its
  // own light: a daily step ending at 01:00 reaches the next day's first hour, where no column
  // has light.
  const ModelDays* own = nullptr;
  bool reached = false;
  const bool split = forEachDayOfWindow(
      stamp, startH, endH,
      [&](ModelDay day, std::int64_t offset, double fromH, double toH) {
        const ModelDays& known = modelDaysOf(source, day);
        if (offset == 0) {
          own = &known;
        } else {
          const ColumnsLight& x = columnsLightOf(source, known);
          reached |= toH > x.earliestFromH && fromH < x.latestToH;
        }
      },
      source.reach);
  if (!split || reached || own == nullptr) {
    return ModelWindow::kAcrossDays;
  }
  const ModelDays& known = *own;
  // The window's light is each column's within it, as a window of days sums it: no other day
  // adds or shares any of it.
  const ColumnsLight& x = columnsLightOf(source, known);
  if (startH >= x.latestFromH && endH <= x.earliestToH) {
    return ModelWindow::kAllLit;
  }
  if (endH <= x.earliestFromH || startH >= x.latestToH) {
    return ModelWindow::kAllDark;
  }
  if (!source.siteSkylines.empty()) {
    for (std::size_t c = 1; c <= columns; ++c) {
      light[c] = WindowLight{0.0 + spansWithin(known.spans->of(c), startH, endH), 0.0, true};
    }
    return ModelWindow::kMixed;
  }
  const DayLight* lights = known.columnLights;
  for (std::size_t c = 1; c <= columns; ++c) {
    light[c] = WindowLight{0.0 + lightWithin(lights[c], startH, endH), 0.0, true};
  }
  return ModelWindow::kMixed;
}

namespace {

// Bounds on a place's sun times over the year: the earliest sunrise and the latest sunset, or a
// polar day somewhere in the year.
struct YearOfSun {
  bool polar;
  double earliestRiseH;
  double latestSetH;
};

YearOfSun yearOfSun(const SolarPlace& place) {
  // Sunrise in apparent solar time is earliest on the longest day (declination 23.4 degrees
  // towards the place's pole); the equation of time moves it by no more than the table's
  // extremes.
  constexpr double kMostDeclinationRad = kPi * 23.4 / 180.0;
  const double x = std::fabs(place.tanLatitude) * std::tan(kMostDeclinationRad);
  const auto [least, most] =
      std::minmax_element(kEquationOfTimeMin.begin() + 1, kEquationOfTimeMin.end());
  const double leastEquationH = static_cast<double>(*least) / 60.0;
  const double mostEquationH = static_cast<double>(*most) / 60.0;
  const double riseH = x >= 1.0 ? 0.0 : std::acos(x) * (12.0 / kPi);
  return {!(x < 1.0), place.meridianShiftH + riseH - mostEquationH,
          place.meridianShiftH + (24.0 - riseH) - leastEquationH};
}

}  // namespace

void widenLightBounds(LightBounds& bounds, const SolarPlace& place) {
  const YearOfSun year = yearOfSun(place);
  if (year.polar) {                                      // a polar day: light from 0 to 24
    bounds.earliestH = std::min(bounds.earliestH, 0.0);  // a place before it may light earlier
    bounds.latestH = std::max(bounds.latestH, 24.0);
  }
  bounds.earliestH = std::min(bounds.earliestH, year.earliestRiseH);
  bounds.latestH = std::max(bounds.latestH, year.latestSetH);
  if (!std::isfinite(year.earliestRiseH) || !std::isfinite(year.latestSetH)) {
    bounds.earliestH = 0.0;
    bounds.latestH = 48.0;
  }
  // A light that passes midnight reaches the next day's first hours: no window is served then.
  // A sunrise before midnight lights the day before's last hours, which bound the windows served
  // there.
  bounds.servedFromH = bounds.latestH < 24.0 ? bounds.latestH - 24.0 : HUGE_VAL;
  bounds.servedToH = 24.0 + std::min(bounds.earliestH, 24.0);
}

void startModelLight(LightSource& source, LightBounds& bounds,
                     std::vector<LightBounds>& columnBounds, bool behindSkylines) {
  bounds.servedFromH = HUGE_VAL;
  for (LightBounds& column : columnBounds) {
    column.servedFromH = HUGE_VAL;
  }
  const RunParameters& p = *source.params;
  const auto siteOf = [&p](float latitudeDeg, float longitudeDeg) {
    return modelSite({static_cast<double>(latitudeDeg), static_cast<double>(longitudeDeg),
                      static_cast<double>(p.referenceMeridianDeg)});
  };
  // Any model's day lies within half its longest day of its solar noon, which the equation of
  // time (or FAO-56's seasonal correction) moves by less than 20 minutes from the meridian's
  // noon; the longest day is the one of the largest declination towards the place's pole, no
  // model's above 23.5 degrees, at the run's elevation (a skyline only shortens it).
  const auto reachAt = [&source](const ModelSite& site) {
    constexpr double kNoonSpreadH = 0.5;
    constexpr double kMostDeclinationRad = 23.5 * 3.14159265358979323846 / 180.0;
    const double cosHourAngle =
        (source.sinElevation - std::fabs(site.sinLatitude) * std::sin(kMostDeclinationRad)) /
        (site.cosLatitude * std::cos(kMostDeclinationRad));
    const double halfDayH =
        cosHourAngle > -1.0 ? std::acos(std::min(cosHourAngle, 1.0)) / 3.14159265358979323846 * 12.0
                            : 12.0;
    const double noonH = 12.0 + (site.place.meridianDeg - site.place.longitudeDeg) / 15.0;
    return DayReach{std::min(0.0, noonH - halfDayH - kNoonSpreadH),
                    std::max(24.0, noonH + halfDayH + kNoonSpreadH)};
  };
  source.sinElevation = sinOfElevation(source.elevationDeg);
  if (source.places != nullptr && !behindSkylines) {
    source.flatYear.keep(source.places->solar.size(), source.model, source.shortcuts);
    if (!source.flatYear.values.empty()) {
      source.flatExtremes.assign(kModelDayKeys, ColumnsLight{});
    }
  }
  source.modelSites.assign(1, siteOf(p.latitudeDeg, p.longitudeDeg));
  source.reach = reachAt(source.modelSites[0]);
  if (source.places != nullptr) {
    const std::vector<float>& placeDeg = source.places->placeDeg;
    source.reach = DayReach{0.0, 24.0};
    for (std::size_t c = 1; c < source.places->solar.size(); ++c) {
      source.modelSites.push_back(siteOf(placeDeg[2 * c], placeDeg[2 * c + 1]));
      source.columnReach[c] = reachAt(source.modelSites[c]);
      source.reach.fromH = std::min(source.reach.fromH, source.columnReach[c].fromH);
      source.reach.toH = std::max(source.reach.toH, source.columnReach[c].toH);
    }
  }
}

void startSkylines(LightSource& source, const HorizonTable& horizon) {
  source.skylineOffsetDeg = defaultSunElevationDeg(source.model);
  source.siteSkylines.assign(source.modelSites.size(), std::nullopt);
  source.skylineTables = tableArena();
  source.skylineYear.keep(source.model, source.shortcuts, source.skylineTables.get());
  if (!source.skylineYear.days.empty()) {
    source.skylineExtremes.assign(kModelDayKeys, ColumnsLight{});
  }
  const auto skylineOf = [&source](std::size_t s, const HorizonProfile* profile) {
    if (profile != nullptr) {
      source.siteSkylines[s].emplace(siteSkyline(source.modelSites[s], source.elevationDeg,
                                                 *profile, source.skylineOffsetDeg,
                                                 source.skylineTables.get()));
    }
  };
  if (source.places == nullptr) {
    skylineOf(0, horizon.everyColumn ? &*horizon.everyColumn : nullptr);
    return;
  }
  for (std::size_t c = 1; c < source.siteSkylines.size(); ++c) {
    skylineOf(c, horizon.of(source.places->stations[c]));
  }
}

DayReach reachOf(const LightBounds& bounds) {
  // Half an hour beyond the bounds, which are worked out from the year's extremes, not its days.
  constexpr double kMarginH = 0.5;
  if (!std::isfinite(bounds.earliestH) || !std::isfinite(bounds.latestH)) {
    return {};
  }
  return {std::min(bounds.earliestH, 0.0) - kMarginH, std::max(bounds.latestH, 24.0) + kMarginH};
}

bool alwaysRises(const SolarPlace& place) {
  const YearOfSun year = yearOfSun(place);
  return !year.polar && year.earliestRiseH > 0.0;
}

}  // namespace kelvarin
