// The data records of a station file, read field by field: a record's time fields, then its
// values added to their columns' sums. The first faulty field ends the reading, with a message
// naming its line, its field and its text.
#pragma once

#include <cstddef>  // std::size_t
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "input_reader.hpp"
#include "record_stamp.hpp"
#include "value_vector.hpp"

namespace kelvarin {

struct RecordStream {
  InputReader& in;
  bool fastPath = true;  // off: every value takes the general path (for tests and comparisons)
  VectorLevel vectorLevel = VectorLevel::kPortable;  // of the vector value path
  ValueCache cache{};
  RecentDate recentDate{};
  RecentValues recentValues{};
  std::uint64_t recordLine = 0;  // where the record read last begins
  std::uint64_t monthLine = 0;   // where its month stands, for the message on a month
  std::string fault;             // the console line of the first fault; empty while there is none

  // Missing values, when the run declares a marker: by column, for the step being read.
  std::optional<double> missingValue;
  std::vector<unsigned char> missingInStep;  // N + 1 flags; slot 0 is unused
  bool anyMissingInStep = false;
  std::uint64_t missingValues = 0;  // in the whole run
};

/// Returns a stream of the records of `in`. `missingValue`, when given, marks missing values.
/// The fast value paths are used when `fastPath` is set, with `vectorLevel` for the vector one.
RecordStream makeRecordStream(InputReader& in, bool fastPath, std::optional<double> missingValue,
                              std::size_t columns,
                              VectorLevel vectorLevel = VectorLevel::kPortable);

/// readRecordStamp for every record but the common one it takes inline.
bool readRecordStampInFull(RecordStream& records, RecordStamp& stamp);

/// Reads the time fields of the next record into `stamp`. Returns false at the end of the input,
/// or on a fault, which `fault` then describes (a read error included). Inline, so that the stamp
/// of the common record stays in registers rather than being read back from memory.
inline bool readRecordStamp(RecordStream& records, RecordStamp& stamp) {
  return (records.fastPath && readRepeatedDateQuickly(records.in, records.recentDate, stamp,
                                                      records.recordLine, records.monthLine)) ||
         readRecordStampInFull(records, stamp);
}

/// Reads the `columns` values of the record whose stamp was read last and adds each, times
/// `inputUnitMin`, to `sums[1]` to `sums[columns]`; a missing value is flagged instead. Returns
/// false on a fault (`fault` says which); a sum that would no longer be a finite number is one.
bool addRecordValues(RecordStream& records, double* sums, std::size_t columns, double inputUnitMin);

/// Sets `fault` to the message for a line of the records, "error reading input file: line L: ...".
void reportFault(RecordStream& records, std::uint64_t line, const std::string& what);

}  // namespace kelvarin
