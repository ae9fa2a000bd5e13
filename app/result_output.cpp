#include "result_output.hpp"

#include <fcntl.h>     // open
#include <sys/stat.h>  // stat
#include <unistd.h>    // close

#include <cerrno>
#include <string>
#include <variant>

#include "kelvarin.hpp"       // the exit statuses
#include "result_text.hpp"    // shortestDouble
#include "result_writer.hpp"  // makeResultWriter
#include "step/calendar.hpp"  // periodName

namespace kelvarin {

ResultOutput::~ResultOutput() {
  reporter.reset();
  if (fd >= 0) {
    close(fd);
  }
  removeTemporary(temporary);
}

namespace {

// Opens the place's file for a run that writes through it: a pipe waits here for its reader.
int openStream(const OutputPlace& place) {
  return open(place.path.c_str(), O_WRONLY | O_CLOEXEC);
}

}  // namespace

std::optional<int> openResultOutput(const CommandLine& line, std::FILE* alerts,
                                    ResultOutput& output) {
  output.format = line.format;
  const auto refuse = [&](const std::string& why) {
    std::fprintf(alerts, "error opening file %s%s\n", line.outputName.c_str(), why.c_str());
    return kExitFile;
  };
  std::variant<OutputPlace, std::string> found = placeOutput(line.outputName);
  if (const auto* refusal = std::get_if<std::string>(&found)) {
    return refuse(*refusal);
  }
  output.place = std::get<OutputPlace>(found);
  if (output.place.kind == OutputKind::kStream) {
    if (layoutOf(line.format).needsSeek) {
      return refuse(" (a pipe, a device or a descriptor: the " +
                    std::string(layoutOf(line.format).word) +
                    " layout needs a file it can seek in)");
    }
    output.fd = openStream(output.place);
    return output.fd < 0 ? std::optional<int>(refuse("")) : std::nullopt;
  }
  output.fd = createTemporary(output.place, output.temporary);
  if (output.fd < 0) {
    struct stat info {};
    if ((errno == EACCES || errno == EROFS) && stat(output.place.path.c_str(), &info) == 0) {
      // Written in place, a failed run would leave a cut file where the earlier results were.
      return refuse(
          " (its folder is not writable: the results replace the file whole, from a "
          "file written beside it)");
    }
    return refuse("");
  }
  return std::nullopt;
}

namespace {

NetcdfRun describeRun(const CommandLine& line, const RunParameters& params) {
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
  // Which possible sunshine the ratio divides by.
  const PossibleSunshine& possible = line.run.possible;
  run.texts.emplace_back("sun_model", sunModelName(possible.model));
  run.numbers.emplace_back("sun_elevation_deg",
                           possible.elevationDeg.value_or(defaultSunElevationDeg(possible.model)));
  if (!line.horizonName.empty()) {
    run.texts.emplace_back("horizon", line.horizonName);
  }
  return run;
}

}  // namespace

bool startResultWriter(ResultOutput& output, const CommandLine& line, const RunParameters& params) {
  const std::string& path =
      output.place.kind == OutputKind::kStream ? output.place.path : output.temporary;
  output.reporter = makeResultWriter(output.format, output.fd, path, describeRun(line, params));
  output.fd = -1;  // the writer's now, or closed
  return output.reporter != nullptr;
}

std::string resultFailure(const ResultOutput& output) {
  return output.reporter != nullptr ? output.reporter->failure() : std::string();
}

bool finishResultOutput(ResultOutput& output, bool succeeded) {
  const bool finished = output.reporter != nullptr && output.reporter->finish();
  if (!succeeded) {
    return true;  // the run's own fault is the one to tell; the temporary file goes
  }
  if (!finished) {
    return false;
  }
  if (output.place.kind == OutputKind::kStream) {
    return true;
  }
  if (!replaceWithTemporary(output.place, output.temporary)) {
    return false;
  }
  output.temporary.clear();
  return true;
}

}  // namespace kelvarin
