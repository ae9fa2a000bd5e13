#include "options.hpp"

#include <getopt.h>  // getopt_long

#include <cstdio>   // std::sscanf
#include <cstring>  // std::strlen
#include <optional>
#include <string_view>

#include "kelvarin.hpp"             // the exit statuses
#include "reading/number_scan.hpp"  // scanDouble: --missing as the file's values are read
#include "sun_models.hpp"           // sunModelNamed, the range of --sun-elevation

namespace kelvarin {

namespace {

constexpr char kUsage[] =
    "usage: kelvarin <inputfie> <outputfile> \n\n"
    "The input file contains absoulte sunshine durations in minutes or hours \n"
    "The output file contains relative sunshine durations for the time step [1/1] \n";

constexpr char kOptionsHelp[] =
    "options, before the file names (an answer given as an option is not asked):\n"
    "  --latitude DEG      geographical latitude, north positive\n"
    "  --longitude DEG     geographical longitude, east positive\n"
    "  --input-step MIN    minutes between two input records (60 hourly, 1440 daily)\n"
    "  --input-unit MIN    minutes per unit of the input values (60 for hours, 1 for minutes)\n"
    "  --output-step MIN   length of an output step in minutes, or a calendar period:\n"
    "                      dekad, month or year\n"
    "  --time-shift H      hours added to a stored hour to get local time\n"
    "  --meridian DEG      meridian of the local time (15 for central Europe)\n"
    "  --places FILE       each station at its own place: a table of station, latitude and\n"
    "                      longitude (instead of --latitude and --longitude)\n"
    "  --missing VALUE     input value that marks a missing measurement (such as -999)\n"
    "  --coverage SHARE    a step whose known records hold at least this share of its\n"
    "                      daylight gets a value from them (default 1: every record)\n"
    "  --format LAYOUT     table (the default), csv or netcdf: the layout of the output file\n"
    "  --sun-model MODEL   the possible sunshine divided by: classic (the default), fao56\n"
    "                      (FAO-56's day length) or noaa (NOAA's sunrise and sunset)\n"
    "  --sun-elevation DEG the sun counts as up above this elevation of its centre, -5 to 20\n"
    "                      (default: 0, and -0.833 for noaa)\n"
    "  --horizon FILE      each station's skyline: a table of station, azimuth (clockwise\n"
    "                      from north) and elevation in degrees; the sun counts as up above it\n"
    "  --strict            every warning ends the run as an error, status 2\n"
    "  --quiet             print nothing but warnings and errors\n"
    "  --help              print this text\n"
    "  --version           print the version\n"
    "  --                  end of the options (for a file name that begins with -)\n";

}  // namespace

const char kBanner[] =
    "kelvarin: calculating relative sunshine duration for variable output time steps\n"
    "taking into account the maximum possible day lenght\n";

namespace {

enum : int {
  kMissing = 256,
  kCoverage,
  kFormat,
  kStrict,
  kQuiet,
  kHelp,
  kVersion,
  kPlaces,
  kSunModel,
  kSunElevation,
  kHorizon
};

// The seven answers take the values 0 to 6, their place in kQuestions.
const option kOptions[] = {
    {"latitude", required_argument, nullptr, 0},
    {"longitude", required_argument, nullptr, 1},
    {"input-step", required_argument, nullptr, 2},
    {"input-unit", required_argument, nullptr, 3},
    {"output-step", required_argument, nullptr, 4},
    {"time-shift", required_argument, nullptr, 5},
    {"meridian", required_argument, nullptr, 6},
    {"missing", required_argument, nullptr, kMissing},
    {"coverage", required_argument, nullptr, kCoverage},
    {"format", required_argument, nullptr, kFormat},
    {"strict", no_argument, nullptr, kStrict},
    {"quiet", no_argument, nullptr, kQuiet},
    {"places", required_argument, nullptr, kPlaces},
    {"sun-model", required_argument, nullptr, kSunModel},
    {"sun-elevation", required_argument, nullptr, kSunElevation},
    {"horizon", required_argument, nullptr, kHorizon},
    {"help", no_argument, nullptr, kHelp},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
};

// Takes an answer given as an option: the whole text must be the number.
std::optional<CommandLineEnd> takeAnswer(std::size_t i, const char* text, CommandLine& line) {
  if (i == kOutputStepQuestion && takePeriod(text, line.params)) {
    line.given[i] = true;
    return std::nullopt;
  }
  int taken = 0;
  if (std::sscanf(text, "%f%n", &(line.params.*kQuestions[i].field), &taken) != 1 ||
      static_cast<std::size_t>(taken) != std::strlen(text)) {
    return CommandLineEnd{
        kExitAnswers, std::string("answers refused: --") + kQuestions[i].option + " \"" + text +
                          "\" is not a number" +
                          (i == kOutputStepQuestion ? " (minutes, or dekad, month or year)" : "") +
                          "\n"};
  }
  line.given[i] = true;
  return std::nullopt;
}

// Takes --sun-model or --sun-elevation. Refused as answers are: status 3, before any file.
std::optional<CommandLineEnd> takeSunOption(int c, const char* value, CommandLine& line) {
  if (c == kSunModel) {
    const std::optional<SunModel> model = sunModelNamed(value);
    if (!model) {
      return CommandLineEnd{kExitAnswers, std::string("answers refused: --sun-model \"") + value +
                                              "\" is no sun model (classic, fao56 or noaa)\n"};
    }
    line.run.possible.model = *model;
    return std::nullopt;
  }
  const Scanned<double> degrees = scanDouble(value);
  if (degrees.status != ScanStatus::kOk || degrees.length != std::strlen(value) ||
      !(degrees.value >= kLeastSunElevationDeg && degrees.value <= kMostSunElevationDeg)) {
    return CommandLineEnd{kExitAnswers, std::string("answers refused: --sun-elevation \"") + value +
                                            "\" is not an elevation from -5 to 20 degrees\n"};
  }
  line.run.possible.elevationDeg = degrees.value;
  return std::nullopt;
}

// Takes one of the other options, or ends the command line.
std::optional<CommandLineEnd> takeOption(int c, const char* value, CommandLine& line) {
  if (c == kSunModel || c == kSunElevation) {
    return takeSunOption(c, value, line);
  }
  switch (c) {
    case kMissing: {
      // Read as the values of the file are read, so that equal means equal to the last bit.
      const Scanned<double> marker = scanDouble(value);
      if (marker.status != ScanStatus::kOk || marker.length != std::strlen(value)) {
        return CommandLineEnd{kExitAnswers, std::string("answers refused: --missing \"") + value +
                                                "\" is not a number\n"};
      }
      line.run.missingMarkers.push_back(marker.value);
      return std::nullopt;
    }
    case kCoverage: {
      const Scanned<double> share = scanDouble(value);
      if (share.status != ScanStatus::kOk || share.length != std::strlen(value) ||
          !(share.value > 0.0 && share.value <= 1.0)) {
        return CommandLineEnd{kExitAnswers, std::string("answers refused: --coverage \"") + value +
                                                "\" is not a share above 0 and at most 1 (such "
                                                "as 0.9)\n"};
      }
      line.run.coverage = share.value;
      return std::nullopt;
    }
    case kFormat: {
      if (const std::optional<OutputLayout> layout = layoutNamed(value)) {
        line.format = layout->format;
        return std::nullopt;
      }
      return CommandLineEnd{kExitUsage, std::string("--format takes table, csv or netcdf, not \"") +
                                            value + "\"\n" + kUsage};
    }
    case kStrict:
      line.run.strict = true;
      return std::nullopt;
    case kQuiet:
      line.quiet = true;
      return std::nullopt;
    case kPlaces:
      if (*value == '\0') {
        // An empty name would leave the latitude and longitude to nobody.
        return CommandLineEnd{kExitUsage,
                              std::string("--places needs the name of a places table\n") + kUsage};
      }
      line.placesName = value;
      return std::nullopt;
    case kHorizon:
      if (*value == '\0') {
        return CommandLineEnd{
            kExitUsage, std::string("--horizon needs the name of a horizon table\n") + kUsage};
      }
      line.horizonName = value;
      return std::nullopt;
    case kHelp:
      return CommandLineEnd{kExitSuccess, std::string(kUsage) + kOptionsHelp};
    case kVersion:
      return CommandLineEnd{kExitSuccess, "kelvarin " KELVARIN_VERSION "\n"};
    default:  // an unknown option, or one without its value
      return CommandLineEnd{kExitUsage, std::string(kUsage) + kOptionsHelp};
  }
}

}  // namespace

std::variant<CommandLine, CommandLineEnd> parseCommandLine(int argc, char** argv) {
  CommandLine line;
  for (int i = 0; i < argc; ++i) {
    line.commandLine += (i == 0 ? "" : " ") + std::string(argv[i]);
  }
  // getopt would complain on standard error; kelvarin says everything on standard output.
  opterr = 0;
  optind = 0;  // a fresh scan, also when called again in one process
  // "+": options stop at the first file name, so that whatever follows the names stays ignored.
  // ":": an option without its value is told apart from an unknown one.
  for (int c; (c = getopt_long(argc, argv, "+:", kOptions, nullptr)) != -1;) {
    const std::optional<CommandLineEnd> end =
        c >= 0 && c < static_cast<int>(kQuestions.size())
            ? takeAnswer(static_cast<std::size_t>(c), optarg, line)
            : takeOption(c, optarg, line);
    if (end) {
      return *end;
    }
  }
  if (!line.placesName.empty() &&
      (line.given[kLatitudeQuestion] || line.given[kLongitudeQuestion])) {
    return CommandLineEnd{kExitUsage,
                          std::string("--places gives each station its latitude and longitude: "
                                      "leave out --latitude and --longitude\n") +
                              kUsage};
  }
  if (!line.placesName.empty()) {
    line.given[kLatitudeQuestion] = true;  // the table answers both, station by station
    line.given[kLongitudeQuestion] = true;
  }
  if (argc - optind < 2) {
    return CommandLineEnd{kExitUsage, kUsage};
  }
  line.inputName = argv[optind];
  line.outputName = argv[optind + 1];
  line.ignored.assign(argv + optind + 2, argv + argc);
  return line;
}

}  // namespace kelvarin
