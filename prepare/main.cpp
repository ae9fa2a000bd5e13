// kelvarin-prepare: delimited tables as public archives publish them, turned into a station file
// that kelvarin reads. Data go to standard output or -o; messages and the summary go to standard
// error, so that the tool can sit in a pipe.
#include <getopt.h>  // getopt_long

#include <cerrno>
#include <cstdio>
#include <cstring>  // std::strerror
#include <filesystem>
#include <string>
#include <vector>

#include "station_file.hpp"
#include "tables.hpp"

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
    "  --help, --version\n"
    "Known layouts need no column options: the German weather service's hourly sunshine\n"
    "(STATIONS_ID;MESS_DATUM;QN_7;SD_SO;eor) and its daily climate values (SDK).\n";

enum Status { kOk = 0, kUsageError = 1, kRefused = 2 };

struct Settings {
  TableSettings tables;
  GridSettings grid;
  std::string output;
  std::string splitDir;
  std::vector<std::string> files;
};

int refuse(const std::string& message) {
  std::fprintf(stderr, "kelvarin-prepare: %s\n", message.c_str());
  return kRefused;
}

int usageError(const std::string& message) {
  std::fprintf(stderr, "kelvarin-prepare: %s\n%s", message.c_str(), kUsage);
  return kUsageError;
}

// Reads the command line; returns a status when the run ends there.
std::optional<int> parse(int argc, char** argv, Settings& settings) {
  enum : int {
    kSeparator = 256,
    kTime,
    kStation,
    kValue,
    kMissing,
    kStamp,
    kStep,
    kSplit,
    kHelp,
    kVersion
  };
  static const option kOptions[] = {
      {"output", required_argument, nullptr, 'o'},
      {"separator", required_argument, nullptr, kSeparator},
      {"time", required_argument, nullptr, kTime},
      {"station", required_argument, nullptr, kStation},
      {"value", required_argument, nullptr, kValue},
      {"missing", required_argument, nullptr, kMissing},
      {"stamp", required_argument, nullptr, kStamp},
      {"step", required_argument, nullptr, kStep},
      {"split", required_argument, nullptr, kSplit},
      {"help", no_argument, nullptr, kHelp},
      {"version", no_argument, nullptr, kVersion},
      {nullptr, 0, nullptr, 0},
  };
  opterr = 0;
  for (int c; (c = getopt_long(argc, argv, ":o:", kOptions, nullptr)) != -1;) {
    const std::string value = optarg != nullptr ? optarg : "";
    switch (c) {
      case 'o':
        settings.output = value;
        break;
      case kSeparator:
        if (value == ";" || value == "," || value == "\t" || value == "tab") {
          settings.tables.separator = value == "tab" ? '\t' : value[0];
        } else {
          return usageError("--separator takes ';', ',' or tab, not \"" + value + "\"");
        }
        break;
      case kTime:
        settings.tables.timeColumn = value;
        break;
      case kStation:
        settings.tables.stationColumn = value;
        break;
      case kValue:
        settings.tables.valueColumn = value;
        break;
      case kMissing:
        settings.tables.missingMarkers.push_back(value);
        break;
      case kStamp:
        if (value != "start" && value != "end") {
          return usageError("--stamp takes start or end, not \"" + value + "\"");
        }
        settings.grid.stampsMarkStart = value == "start";
        break;
      case kStep: {
        std::size_t taken = 0;
        long long minutes = 0;
        try {
          minutes = std::stoll(value, &taken);
        } catch (...) {
          taken = 0;
        }
        if (taken != value.size() || minutes <= 0) {
          return usageError("--step takes a whole positive number of minutes, not \"" + value +
                            "\"");
        }
        settings.grid.stepMin = minutes;
        break;
      }
      case kSplit:
        settings.splitDir = value;
        break;
      case kHelp:
        std::fputs(kUsage, stdout);
        return kOk;
      case kVersion:
        std::puts("kelvarin-prepare " KELVARIN_VERSION);
        return kOk;
      case ':':
        return usageError(std::string("option ") + argv[optind - 1] + " needs a value");
      default:
        return usageError(std::string("unknown option ") + argv[optind - 1]);
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
                  const std::vector<std::uint64_t>& missing) {
  const std::vector<std::string> numbers = stationNumbers(collection);
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
                 settings.splitDir.c_str());
  }
  std::fprintf(stderr, "  stamps %s to %s, step %lld min, %llu records\n",
               describeMinutes(grid.firstMin).c_str(), describeMinutes(grid.lastMin).c_str(),
               static_cast<long long>(grid.stepMin),
               static_cast<unsigned long long>(grid.records()));
  std::string missingText;
  for (std::size_t s = 0; s < collection.stations.size(); ++s) {
    missingText += (s == 0 ? "" : ", ") + numbers[s] + ": " + std::to_string(missing[s]);
  }
  std::fprintf(stderr, "  values missing per station: %s\n", missingText.c_str());
  std::fprintf(stderr, "  %s\n", answersThatFit(collection, grid).c_str());
}

int writeOutput(const Collection& collection, const Grid& grid, const Settings& settings) {
  std::vector<std::uint64_t> missing(collection.stations.size(), 0);
  std::vector<std::uint64_t> counted;
  if (settings.splitDir.empty()) {
    std::FILE* out = stdout;
    if (!settings.output.empty()) {
      out = std::fopen(settings.output.c_str(), "w");
      if (out == nullptr) {
        return refuse(settings.output + ": cannot be written: " + std::strerror(errno));
      }
    }
    std::vector<std::size_t> all(collection.stations.size());
    for (std::size_t s = 0; s < all.size(); ++s) {
      all[s] = s;
    }
    const bool written = writeStationFile(out, collection, all, grid, missing);
    if (out != stdout && std::fclose(out) != 0) {
      return refuse(settings.output + ": cannot be written");
    }
    if (!written) {
      return refuse((settings.output.empty() ? "standard output" : settings.output) +
                    ": cannot be written");
    }
  } else {
    std::error_code error;
    std::filesystem::create_directories(settings.splitDir, error);
    const std::vector<std::string> numbers = stationNumbers(collection);
    for (std::size_t s = 0; s < collection.stations.size(); ++s) {
      const Series& series = collection.stations[s];
      const std::string path = settings.splitDir + "/" + numbers[s] + ".txt";
      std::FILE* out = std::fopen(path.c_str(), "w");
      if (out == nullptr) {
        return refuse(path + ": cannot be written: " + std::strerror(errno));
      }
      // Each file covers its own station's stamps only.
      const Grid own{series.times.front(), series.times.back(), grid.stepMin};
      const bool written = writeStationFile(out, collection, {s}, own, counted);
      if (std::fclose(out) != 0 || !written) {
        return refuse(path + ": cannot be written");
      }
      missing[s] = counted[0];
    }
  }
  printSummary(collection, grid, settings, missing);
  return kOk;
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  if (const std::optional<int> status = parse(argc, argv, settings)) {
    return *status;
  }
  Collection collection;
  for (const std::string& file : settings.files) {
    if (const std::optional<std::string> fault = readTable(file, settings.tables, collection)) {
      return refuse(*fault);
    }
  }
  Grid grid{};
  if (const std::optional<std::string> fault =
          makeGrid(collection, settings.tables, settings.grid, grid)) {
    return refuse(*fault);
  }
  return writeOutput(collection, grid, settings);
}
