#include "reading/record_reader.hpp"

#include <algorithm>  // std::find
#include <cmath>      // std::isfinite
#include <string>

#include "column_sums.hpp"
#include "reading/number_scan.hpp"

namespace kelvarin {

namespace {

// A field the plain reader read: its value, its line, and where its text began in the file.
template <typename T>
struct Field {
  T value;
  std::uint64_t line;
  std::uint64_t offset;
};

// Names a field in messages: "year", or "value of column 3".
std::string fieldName(const char* name, std::size_t column) {
  return column == 0 ? std::string(name) : std::string(name) + " " + std::to_string(column);
}

// Sets the fault of the field whose text begins at the reader's position, showing that text.
void failField(RecordReader& records, std::uint64_t line, const char* name, std::size_t column,
               const char* problem) {
  records.fault = {line, fieldName(name, column),
                   "\"" + fieldPreview(records.in) + "\" " + problem};
}

// Sets the fault of the end of the input where a field must stand: a read error, or a record cut
// short.
void failAtEnd(RecordReader& records, const char* name, std::size_t column) {
  if (records.in.readFailed) {
    records.fault = {0, {}, "the file could not be read to its end"};
  } else {
    records.fault = {
        records.recordLine,
        {},
        "record cut short by the end of the file (" + fieldName(name, column) + " missing)"};
  }
}

// Reads one field that must be there with `scan`. On a fault sets it and returns nothing. A
// number directly followed by a character that can neither continue it nor start a field ("0,25")
// is faulty as a whole: taking its first part would put a value in the sums that was never
// written.
template <typename Scan>
auto readField(RecordReader& records, Scan scan, const char* name, std::size_t column = 0)
    -> std::optional<Field<decltype(scan("").value)>> {
  InputReader& in = records.in;
  if (!skipSpace(in)) {
    failAtEnd(records, name, column);
    return std::nullopt;
  }
  const std::uint64_t line = in.lineNumber;
  const std::uint64_t offset = in.discarded + in.pos;
  const auto result = scanField(in, scan);
  const char* problem = nullptr;
  if (in.tooLong) {
    problem = "is longer than 64 MiB";
  } else if (result.status == ScanStatus::kOutOfRange) {
    problem = "is out of range";
  } else if (result.status == ScanStatus::kNotANumber ||
             !(canFollowField(in.buffer[in.pos]) || (in.pos == in.end && in.atEnd))) {
    problem = "is not a number";
  }
  if (problem != nullptr) {
    in.pos = static_cast<std::size_t>(offset - in.discarded);
    failField(records, line, name, column, problem);
    return std::nullopt;
  }
  return Field<decltype(scan("").value)>{result.value, line, offset};
}

}  // namespace

namespace detail {

ReadOutcome readStampPlainly(RecordReader& records, RecordStamp& stamp) {
  InputReader& in = records.in;
  if (!skipSpace(in)) {
    if (!in.readFailed) {
      return ReadOutcome::kEnd;
    }
    records.fault = {0, {}, "the file could not be read to its end"};
    return ReadOutcome::kBadStamp;
  }
  records.recordLine = in.lineNumber;
  const auto year = readField(records, scanInt32, "year");
  const auto month = year ? readField(records, scanInt32, "month") : std::nullopt;
  const auto day = month ? readField(records, scanInt32, "day") : std::nullopt;
  if (!day || !skipSpace(in)) {
    if (day) {
      failAtEnd(records, "hour", 0);
    }
    return ReadOutcome::kBadStamp;
  }
  const std::uint64_t hourOffset = in.discarded + in.pos;
  const auto hour = readField(records, scanFloat, "hour");
  if (!hour) {
    return ReadOutcome::kBadStamp;
  }
  records.monthLine = month->line;
  stamp = RecordStamp{year->value, month->value, day->value, hour->value};
  const std::uint64_t dateLength = hourOffset - year->offset;
  const std::uint64_t hourAt = hourOffset - in.discarded;  // still in the buffer when in reach
  if (records.shortcuts && dateLength <= hourAt) {
    rememberDate(records.recentDate, in.buffer.data() + (hourAt - dateLength), dateLength, stamp);
  }
  return ReadOutcome::kRecord;
}

bool readValuePlainly(RecordReader& records, double* sums, std::size_t c, double inputUnitMin) {
  const auto value = readField(records, scanDouble, "value of column", c);
  if (!value) {
    return false;
  }
  if (!records.missingMarkers.empty() &&
      std::find(records.missingMarkers.begin(), records.missingMarkers.end(), value->value) !=
          records.missingMarkers.end()) {
    records.missingColumns.push_back(c);
    ++records.missingValues;
    return true;
  }
  addToSum(sums[c], inputUnitMin, value->value);
  if (!std::isfinite(sums[c])) {
    // 1e308 times a unit of 60, or two such values in one step: the sum would be written as
    // "inf" or "-nan" into a file other models read as numbers.
    records.in.pos = static_cast<std::size_t>(value->offset - records.in.discarded);
    failField(records, value->line, "value of column", c, "is out of range");
    return false;
  }
  return true;
}

std::size_t addValuesByKernel(RecordReader& records, double* sums, std::size_t first,
                              std::size_t columns, double inputUnitMin) {
  InputReader& in = records.in;
  const bool narrow = first == 1 && columns <= RecentValues::kMaxColumns;
  const std::size_t start = in.pos;
  KernelText text{in.buffer.data(), in.end, in.atEnd, 0};
  const MissingMarkers markers{records.missingMarkers.data(), records.missingMarkers.size()};
  const KernelStop stop = (narrow ? records.kernels->addValuesKeeping : records.kernels->addValues)(
      text, start, records.cache, sums, first, columns, inputUnitMin,
      records.missingMarkers.empty() ? nullptr : &markers, records.recentValues.values);
  in.pos = stop.pos;
  in.lineNumber += text.lines;
  if (narrow) {
    const std::size_t length = stop.pos - start;
    if (stop.column > columns && text.lines == 0 && length <= RememberedText::kMaxLength) {
      remember(records.recentValues.text, in.buffer.data() + start, static_cast<unsigned>(length));
    } else {
      records.recentValues.text.length = 0;
    }
  }
  return stop.column;
}

}  // namespace detail

RecordReader makeRecordReader(InputReader& in, bool shortcuts,
                              const std::vector<double>& missingMarkers, std::size_t columns,
                              VectorLevel level) {
  RecordReader records{in};
  // A marker of 0 would hide among the runs of zeros the kernel passes.
  const bool zeroMarker =
      std::find(missingMarkers.begin(), missingMarkers.end(), 0.0) != missingMarkers.end();
  records.shortcuts = shortcuts && !zeroMarker;
  records.kernels = &kernelsFor(level);
  clearValueCache(records.cache);
  records.missingMarkers = missingMarkers;
  if (!missingMarkers.empty()) {
    records.missingColumns.reserve(columns);
  }
  return records;
}

}  // namespace kelvarin
