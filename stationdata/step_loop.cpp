#include "step_loop.hpp"

#include <algorithm>  // std::fill
#include <array>
#include <cinttypes>  // PRIu64
#include <cmath>      // std::signbit
#include <cstdint>
#include <cstring>  // std::memcpy
#include <optional>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>  // SSE2, part of every x86-64
#endif

#include "fixed_format.hpp"
#include "header_pass.hpp"

namespace kelvarin {

namespace {

constexpr float kInt32Limit = 2147483648.0f;  // 2^31: the first float past INT32_MAX

// What a step needs of the answers, worked out once per run.
struct StepPlan {
  std::int32_t recordsPerStep;
  float stampIndex;  // the record (counted from 1) whose stamp the step line carries
  double inputUnitMin;
  double outputStepMin;
  double stepH;
  float timeShiftH;
  bool fastPaths;  // the sun memo and the fixed-width results; off to compare with the plain way
};

StepPlan makeStepPlan(const RunParameters& params, bool fastPaths) {
  StepPlan plan{};
  plan.fastPaths = fastPaths;
  // Single precision and truncation as the files have always been cut into steps.
  plan.recordsPerStep = static_cast<std::int32_t>(params.outputStepMin / params.inputStepMin);
  // Only the output step is truncated: 90 minutes over hourly data gives 1.5, never a stamp.
  plan.stampIndex =
      static_cast<float>(static_cast<std::int32_t>(params.outputStepMin)) / params.inputStepMin;
  plan.inputUnitMin = static_cast<double>(params.inputUnitMin);
  plan.outputStepMin = static_cast<double>(params.outputStepMin);
  plan.stepH = static_cast<double>(params.outputStepMin) / 60.0;
  plan.timeShiftH = params.timeShiftH;
  return plan;
}

// Sun times depend on nothing but the day, the month and the run's place. Remembered per day of
// the year, they cost a look-up instead of a sine, a cosine and an arc cosine per step: over a few
// stations that trigonometry was 40 % of a run. (Months outside 1 to 12 have none.)
std::optional<SunTimes> sunTimes(DayMemo<SunTimes>* memo, std::int32_t day, std::int32_t month,
                                 const RunParameters& params) {
  const auto compute = [&] {
    return sunriseSunset(day, month, params.latitudeDeg, params.longitudeDeg,
                         params.referenceMeridianDeg);
  };
  if (memo == nullptr || !isValidMonth(month)) {
    return compute();
  }
  return rememberedForDay(*memo, day, month, [&] { return *compute(); });
}

// "\t0.000" to "\t1.000", eight bytes each: a result from 0 to 1, by far the most common, is
// written with one copy.
constexpr auto kUnitResults = [] {
  std::array<std::array<char, 8>, 1001> results{};
  for (unsigned i = 0; i <= 1000; ++i) {
    results[i] = {'\t',
                  static_cast<char>('0' + i / 1000),
                  '.',
                  static_cast<char>('0' + i / 100 % 10),
                  static_cast<char>('0' + i / 10 % 10),
                  static_cast<char>('0' + i % 10),
                  '\0',
                  '\0'};
  }
  return results;
}();
constexpr std::string_view kMissingResult = "\t-9999.000";

// The widest result a step line holds: the clips leave -9999 and -100 to 1, so "\t-9999.000".
constexpr std::size_t kMaxResultLength = 10;

// Writes "\t%5.3f" of `r` (clipped, so at most kMaxResultLength characters, and 8 bytes of room
// after them) at `p` and returns the characters written. With `fixedWidth`, the results from 0
// to 1 and the missing value take their shortcuts; every other result, and all without it, the
// formatter.
std::size_t writeResult(char* p, double r, bool fixedWidth) {
  if (fixedWidth) {
    if (!std::signbit(r) && r <= 1.0) {
      std::memcpy(p, kUnitResults[detail::scaleAndRound(r, 1000)].data(), 8);
      return 6;
    }
    if (r == kMissingValue) {
      std::memcpy(p, kMissingResult.data(), kMissingResult.size());
      return kMissingResult.size();
    }
  }
  char text[kMaxFixedLength];
  const std::size_t length = formatThreeDecimals(r, text);
  *p = '\t';
  std::memcpy(p + 1, text, length);
  return 1 + length;
}

// Writes "\t%5.3f" of each column's relative sunshine, and shows the diagnostics the steps and
// results that may contradict the sun model. Returns false when strict makes one the fault.
bool writeResults(OutputBuffer& out, const double* sums, std::size_t columns, double outputStepMin,
                  double dayFraction, bool fixedWidth, double* results, const RecordStream& records,
                  Diagnostics& diagnostics, StepPlace&& place) {
  if (!(dayFraction > 0.0)) {
    // A night step is 0 in every column, whatever was measured: no need to format each one.
    constexpr std::string_view kNightResult = "\t0.000";
    char* p = room(out, columns * kNightResult.size());
    for (std::size_t c = 1; c <= columns; ++c, p += kNightResult.size()) {
      std::memcpy(p, kNightResult.data(), kNightResult.size());
    }
    advance(out, columns * kNightResult.size());
    return checkNightStep(diagnostics, sums, columns, place);
  }
  // Room for the whole line at once: every result is short once clipped.
  char* const line = room(out, columns * kMaxResultLength + 8);
  char* p = line;
  if (fixedWidth) {
    relativeSunshineOfAll(sums, columns, outputStepMin, dayFraction, results);
  }
  for (std::size_t c = 1; c <= columns; ++c) {
    // A column with a declared missing value in the step has no result, whatever else it holds.
    const double r = records.anyMissingInStep && records.missingInStep[c] != 0 ? kMissingValue
                     : fixedWidth                                              ? results[c]
                                  : relativeSunshine(sums[c], outputStepMin, dayFraction);
    // Only a result clipped to 1 can hold more sunshine than the real sky allows (its day is
    // longer than the model's), and negative ones are rare: one comparison per value finds both.
    if (((r >= kUpperClip) | (r < 0.0)) && !checkDayResult(diagnostics, sums[c], r, c, place)) {
      return false;
    }
    p += writeResult(p, r, fixedWidth);
  }
  advance(out, static_cast<std::size_t>(p - line));
  return true;
}

// Writes "a<separator>b<separator>c<end>" of three stamp fields at `out` (room for 3 * 21
// characters) and returns the characters written.
std::size_t formatThreeFields(std::int32_t a, std::int32_t b, std::int32_t c, char separator,
                              char end, char* out) {
  std::size_t n = formatStampField(a, out);
  out[n++] = separator;
  n += formatStampField(b, out + n);
  out[n++] = separator;
  n += formatStampField(c, out + n);
  out[n++] = end;
  return n;
}

// "year\tmonth\tday\t" of the last stamp written: a day's lines all begin with it.
struct WrittenDate {
  static constexpr std::size_t kRoom = 3 * 21;  // three integers and their tabs
  std::int32_t year = 0;
  std::int32_t month = 0;
  std::int32_t day = 0;
  std::size_t length = 0;  // 0: none yet
  std::array<char, kRoom> text{};
};

void writeStamp(OutputBuffer& out, const RecordStamp& stamp, WrittenDate& date) {
  char* p = room(out, WrittenDate::kRoom + kMaxFixedLength);  // the date and the hour
  if (date.length == 0 || stamp.year != date.year || stamp.month != date.month ||
      stamp.day != date.day) {
    date.year = stamp.year;
    date.month = stamp.month;
    date.day = stamp.day;
    date.length =
        formatThreeFields(stamp.year, stamp.month, stamp.day, '\t', '\t', date.text.data());
  }
  std::memcpy(p, date.text.data(), WrittenDate::kRoom);
  std::size_t n = date.length;
  const float hourH = stamp.hourH;
  // A whole hour, as stamps nearly always are, is written as the integer it is ("%.0f" of 24.0
  // is "24"); halves and the rest are rounded by the formatter.
  if (!std::signbit(hourH) && hourH < 10000.0f &&
      hourH == static_cast<float>(static_cast<int>(hourH))) {
    n += formatStampField(static_cast<int>(hourH), p + n);
  } else {
    n += formatFixed(static_cast<double>(hourH), 0, 0, p + n);
  }
  advance(out, n);
}

// Writes "day.month.year" on its own line, as "%d.%d.%d\n" does: once a day of the file, so
// written without a format string to interpret.
void reportDay(std::FILE* report, const RecordStamp& stamp) {
  char text[3 * 21];
  std::fwrite(text, 1, formatThreeFields(stamp.day, stamp.month, stamp.year, '.', '\n', text),
              report);
}

// Ends the run on a fault of the file: nothing of the step it stopped reaches the output.
RunOutcome badInput(OutputBuffer& out, std::string message) {
  discardOpenLine(out);
  return {RunEnd::kBadInput, std::move(message)};
}

// Ends the run at the end of the input, `k` being the record of the step that was not there.
RunOutcome endOfInput(OutputBuffer& out, const Diagnostics& diagnostics, std::int32_t k,
                      std::int32_t recordsPerStep) {
  if (k > 1) {
    // A last step cut short would be divided by a whole step's daylight and come out too low:
    // it is left out, and said so.
    discardOpenLine(out);
    char what[160];
    std::snprintf(what, sizeof what,
                  "last step incomplete: %d of %d records at the end of the input file, no line "
                  "written for them",
                  k - 1, recordsPerStep);
    if (diagnostics.strict) {
      return {RunEnd::kBadInput, std::string("error reading input file: ") + what};
    }
    std::fprintf(diagnostics.console, "warning: %s\n", what);
  }
  return {flushLines(out) ? RunEnd::kDone : RunEnd::kWriteFailed, {}};
}

}  // namespace

bool hasUsableSteps(const RunParameters& params) {
  const float quotient = params.outputStepMin / params.inputStepMin;
  return quotient >= 1.0f && quotient < kInt32Limit && params.outputStepMin < kInt32Limit;
}

double nightFraction(double startH, double endH, double stepH, SunTimes sun) {
  if (sun.sunsetH < 0.0) {
    sun.sunsetH = 24.0;
  }
  if (sun.sunriseH < 0.0) {
    sun.sunriseH = 0.0;
  }
  double beforeSunriseH;
  if (startH > sun.sunriseH) {
    beforeSunriseH = 0.0;
  } else if (endH > sun.sunriseH) {
    beforeSunriseH = sun.sunriseH - startH;
  } else {
    beforeSunriseH = stepH;
  }
  double afterSunsetH;
  if (sun.sunsetH > endH) {
    afterSunsetH = 0.0;
  } else if (sun.sunsetH > startH) {
    afterSunsetH = endH - sun.sunsetH;
  } else {
    afterSunsetH = stepH;
  }
  const double fraction = (afterSunsetH + beforeSunriseH) / stepH;
  return fraction > kNightThreshold ? 1.0 : fraction;
}

double relativeSunshine(double sumMin, double outputStepMin, double dayFraction) {
  double r = dayFraction > 0.0 ? sumMin / outputStepMin / dayFraction : 0.0;
  if (r > kUpperClip) {
    r = kUpperClip;
  } else if (r < kLowerClip) {
    r = kMissingValue;
  }
  return r;
}

// Two at a time: the same two divisions in the same order and the same clips, each lane rounded
// exactly as a single division is, so every result is the same double. On a line of thousands of
// columns the divisions, one after the other, were a good part of the step.
void relativeSunshineOfAll(const double* sums, std::size_t columns, double outputStepMin,
                           double dayFraction, double* results) {
  std::size_t c = 1;
#if defined(__SSE2__)
  const __m128d step = _mm_set1_pd(outputStepMin);
  const __m128d fraction = _mm_set1_pd(dayFraction);
  const __m128d upper = _mm_set1_pd(kUpperClip);
  const __m128d lower = _mm_set1_pd(kLowerClip);
  const __m128d missing = _mm_set1_pd(kMissingValue);
  // A step in full daylight divides by a fraction of exactly 1, which changes no bit: the
  // division, the slowest operation of a result, is left out there.
  const bool wholeDay = dayFraction == 1.0;
  for (; c + 1 <= columns; c += 2) {
    __m128d r = _mm_div_pd(_mm_loadu_pd(sums + c), step);
    if (!wholeDay) {
      r = _mm_div_pd(r, fraction);
    }
    r = _mm_min_pd(r, upper);  // r > 1 ? 1 : r, the sums being finite numbers
    const __m128d below = _mm_cmplt_pd(r, lower);
    r = _mm_or_pd(_mm_and_pd(below, missing), _mm_andnot_pd(below, r));
    _mm_storeu_pd(results + c, r);
  }
#endif
  for (; c <= columns; ++c) {
    results[c] = relativeSunshine(sums[c], outputStepMin, dayFraction);
  }
}

RunOutcome runStepLoop(RecordStream& records, OutputBuffer& out, Diagnostics& diagnostics,
                       std::FILE* report, const RunParameters& params,
                       std::vector<double>& columnSums) {
  const StepPlan plan = makeStepPlan(params, records.fastPath);
  DayMemo<SunTimes> memo;
  const std::size_t columns = columnSums.size() - 1;
  std::vector<double> results(columns + 1, 0.0);  // a step's results, before they are written
  double* const sums = columnSums.data();
  WrittenDate writtenDate;
  RecordStamp stamp{};  // of the record read last, its hour as stored
  float localH = 0.0f;  // that record's local end time
  for (;;) {
    for (std::int32_t k = 1; k <= plan.recordsPerStep; ++k) {
      if (!readRecordStamp(records, stamp)) {
        return records.fault.empty() ? endOfInput(out, diagnostics, k, plan.recordsPerStep)
                                     : badInput(out, records.fault);
      }
      if (!checkStamp(diagnostics, stamp, records.recordLine)) {
        return badInput(out, diagnostics.fault);
      }
      if (static_cast<float>(k) == plan.stampIndex) {
        writeStamp(out, stamp, writtenDate);
      }
      localH = stamp.hourH + plan.timeShiftH;
      if (!addRecordValues(records, sums, columns, plan.inputUnitMin)) {
        return badInput(out, records.fault);
      }
      // A local end time that truncates to 24 closes a day; compared as a range so that a huge
      // or NaN hour never meets an undefined float-to-int conversion.
      if (localH >= 24.0f && localH < 25.0f) {
        reportDay(report, stamp);
      }
    }
    const std::optional<SunTimes> sun =
        sunTimes(plan.fastPaths ? &memo : nullptr, stamp.day, stamp.month, params);
    if (!sun) {
      reportFault(records, records.monthLine,
                  "month " + std::to_string(stamp.month) + " is not between 1 and 12");
      return badInput(out, records.fault);
    }
    const double endH = static_cast<double>(localH);
    const double startH = endH - plan.stepH;
    const double dayFraction = 1.0 - nightFraction(startH, endH, plan.stepH, *sun);
    if (!writeResults(out, sums, columns, plan.outputStepMin, dayFraction, plan.fastPaths,
                      results.data(), records, diagnostics,
                      {stamp, records.recordLine, startH, endH})) {
      return badInput(out, diagnostics.fault);
    }
    if (records.anyMissingInStep) {
      std::fill(records.missingInStep.begin(), records.missingInStep.end(), 0);
      records.anyMissingInStep = false;
    }
    std::fill(sums + 1, sums + columns + 1, 0.0);
    append(out, "\n");
    commitLine(out);
    if (out.writeFailed) {
      return {RunEnd::kWriteFailed, {}};
    }
  }
}

RunOutcome convertStationFile(InputReader& in, OutputBuffer& out, std::FILE* report,
                              std::FILE* alerts, const RunParameters& params,
                              const RunOptions& options) {
  std::vector<double> columnSums;
  std::string columnHeader;
  if (std::optional<std::string> fault = runHeaderPass(in, out, report, columnSums, columnHeader)) {
    return {RunEnd::kBadInput, std::move(*fault)};
  }
  Diagnostics diagnostics = makeDiagnostics(alerts, params, options.strict);
  if (columnSums.size() == 1 && skipSpace(in)) {
    // Station names instead of numbers: without this the first hint would be a record error.
    const std::string what = "the column header names no station numbers after its " +
                             std::to_string(kColumnLabelWidth) + "-character label field: \"" +
                             printablePrefix(columnHeader, 60) + "\"";
    if (options.strict) {
      return {RunEnd::kBadInput, "error reading input file: line 2: " + what};
    }
    std::fprintf(alerts, "warning: line 2: %s\n", what.c_str());
  }
  RecordStream records = makeRecordStream(in, options.fastPath, options.missingValue,
                                          columnSums.size() - 1, options.vectorLevel);
  const RunOutcome outcome = runStepLoop(records, out, diagnostics, report, params, columnSums);
  reportDiagnostics(diagnostics);
  if (options.missingValue && outcome.end == RunEnd::kDone) {
    std::fprintf(report,
                 "%" PRIu64
                 " values missing (%g): their columns are written as -9999.000 in "
                 "steps with daylight\n",
                 records.missingValues, *options.missingValue);
  }
  return outcome;
}

}  // namespace kelvarin
