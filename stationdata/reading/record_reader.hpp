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

  // Missing values, when the run declares a marker: by column, for the step being read.
  std::optional<double> missingValue{};
  std::vector<unsigned char> missingInStep{};  // N + 1 flags; slot 0 is unused
  bool anyMissingInStep = false;
  std::uint64_t missingValues = 0;  // in the whole run
};

/// Returns a reader of the records of `in` with `columns` values each. `missingValue`, when
/// given, marks missing values. With `shortcuts`, the shortcuts are tried first, and `level`'s
/// kernels read the values.
RecordReader makeRecordReader(InputReader& in, bool shortcuts, std::optional<double> missingValue,
                              std::size_t columns, VectorLevel level = VectorLevel::kPortable);

/// What reading a record gave.
enum class ReadOutcome {
  kRecord,     // the stamp and every value
  kEnd,        // the input ended before the record's first field
  kBadStamp,   // a time field is faulty or missing: `fault` says which
  kBadValues,  // the stamp was read, a value is faulty or missing: `fault` says which
};

/// Reads the next record: its stamp into `stamp`, then its `columns` values, each times
/// `inputUnitMin` added to `sums[1]` to `sums[columns]`; a declared missing value is flagged
/// instead. A sum that would no longer be a finite number is a fault.
ReadOutcome readRecord(RecordReader& records, RecordStamp& stamp, double* sums, std::size_t columns,
                       double inputUnitMin);

}  // namespace kelvarin
