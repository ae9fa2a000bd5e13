#include "step_loop.hpp"

#include <algorithm>  // std::fill
#include <array>
#include <bit>        // std::countr_zero, std::endian
#include <cinttypes>  // PRIu64
#include <cstring>    // std::memcpy
#include <optional>
#include <string>

#include "fixed_format.hpp"
#include "header_pass.hpp"
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

// Writes "\t%5.3f" of each column's relative sunshine and empties the sums for the next step.
void writeResults(OutputBuffer& out, double* sums, std::size_t columns, double outputStepMin,
                  double dayFraction) {
  if (!(dayFraction > 0.0)) {
    // A night step is 0 in every column, whatever was measured: no need to format each one.
    constexpr std::string_view kNightResult = "\t0.000";
    char* p = room(out, columns * kNightResult.size());
    for (std::size_t c = 1; c <= columns; ++c, p += kNightResult.size()) {
      std::memcpy(p, kNightResult.data(), kNightResult.size());
    }
    advance(out, columns * kNightResult.size());
    std::fill(sums + 1, sums + columns + 1, 0.0);
    return;
  }
  for (std::size_t c = 1; c <= columns; ++c) {
    char* p = room(out, 1 + kMaxFixedLength);
    *p = '\t';
    const double r = relativeSunshine(sums[c], outputStepMin, dayFraction);
    advance(out, 1 + formatThreeDecimals(r, p + 1));
    sums[c] = 0.0;
  }
}

void writeStamp(OutputBuffer& out, const RecordStamp& stamp) {
  char* p = room(out, std::size_t{3 * 21} + kMaxFixedLength);  // three integers and the hour
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

// Values already converted, by their spelling. A station file spells its values in a few dozen
// ways ("0", "0.1", "1", "-999") millions of times over; finding a spelling costs less than
// converting it again, and gives the very same double.
struct ValueCache {
  static constexpr std::size_t kSlots = 1024;
  std::array<std::uint64_t, kSlots> spellings{};  // 1 to 7 characters, zero-padded; 0: empty
  std::array<double, kSlots> values{};
};

std::size_t cacheSlot(std::uint64_t spelling) {
  return static_cast<std::size_t>((spelling * 0x9E3779B97F4A7C15ULL) >> 54);
}

// " 0 0 0 0" as a little-endian word.
constexpr std::uint64_t kFourZeros = 0x3020302030203020ULL;

// Converts the value at `text` and remembers it under `spelling` (the field's first bytes up to
// the next byte below 0x21, or 0 when it is longer than 7). Returns false when the field is faulty
// or may go on past `dataEnd`: the caller's general path deals with both.
[[gnu::noinline]] bool convertValue(const char* text, const char* dataEnd, bool atEnd,
                                    std::uint64_t spelling, ValueCache& cache, double& value,
                                    std::size_t& length) {
  const Scanned<double> scanned = scanDouble(text);
  if (scanned.status != ScanStatus::kOk || (!atEnd && text + scanned.length >= dataEnd)) {
    return false;
  }
  value = scanned.value;
  length = scanned.length;
  if (spelling != 0 && (spelling >> (8 * length)) == 0) {
    // The whole spelling is the number (not "0.5-999", which is two), so it may be remembered.
    const std::size_t slot = cacheSlot(spelling);
    cache.spellings[slot] = spelling;
    cache.values[slot] = value;
  }
  return true;
}

// Adds the values of columns `first` to `columns` of one record to their sums, as long as they lie
// well inside the buffer, and returns the first column it did not take: the value there lies near
// the end of the buffer, or is faulty. Station files are
// almost all values, so this loop is the program's hot path.
std::size_t addValues(InputReader& in, ValueCache& cache, double* sums, std::size_t first,
                      std::size_t columns, double inputUnitMin) {
  static_assert(std::endian::native == std::endian::little, "spellings are read little-endian");
  const char* data = in.buffer.data();
  // Short of this point a field's first bytes, and any decision on where it starts, lie inside the
  // data read.
  const std::size_t safeEnd =
      in.atEnd ? in.end : (in.end > kFieldLookahead ? in.end - kFieldLookahead : 0);
  std::size_t pos = in.pos;
  std::uint64_t lineBreaks = 0;
  std::size_t c = first;
  for (; c <= columns; ++c) {
    if (pos >= safeEnd) {
      break;
    }
    std::uint64_t word;
    std::memcpy(&word, data + pos, sizeof word);
    // Night hours are rows of zeros: four at a time, when nothing joins the fourth.
    if (word == kFourZeros && c + 3 <= columns && isWhiteSpace(data[pos + sizeof word])) {
      pos += sizeof word;
      c += 3;
      continue;  // adding 0 leaves a sum as it is: sums are never -0
    }
    char ch = data[pos];
    if (ch == ' ') {  // the usual single blank between two values
      ch = data[++pos];
    }
    while (isWhiteSpace(ch)) {
      lineBreaks += (ch == '\n');
      ch = data[++pos];
    }
    if (pos >= safeEnd) {
      break;
    }
    std::memcpy(&word, data + pos, sizeof word);
    // The lowest byte below 0x21 (white space, NUL or another control character) ends the field.
    const std::uint64_t ends = (word - 0x2121212121212121ULL) & ~word & 0x8080808080808080ULL;
    const auto spellingLength = static_cast<unsigned>(std::countr_zero(ends)) / 8;
    std::uint64_t spelling = 0;
    double value;
    std::size_t length;
    if (spellingLength - 1 < 7) {
      spelling = word & ((std::uint64_t{1} << (8 * spellingLength)) - 1);
      const std::size_t slot = cacheSlot(spelling);
      if (cache.spellings[slot] == spelling) {
        sums[c] = inputUnitMin * cache.values[slot] + sums[c];
        pos += spellingLength;
        continue;
      }
    }
    if (!convertValue(data + pos, data + in.end, in.atEnd, spelling, cache, value, length)) {
      break;
    }
    sums[c] = inputUnitMin * value + sums[c];
    pos += length;
  }
  in.pos = pos;
  in.lineNumber += lineBreaks;
  return c;
}

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
  ValueCache cache;
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
      for (std::size_t c = 1;
           (c = addValues(in, cache, sums, c, columns, plan.inputUnitMin)) <= columns; ++c) {
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
    writeResults(out, sums, columns, plan.outputStepMin, dayFraction);
    append(out, "\n");
    commitLine(out);
    if (out.writeFailed) {
      return kExitFile;
    }
  }
}

int convertStationFile(InputReader& in, OutputBuffer& out, std::FILE* console,
                       const RunParameters& params, std::vector<double>& columnSums) {
  if (!runHeaderPass(in, out, console, columnSums)) {
    return kExitFile;
  }
  return runStepLoop(in, out, console, params, columnSums);
}

}  // namespace kelvarin
