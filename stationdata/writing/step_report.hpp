// What a step gives a writer of results in another layout than the table: the table's own line
// of the step (its values digit for digit), the step's interval, and each column's sunshine, the
// sunshine possible in the step and the part of that whose records are missing.
#pragma once

#include <cstddef>  // std::size_t
#include <string>
#include <string_view>
#include <vector>

#include "record_stamp.hpp"

namespace kelvarin {

/// The columns of a run: each column's station as header line 2 names it, and its place.
struct ReportColumns {
  std::vector<std::string> stations;  // column 1 first
  std::vector<float> latitudeDeg;     // column 1 first: the run's place or the column's own
  std::vector<float> longitudeDeg;
};

/// One step.
struct StepReport {
  RecordStamp last;  // the step's last record, its hour as stored
  double startMin;   // the step's interval in minutes from 1970-01-01 00:00 on the stored clock
  double endMin;
  const double* relative;     // by column, slot 0 unused: the result the table writes (clipped,
                              // kMissingValue for a missing step, 0 in the night)
  const double* sunshineMin;  // by column, slot 0 unused: the sum of its known records
  const double* possibleMin;  // by column: the sunshine possible in the step (0 in the night)
  const double* missingMin;   // by column: the part of that whose records are missing
  std::size_t columns;
};

/// A writer of results in another layout, owning its file. Each returns false when it could not
/// write; failure() then gives the reason in the writer's words, or nothing.
class StepReporter {
 public:
  virtual ~StepReporter() = default;
  virtual bool begin(const ReportColumns& columns) = 0;
  virtual bool step(const StepReport& report) = 0;
  /// Writes what is held and closes the file.
  virtual bool finish() = 0;
  virtual std::string failure() const = 0;
};

}  // namespace kelvarin
