// Calendar periods as output steps: dekads, months and years, each record taken into the period
// of the day its interval ends in, and each period's line written when the next record or the end
// of the input shows it ended.
#include <algorithm>  // std::fill, std::max
#include <chrono>
#include <cmath>  // std::fabs
#include <optional>
#include <string>

#include "step/calendar.hpp"
#include "step/step_run.hpp"

namespace kelvarin {

namespace {

// A calendar period being read.
struct OpenPeriod {
  CalendarPeriod kind = CalendarPeriod::kNone;
  bool open = false;
  PeriodDays days{};
  double lastEndMin = 0.0;  // where its record read last ends, in minutes on the calendar
  RecordStamp lastStamp{};  // that record's stamp, which the period's line carries
  std::uint64_t lastLine = 0;
  // Stretches of the period without records, from and to, in minutes on the calendar.
  std::vector<double> absentMin;
  // The day of the stamp read last on the calendar, while the date repeats.
  RecordStamp dateOf{};
  std::int64_t dateDay = 0;
  bool dateKnown = false;
};

// What taking a record into its period gave.
struct Taken {
  std::optional<RunOutcome> end;  // the run ends
  bool repeated = false;          // the record repeats the stamp before it: not added again
};

Taken takeIntoPeriod(OpenPeriod& period, StepRun& run);
std::optional<RunOutcome> closePeriod(OpenPeriod& period, StepRun& run);

}  // namespace

// The step loop for calendar periods: a record belongs to the period of the day its interval
// ends in, by its stamp as stored, and a period's line is written when the next record or the
// end of the input shows it ended. The values of a record are read aside until then.
RunOutcome runCalendarLoop(StepRun& run, CalendarPeriod kind) {
  RecordReader& records = run.records;
  const StepPlan& plan = run.plan;
  double* const sums = run.sums;
  const std::size_t columns = run.columns;
  std::vector<double> recordValues(columns + 1, 0.0);
  OpenPeriod period;
  period.kind = kind;
  RecordStamp& stamp = run.state.stamp;
  for (;;) {
    const ReadOutcome got =
        readRecord(records, stamp, recordValues.data(), columns, plan.inputUnitMin);
    if (got == ReadOutcome::kEnd) {
      if (period.open) {
        if (auto end = closePeriod(period, run)) {
          return *end;
        }
      }
      return {flushLines(run.out) ? RunEnd::kDone : RunEnd::kWriteFailed, {}};
    }
    if (auto fault = recordFault(got, run)) {
      return *fault;
    }
    Taken taken = takeIntoPeriod(period, run);
    if (taken.end) {
      return *taken.end;
    }
    if (taken.repeated) {  // nothing of it is added, its missing values neither
      std::fill(recordValues.begin(), recordValues.end(), 0.0);
      continue;
    }
    for (std::size_t c = 1; c <= columns; ++c) {
      sums[c] = recordValues[c] + sums[c];
      recordValues[c] = 0.0;
    }
    afterRecord(run);
  }
}

namespace {

// Returns where a record ends in minutes on the calendar, or nothing beyond the calendar's reach.
std::optional<double> recordEndMin(OpenPeriod& period, const RecordStamp& stamp) {
  if (!period.dateKnown || stamp.day != period.dateOf.day || stamp.month != period.dateOf.month ||
      stamp.year != period.dateOf.year) {
    const std::optional<std::chrono::sys_days> day = stampDay(stamp);
    if (!day) {
      return std::nullopt;
    }
    period.dateOf = stamp;
    period.dateDay = day->time_since_epoch().count();
    period.dateKnown = true;
  }
  // Hours far beyond any day's (1e31) would carry the record past the calendar's reach.
  constexpr double kReachMin = 1.5e10;
  const double endMin =
      static_cast<double>(period.dateDay) * 1440.0 + static_cast<double>(stamp.hourH) * 60.0;
  if (!(std::fabs(endMin) < kReachMin)) {
    return std::nullopt;
  }
  return endMin;
}

// A stretch shorter than this between records is rounding of their stamps, not a record missing.
inline double absentToleranceMin(const StepPlan& plan) {
  return plan.inputStepMin / 4.0;
}

// Notes the stretch from `fromMin` to `toMin` as without records, where it is one.
void noteAbsent(OpenPeriod& period, const StepPlan& plan, double fromMin, double toMin) {
  if (toMin - fromMin > absentToleranceMin(plan)) {
    period.absentMin.push_back(fromMin);
    period.absentMin.push_back(toMin);
  }
}

// Starts the period of a record ending `endMin` on the calendar, in the day `day`.
void openPeriod(OpenPeriod& period, const StepPlan& plan, std::int64_t day, double endMin) {
  period.days = periodOfDay(period.kind, day);
  period.open = true;
  noteAbsent(period, plan, static_cast<double>(period.days.first) * 1440.0,
             endMin - plan.inputStepMin);
}

// Takes a record read whole into its period: the period before is written when the record
// begins a new one, and the stretch since the record before is noted where records are absent.
// A record that repeats the stamp before it would count its sunshine twice against daylight
// counted once; one of a period already written would write that period's line a second time.
Taken takeIntoPeriod(OpenPeriod& period, StepRun& run) {
  const RecordReader& records = run.records;
  OutputBuffer& out = run.out;
  const StepPlan& plan = run.plan;
  const RecordStamp& stamp = run.state.stamp;
  const std::optional<double> endMin = recordEndMin(period, stamp);
  if (!endMin) {
    return {badInput(out,
                     ReadFault{records.recordLine, {}, "the time stamp lies beyond the calendar"})};
  }
  if (!isValidMonth(stamp.month)) {
    return {badInput(
        out, ReadFault{records.monthLine,
                       {},
                       "month " + std::to_string(stamp.month) + " is not between 1 and 12"})};
  }
  if (period.open && *endMin == period.lastEndMin) {
    return {std::nullopt, true};
  }
  const std::int64_t day = recordEndDay(*endMin);
  if (period.open && day < period.days.first) {
    return {badInput(
        out, ReadFault{records.recordLine,
                       {},
                       "the time stamp goes back to a " + std::string(periodName(period.kind)) +
                           " already written: the records are out of time order"})};
  }
  const bool begins = !period.open || day >= period.days.end;
  if (begins) {
    if (period.open) {
      if (auto end = closePeriod(period, run)) {
        return {end};
      }
    }
    openPeriod(period, plan, day, *endMin);
  } else {
    noteAbsent(period, plan, period.lastEndMin, *endMin - plan.inputStepMin);
  }
  // A record out of order within the period leaves the period's line its latest stamp.
  if (begins || *endMin > period.lastEndMin) {
    period.lastEndMin = *endMin;
    period.lastStamp = stamp;
    period.lastLine = records.recordLine;
  }
  return {};
}

// Each column's daylight in a stretch of local hours from the start of the stamp's day: the
// run's place's in every slot, or each column's own.
void addDaylight(StepRun& run, const RecordStamp& stamp, double startH, double endH,
                 std::vector<double>& hours) {
  StepState& state = run.state;
  const std::size_t columns = run.columns;
  if (state.sun.light.places == nullptr) {
    const std::optional<WindowLight> light = windowLight(state.sun.light, stamp, startH, endH);
    const double h = light ? light->hours : 0.0;
    for (std::size_t c = 1; c <= columns; ++c) {
      hours[c] += h;
    }
    return;
  }
  state.columnLight.resize(columns + 1);
  if (windowLightOfColumns(state.sun.light, stamp, startH, endH, columns,
                           state.columnLight.data())) {
    for (std::size_t c = 1; c <= columns; ++c) {
      hours[c] += state.columnLight[c].hours;
    }
  }
}

// The result of a column over a calendar period of `stepH` hours holding `possibleH` of
// daylight, with the checks of the sunshine against the sun. Returns false when strict makes an
// anomaly the fault.
bool periodResult(StepRun& run, const StepPlace& period, std::size_t c, double possibleH,
                  double stepH, double& r, bool& nightCounted) {
  StepState& state = run.state;
  Diagnostics& diagnostics = run.diagnostics;
  const double sumMin = run.sums[c];
  StepPlace place = period;
  if (state.sun.places != nullptr) {
    place.placeDeg = &state.sun.places->placeDeg[2 * c];
    place.column = c;
  }
  if (!state.sun.light.ownModel) {
    place.limitMin = chosenSkyLimitMin(possibleH);
  }
  if (!(dayFractionOfDaylight(possibleH, stepH) > 0.0)) {
    r = 0.0;
    if (nightCounted || !(sumMin > kSunshineToleranceMin)) {
      return true;
    }
    const std::uint64_t before = diagnostics.sunDown.count;
    const bool kept = checkNightColumn(diagnostics, sumMin, c, place);
    nightCounted = diagnostics.sunDown.count != before;
    return kept;
  }
  if (state.gaps.missingH[c] > 0.0) {
    r = gapResult(state.gaps, c, sumMin, possibleH, period.line);
  } else {
    r = clipResult(sumMin / 60.0 / possibleH);
  }
  if (r != kMissingValue && ((r >= kUpperClip) | (r < 0.0))) {
    return checkDayResult(diagnostics, sumMin, r, c, place);
  }
  return true;
}

// Writes the line of a calendar period read to its end: its last record's stamp and each
// column's sunshine over the daylight of the period, the daylight of its missing and absent
// records left out where the rest covers enough of it.
std::optional<RunOutcome> closePeriod(OpenPeriod& period, StepRun& run) {
  OutputBuffer& out = run.out;
  const StepPlan& plan = run.plan;
  StepState& state = run.state;
  double* const sums = run.sums;
  const std::size_t columns = run.columns;
  noteAbsent(period, plan, period.lastEndMin, static_cast<double>(period.days.end) * 1440.0);
  writeStamp(out, period.lastStamp, state.writtenDate, plan.shortcuts);
  const RecordStamp& stamp = period.lastStamp;
  const double stampDayMin =
      static_cast<double>(stampDay(stamp)->time_since_epoch().count()) * 1440.0;
  const auto localH = [&](double minutes) {
    return (minutes - stampDayMin) / 60.0 + static_cast<double>(plan.timeShiftH);
  };
  StepPlace place{stamp, period.lastLine, localH(static_cast<double>(period.days.first) * 1440.0),
                  localH(static_cast<double>(period.days.end) * 1440.0)};
  place.wholeWindow = true;
  std::vector<double>& possibleH = state.results;
  std::fill(possibleH.begin(), possibleH.end(), 0.0);
  addDaylight(run, stamp, place.startH, place.endH, possibleH);
  for (std::size_t i = 0; i + 1 < period.absentMin.size(); i += 2) {
    addDaylight(run, stamp, localH(period.absentMin[i]), localH(period.absentMin[i + 1]),
                state.gaps.missingH);
  }
  const double stepH = static_cast<double>(period.days.end - period.days.first) * 24.0;
  char* const line = room(out, columns * kMaxResultLength + 8);
  char* p = line;
  bool nightCounted = false;
  state.relative.resize(columns + 1);
  for (std::size_t c = 1; c <= columns; ++c) {
    double& r = state.relative[c];
    r = 0.0;
    if (!periodResult(run, place, c, possibleH[c], stepH, r, nightCounted)) {
      return badInput(out, run.diagnostics.fault);
    }
    p += writeResult(p, r, plan.shortcuts);
  }
  advance(out, static_cast<std::size_t>(p - line));
  if (state.reporter != nullptr &&
      !reportStep(run, stamp, static_cast<double>(period.days.first) * 1440.0,
                  static_cast<double>(period.days.end) * 1440.0, state.relative.data(),
                  [&](std::size_t c) { return possibleH[c]; })) {
    return RunOutcome{RunEnd::kWriteFailed, {}};
  }
  append(out, "\n");
  commitLine(out);
  // The next period starts empty; the record read last, which begins it, is settled after.
  std::fill(sums + 1, sums + columns + 1, 0.0);
  std::fill(state.gaps.missingH.begin(), state.gaps.missingH.end(), 0.0);
  state.gaps.any = false;
  period.absentMin.clear();
  period.open = false;
  if (out.writeFailed) {
    return RunOutcome{RunEnd::kWriteFailed, {}};
  }
  return std::nullopt;
}

}  // namespace

}  // namespace kelvarin
