// kelvarin-prepare: the files of public archives as they are downloaded, with their station lists,
// turned into a station file that kelvarin reads and the places table of its stations. Data go to
// standard output or -o; messages and the summary go to standard error, so that the tool can sit
// in a pipe.
#include <getopt.h>        // getopt_long
#include <sys/resource.h>  // getrlimit, setrlimit: the files open at once
#include <sys/stat.h>      // stat: inputs that can be read again

#include <algorithm>  // std::all_of, std::min
#include <cerrno>
#include <charconv>  // std::from_chars
#include <cstdio>
#include <cstring>  // std::strerror
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "network_places.hpp"
#include "reread_values.hpp"
#include "sources.hpp"
#include "station_file.hpp"
#include "summary.hpp"
#include "tables.hpp"
#include "text_rows.hpp"

namespace {

using namespace kelvarin;
using namespace kelvarin::prepare;

constexpr char kUsage[] =
    "usage: kelvarin-prepare [OPTIONS] FILE...\n"
    "Reads delimited tables of sunshine duration (one row per station and time) and writes one\n"
    "station file for kelvarin: five header lines, then one record per time step.\n"
    "  -o, --output FILE     write the station file to FILE instead of standard output\n"
    "  --split DIR           write one station file per station, DIR/STATION.txt, named by the\n"
    "                        station's identifier\n"
    "  --places FILE         write the places of the stations (from their station lists) as\n"
    "                        kelvarin --places reads them\n"
    "  --station-list FILE   a station list (repeatable); lists among the FILEs are found too\n"
    "  --separator C         the field separator: ';', ',' or tab (found in the header row)\n"
    "  --time COLUMN         the time column, by header name or 1-based number\n"
    "  --station COLUMN      the station column (none: each file is one station)\n"
    "  --value COLUMN        the column of sunshine values\n"
    "  --unit U              the unit of the values: minutes, hours, tenths (of hours) or\n"
    "                        seconds (both written as minutes); known layouts know their own\n"
    "  --missing TEXT        a value that marks a missing measurement (repeatable; the empty\n"
    "                        cell always does, and each known layout's own markers)\n"
    "  --stamp start|end     the stamps mark the start or the end (default) of each interval\n"
    "  --step MIN            the time step in minutes (found from the stamps)\n"
    "  --wide-grid           take a grid of more than ten times the records of the longest\n"
    "                        station (refused otherwise: a few stray stamps stretch it)\n"
    "  --strict              refuse what the summary would otherwise name: a last line\n"
    "                        without a line break, historical and recent values that differ\n"
    "  --memory MIB          hold at most MIB mebibytes of values (default 128); beyond, the\n"
    "                        files are read again as the station file is written\n"
    "  --help, --version\n"
    "Known layouts need no column options (kelvarin-prepare(1) describes each):\n";

// The usage's list of the known layouts, from their table, with the line the summary ends with.
std::string usageText() {
  std::string text = kUsage;
  std::string line = " ";
  for (const SourceLayout& layout : knownLayouts()) {
    if (line.size() + layout.name.size() + 2 > 78) {
      text += line + "\n";
      line = " ";
    }
    line += " " + std::string(layout.name) + (&layout == &knownLayouts().back() ? "." : ",");
  }
  return text + line + "\nThe summary ends with the kelvarin command that fits the file.\n";
}

constexpr int kOk = 0;

struct Settings {
  TableSettings tables;
  std::uint64_t holdMiB = 128;
  GridSettings grid;
  std::string output;
  std::string splitDir;
  std::string placesFile;
  std::vector<std::string> stationLists;
  std::vector<std::string> files;
};

// Every message ends the run here: the one place that turns a refusal into text and a status.
int refuse(const Refusal& refusal) {
  std::fprintf(stderr, "kelvarin-prepare: %s\n", escapeControls(refusal.message).c_str());
  if (refusal.status == kStatusUsage) {
    std::fputs(usageText().c_str(), stderr);
  }
  return refusal.status;
}

int usageError(const std::string& message) {
  return refuse(Refusal{kStatusUsage, message});
}

// Reads --step: whole minutes that kelvarin can take.
std::optional<std::int64_t> readStep(const std::string& value) {
  std::int64_t minutes = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), minutes);
  if (error != std::errc() || end != value.data() + value.size() || minutes <= 0 ||
      minutes > kMaxStepMin) {
    return std::nullopt;
  }
  return minutes;
}

enum OptionId : int {
  kSeparator = 256,
  kTime,
  kStation,
  kValue,
  kMissing,
  kStamp,
  kStep,
  kSplit,
  kPlaces,
  kStationList,
  kUnit,
  kWideGrid,
  kStrict,
  kMemory,
  kHelp,
  kVersion
};

const option kOptions[] = {
    {"output", required_argument, nullptr, 'o'},
    {"separator", required_argument, nullptr, kSeparator},
    {"time", required_argument, nullptr, kTime},
    {"station", required_argument, nullptr, kStation},
    {"value", required_argument, nullptr, kValue},
    {"missing", required_argument, nullptr, kMissing},
    {"stamp", required_argument, nullptr, kStamp},
    {"step", required_argument, nullptr, kStep},
    {"split", required_argument, nullptr, kSplit},
    {"places", required_argument, nullptr, kPlaces},
    {"station-list", required_argument, nullptr, kStationList},
    {"unit", required_argument, nullptr, kUnit},
    {"wide-grid", no_argument, nullptr, kWideGrid},
    {"strict", no_argument, nullptr, kStrict},
    {"memory", required_argument, nullptr, kMemory},
    {"help", no_argument, nullptr, kHelp},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
};

// Takes the value of an option whose text is checked; returns a status when the run ends there.
std::optional<int> takeCheckedValue(int option, const std::string& value, Settings& settings) {
  switch (option) {
    case kSeparator:
      if (value != ";" && value != "," && value != "\t" && value != "tab") {
        return usageError("--separator takes ';', ',' or tab, not " + quoteText(value));
      }
      settings.tables.separator = value == "tab" ? '\t' : value[0];
      return std::nullopt;
    case kStamp:
      if (value != "start" && value != "end") {
        return usageError("--stamp takes start or end, not " + quoteText(value));
      }
      settings.grid.stampsMarkStart = value == "start";
      return std::nullopt;
    case kUnit:
      if (value != "minutes" && value != "hours" && value != "tenths" && value != "seconds") {
        return usageError("--unit takes minutes, hours, tenths or seconds, not " +
                          quoteText(value));
      }
      settings.tables.unit = value == "minutes"  ? kMinutes
                             : value == "hours"  ? kHours
                             : value == "tenths" ? kTenthsOfHours
                                                 : kSeconds;
      return std::nullopt;
    case kMemory: {
      const auto [end, error] =
          std::from_chars(value.data(), value.data() + value.size(), settings.holdMiB);
      if (error != std::errc() || end != value.data() + value.size() ||
          settings.holdMiB > (std::uint64_t{1} << 40)) {
        return usageError("--memory takes a whole number of mebibytes, not " + quoteText(value));
      }
      return std::nullopt;
    }
    case kStep:
      settings.grid.stepMin = readStep(value);
      if (!settings.grid.stepMin) {
        return usageError("--step takes a whole number of minutes from 1 to " +
                          std::to_string(kMaxStepMin) + ", not " + quoteText(value));
      }
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

// Takes one option; returns a status when the run ends there.
std::optional<int> takeOption(int option, const std::string& value, Settings& settings) {
  switch (option) {
    case 'o':
      settings.output = value;
      return std::nullopt;
    case kTime:
      settings.tables.timeColumn = value;
      return std::nullopt;
    case kStation:
      settings.tables.stationColumn = value;
      return std::nullopt;
    case kValue:
      settings.tables.valueColumn = value;
      return std::nullopt;
    case kMissing:
      settings.tables.missingMarkers.push_back(value);
      return std::nullopt;
    case kSplit:
      settings.splitDir = value;
      settings.grid.split = true;
      return std::nullopt;
    case kPlaces:
      settings.placesFile = value;
      return std::nullopt;
    case kStationList:
      settings.stationLists.push_back(value);
      return std::nullopt;
    case kWideGrid:
      settings.grid.wideGrid = true;
      return std::nullopt;
    case kStrict:
      settings.grid.strict = true;
      return std::nullopt;
    case kHelp:
      std::fputs(usageText().c_str(), stdout);
      return kOk;
    case kVersion:
      std::puts("kelvarin-prepare " KELVARIN_VERSION);
      return kOk;
    default:
      return takeCheckedValue(option, value, settings);
  }
}

// Reads the command line; returns a status when the run ends there.
std::optional<int> parse(int argc, char** argv, Settings& settings) {
  opterr = 0;
  int index = -1;
  for (int c; (c = getopt_long(argc, argv, ":o:", kOptions, &index)) != -1; index = -1) {
    const std::string value = optarg != nullptr ? optarg : "";
    // An unset variable in a script gives an empty value: never a file or column to take.
    if (optarg != nullptr && value.empty() && c != kMissing) {
      const std::string name = index >= 0 ? std::string("--") + kOptions[index].name : "-o";
      return usageError("option " + name + " has an empty value");
    }
    if (c == ':') {
      return usageError(std::string("option ") + argv[optind - 1] + " needs a value");
    }
    if (c == '?') {
      return usageError(std::string("unknown option ") + argv[optind - 1]);
    }
    if (const std::optional<int> status = takeOption(c, value, settings)) {
      return status;
    }
  }
  if (optind >= argc) {
    return usageError("no table to read");
  }
  if (!settings.splitDir.empty() && !settings.output.empty()) {
    return usageError("-o and --split exclude each other");
  }
  settings.files.assign(argv + optind, argv + argc);
  return std::nullopt;
}

// Refuses an output that would overwrite an input table, before anything is opened for writing.
std::optional<Refusal> checkOutput(const Collection& collection, const std::string& path) {
  if (const std::optional<std::string> input = inputAt(collection, path)) {
    return Refusal{kStatusRefused, fileName(path) + ": not written: it is the input table " +
                                       *input + ", which writing would destroy"};
  }
  return std::nullopt;
}

// The values as the writer asks for them: the ones held, or the ones read again from the tables
// for the stations `which`.
std::unique_ptr<StationValues> valuesOf(const Collection& collection,
                                        const std::vector<std::size_t>& which, bool strict) {
  if (collection.holdValues) {
    return std::make_unique<HeldValues>(collection);
  }
  return std::make_unique<RereadValues>(collection, which, strict);
}

// Writes `outputs` from `values`, and counts what merging them overruled.
std::optional<Refusal> writeFrom(Collection& collection, const StationNumbers& numbers,
                                 const std::vector<StationOutput>& outputs, StationValues& values,
                                 std::vector<ValueTally>& tallies) {
  auto refusal = writeStationFiles(outputs, collection, numbers, values, tallies);
  if (!refusal) {
    values.countOverruled(collection.counts);
  }
  return refusal;
}

std::vector<std::size_t> allStations(const Collection& collection) {
  std::vector<std::size_t> all(collection.stations.size());
  for (std::size_t s = 0; s < all.size(); ++s) {
    all[s] = s;
  }
  return all;
}

std::optional<Refusal> writeMerged(Collection& collection, const StationNumbers& numbers,
                                   const Grid& grid, const std::string& output, bool strict,
                                   std::vector<ValueTally>& tallies) {
  const std::string name = output.empty() ? "standard output" : fileName(output);
  std::FILE* out = stdout;
  if (!output.empty()) {
    if (auto refusal = checkOutput(collection, output)) {
      return refusal;
    }
    out = std::fopen(output.c_str(), "w");
    if (out == nullptr) {
      return Refusal{kStatusRefused, name + ": cannot be written: " + std::strerror(errno)};
    }
  }
  const std::vector<std::size_t> all = allStations(collection);
  const std::unique_ptr<StationValues> values = valuesOf(collection, all, strict);
  auto refusal =
      writeFrom(collection, numbers, {StationOutput{out, name, all, grid}}, *values, tallies);
  if (out != stdout && std::fclose(out) != 0 && !refusal) {
    refusal = Refusal{kStatusRefused, name + ": cannot be written"};
  }
  return refusal;
}

// The name of each station's split file: its own identifier, with every byte but letters,
// digits, '-', '_' and '.' written '_' (no folder, no hidden file); a name taken already gets
// "_2", "_3", ...
std::vector<std::string> splitNames(const Collection& collection) {
  std::vector<std::string> names;
  std::unordered_set<std::string> taken;
  for (const Series& series : collection.stations) {
    std::string name = series.label;
    for (char& c : name) {
      const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
      c = safe ? c : '_';
    }
    if (name.empty() || name[0] == '.') {
      name.insert(0, "station");
    }
    std::string unique = name;
    for (int n = 2; !taken.insert(unique).second; ++n) {
      unique = name + "_" + std::to_string(n);
    }
    names.push_back(unique);
  }
  return names;
}

std::optional<Refusal> writeSplit(Collection& collection, const StationNumbers& numbers,
                                  const Grid& grid, const std::string& folder, bool strict,
                                  std::vector<ValueTally>& tallies) {
  std::vector<std::string> paths;
  for (const std::string& name : splitNames(collection)) {
    paths.push_back(folder + "/" + name + ".txt");
    if (auto refusal = checkOutput(collection, paths.back())) {
      return refusal;
    }
  }
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    return Refusal{kStatusRefused,
                   fileName(folder) + ": the folder cannot be made: " + error.message()};
  }
  tallies.assign(collection.stations.size(), ValueTally{});
  const std::size_t batch = filesOpenAtOnce();  // the files read again have as many
  for (std::size_t from = 0; from < collection.stations.size(); from += batch) {
    const std::size_t to = std::min(collection.stations.size(), from + batch);
    std::vector<StationOutput> outputs;
    std::vector<std::size_t> which;
    std::optional<Refusal> refusal;
    for (std::size_t s = from; s < to && !refusal; ++s) {
      std::FILE* out = std::fopen(paths[s].c_str(), "w");
      if (out == nullptr) {
        refusal = Refusal{kStatusRefused,
                          fileName(paths[s]) + ": cannot be written: " + std::strerror(errno)};
        break;
      }
      // Each file covers its own station's stamps only.
      outputs.push_back(
          StationOutput{out,
                        fileName(paths[s]),
                        {s},
                        ownGrid(collection.stations[s], grid.stepMin, grid.dayStartMin)});
      which.push_back(s);
    }
    std::vector<ValueTally> counted;
    if (!refusal) {
      const std::unique_ptr<StationValues> values = valuesOf(collection, which, strict);
      refusal = writeFrom(collection, numbers, outputs, *values, counted);
    }
    for (const StationOutput& output : outputs) {
      if (std::fclose(output.file) != 0 && !refusal) {
        refusal = Refusal{kStatusRefused, output.name + ": cannot be written"};
      }
    }
    if (refusal) {
      return refusal;
    }
    for (std::size_t s = from; s < to; ++s) {
      tallies[s] = counted[s];
    }
  }
  return std::nullopt;
}

// Where the values are read again and rows of one stamp may differ with no rule to settle them,
// every value is compared before a file is opened for writing.
std::optional<Refusal> checkRepeats(const Collection& collection, const StationNumbers& numbers,
                                    const Grid& grid, bool strict) {
  if (collection.holdValues || !collection.checkRepeats) {
    return std::nullopt;
  }
  std::vector<StationOutput> looks;
  for (std::size_t s = 0; s < collection.stations.size(); ++s) {
    looks.push_back(StationOutput{
        nullptr, "", {s}, ownGrid(collection.stations[s], grid.stepMin, grid.dayStartMin)});
  }
  RereadValues values(collection, allStations(collection), strict);
  std::vector<ValueTally> tallies;
  return writeStationFiles(looks, collection, numbers, values, tallies);
}

// Returns true when every one of `paths` is a file, which can be read again.
bool allFiles(const std::vector<std::string>& paths) {
  return std::all_of(paths.begin(), paths.end(), [](const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
  });
}

// Lets the run open as many files at once as the system allows: a network's files are read
// side by side.
void raiseFileLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
}

std::optional<Refusal> readInputs(const Settings& settings, Collection& collection) {
  TableSettings lists = settings.tables;
  lists.stationList = true;
  for (const std::string& file : settings.stationLists) {
    if (auto refusal = readTableFile(file, lists, collection)) {
      return refusal;
    }
  }
  for (const std::string& file : settings.files) {
    if (auto refusal = readTableFile(file, settings.tables, collection)) {
      return refusal;
    }
  }
  if (!collection.kind.anyTable) {
    return Refusal{kStatusRefused, "no table of values among the files, only station lists"};
  }
  // A station of the data whose row of a list cannot be read would lose its place without a word.
  std::unordered_set<std::string> keys;
  for (const Series& series : collection.stations) {
    keys.insert(foldCase(series.key));
  }
  for (const UnreadablePlace& row : collection.unreadablePlaces) {
    if (keys.count(foldCase(row.key)) != 0) {
      return Refusal{kStatusRefused, row.message};
    }
  }
  return std::nullopt;
}

std::optional<Refusal> writePlaces(const Collection& collection, const StationNumbers& numbers,
                                   const std::vector<std::optional<PlaceRow>>& places,
                                   const std::string& path) {
  if (auto refusal = checkOutput(collection, path)) {
    return refusal;
  }
  std::FILE* out = std::fopen(path.c_str(), "w");
  if (out == nullptr) {
    return Refusal{kStatusRefused, fileName(path) + ": cannot be written: " + std::strerror(errno)};
  }
  const bool written = writePlacesTable(out, numbers, places);
  if (std::fclose(out) != 0 || !written) {
    return Refusal{kStatusRefused, fileName(path) + ": cannot be written"};
  }
  return std::nullopt;
}

// Refuses a places table that would land on the station file, or on one of the split files:
// the last written would replace the other, and the summary would name both.
std::optional<Refusal> checkPlacesApart(const Collection& collection, const Settings& settings) {
  if (settings.placesFile.empty()) {
    return std::nullopt;
  }
  std::vector<std::string> outputs;
  if (!settings.output.empty()) {
    outputs.push_back(settings.output);
  }
  if (!settings.splitDir.empty()) {
    for (const std::string& name : splitNames(collection)) {
      outputs.push_back(settings.splitDir + "/" + name + ".txt");
    }
  }
  for (const std::string& output : outputs) {
    if (sameFile(settings.placesFile, output)) {
      return Refusal{kStatusRefused, fileName(settings.placesFile) +
                                         ": not written: it is also the station file " +
                                         fileName(output) + ", which it would replace"};
    }
  }
  return std::nullopt;
}

int run(const Settings& settings) {
  raiseFileLimit();
  Collection collection;
  collection.holdBytes = settings.holdMiB << 20;
  collection.canReread = allFiles(settings.files);
  if (auto refusal = readInputs(settings, collection)) {
    return refuse(*refusal);
  }
  if (!collection.holdValues && !collection.canReread) {
    // Holding stopped, and then rows far out of order: held after all, from a reading of their
    // own.
    collection = Collection{};
    if (auto refusal = readInputs(settings, collection)) {
      return refuse(*refusal);
    }
  }
  if (settings.grid.strict && !collection.inputs.unended.empty()) {
    return refuse(Refusal{kStatusRefused, collection.inputs.unended.front() +
                                              ": the last line has no line break (--strict): "
                                              "the file may have been cut short inside it"});
  }
  Grid grid{};
  std::vector<std::string> strays;
  if (auto refusal = makeGrid(collection, settings.grid, grid, strays)) {
    return refuse(*refusal);
  }
  if (!settings.placesFile.empty()) {
    // Before anything is written: an input there would be lost.
    if (auto refusal = checkOutput(collection, settings.placesFile)) {
      return refuse(*refusal);
    }
  }
  if (auto refusal = checkPlacesApart(collection, settings)) {
    return refuse(*refusal);
  }
  const StationNumbers numbers = numberStations(collection);
  const std::vector<std::optional<PlaceRow>> places = choosePlaces(collection);
  // Stamps in UTC become the zone's time in kelvarin's command: its days are the grid's.
  grid = inDaysOf(grid, zoneDayStartMin(collection, places));
  if (auto refusal = checkRepeats(collection, numbers, grid, settings.grid.strict)) {
    return refuse(*refusal);
  }
  Written written{settings.output, settings.splitDir, settings.placesFile, {}};
  const bool strict = settings.grid.strict;
  std::optional<Refusal> refusal =
      settings.splitDir.empty()
          ? writeMerged(collection, numbers, grid, settings.output, strict, written.tallies)
          : writeSplit(collection, numbers, grid, settings.splitDir, strict, written.tallies);
  if (!refusal && !settings.placesFile.empty()) {
    refusal = writePlaces(collection, numbers, places, settings.placesFile);
  }
  if (refusal) {
    return refuse(*refusal);
  }
  printSummary(collection, grid, numbers, places, written, strays);
  return kOk;
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  if (const std::optional<int> status = parse(argc, argv, settings)) {
    return *status;
  }
  return run(settings);
}
