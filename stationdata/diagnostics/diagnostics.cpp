#include "diagnostics/diagnostics.hpp"

#include <algorithm>  // std::clamp, std::max, std::min
#include <chrono>
#include <cinttypes>  // PRIu64
#include <cmath>      // std::fabs, std::isfinite, std::round

#include "step/daylight.hpp"  // stampDay
#include "step/results.hpp"   // kUpperClip, kLowerClip

namespace kelvarin {

namespace {

constexpr char kShifted[] = "steps are counted by records, so every later step is shifted";
constexpr char kAbsentInPeriod[] = "records absent from a calendar period count as missing in it";
constexpr char kRepeatInPeriod[] =
    "a record that repeats the stamp before it is not added to its calendar period again";
constexpr char kBackInPeriod[] =
    "a record is taken into the calendar period being read; one of a period already written "
    "ends the run";

// What a stamp anomaly of the kind `count` (nothing: of every kind met) does to the steps.
std::string stampConsequence(const Diagnostics& d, const std::uint64_t* count) {
  if (d.params.outputPeriod == CalendarPeriod::kNone) {
    return kShifted;
  }
  if (count == &d.repeated) {
    return kRepeatInPeriod;
  }
  if (count == &d.backwards) {
    return kBackInPeriod;
  }
  if (count != nullptr) {
    return kAbsentInPeriod;
  }
  std::string all;
  const auto add = [&all](bool met, const char* consequence) {
    if (met) {
      all += (all.empty() ? "" : "; ") + std::string(consequence);
    }
  };
  add(d.gaps + d.offGrid > 0, kAbsentInPeriod);
  add(d.repeated > 0, kRepeatInPeriod);
  add(d.backwards > 0, kBackInPeriod);
  return all;
}
constexpr char kLikelyCauses[] =
    "check the time shift, the meridian and the longitude, the latitude, the input step, and that "
    "each hour marks the end of its interval (daily values belong at hour 24)";

// The causes a warning of the data against the sun names: with a possible sunshine chosen by
// option, that choice too.
std::string likelyCauses(const Diagnostics& diagnostics) {
  return diagnostics.chosenSky
             ? std::string(kLikelyCauses) +
                   ", and the possible sunshine chosen (--sun-model, --sun-elevation, --horizon)"
             : std::string(kLikelyCauses);
}

std::string describe(const RecordStamp& stamp) {
  char text[96];
  std::snprintf(text, sizeof text, "%d %d %d %g", stamp.year, stamp.month, stamp.day,
                static_cast<double>(stamp.hourH));
  return text;
}

// "1 gap", "2 gaps".
std::string counted(std::uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string lineText(std::uint64_t line) {
  char text[32];
  std::snprintf(text, sizeof text, "line %" PRIu64, line);
  return text;
}

// An anomaly at `line`: with strict the run's fault, otherwise a warning when `show` is set.
bool raise(Diagnostics& diagnostics, std::uint64_t line, const std::string& what, bool show) {
  if (diagnostics.strict) {
    diagnostics.fault = ReadFault{line, {}, what};
    return false;
  }
  if (show) {
    sayWarning(diagnostics.console, lineText(line) + ": " + what);
  }
  return true;
}

// "column 3", or "column 3 (station 10384)" where the columns have places of their own.
std::string columnText(const Diagnostics& diagnostics, std::size_t column) {
  std::string text = "column " + std::to_string(column);
  if (column < diagnostics.stations.size()) {
    text += " (station " + std::to_string(diagnostics.stations[column]) + ")";
  }
  return text;
}

std::string first(const Diagnostics& diagnostics, const AnomalyCount& anomaly) {
  return "first: " + lineText(anomaly.line) + ", " + describe(anomaly.stamp) + ", " +
         columnText(diagnostics, anomaly.column);
}

SunSpan realSkyDay(Diagnostics& diagnostics, std::int32_t day, std::int32_t month) {
  const RunParameters& p = diagnostics.params;
  // Once per day of the year and run: the trigonometry would otherwise cost as much as a step.
  return rememberedForDay(diagnostics.realSkyDays, day, month, [&] {
    return sunAboveAltitude(day, month, p.latitudeDeg, p.longitudeDeg, p.referenceMeridianDeg,
                            kRealSkyAltitudeDeg);
  });
}

}  // namespace

Diagnostics makeDiagnostics(const RunConsole& console, const RunParameters& params, bool strict) {
  Diagnostics diagnostics;
  diagnostics.console = console;
  diagnostics.params = params;
  diagnostics.strict = strict;
  return diagnostics;
}

std::optional<double> stampMinutes(const RecordStamp& stamp) {
  const std::optional<std::chrono::sys_days> day = stampDay(stamp);
  if (!day || !std::isfinite(stamp.hourH)) {
    return std::nullopt;
  }
  return static_cast<double>(day->time_since_epoch().count()) * 1440.0 +
         static_cast<double>(stamp.hourH) * 60.0;
}

namespace {

// Half a unit of the last decimal an hour is written with, in minutes: a stamp rounded to the
// decimals it is written with lies up to that far from its true time ("0.17" for 10 minutes is
// 0.2 minutes late). A whole hour is exact; the float's own precision is allowed for.
double roundingMin(float hourH) {
  const double hour = static_cast<double>(hourH);
  if (!std::isfinite(hour) || hour == std::floor(hour)) {
    return 0.0;
  }
  double scale = 10.0;
  for (int decimals = 1; decimals <= 6; ++decimals, scale *= 10.0) {
    const double scaled = hour * scale;
    if (std::fabs(scaled - std::round(scaled)) <= std::fabs(scaled) * 0x1p-23) {
      return 0.5 / scale * 60.0;
    }
  }
  return 0.0;
}

// What is wrong with a stamp `apartMin` after the one before, where one input step was due.
struct StampAnomaly {
  std::uint64_t* count;
  double steps;  // whole steps apart, for a gap
};

StampAnomaly classify(Diagnostics& d, double apartMin, double stepMin, double toleranceMin) {
  const double steps = std::round(apartMin / stepMin);
  if (std::fabs(apartMin) <= toleranceMin) {
    return {&d.repeated, 0.0};
  }
  if (apartMin < 0.0) {
    return {&d.backwards, 0.0};
  }
  if (std::fabs(apartMin - steps * stepMin) <= toleranceMin) {
    return {&d.gaps, steps};
  }
  return {&d.offGrid, 0.0};
}

// The words of a stamp anomaly: only built for one that is shown or ends the run.
std::string describeAnomaly(const Diagnostics& d, const StampAnomaly& anomaly,
                            const RecordStamp& stamp, const RecordStamp& earlier, double apartMin,
                            double stepMin) {
  std::string what = "time stamp " + describe(stamp);
  if (anomaly.count == &d.repeated) {
    what += " repeats the one before";
  } else if (anomaly.count == &d.backwards) {
    what += " goes back from " + describe(earlier);
  } else if (anomaly.count == &d.gaps) {
    const auto missing = static_cast<std::uint64_t>(std::min(anomaly.steps - 1.0, 1e18));
    what +=
        " follows " + describe(earlier) + ": " + counted(missing, "record", "records") + " missing";
  } else {
    char apart[160];
    std::snprintf(apart, sizeof apart, " lies %g min after %s, not one input step (%g min)",
                  apartMin, describe(earlier).c_str(), stepMin);
    what += apart;
  }
  return what + "; " + stampConsequence(d, anomaly.count);
}

}  // namespace

bool checkStampAgainstCalendar(Diagnostics& diagnostics, const RecordStamp& stamp,
                               std::uint64_t line) {
  const std::optional<double> minutes =
      onSameDay(diagnostics, stamp) ? minutesOnSameDay(diagnostics, stamp) : stampMinutes(stamp);
  const std::optional<double> before = diagnostics.previousMinutes;
  const RecordStamp earlier = diagnostics.previous;
  diagnostics.previousMinutes = minutes;
  diagnostics.previous = stamp;
  if (!minutes || !before) {
    return true;
  }
  const double stepMin = static_cast<double>(diagnostics.params.inputStepMin);
  const double apartMin = *minutes - *before;
  // Float hours carry a few millionths of an hour of rounding (10-minute steps are 0.1666667 h):
  // a hundredth of the step is far above that and far below any real gap. Hours written with
  // few decimals are rounded by half their last decimal, each: allowed too, up to a quarter of
  // the step, where a missing record still stands out.
  const double toleranceMin =
      stepMin / 100.0 +
      std::min(roundingMin(stamp.hourH) + roundingMin(earlier.hourH), stepMin / 4.0);
  if (std::fabs(apartMin - stepMin) <= toleranceMin) {
    return true;
  }
  const StampAnomaly anomaly = classify(diagnostics, apartMin, stepMin, toleranceMin);
  ++*anomaly.count;
  if (anomaly.count == &diagnostics.gaps) {
    diagnostics.missingRecords += static_cast<std::uint64_t>(std::min(anomaly.steps - 1.0, 1e18));
  }
  // Past the ones shown an anomaly is only counted: no words, no allocation.
  const bool show = stampAnomalies(diagnostics) <= kStampAnomaliesShown;
  if (!show && !diagnostics.strict) {
    return true;
  }
  return raise(diagnostics, line,
               describeAnomaly(diagnostics, anomaly, stamp, earlier, apartMin, stepMin), show);
}

double possibleSunshineMin(const SunSpan& span, double startH, double endH, double reachH) {
  if (!(span.toH > span.fromH)) {
    return 0.0;
  }
  double hours = 0.0;
  for (int dayOffset = -1; dayOffset <= 1; ++dayOffset) {
    double fromH = span.fromH + 24.0 * dayOffset - kRealSkyPadH;
    double toH = span.toH + 24.0 * dayOffset + kRealSkyPadH;
    if (dayOffset != 0) {
      fromH = std::max(fromH, -reachH);
      toH = std::min(toH, 24.0 + reachH);
    }
    hours += std::max(0.0, std::min(endH, toH) - std::max(startH, fromH));
  }
  return std::min(hours, endH - startH) * 60.0;
}

namespace {

// Counts an anomaly of a step's column; the message is only worded when strict makes it the
// fault. Returns false then.
bool note(Diagnostics& diagnostics, AnomalyCount& kind, const StepPlace& place, std::size_t column,
          const std::string& what) {
  if (kind.count++ == 0) {
    kind.line = place.line;
    kind.stamp = place.stamp;
    kind.column = column;
  }
  return !diagnostics.strict || raise(diagnostics, place.line,
                                      columnText(diagnostics, column) + " of the step ending " +
                                          describe(place.stamp) + " " + what,
                                      false);
}

// The real sky's day at a column's own place: once a day and column, as sun times are.
SunSpan columnSkyDay(Diagnostics& d, const StepPlace& place) {
  // A daily run of 5000 columns met a result of 1 in a few columns each day, each worked out with
  // all seven sines, cosines and arc cosines: the day's and the column's parts are kept apart.
  if (!holdsColumnDay(d.columnSky, place.stamp.day, place.stamp.month, d.stations.size())) {
    d.columnSkyDay = skyDay(place.stamp.day, place.stamp.month);
  }
  d.columnSkyPlaces.resize(d.stations.size());
  std::optional<SkyPlace>& own = d.columnSkyPlaces[place.column];
  if (!own) {
    own = skyPlace(place.placeDeg[0], place.placeDeg[1], d.params.referenceMeridianDeg);
  }
  static const double sinRealSky = sinOfAltitude(kRealSkyAltitudeDeg);
  return columnDayValue(d.columnSky, place.column,
                        [&] { return sunAboveAltitudeAt(d.columnSkyDay, *own, sinRealSky); });
}

// The real sky's sunshine in a window, each part of it on its own day.
double windowSkyMin(Diagnostics& d, const StepPlace& place) {
  double minutes = 0.0;
  const bool split = forEachDayOfWindow(
      place.stamp, place.startH, place.endH,
      [&](ModelDay day, std::int64_t, double relativeFromH, double relativeToH) {
        const double fromH = std::max(relativeFromH, 0.0);
        const double toH = std::min(relativeToH, 24.0);
        if (!(toH > fromH)) {
          return;
        }
        const SunSpan span =
            place.placeDeg == nullptr
                ? realSkyDay(d, day.day, day.month)
                : sunAboveAltitude(day.day, day.month, place.placeDeg[0], place.placeDeg[1],
                                   d.params.referenceMeridianDeg, kRealSkyAltitudeDeg);
        minutes += possibleSunshineMin(span, fromH, toH, 0.0);
      });
  return split ? minutes : (place.endH - place.startH) * 60.0;
}

}  // namespace

double sunshineLimitMin(Diagnostics& diagnostics, StepPlace& place) {
  if (place.limitMin >= 0.0) {
    return place.limitMin;
  }
  if (place.wholeWindow) {
    place.limitMin = windowSkyMin(diagnostics, place) + kSunshineToleranceMin;
    return place.limitMin;
  }
  // A window may cross midnight by the time shift and one hour (hour 24 stored in UTC is 1 at
  // night in central Europe); the neighbouring days' sun counts that far, and no farther, so
  // that a daily value stamped at hour 0 still meets the night the model gives it.
  const double reachH = std::fabs(static_cast<double>(diagnostics.params.timeShiftH)) + 1.0;
  const SunSpan day = place.placeDeg == nullptr
                          ? realSkyDay(diagnostics, place.stamp.day, place.stamp.month)
                          : columnSkyDay(diagnostics, place);
  place.limitMin =
      possibleSunshineMin(day, place.startH, place.endH, reachH) + kSunshineToleranceMin;
  return place.limitMin;
}

bool checkNightStep(Diagnostics& diagnostics, const double* sums, std::size_t columns,
                    StepPlace& place) {
  for (std::size_t c = 1; c <= columns; ++c) {
    // No limit is below the tolerance: most night sums are 0 and are passed over right here.
    if (sums[c] > kSunshineToleranceMin) {
      const std::uint64_t before = diagnostics.sunDown.count;
      if (!checkNightColumn(diagnostics, sums[c], c, place)) {
        return false;
      }
      if (diagnostics.sunDown.count != before) {
        return true;  // counted once a step, by its first such column
      }
    }
  }
  return true;
}

bool checkNightColumn(Diagnostics& diagnostics, double sumMin, std::size_t column,
                      StepPlace& place) {
  if (sumMin > sunshineLimitMin(diagnostics, place)) {
    return note(
        diagnostics, diagnostics.sunDown, place, column,
        "holds sunshine while the sun model has the sun down; " + likelyCauses(diagnostics));
  }
  return true;
}

bool checkDayResult(Diagnostics& diagnostics, double sumMin, double result, std::size_t column,
                    StepPlace& place) {
  if (result >= kUpperClip && sumMin > sunshineLimitMin(diagnostics, place)) {
    return note(diagnostics, diagnostics.tooMuch, place, column,
                "holds more sunshine than the step allows; " + likelyCauses(diagnostics));
  }
  if (result < 0.0 && result >= kLowerClip) {
    return note(diagnostics, diagnostics.negative, place, column,
                "gives negative sunshine; if it is a missing value, it has not been marked -9999");
  }
  return true;
}

bool checkStepEnd(Diagnostics& diagnostics, const StepPlace& place, SunTimes sun) {
  if (diagnostics.toldStepEnd || !sunUpAtStepEnd(stepEndOfDayH(place), sun)) {
    return true;
  }
  diagnostics.toldStepEnd = true;
  char hours[64];
  std::snprintf(hours, sizeof hours, "%g (local %g)", static_cast<double>(place.stamp.hourH),
                place.endH);
  return raise(diagnostics, place.line,
               std::string("steps of a day or more end at hour ") + hours +
                   ", while the sun is up (first: the step ending " + describe(place.stamp) +
                   "): each holds parts of two calendar days; start the file with the first "
                   "record of a day for steps of whole days",
               true);
}

void reportDiagnostics(const Diagnostics& d) {
  if (d.strict) {
    return;  // the first anomaly ended the run
  }
  if (stampAnomalies(d) > 0) {
    std::string kinds;
    const auto add = [&kinds](std::uint64_t n, const std::string& what) {
      if (n > 0) {
        kinds += (kinds.empty() ? "" : ", ") + what;
      }
    };
    add(d.gaps, counted(d.gaps, "gap", "gaps") + " with " +
                    counted(d.missingRecords, "record", "records") + " missing");
    add(d.repeated, std::to_string(d.repeated) + " repeated");
    add(d.backwards, std::to_string(d.backwards) + " going back");
    add(d.offGrid, std::to_string(d.offGrid) + " off the input step");
    sayWarning(d.console, counted(stampAnomalies(d), "time stamp anomaly", "time stamp anomalies") +
                              " in all (the first " + std::to_string(kStampAnomaliesShown) +
                              " shown): " + kinds + "; " + stampConsequence(d, nullptr));
  }
  if (d.sunDown.count > 0) {
    sayWarning(d.console, counted(d.sunDown.count, "step holds", "steps hold") +
                              " sunshine while the sun model has the sun down (" +
                              first(d, d.sunDown) + "); " + likelyCauses(d));
  }
  if (d.tooMuch.count > 0) {
    sayWarning(d.console, counted(d.tooMuch.count, "value exceeds", "values exceed") +
                              " the sunshine possible in the step and written as 1.000 (" +
                              first(d, d.tooMuch) + "); " + likelyCauses(d));
  }
  if (d.negative.count > 0) {
    sayWarning(d.console, counted(d.negative.count, "result", "results") +
                              " between -100 and 0, written as it is (" + first(d, d.negative) +
                              "): negative sunshine; if such results are missing values, they "
                              "have not been marked -9999");
  }
}

}  // namespace kelvarin
