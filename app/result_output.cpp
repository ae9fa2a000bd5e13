#include "result_output.hpp"

#include <unistd.h>  // close

#include <cstdlib>  // mkstemp

#include "csv_writer.hpp"
#include "kelvarin.hpp"  // the exit statuses
#include "netcdf_writer.hpp"
#include "result_text.hpp"    // shortestDouble
#include "step/calendar.hpp"  // periodName

namespace kelvarin {

ResultOutput::~ResultOutput() {
  if (csvFile != nullptr) {
    std::fclose(csvFile);
  }
  reporter.reset();
  if (!temporary.empty()) {
    std::remove(temporary.c_str());
  }
}

std::optional<int> openResultOutput(const CommandLine& line, std::FILE* alerts,
                                    ResultOutput& output) {
  output.format = line.format;
  output.target = line.outputName;
  const std::size_t slash = line.outputName.rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string() : line.outputName.substr(0, slash + 1);
  const std::string base =
      slash == std::string::npos ? line.outputName : line.outputName.substr(slash + 1);
  std::string name = folder + "." + base + ".kelvarin-XXXXXX";
  const int fd = mkstemp(name.data());
  if (fd < 0) {
    std::fprintf(alerts, "error opening file %s\n", line.outputName.c_str());
    return kExitFile;
  }
  output.temporary = name;
  if (line.format == OutputFormat::kCsv) {
    output.csvFile = fdopen(fd, "w");
    if (output.csvFile == nullptr) {
      close(fd);
      std::fprintf(alerts, "error opening file %s\n", line.outputName.c_str());
      return kExitFile;
    }
  } else {
    close(fd);  // the NetCDF library creates the file anew under this name
  }
  return std::nullopt;
}

namespace {

NetcdfRun netcdfRun(const CommandLine& line, const RunParameters& params) {
  NetcdfRun run;
  run.title = "relative sunshine duration of " + line.inputName;
  run.source = "kelvarin " KELVARIN_VERSION;
  run.history = line.commandLine;
  run.timeComment =
      "times are the input file's stamps as stored; local time is this plus time_shift_h hours, "
      "the mean solar time of meridian_deg";
  if (line.placesName.empty()) {
    run.numbers.emplace_back("latitude_deg", shortestDouble(params.latitudeDeg));
    run.numbers.emplace_back("longitude_deg", shortestDouble(params.longitudeDeg));
  } else {
    run.texts.emplace_back("places", line.placesName);
  }
  run.numbers.emplace_back("input_step_min", static_cast<double>(params.inputStepMin));
  run.numbers.emplace_back("input_unit_min", static_cast<double>(params.inputUnitMin));
  if (params.outputPeriod == CalendarPeriod::kNone) {
    run.numbers.emplace_back("output_step_min", static_cast<double>(params.outputStepMin));
  } else {
    run.texts.emplace_back("output_step", periodName(params.outputPeriod));
  }
  run.numbers.emplace_back("time_shift_h", static_cast<double>(params.timeShiftH));
  run.numbers.emplace_back("meridian_deg", static_cast<double>(params.referenceMeridianDeg));
  run.numbers.emplace_back("coverage", line.run.coverage);
  return run;
}

}  // namespace

void startResultWriter(ResultOutput& output, const CommandLine& line, const RunParameters& params) {
  if (output.format == OutputFormat::kCsv) {
    output.reporter = std::make_unique<CsvWriter>(output.csvFile);
  } else {
    output.reporter = std::make_unique<NetcdfWriter>(output.temporary, netcdfRun(line, params));
  }
}

std::string resultFailure(const ResultOutput& output) {
  if (const auto* netcdf = dynamic_cast<const NetcdfWriter*>(output.reporter.get())) {
    return netcdf->failure();
  }
  return {};
}

bool finishResultOutput(ResultOutput& output, bool succeeded) {
  bool closed = true;
  if (output.csvFile != nullptr) {
    closed = std::fflush(output.csvFile) == 0 && std::ferror(output.csvFile) == 0;
    closed = std::fclose(output.csvFile) == 0 && closed;
    output.csvFile = nullptr;
  }
  if (auto* netcdf = dynamic_cast<NetcdfWriter*>(output.reporter.get())) {
    closed = netcdf->close() && closed;
  }
  if (!succeeded) {
    return true;  // the run's own fault is the one to tell; the temporary file goes
  }
  if (!closed) {
    return false;
  }
  if (std::rename(output.temporary.c_str(), output.target.c_str()) != 0) {
    return false;
  }
  output.temporary.clear();
  return true;
}

}  // namespace kelvarin
