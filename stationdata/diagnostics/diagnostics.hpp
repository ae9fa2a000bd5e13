// What the data say against the answers: gaps and repetitions in the time stamps, sunshine where
// the sun model has the sun down or more than it allows, negative results. None of it changes a
// result; each is a warning on the console, or with `strict` the fault that ends the run.
#pragma once

#include <array>
#include <cmath>    // std::fabs, std::isfinite
#include <cstddef>  // std::size_t
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "console.hpp"
#include "read_fault.hpp"
#include "record_stamp.hpp"
#include "run_parameters.hpp"
#include "solar.hpp"

namespace kelvarin {

/// How far the real sky's day reaches beyond the model's, for the sunshine checks. The model has
/// no refraction and times the sun's centre; a real sunrise comes when the centre is 0.833 degrees
/// below the horizon. One degree more covers the model's simple declination, and the pad its
/// interpolated equation of time.
inline constexpr double kRealSkyAltitudeDeg = -0.833 - 1.0;
inline constexpr double kRealSkyPadH = 5.0 / 60.0;
/// Sunshine a correct file can hold beyond the possible, from values rounded to a tenth of an hour.
inline constexpr double kSunshineToleranceMin = 6.0;
/// Time stamp anomalies printed in full; later ones are only counted.
inline constexpr int kStampAnomaliesShown = 5;

/// Where a step ended and what of it a message names.
struct StepPlace {
  RecordStamp stamp;  // of the step's last record, its hour as stored
  std::uint64_t line;
  double startH;  // the step's window in local hours
  double endH;
  double limitMin = -1.0;           // the most sunshine a correct file holds in it, once worked out
  const float* placeDeg = nullptr;  // a column's own latitude and longitude, or the run's place
  std::size_t column = 0;           // the column of placeDeg
  bool wholeWindow = false;         // the window's daylight is that of every day it reaches into
};

/// The first of a kind of anomaly and how many there were.
struct AnomalyCount {
  std::uint64_t count = 0;
  std::uint64_t line = 0;
  RecordStamp stamp{};
  std::size_t column = 0;
};

struct Diagnostics {
  RunConsole console;
  RunParameters params{};
  bool strict = false;
  ReadFault fault;  // with strict: the first anomaly

  // Time stamps.
  std::optional<double> previousMinutes;  // of the record before, on the calendar
  RecordStamp previous{};
  std::uint64_t gaps = 0;
  std::uint64_t missingRecords = 0;
  std::uint64_t repeated = 0;
  std::uint64_t backwards = 0;
  std::uint64_t offGrid = 0;

  // The data against the sun model.
  AnomalyCount sunDown;                // steps with sunshine while the model has the sun down
  AnomalyCount tooMuch;                // values beyond the possible sunshine, written as 1.000
  AnomalyCount negative;               // results between -100 and 0
  std::vector<std::int64_t> stations;  // by column (slot 0 unused), with places of their own
  // The real sky's day at each column's own place, worked out when first needed on a day, from
  // the day's part (once a day) and the column's part (once a run; empty until first needed).
  ColumnDay<SunSpan> columnSky;
  SkyDay columnSkyDay{};
  std::vector<std::optional<SkyPlace>> columnSkyPlaces;
  bool toldStepEnd = false;      // a step of a day or more ended while the sun was up
  bool chosenSky = false;        // the possible sunshine is another model's, an elevation's or a
                                 // skyline's, which the causes the warnings name then include
  DayMemo<SunSpan> realSkyDays;  // the real sky's day, by month and day, as met
};

/// Returns how many time stamp anomalies were found so far.
inline std::uint64_t stampAnomalies(const Diagnostics& d) {
  return d.gaps + d.repeated + d.backwards + d.offGrid;
}

/// Returns the diagnostics of a run with these answers.
Diagnostics makeDiagnostics(const RunConsole& console, const RunParameters& params, bool strict);

/// Returns true when a stamp lies on the same day as the record before, as most records do; its
/// minutes are then those of that record and the hours between (minutesOnSameDay).
inline bool onSameDay(const Diagnostics& diagnostics, const RecordStamp& stamp) {
  const RecordStamp& previous = diagnostics.previous;
  return diagnostics.previousMinutes && stamp.day == previous.day &&
         stamp.month == previous.month && stamp.year == previous.year && std::isfinite(stamp.hourH);
}

inline double minutesOnSameDay(const Diagnostics& diagnostics, const RecordStamp& stamp) {
  return *diagnostics.previousMinutes +
         (static_cast<double>(stamp.hourH) - static_cast<double>(diagnostics.previous.hourH)) *
             60.0;
}

/// The whole comparison of checkStamp, on the calendar.
bool checkStampAgainstCalendar(Diagnostics& diagnostics, const RecordStamp& stamp,
                               std::uint64_t line);

/// Compares a record's stamp (hour as stored) with the record's before it: consecutive records lie
/// one input step apart on the calendar. Returns false when strict turns an anomaly into the fault.
inline bool checkStamp(Diagnostics& diagnostics, const RecordStamp& stamp, std::uint64_t line) {
  // Nearly every record follows the one before on the same day by one step: that is settled
  // here, inline in the record loop, at the cost of a few comparisons (measured: shape g 5 %
  // faster than the call).
  if (onSameDay(diagnostics, stamp)) {
    const double minutes = minutesOnSameDay(diagnostics, stamp);
    const double stepMin = static_cast<double>(diagnostics.params.inputStepMin);
    if (std::fabs((minutes - *diagnostics.previousMinutes) - stepMin) <= stepMin / 100.0) {
      diagnostics.previousMinutes = minutes;
      diagnostics.previous = stamp;
      return true;
    }
  }
  return checkStampAgainstCalendar(diagnostics, stamp, line);
}

/// Returns the most sunshine minutes a correct file can hold in the step's window: what the real
/// sky allows and the tolerance. Worked out once a step and kept in `place`.
double sunshineLimitMin(Diagnostics& diagnostics, StepPlace& place);

/// Checks the sums (sunshine minutes, columns 1 to `columns`) of a step the model counts as night
/// against the sunshine the real sky allows in its window. Returns false when strict turns an
/// anomaly into the fault.
bool checkNightStep(Diagnostics& diagnostics, const double* sums, std::size_t columns,
                    StepPlace& place);

/// Checks the sum of one column of a step whose window is night at that column's own place, as
/// checkNightStep does for a step of one place. Returns false when strict makes it the fault.
/// Callers pass over sums within kSunshineToleranceMin first: no limit is below it.
bool checkNightColumn(Diagnostics& diagnostics, double sumMin, std::size_t column,
                      StepPlace& place);

/// Checks a result of a step with daylight that is 1 or more (the sum against what the real sky
/// allows) or negative. Returns false when strict turns an anomaly into the fault.
bool checkDayResult(Diagnostics& diagnostics, double sumMin, double result, std::size_t column,
                    StepPlace& place);

/// For output steps of a day or more: says once when a step ends while the sun is up at its place
/// (up for an hour and more, and for an hour more to come, by the model's day `sun`): such steps
/// hold parts of two days against the daylight of one. Returns false when strict makes it the
/// fault.
bool checkStepEnd(Diagnostics& diagnostics, const StepPlace& place, SunTimes sun);

/// Returns the hour of its day (0 to 24) at which a step ends, in local time.
inline double stepEndOfDayH(const StepPlace& place) {
  const double endH = std::fmod(place.endH, 24.0);
  return endH < 0.0 ? endH + 24.0 : endH;
}

/// Returns whether the sun has been up for an hour and sets an hour later at `endH` (0 to 24),
/// by the model's day `sun`: checkStepEnd's test.
inline bool sunUpAtStepEnd(double endH, SunTimes sun) {
  return sun.sunriseH >= 0.0 && sun.sunsetH >= 0.0 && endH >= sun.sunriseH + 1.0 &&
         endH <= sun.sunsetH - 1.0;
}

/// Prints the totals of the run's anomalies, one warning line each kind that occurred (nothing
/// with strict, where the first anomaly ended the run).
void reportDiagnostics(const Diagnostics& diagnostics);

/// Returns a stamp's time in minutes on the calendar (leap years included, hour 24 being hour 0 of
/// the next day, months and days beyond their range counting on), or nothing when the stamp lies
/// outside the calendar's reach.
std::optional<double> stampMinutes(const RecordStamp& stamp);

/// Returns the minutes of the window [startH, endH] (local hours) in which the real sky may show
/// the sun on the day of `span`, and on the day before and after as far as `reachH` hours beyond
/// its midnights.
double possibleSunshineMin(const SunSpan& span, double startH, double endH, double reachH);

}  // namespace kelvarin
