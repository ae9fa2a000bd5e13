// kelvarin-prepare: delimited tables as public archives publish them, turned into a station file
// that kelvarin reads. Data go to standard output or -o; messages and the summary go to standard
// error, so that the tool can sit in a pipe.
#include <getopt.h>  // getopt_long

#include <cerrno>
#include <charconv>  // std::from_chars
#include <cstdio>
#include <cstring>  // std::strerror
#include <filesystem>
#include <string>
#include <vector>

#include "station_file.hpp"
#include "tables.hpp"
#include "text_rows.hpp"

namespace {

using namespace kelvarin::prepare;

constexpr char kUsage[] =
    "usage: kelvarin-prepare [OPTIONS] FILE...\n"
    "Reads delimited tables of sunshine duration (one row per station and time) and writes one\n"
    "station file for kelvarin: five header lines, then one record per time step.\n"
    "  -o, --output FILE     write the station file to FILE instead of standard output\n"
    "  --split DIR           write one station file per station, DIR/STATION.txt\n"
    "  --separator C         the field separator: ';', ',' or tab (found in the header row)\n"
    "  --time COLUMN         the time column, by header name or 1-based number\n"
    "  --station COLUMN      the station column (none: each file is one station)\n"
    "  --value COLUMN        the column of sunshine values\n"
    "  --missing TEXT        a value that marks a missing measurement (repeatable; the empty\n"
    "                        cell always does, and -999 in the weather service's layouts)\n"
    "  --stamp start|end     the stamps mark the start or the end (default) of each interval\n"
    "  --step MIN            the time step in minutes (found from the stamps)\n"
    "  --wide-grid           take a grid of more than ten times the records of the longest\n"
    "                        station (refused otherwise: a few stray stamps stretch it)\n"
    "  --help, --version\n"
    "Known layouts need no column options: the German weather service's hourly sunshine\n"
    "(STATIONS_ID;MESS_DATUM;QN_7;SD_SO;eor) and its daily climate values (SDK).\n";

constexpr int kOk = 0;

struct Settings {
  TableSettings tables;
  GridSettings grid;
  std::string output;
  std::string splitDir;
  std::vector<std::string> files;
};

// Every message ends the run here: the one place that turns a refusal into text and a status.
int refuse(const Refusal& refusal) {
  std::fprintf(stderr, "kelvarin-prepare: %s\n", escapeControls(refusal.message).c_str());
  if (refusal.status == kStatusUsage) {
    std::fputs(kUsage, stderr);
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
  kWideGrid,
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
    {"wide-grid", no_argument, nullptr, kWideGrid},
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
    case kWideGrid:
      settings.grid.wideGrid = true;
      return std::nullopt;
    case kHelp:
      std::fputs(kUsage, stdout);
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

std::string answersThatFit(const Collection& collection, const Grid& grid) {
  // The file marks every missing value -999; declared to kelvarin, it becomes -9999.000.
  std::string answers =
      "answers that fit: --missing -999 --input-step " + std::to_string(grid.stepMin);
  switch (collection.layout.value_or(Layout::kColumns)) {
    case Layout::kDwdHourly:
      answers += " --input-unit 1 (minutes)";
      break;
    case Layout::kDwdDaily:
      answers += " --input-unit 60 (hours)";
      break;
    case Layout::kColumns:
      answers +=
          "; --input-unit is the minutes per unit of the values (1 for minutes, 60 for hours)";
      return answers;
  }
  return answers +
         "; the stamps are UTC, so --time-shift is the zone's offset from UTC (1 for the 15th "
         "meridian, --meridian 15)";
}

void printSummary(const Collection& collection, const Grid& grid, const Settings& settings,
                  const StationNumbers& numbers, const std::vector<std::uint64_t>& missing,
                  const std::vector<std::string>& strays) {
  std::fprintf(stderr, "kelvarin-prepare: %zu %s from %zu %s\n", collection.stations.size(),
               collection.stations.size() == 1 ? "station" : "stations", collection.files.size(),
               collection.files.size() == 1 ? "file" : "files");
  if (settings.splitDir.empty()) {
    std::fprintf(stderr,
                 "  merged into one station file: kelvarin computes one sunrise and sunset for "
                 "all its columns, so they should lie at one place (--split writes one file per "
                 "station)\n");
  } else {
    std::fprintf(stderr,
                 "  split into %s/STATION.txt, one file per station, each to be run with "
                 "its own latitude and longitude\n",
                 fileName(settings.splitDir).c_str());
  }
  std::fprintf(stderr, "  stamps %s to %s, step %lld min, %llu records\n",
               describeMinutes(grid.firstMin).c_str(), describeMinutes(grid.lastMin).c_str(),
               static_cast<long long>(grid.stepMin),
               static_cast<unsigned long long>(grid.records()));
  for (const std::string& stray : strays) {
    std::fprintf(stderr, "  a stamp far from the rest of its station stretches the grid: %s\n",
                 stray.c_str());
  }
  std::string missingText;
  for (std::size_t s = 0; s < collection.stations.size(); ++s) {
    missingText += (s == 0 ? "" : ", ") + numbers.numbers[s] + ": " + std::to_string(missing[s]);
  }
  std::fprintf(stderr, "  values missing per station: %s\n", missingText.c_str());
  std::fprintf(stderr, "  %s\n", answersThatFit(collection, grid).c_str());
}

// Refuses an output that would overwrite an input table, before anything is opened for writing.
std::optional<Refusal> checkOutput(const Collection& collection, const std::string& path) {
  if (const std::optional<std::string> input = inputAt(collection, path)) {
    return Refusal{kStatusRefused, fileName(path) + ": not written: it is the input table " +
                                       *input + ", which writing would destroy"};
  }
  return std::nullopt;
}

std::optional<Refusal> writeMerged(const Collection& collection, const StationNumbers& numbers,
                                   const Grid& grid, const std::string& output,
                                   std::vector<std::uint64_t>& missing) {
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
  std::vector<std::size_t> all(collection.stations.size());
  for (std::size_t s = 0; s < all.size(); ++s) {
    all[s] = s;
  }
  const bool written = writeStationFile(out, collection, numbers, all, grid, missing);
  if ((out != stdout && std::fclose(out) != 0) || !written) {
    return Refusal{kStatusRefused, name + ": cannot be written"};
  }
  return std::nullopt;
}

std::optional<Refusal> writeSplit(const Collection& collection, const StationNumbers& numbers,
                                  const Grid& grid, const std::string& folder,
                                  std::vector<std::uint64_t>& missing) {
  std::vector<std::string> paths;
  for (const std::string& number : numbers.numbers) {
    paths.push_back(folder + "/" + number + ".txt");
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
  std::vector<std::uint64_t> counted;
  for (std::size_t s = 0; s < collection.stations.size(); ++s) {
    std::FILE* out = std::fopen(paths[s].c_str(), "w");
    if (out == nullptr) {
      return Refusal{kStatusRefused,
                     fileName(paths[s]) + ": cannot be written: " + std::strerror(errno)};
    }
    // Each file covers its own station's stamps only.
    const Grid own = ownGrid(collection.stations[s], grid.stepMin);
    const bool written = writeStationFile(out, collection, numbers, {s}, own, counted);
    if (std::fclose(out) != 0 || !written) {
      return Refusal{kStatusRefused, fileName(paths[s]) + ": cannot be written"};
    }
    missing[s] = counted[0];
  }
  return std::nullopt;
}

int run(const Settings& settings) {
  Collection collection;
  for (const std::string& file : settings.files) {
    if (auto refusal = readTableFile(file, settings.tables, collection)) {
      return refuse(*refusal);
    }
  }
  Grid grid{};
  std::vector<std::string> strays;
  if (auto refusal = makeGrid(collection, settings.grid, grid, strays)) {
    return refuse(*refusal);
  }
  const StationNumbers numbers = numberStations(collection);
  std::vector<std::uint64_t> missing(collection.stations.size(), 0);
  const std::optional<Refusal> refusal =
      settings.splitDir.empty() ? writeMerged(collection, numbers, grid, settings.output, missing)
                                : writeSplit(collection, numbers, grid, settings.splitDir, missing);
  if (refusal) {
    return refuse(*refusal);
  }
  printSummary(collection, grid, settings, numbers, missing, strays);
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
