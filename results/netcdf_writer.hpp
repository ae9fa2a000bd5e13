// Results as a CF-1.8 NetCDF file of featureType timeSeries, in the orthogonal multidimensional
// form: station and time dimensions, time unlimited, so that each step is written as the run
// streams and nothing of the output is held in memory. The classic 64-bit-offset format: every
// NetCDF reader opens it, and a record is written where it ends, without chunks to cache.
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "writing/step_report.hpp"

namespace kelvarin {

/// What the file says about the run that made it, as global attributes.
struct NetcdfRun {
  std::string title;
  std::string source;                                      // kelvarin and its version
  std::string history;                                     // the command line
  std::string timeComment;                                 // the clock of the stamps
  std::vector<std::pair<std::string, double>> numbers;     // the answers
  std::vector<std::pair<std::string, std::string>> texts;  // the other settings
};

/// The value written for a step without a result.
inline constexpr float kNetcdfFill = -9999.0f;

class NetcdfWriter : public StepReporter {
 public:
  NetcdfWriter(std::string path, NetcdfRun run) : path_(std::move(path)), run_(std::move(run)) {}
  ~NetcdfWriter() override;
  NetcdfWriter(const NetcdfWriter&) = delete;
  NetcdfWriter& operator=(const NetcdfWriter&) = delete;

  /// Creates the file and its variables, and writes the stations and their places.
  bool begin(const ReportColumns& columns) override;
  bool step(const StepReport& report) override;
  /// Writes the steps held and closes the file; returns false when that failed.
  bool finish() override;
  /// Returns the reason of the last failure: the NetCDF library's words, or kelvarin's.
  std::string failure() const override { return failure_; }

 private:
  bool check(int status);
  bool defineVariables(std::size_t stations, std::size_t nameLength);
  bool defineSeries(const std::array<int, 2>& series);
  bool writeGlobals();
  bool flush();

  const struct NetcdfLibrary* nc_ = nullptr;  // loaded by begin()
  std::string path_;
  NetcdfRun run_;
  std::string failure_;
  int ncid_ = -1;
  std::size_t steps_ = 0;
  std::size_t stations_ = 0;
  int time_ = -1, bounds_ = -1, relative_ = -1, sunshine_ = -1, possible_ = -1, share_ = -1;
  int stationId_ = -1, lat_ = -1, lon_ = -1;
  // Steps held until a batch is full, then written with one call per variable: a call per step
  // and variable cost more than the run itself. Bounded in bytes, not in steps.
  std::size_t batch_ = 1;
  std::size_t held_ = 0;
  std::vector<double> times_, boundValues_;
  std::vector<float> series_[4];
};

}  // namespace kelvarin
