#include "diagnostics.hpp"

#include <algorithm>  // std::clamp, std::max, std::min
#include <chrono>
#include <cinttypes>  // PRIu64
#include <cmath>      // std::fabs, std::isfinite, std::round

#include "step_loop.hpp"  // relativeSunshine, kLowerClip

namespace kelvarin {

namespace {

constexpr char kShifted[] = "steps are counted by records, so every later step is shifted";
constexpr char kLikelyCauses[] =
    "check the time shift, the meridian and the longitude, the latitude, the input step, and that "
    "each hour marks the end of its interval (daily values belong at hour 24)";

std::string describe(const RecordStamp& stamp) {
  char text[96];
  std::snprintf(text, sizeof text, "%d %d %d %g", stamp.year, stamp.month, stamp.day,
                static_cast<double>(stamp.hourH));
  return text;
}

std::string lineText(std::uint64_t line) {
  char text[32];
  std::snprintf(text, sizeof text, "line %" PRIu64, line);
  return text;
}

// An anomaly at `line`: with strict the run's fault, otherwise a warning when `show` is set.
bool raise(Diagnostics& diagnostics, std::uint64_t line, const std::string& what, bool show) {
  if (diagnostics.strict) {
    diagnostics.fault = "error reading input file: " + lineText(line) + ": " + what;
    return false;
  }
  if (show) {
    std::fprintf(diagnostics.console, "warning: %s: %s\n", lineText(line).c_str(), what.c_str());
  }
  return true;
}

// Counts one anomaly of a kind, remembering the first.
void count(AnomalyCount& anomaly, const StepPlace& place, std::size_t column) {
  if (anomaly.count++ == 0) {
    anomaly.line = place.line;
    anomaly.stamp = place.stamp;
    anomaly.column = column;
  }
}

std::string first(const AnomalyCount& anomaly) {
  return "first: " + lineText(anomaly.line) + ", " + describe(anomaly.stamp) + ", column " +
         std::to_string(anomaly.column);
}

SunSpan realSkyDay(Diagnostics& diagnostics, std::int32_t day, std::int32_t month) {
  const RunParameters& p = diagnostics.params;
  const auto compute = [&] {
    return sunAboveAltitude(day, month, p.latitudeDeg, p.longitudeDeg, p.referenceMeridianDeg,
                            kRealSkyAltitudeDeg);
  };
  if (month < 1 || month > 12 || day < 1 || day > 31) {
    return compute();
  }
  // Once per day of the year and run: the trigonometry would otherwise cost as much as a step.
  std::optional<SunSpan>& known =
      diagnostics.realSkyDays[static_cast<std::size_t>((month - 1) * 31 + (day - 1))];
  if (!known) {
    known = compute();
  }
  return *known;
}

}  // namespace

Diagnostics makeDiagnostics(std::FILE* console, const RunParameters& params, bool strict) {
  Diagnostics diagnostics;
  diagnostics.console = console;
  diagnostics.params = params;
  diagnostics.strict = strict;
  return diagnostics;
}

std::optional<double> stampMinutes(const RecordStamp& stamp) {
  using namespace std::chrono;
  // Far beyond any station file, and inside what the calendar types can count.
  constexpr std::int32_t kYearReach = 30000;
  constexpr std::int32_t kMonthReach = 1200;
  constexpr std::int32_t kDayReach = 100000;
  if (std::abs(stamp.year) > kYearReach || std::abs(stamp.month) > kMonthReach ||
      std::abs(stamp.day) > kDayReach || !std::isfinite(stamp.hourH)) {
    return std::nullopt;
  }
  const year_month month = year_month{year{stamp.year}, January} + months{stamp.month - 1};
  const sys_days day = sys_days{month / 1} + days{stamp.day - 1};
  return static_cast<double>(day.time_since_epoch().count()) * 1440.0 +
         static_cast<double>(stamp.hourH) * 60.0;
}

bool checkStamp(Diagnostics& diagnostics, const RecordStamp& stamp, std::uint64_t line) {
  const std::optional<double> minutes = stampMinutes(stamp);
  const std::optional<double> before = diagnostics.previousMinutes;
  const RecordStamp previous = diagnostics.previous;
  diagnostics.previousMinutes = minutes;
  diagnostics.previous = stamp;
  if (!minutes || !before) {
    return true;
  }
  const double stepMin = static_cast<double>(diagnostics.params.inputStepMin);
  const double apartMin = *minutes - *before;
  // Float hours carry a few millionths of an hour of rounding (10-minute steps are 0.1666667 h):
  // a hundredth of the step is far above that and far below any real gap.
  const double toleranceMin = stepMin / 100.0;
  if (std::fabs(apartMin - stepMin) <= toleranceMin) {
    return true;
  }
  std::string what = "time stamp " + describe(stamp);
  const double steps = std::round(apartMin / stepMin);
  if (std::fabs(apartMin) <= toleranceMin) {
    ++diagnostics.repeated;
    what += " repeats the one before";
  } else if (apartMin < 0.0) {
    ++diagnostics.backwards;
    what += " goes back from " + describe(previous);
  } else if (std::fabs(apartMin - steps * stepMin) <= toleranceMin) {
    const auto missing = static_cast<std::uint64_t>(std::min(steps - 1.0, 1e18));
    ++diagnostics.gaps;
    diagnostics.missingRecords += missing;
    what += " follows " + describe(previous) + ": " + std::to_string(missing) +
            (missing == 1 ? " record" : " records") + " missing";
  } else {
    ++diagnostics.offGrid;
    char apart[160];
    std::snprintf(apart, sizeof apart, " lies %g min after %s, not one input step (%g min)",
                  apartMin, describe(previous).c_str(), stepMin);
    what += apart;
  }
  what += std::string("; ") + kShifted;
  ++diagnostics.stampAnomalies;
  return raise(diagnostics, line, what, diagnostics.stampAnomalies <= kStampAnomaliesShown);
}

double possibleSunshineMin(const SunSpan& span, double startH, double endH) {
  if (!(span.toH > span.fromH)) {
    return 0.0;
  }
  double hours = 0.0;
  for (int dayOffset = -1; dayOffset <= 1; ++dayOffset) {
    const double fromH = span.fromH + 24.0 * dayOffset - kRealSkyPadH;
    const double toH = span.toH + 24.0 * dayOffset + kRealSkyPadH;
    hours += std::max(0.0, std::min(endH, toH) - std::max(startH, fromH));
  }
  return std::min(hours, endH - startH) * 60.0;
}

bool checkStep(Diagnostics& diagnostics, const double* sums, std::size_t columns,
               const StepPlace& place, double dayFraction) {
  const double limitMin =
      possibleSunshineMin(realSkyDay(diagnostics, place.stamp.day, place.stamp.month), place.startH,
                          place.endH) +
      kSunshineToleranceMin;
  const double outputStepMin = static_cast<double>(diagnostics.params.outputStepMin);
  bool sunDown = false;
  for (std::size_t c = 1; c <= columns; ++c) {
    const double sumMin = sums[c];
    if (sumMin > limitMin) {
      if (!(dayFraction > 0.0)) {
        if (!sunDown) {
          sunDown = true;
          count(diagnostics.sunDown, place, c);
          if (!raise(diagnostics, place.line,
                     "sunshine in column " + std::to_string(c) + " of the step ending " +
                         describe(place.stamp) + " while the sun model has the sun down; " +
                         kLikelyCauses,
                     false)) {
            return false;
          }
        }
      } else {
        count(diagnostics.tooMuch, place, c);
        if (!raise(diagnostics, place.line,
                   "column " + std::to_string(c) + " of the step ending " + describe(place.stamp) +
                       " holds more sunshine than the step allows; " + kLikelyCauses,
                   false)) {
          return false;
        }
      }
    } else if (sumMin < 0.0 && dayFraction > 0.0 &&
               relativeSunshine(sumMin, outputStepMin, dayFraction) >= kLowerClip) {
      count(diagnostics.negative, place, c);
      if (!raise(diagnostics, place.line,
                 "column " + std::to_string(c) + " of the step ending " + describe(place.stamp) +
                     " gives negative sunshine, written as it is",
                 false)) {
        return false;
      }
    }
  }
  return true;
}

void reportDiagnostics(const Diagnostics& d) {
  std::FILE* console = d.console;
  if (d.stampAnomalies > 0) {
    std::string kinds;
    const auto add = [&kinds](std::uint64_t n, const std::string& what) {
      if (n > 0) {
        kinds += (kinds.empty() ? "" : ", ") + std::to_string(n) + " " + what;
      }
    };
    add(d.gaps, "gaps with " + std::to_string(d.missingRecords) + " records missing");
    add(d.repeated, "repeated");
    add(d.backwards, "going back");
    add(d.offGrid, "off the input step");
    std::fprintf(console,
                 "warning: %" PRIu64 " time stamp anomalies in all (the first %d shown): %s; %s\n",
                 d.stampAnomalies, kStampAnomaliesShown, kinds.c_str(), kShifted);
  }
  if (d.sunDown.count > 0) {
    std::fprintf(console,
                 "warning: %" PRIu64
                 " steps hold sunshine while the sun model has the sun down (%s); %s\n",
                 d.sunDown.count, first(d.sunDown).c_str(), kLikelyCauses);
  }
  if (d.tooMuch.count > 0) {
    std::fprintf(console,
                 "warning: %" PRIu64
                 " values exceed the sunshine possible in their step and were written as 1.000 "
                 "(%s); %s\n",
                 d.tooMuch.count, first(d.tooMuch).c_str(), kLikelyCauses);
  }
  if (d.negative.count > 0) {
    std::fprintf(console,
                 "warning: %" PRIu64
                 " results between -100 and 0 were written as they are (%s): negative sunshine; "
                 "if they are missing values, they have not been marked -9999\n",
                 d.negative.count, first(d.negative).c_str());
  }
}

}  // namespace kelvarin
