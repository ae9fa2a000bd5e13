#include "step_loop.hpp"

#include <cinttypes>  // PRIu64
#include <optional>
#include <string>

#include "fixed_format.hpp"
#include "solar.hpp"

namespace kelvarin {

namespace {

constexpr float kInt32Limit = 2147483648.0f;  // 2^31: the first float past INT32_MAX
constexpr double kUpperClip = 1.0;
constexpr double kLowerClip = -100.0;

// What a step needs of the answers, worked out once per run.
struct StepPlan {
  std::int32_t recordsPerStep;
  float stampIndex;  // the record (counted from 1) whose stamp the step line carries
  double inputUnitMin;
  double outputStepMin;
  double stepH;
  float timeShiftH;
};

StepPlan makeStepPlan(const RunParameters& params) {
  StepPlan plan{};
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

// Share of the window [start, end] that is night, by sunrise and sunset of the step's day.
// The comparisons are strict on purpose: a window ending exactly at sunrise is wholly night.
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

void writeStamp(OutputBuffer& out, const RecordStamp& stamp) {
  char* p = room(out, 3 * 21 + kMaxFixedLength);
  std::size_t n = formatInteger(stamp.year, p);
  p[n++] = '\t';
  n += formatInteger(stamp.month, p + n);
  p[n++] = '\t';
  n += formatInteger(stamp.day, p + n);
  p[n++] = '\t';
  n += formatFixed(static_cast<double>(stamp.hourH), 0, 0, p + n);
  advance(out, n);
}

// Reads records and reports the first fault of the file on the console, naming its line.
struct RecordReader {
  InputReader& in;
  std::FILE* console;
  std::uint64_t recordLine = 0;

  void report(std::uint64_t line, const std::string& what) const {
    std::fprintf(console, "error reading input file: line %" PRIu64 ": %s\n", line, what.c_str());
  }

  // Reads one field that must be there; on a fault prints why and returns nothing.
  template <typename Scan>
  auto field(Scan scan, const char* name, std::size_t column = 0)
      -> std::optional<decltype(scan("").value)> {
    const auto describe = [&] {
      return column == 0 ? std::string(name) : std::string(name) + " " + std::to_string(column);
    };
    if (!skipSpace(in)) {
      if (!in.readFailed) {
        report(recordLine, "record cut short by the end of the file (" + describe() + " missing)");
      }
      return std::nullopt;
    }
    const auto result = scanField(in, scan);
    if (result.status != ScanStatus::kOk) {
      in.pos -= result.length;  // back to the field's start, to show it
      const char* fault =
          result.status == ScanStatus::kNotANumber ? "is not a number" : "is out of range";
      report(in.lineNumber, describe() + " \"" + fieldPreview(in) + "\" " + fault);
      return std::nullopt;
    }
    return result.value;
  }
};

int failRecords(OutputBuffer& out, const InputReader& in, std::FILE* console) {
  discardOpenLine(out);
  if (in.readFailed) {
    std::fputs("error reading input file: the file could not be read to its end\n", console);
  }
  return kExitFile;
}

}  // namespace

bool hasUsableSteps(const RunParameters& params) {
  const float quotient = params.outputStepMin / params.inputStepMin;
  return quotient >= 1.0f && quotient < kInt32Limit && params.outputStepMin < kInt32Limit;
}

int runStepLoop(InputReader& in, OutputBuffer& out, std::FILE* console, const RunParameters& params,
                std::vector<double>& columnSums) {
  if (!hasUsableSteps(params) || columnSums.empty()) {
    std::fputs("error: no whole number of input records fits an output step\n", console);
    return kExitFile;
  }
  const StepPlan plan = makeStepPlan(params);
  const std::size_t columns = columnSums.size() - 1;
  double* const sums = columnSums.data();
  RecordReader records{in, console};
  RecordStamp stamp{};
  std::uint64_t monthLine = 0;
  for (;;) {
    for (std::int32_t k = 1; k <= plan.recordsPerStep; ++k) {
      if (!skipSpace(in)) {
        if (in.readFailed) {
          return failRecords(out, in, console);
        }
        if (k > 1) {
          // A last step cut short would be divided by a whole step's daylight and come out too
          // low: it is left out, and said so.
          discardOpenLine(out);
          std::fprintf(console,
                       "last step incomplete: %d of %d records at the end of the input file, "
                       "no line written for them\n",
                       k - 1, plan.recordsPerStep);
        }
        return flushLines(out) ? kExitSuccess : kExitFile;
      }
      records.recordLine = in.lineNumber;
      const auto year = records.field(scanInt32, "year");
      if (!year) {
        return failRecords(out, in, console);
      }
      const auto month = records.field(scanInt32, "month");
      if (!month) {
        return failRecords(out, in, console);
      }
      monthLine = in.lineNumber;
      const auto day = records.field(scanInt32, "day");
      if (!day) {
        return failRecords(out, in, console);
      }
      const auto hour = records.field(scanFloat, "hour");
      if (!hour) {
        return failRecords(out, in, console);
      }
      stamp = RecordStamp{*year, *month, *day, *hour};
      if (static_cast<float>(k) == plan.stampIndex) {
        writeStamp(out, stamp);
      }
      stamp.hourH = stamp.hourH + plan.timeShiftH;
      for (std::size_t c = 1; c <= columns; ++c) {
        const auto value = records.field(scanDouble, "value of column", c);
        if (!value) {
          return failRecords(out, in, console);
        }
        sums[c] = plan.inputUnitMin * *value + sums[c];
      }
      // A local end time that truncates to 24 closes a day; compared as a range so that a huge
      // or NaN hour never meets an undefined float-to-int conversion.
      if (stamp.hourH >= 24.0f && stamp.hourH < 25.0f) {
        std::fprintf(console, "%d.%d.%d\n", stamp.day, stamp.month, stamp.year);
      }
    }
    const std::optional<SunTimes> sun =
        sunriseSunset(stamp.day, stamp.month, params.latitudeDeg, params.longitudeDeg,
                      params.referenceMeridianDeg);
    if (!sun) {
      records.report(monthLine,
                     "month " + std::to_string(stamp.month) + " is not between 1 and 12");
      return failRecords(out, in, console);
    }
    const double endH = static_cast<double>(stamp.hourH);
    const double startH = endH - plan.stepH;
    const double dayFraction = 1.0 - nightFraction(startH, endH, plan.stepH, *sun);
    for (std::size_t c = 1; c <= columns; ++c) {
      char* p = room(out, 1 + kMaxFixedLength);
      *p = '\t';
      const double r = relativeSunshine(sums[c], plan.outputStepMin, dayFraction);
      advance(out, 1 + formatFixed(r, 3, 5, p + 1));
      sums[c] = 0.0;
    }
    append(out, "\n");
    commitLine(out);
    if (out.writeFailed) {
      return kExitFile;
    }
  }
}

}  // namespace kelvarin
