// Results as a tidy CSV (RFC 4180): one header row, one row per station and step.
#pragma once

#include <cstdio>  // std::FILE
#include <string>
#include <string_view>
#include <vector>

#include "writing/fixed_format.hpp"  // kMaxFixedLength
#include "writing/step_report.hpp"

namespace kelvarin {

/// The header row of the CSV layout.
inline constexpr char kCsvHeader[] =
    "station,latitude,longitude,start,end,relative_sunshine,sunshine_min,possible_sunshine_min,"
    "observed_share";

/// Writes each step's rows to `file`, which it owns and closes. Times are the stamps' clock (as
/// stored); a missing value is an empty field.
class CsvWriter : public StepReporter {
 public:
  explicit CsvWriter(std::FILE* file) : file_(file) {}
  ~CsvWriter() override;
  CsvWriter(const CsvWriter&) = delete;
  CsvWriter& operator=(const CsvWriter&) = delete;
  bool begin(const ReportColumns& columns) override;
  bool step(const StepReport& report) override;
  bool finish() override;
  std::string failure() const override { return {}; }

 private:
  std::FILE* file_;
  std::vector<std::string> prefixes_;  // by column: "station,latitude,longitude"
  std::string rows_;                   // a step's rows, written at once

  // The text of the minutes written last, kept while the next value is the same.
  class LastMinutes {
   public:
    std::string_view text(double minutes);

   private:
    double value_ = 0.0;
    bool kept_ = false;
    char text_[kMaxFixedLength] = {};
    std::size_t length_ = 0;
  };
  LastMinutes sunshine_;
  LastMinutes possible_;
};

}  // namespace kelvarin
