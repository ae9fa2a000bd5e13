#include "driver.hpp"

#include <sys/stat.h>  // fstat, stat, S_ISDIR

#include <algorithm>  // std::any_of
#include <cstdlib>    // std::getenv
#include <memory>     // std::unique_ptr
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "horizon_table.hpp"
#include "longitude.hpp"
#include "output_file.hpp"
#include "places_table.hpp"
#include "reading/input_reader.hpp"
#include "result_output.hpp"
#include "step/step_loop.hpp"
#include "writing/output_buffer.hpp"

namespace kelvarin {

namespace {

// A file open for the run, closed by its owner wherever the run ends. The output is closed by
// closeOutput instead, where a failed close is a failed write.
struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using OpenFile = std::unique_ptr<std::FILE, FileCloser>;

bool isDirectory(std::FILE* file) {
  struct stat info {};
  return fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode);
}

// Returns true when `name` is the file open as `file`, under this name or another one.
bool isSameFile(std::FILE* file, const std::string& name) {
  struct stat open {};
  struct stat named {};
  return fstat(fileno(file), &open) == 0 && stat(name.c_str(), &named) == 0 &&
         open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

// Opens a data file, refusing a directory, which the C library would open for reading.
OpenFile openDataFile(const std::string& name, const char* mode, std::FILE* console) {
  OpenFile file(std::fopen(name.c_str(), mode));
  if (file != nullptr && isDirectory(file.get())) {
    file.reset();
  }
  if (file == nullptr) {
    std::fprintf(console, "error opening file %s\n", name.c_str());
  }
  return file;
}

// A stream that swallows what is written: the console of a --quiet run.
OpenFile openNullStream() {
  cookie_io_functions_t io{};
  io.write = [](void*, const char*, std::size_t size) { return static_cast<ssize_t>(size); };
  return OpenFile(fopencookie(nullptr, "w", io));
}

// KELVARIN_FAST_PATH=0 turns every shortcut off, of reading, writing and the sun memo: every field
// through the plain reader, every result and stamp through the plain writers, every sun time
// worked out. The way to tell a fault of a shortcut from a fault of the file.
bool useShortcuts() {
  const char* setting = std::getenv("KELVARIN_FAST_PATH");
  return setting == nullptr || std::string_view(setting) != "0";
}

// The widest vector instructions of the processor, or the kernel KELVARIN_VECTOR names, so that
// every kernel can be run end to end on one machine. A name that is no kernel, or one this
// processor cannot run, is refused: falling back without a word would test another kernel than
// the one asked for.
std::optional<VectorLevel> chooseVectorLevel(std::FILE* alerts) {
  const char* setting = std::getenv("KELVARIN_VECTOR");
  if (setting == nullptr || *setting == '\0') {
    return detectVectorLevel();
  }
  const std::optional<VectorLevel> level = vectorLevelNamed(setting);
  if (!level) {
    std::fprintf(alerts,
                 "error in the environment: KELVARIN_VECTOR=%s is no kernel (portable, sse2 or "
                 "avx2)\n",
                 setting);
  } else if (!canRunVectorLevel(*level)) {
    std::fprintf(alerts,
                 "error in the environment: KELVARIN_VECTOR=%s: this processor cannot run it\n",
                 setting);
    return std::nullopt;
  }
  return level;
}

// Warns of the arguments after the two file names, or refuses them with --strict.
// "in.txt out.txt --missing -999" once dropped the marker without a word, and -999 was summed as
// sunshine.
bool checkIgnored(const CommandLine& line, std::FILE* alerts) {
  if (line.ignored.empty()) {
    return true;
  }
  std::string words;
  for (const std::string& word : line.ignored) {
    words += " " + word;
  }
  if (line.run.strict) {
    std::fprintf(alerts,
                 "error in the command line: arguments after the two file names would be "
                 "ignored:%s (options go before the file names)\n",
                 words.c_str());
    return false;
  }
  std::fprintf(alerts,
               "warning: arguments after the two file names are ignored:%s (options go before "
               "the file names)\n",
               words.c_str());
  return true;
}

// Reads the table named `name` (`what` it is, for messages) with `read`, before the output is
// opened: a mistyped table name must not cost the results of an earlier run. Returns the exit
// status of a refusal, which it prints.
template <typename Read>
std::optional<int> loadTable(const CommandLine& line, const std::string& name, const char* what,
                             std::FILE* alerts, Read read) {
  const OpenFile file = openDataFile(name, "r", alerts);
  if (file == nullptr) {
    return kExitFile;
  }
  if (isSameFile(file.get(), line.outputName)) {
    std::fprintf(alerts, "error opening file %s (it is the %s)\n", line.outputName.c_str(), what);
    return kExitFile;
  }
  if (const std::optional<PlacesFault> fault = read(file.get())) {
    std::string text = "answers refused: " + name;
    if (fault->line != 0) {
      text += ": line " + std::to_string(fault->line);
    }
    std::fprintf(alerts, "%s: %s\n", text.c_str(), fault->text.c_str());
    return kExitAnswers;
  }
  return std::nullopt;
}

// Reads the table of --places, when given.
std::optional<int> loadPlaces(const CommandLine& line, std::FILE* alerts,
                              std::vector<StationPlace>& places) {
  if (line.placesName.empty()) {
    return std::nullopt;
  }
  return loadTable(line, line.placesName, "places table", alerts,
                   [&](std::FILE* file) { return readPlacesTable(file, places); });
}

// Reads the table of --horizon, when given: a table without a row of a skyline is refused.
std::optional<int> loadHorizon(const CommandLine& line, std::FILE* alerts, HorizonTable& horizon) {
  if (line.horizonName.empty()) {
    return std::nullopt;
  }
  return loadTable(line, line.horizonName, "horizon table", alerts,
                   [&](std::FILE* file) -> std::optional<PlacesFault> {
                     if (auto fault = readHorizonTable(file, horizon)) {
                       return fault;
                     }
                     if (!horizon.everyColumn && horizon.stations.empty()) {
                       return PlacesFault{0, "no row of a horizon"};
                     }
                     return std::nullopt;
                   });
}

// The console line of a column that the places table cannot place.
void reportUnplaced(const Unplaced& unplaced, const std::string& placesName, std::FILE* alerts) {
  const std::string column = " (column " + std::to_string(unplaced.column) + ")";
  if (unplaced.status == StationNumberStatus::kNumber) {
    std::fprintf(alerts, "answers refused: %s: no row for station %s%s\n", placesName.c_str(),
                 unplaced.station.c_str(), column.c_str());
  } else {
    std::fprintf(alerts, "answers refused: %s: %s%s\n", placesName.c_str(),
                 stationNumberFault(unplaced.station, unplaced.status).c_str(), column.c_str());
  }
}

// The files of a run, each closed by its owner.
struct RunFiles {
  OpenFile input;
  OpenFile output;      // the table
  TableSink table;      // the table's descriptor, written in whole lines
  ResultOutput result;  // or a file in another layout
  std::vector<StationPlace> places;
  HorizonTable horizon;
};

// Opens the input, reads the places table and opens the output, in this order, so that nothing
// is emptied before everything it depends on has been read. Returns the status of a refusal.
std::optional<int> openRunFiles(const CommandLine& line, std::FILE* alerts, RunFiles& files) {
  files.input = openDataFile(line.inputName, "r", alerts);
  if (files.input == nullptr) {
    return kExitFile;
  }
  if (isSameFile(files.input.get(), line.outputName)) {
    // Opening the output would empty the input before a line of it was read.
    std::fprintf(alerts, "error opening file %s (it is the input file)\n", line.outputName.c_str());
    return kExitFile;
  }
  if (const std::optional<int> status = loadPlaces(line, alerts, files.places)) {
    return status;
  }
  if (const std::optional<int> status = loadHorizon(line, alerts, files.horizon)) {
    return status;
  }
  if (line.format != OutputFormat::kTable) {
    return openResultOutput(line, alerts, files.result);
  }
  files.output = openDataFile(line.outputName, "w", alerts);
  if (files.output == nullptr) {
    return kExitFile;
  }
  struct stat info {};
  files.table.fd = fileno(files.output.get());
  files.table.truncatable = fstat(files.table.fd, &info) == 0 && S_ISREG(info.st_mode);
  return std::nullopt;
}

// Runs the station file with the answers and returns the exit status; the whole lines written
// before whatever stopped the run reach the file.
int convert(const CommandLine& line, const RunParameters& params, VectorLevel vectorLevel,
            RunFiles& files, std::FILE* report, std::FILE* alerts) {
  InputReader reader = makeInputReader(files.input.get());
  // In another layout the table is worked out as always, its lines given to the layout's writer
  // and dropped.
  OutputBuffer buffer = makeOutputBuffer(files.output.get());
  if (files.output != nullptr) {
    buffer.writeLines = writeWholeLines;
    buffer.sink = &files.table;
  }
  RunOptions options = line.run;
  if (line.format != OutputFormat::kTable) {
    if (!startResultWriter(files.result, line, params)) {
      std::fprintf(alerts, "error writing file %s\n", line.outputName.c_str());
      return kExitFile;
    }
    options.reporter = files.result.reporter.get();
  }
  options.shortcuts = useShortcuts();
  options.vectorLevel = vectorLevel;
  if (!line.placesName.empty()) {
    options.places = &files.places;
  }
  if (!line.horizonName.empty()) {
    options.possible.horizon = &files.horizon;
  }
  const RunOutcome outcome = convertStationFile(reader, buffer, {report, alerts}, params, options);
  int status = kExitSuccess;
  if (outcome.end == RunEnd::kBadInput) {
    std::fprintf(alerts, "%s\n", faultMessage(outcome.fault).c_str());
    status = kExitFile;
  }
  if (outcome.end == RunEnd::kPlacesRefused) {
    reportUnplaced(*outcome.unplaced, line.placesName, alerts);
    status = kExitAnswers;
  }
  bool closed = flushLines(buffer);
  if (line.format == OutputFormat::kTable) {
    closed = std::fclose(files.output.release()) == 0 && closed;
  } else {
    const bool succeeded = outcome.end == RunEnd::kDone && status == kExitSuccess;
    closed = finishResultOutput(files.result, succeeded) && closed;
  }
  if (outcome.end == RunEnd::kWriteFailed || buffer.writeFailed || !closed) {
    const std::string why = resultFailure(files.result);
    std::fprintf(alerts, "error writing file %s%s\n", line.outputName.c_str(),
                 why.empty() ? "" : (": " + why).c_str());
    status = kExitFile;
  }
  return status;
}

// Opens the files, asks the answers not given on the command line and runs the file. Reports go
// to `report` (nowhere with --quiet), warnings and errors to `alerts`.
int runWithFiles(const CommandLine& line, std::FILE* answers, std::FILE* report,
                 std::FILE* alerts) {
  std::fputs(kBanner, report);
  guardOutputAgainstSignals();
  if (!checkIgnored(line, alerts)) {
    return kExitUsage;
  }
  const std::optional<VectorLevel> vectorLevel = chooseVectorLevel(alerts);
  if (!vectorLevel) {
    return kExitUsage;
  }
  RunFiles files;
  if (const std::optional<int> status = openRunFiles(line, alerts, files)) {
    return *status;
  }
  RunParameters params = line.params;
  std::optional<std::string> refusal = readRunParameters(answers, report, params, line.given);
  if (!refusal) {
    refusal = refuseRunParameters(params, line.given);
  }
  if (refusal) {
    std::fputs(refusal->c_str(), alerts);
    return kExitAnswers;
  }
  // A longitude of 0 to 360 east is the place it names west of Greenwich, as in a places table.
  params.longitudeDeg =
      static_cast<float>(*halfCircleLongitude(static_cast<double>(params.longitudeDeg)));
  const int status = convert(line, params, *vectorLevel, files, report, alerts);
  if (status == kExitSuccess) {
    std::fputs("ready..\n", report);
  }
  return status;
}

}  // namespace

int runKelvarin(int argc, char** argv, std::FILE* answers, std::FILE* console) {
  const std::variant<CommandLine, CommandLineEnd> parsed = parseCommandLine(argc, argv);
  if (const auto* end = std::get_if<CommandLineEnd>(&parsed)) {
    // The command line may end before --quiet is read: wherever it stands, only the refusal or
    // the usage is printed.
    if (!std::any_of(argv + 1, argv + argc,
                     [](const char* arg) { return std::string_view(arg) == "--quiet"; })) {
      std::fputs(kBanner, console);
    }
    std::fputs(end->text.c_str(), console);
    return end->status;
  }
  const CommandLine& line = std::get<CommandLine>(parsed);
  // With --quiet the reports go nowhere; warnings and errors still reach the console.
  const OpenFile quiet = line.quiet ? openNullStream() : nullptr;
  return runWithFiles(line, answers, line.quiet ? quiet.get() : console, console);
}

}  // namespace kelvarin
