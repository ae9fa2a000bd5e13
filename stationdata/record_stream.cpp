#include "record_stream.hpp"

#include <cinttypes>  // PRIu64
#include <cmath>      // std::isfinite

#include "column_sums.hpp"
#include "number_scan.hpp"

namespace kelvarin {

namespace {

constexpr char kReadErrorMessage[] =
    "error reading input file: the file could not be read to its end";

// Names a field in messages: "year", or "value of column 3".
struct FieldName {
  const char* name;
  std::size_t column = 0;

  std::string text() const {
    return column == 0 ? std::string(name) : std::string(name) + " " + std::to_string(column);
  }
};

template <typename T>
struct Field {
  T value;
  std::uint64_t line;
  std::size_t start;  // where its text begins in the reader's buffer, until the next refill
};

// Sets the message for the field at `start`, showing its text.
void failField(RecordStream& records, const Field<int>& at, FieldName field, const char* fault) {
  records.in.pos = at.start;
  reportFault(records, at.line, field.text() + " \"" + fieldPreview(records.in) + "\" " + fault);
}

// Reads one field that must be there. On a fault sets the message and returns nothing. A number
// directly followed by a character that can neither continue it nor start a field ("0,25") is
// faulty as a whole: taking its first part would put a value in the sums that was never written.
template <typename Scan>
auto readField(RecordStream& records, Scan scan, FieldName field)
    -> std::optional<Field<decltype(scan("").value)>> {
  InputReader& in = records.in;
  if (!skipSpace(in)) {
    if (in.readFailed) {
      records.fault = kReadErrorMessage;
    } else {
      reportFault(records, records.recordLine,
                  "record cut short by the end of the file (" + field.text() + " missing)");
    }
    return std::nullopt;
  }
  const std::uint64_t line = in.lineNumber;
  const auto result = scanField(in, scan);
  const std::size_t start = in.pos - result.length;
  const char* fault = nullptr;
  if (in.tooLong) {
    fault = "is longer than 64 MiB";
  } else if (result.status == ScanStatus::kOutOfRange) {
    fault = "is out of range";
  } else if (result.status == ScanStatus::kNotANumber ||
             !(canFollowField(in.buffer[in.pos]) || (in.pos == in.end && in.atEnd))) {
    fault = "is not a number";
  }
  if (fault != nullptr) {
    failField(records, {0, line, start}, field, fault);
    return std::nullopt;
  }
  return Field<decltype(scan("").value)>{result.value, line, start};
}

}  // namespace

void reportFault(RecordStream& records, std::uint64_t line, const std::string& what) {
  char prefix[64];
  std::snprintf(prefix, sizeof prefix, "error reading input file: line %" PRIu64 ": ", line);
  records.fault = prefix + what;
}

RecordStream makeRecordStream(InputReader& in, bool fastPath, std::optional<double> missingValue,
                              std::size_t columns, VectorLevel vectorLevel) {
  // A marker of 0 would hide among the runs of zeros the shortcut skips.
  const bool zeroMarker = missingValue && *missingValue == 0.0;
  RecordStream records{
      in, fastPath && !zeroMarker, vectorLevel, {}, {}, {}, 0, 0, {}, missingValue, {}, false, 0};
  if (missingValue) {
    records.missingInStep.assign(columns + 1, 0);
  }
  return records;
}

bool readRecordStampInFull(RecordStream& records, RecordStamp& stamp) {
  InputReader& in = records.in;
  if (records.fastPath && readStampFields(records.vectorLevel, in, records.recentDate, stamp,
                                          records.recordLine, records.monthLine)) {
    return true;
  }
  if (!skipSpace(in)) {
    if (in.readFailed) {
      records.fault = kReadErrorMessage;
    }
    return false;
  }
  records.recordLine = in.lineNumber;
  const auto year = readField(records, scanInt32, {"year"});
  if (!year) {
    return false;
  }
  const auto month = readField(records, scanInt32, {"month"});
  if (!month) {
    return false;
  }
  records.monthLine = month->line;
  const auto day = readField(records, scanInt32, {"day"});
  if (!day) {
    return false;
  }
  const auto hour = readField(records, scanFloat, {"hour"});
  if (!hour) {
    return false;
  }
  stamp = RecordStamp{year->value, month->value, day->value, hour->value};
  return true;
}

bool addRecordValues(RecordStream& records, double* sums, std::size_t columns,
                     double inputUnitMin) {
  for (std::size_t c = 1; c <= columns; ++c) {
    if (records.fastPath) {
      c = addValuesVector(records.vectorLevel, records.in, records.cache, records.recentValues,
                          sums, c, columns, inputUnitMin,
                          records.missingValue ? &*records.missingValue : nullptr);
      if (c > columns) {
        break;
      }
    }
    const FieldName field{"value of column", c};
    const auto value = readField(records, scanDouble, field);
    if (!value) {
      return false;
    }
    if (records.missingValue && value->value == *records.missingValue) {
      records.missingInStep[c] = 1;
      records.anyMissingInStep = true;
      ++records.missingValues;
      continue;
    }
    addToSum(sums[c], inputUnitMin, value->value);
    if (!std::isfinite(sums[c])) {
      // 1e308 times a unit of 60, or two such values in one step: the sum would be written as
      // "inf" or "-nan" into a file other models read as numbers.
      failField(records, {0, value->line, value->start}, field, "is out of range");
      return false;
    }
  }
  return true;
}

}  // namespace kelvarin
