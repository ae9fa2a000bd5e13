// The data records of a station file: a record's time fields, then its values added to their
// columns' sums. readRecord is the one place where the shortcuts meet the plain reader: each is
// tried first where it applies, and the plain reader takes everything else and owns every message
// about a field. The first faulty field ends the reading.
#pragma once

#include <cstddef>  // std::size_t
#include <cstdint>
#include <optional>
#include <vector>

#include "read_fault.hpp"
#include "reading/input_reader.hpp"
#include "reading/kernels/kernel_api.hpp"
#include "reading/shortcuts.hpp"
#include "record_stamp.hpp"

namespace kelvarin {

struct RecordReader {
  InputReader& in;
  bool shortcuts = true;                 // off: every field through the plain reader
  const KernelTable* kernels = nullptr;  // the vector kernels of the run's instruction set
  ValueCache cache{};
  RecentDate recentDate{};
  RecentValues recentValues{};
  std::uint64_t recordLine = 0;  // where the record read last begins
  std::uint64_t monthLine = 0;   // where its month stands, for the message on a month
  ReadFault fault{};             // why the reading stopped, after kBadStamp or kBadValues

  // Missing values, when the run declares markers: the columns of the record read last whose value
  // is one, in order. The record's own, read anew with each record; the step decides what they
  // mean.
  std::vector<double> missingMarkers{};
  std::vector<std::size_t> missingColumns{};
  std::uint64_t missingValues = 0;  // in the whole run
};

/// Returns a reader of the records of `in` with `columns` values each. A value equal to one of
/// `missingMarkers` is missing. With `shortcuts`, the shortcuts are tried first, and `level`'s
/// kernels read the values.
RecordReader makeRecordReader(InputReader& in, bool shortcuts,
                              const std::vector<double>& missingMarkers, std::size_t columns,
                              VectorLevel level = VectorLevel::kPortable);

/// What reading a record gave.
enum class ReadOutcome {
  kRecord,     // the stamp and every value
  kEnd,        // the input ended before the record's first field
  kBadStamp,   // a time field is faulty or missing: `fault` says which
  kBadValues,  // the stamp was read, a value is faulty or missing: `fault` says which
};

namespace detail {

/// The plain reader of a stamp: four fields, each read and checked on its own. With the
/// shortcuts, the date's text is remembered for repeatsLastDate.
ReadOutcome readStampPlainly(RecordReader& records, RecordStamp& stamp);

/// The plain reader of one value, added to its column's sum or flagged as missing.
bool readValuePlainly(RecordReader& records, double* sums, std::size_t c, double inputUnitMin);

/// Runs the kernel from column `first` and returns the first column it did not take. A record of
/// few columns taken whole on one line is remembered for repeatsLastValues.
std::size_t addValuesByKernel(RecordReader& records, double* sums, std::size_t first,
                              std::size_t columns, double inputUnitMin);

}  // namespace detail

/// Reads the next record: its stamp into `stamp`, then its `columns` values, each times
/// `inputUnitMin` added to `sums[1]` to `sums[columns]`; the columns of declared missing values
/// are given in `records.missingColumns` instead. A sum that would no longer be a finite number
/// is a fault. Inline, so that the common record's stamp stays in the caller's registers.
inline ReadOutcome readRecord(RecordReader& records, RecordStamp& stamp, double* sums,
                              std::size_t columns, double inputUnitMin) {
  InputReader& in = records.in;
  if (!records.missingColumns.empty()) {
    records.missingColumns.clear();
  }
  // The stamp: the date of the record before where it repeats, or the plain reader.
  if (records.shortcuts && (repeatsLastDateAtLineStart(in, records.recentDate, stamp) ||
                            repeatsLastDate(in, records.recentDate, stamp))) {
    records.recordLine = in.lineNumber;
    records.monthLine = in.lineNumber;
  } else if (const ReadOutcome got = detail::readStampPlainly(records, stamp);
             got != ReadOutcome::kRecord) {
    return got;
  }
  // The values: the values of the record before where they repeat, the kernel while it takes
  // them, the plain reader for each it leaves.
  if (records.shortcuts && columns <= RecentValues::kMaxColumns &&
      repeatsLastValues(in, records.recentValues, sums, columns, inputUnitMin)) {
    return ReadOutcome::kRecord;
  }
  for (std::size_t c = 1; c <= columns; ++c) {
    if (records.shortcuts) {
      c = detail::addValuesByKernel(records, sums, c, columns, inputUnitMin);
      if (c > columns) {
        break;
      }
    }
    if (!detail::readValuePlainly(records, sums, c, inputUnitMin)) {
      return ReadOutcome::kBadValues;
    }
  }
  return ReadOutcome::kRecord;
}

}  // namespace kelvarin
