#include "driver.hpp"

#include <sys/stat.h>  // fstat, stat, S_ISDIR

#include <getopt.h>  // getopt_long

#include <algorithm>  // std::any_of
#include <cctype>     // std::isspace
#include <cmath>      // std::isfinite, std::fabs
#include <cstdlib>    // std::getenv
#include <cstring>    // std::strlen
#include <string_view>

#include "places.hpp"
#include "reading/input_reader.hpp"
#include "reading/number_scan.hpp"
#include "step/step_loop.hpp"
#include "writing/output_buffer.hpp"

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
    "  --output-step MIN   length of an output step in minutes\n"
    "  --time-shift H      hours added to a stored hour to get local time\n"
    "  --meridian DEG      meridian of the local time (15 for central Europe)\n"
    "  --places FILE       each station at its own place: a table of station, latitude and\n"
    "                      longitude (instead of --latitude and --longitude)\n"
    "  --missing VALUE     input value that marks a missing measurement (such as -999)\n"
    "  --strict            every warning ends the run as an error, status 2\n"
    "  --quiet             print nothing but warnings and errors\n"
    "  --help              print this text\n"
    "  --version           print the version\n"
    "  --                  end of the options (for a file name that begins with -)\n";

constexpr char kBanner[] =
    "kelvarin: calculating relative sunshine duration for variable output time steps\n"
    "taking into account the maximum possible day lenght\n";

// A larger shift puts every step's window outside the stored day, so every result would be 0.
constexpr float kMaxTimeShiftH = 24.0f;

struct Question {
  const char* prompt;
  const char* name;    // for messages about the answer
  const char* option;  // the long option that gives it, without its dashes
  float RunParameters::*field;
};

// Positions in kQuestions, for the checks of single answers.
constexpr std::size_t kLatitude = 0;
constexpr std::size_t kLongitude = 1;
constexpr std::size_t kInputStep = 2;
constexpr std::size_t kOutputStep = 4;
constexpr std::size_t kTimeShift = 5;

// The prompts are part of the interface: scripts wait for them, typos included.
constexpr Question kQuestions[] = {
    {"geographical latitude: ", "latitude", "latitude", &RunParameters::latitudeDeg},
    {"geographical longitude: ", "longitude", "longitude", &RunParameters::longitudeDeg},
    {"temporal resolution of input data in minutes (e.g. time step of input data: 1440 for "
     "daily time step): ",
     "input step", "input-step", &RunParameters::inputStepMin},
    {"units of input data in minutes (e.g. 60, if input data are given in hours per day):",
     "input unit", "input-unit", &RunParameters::inputUnitMin},
    {"time step for output data in minutes: ", "output step", "output-step",
     &RunParameters::outputStepMin},
    {"time shift of official data storing time with respect to the \nlocal time (e.g., if "
     "meto-data are stored in UTC and the lokal \ntime is valid for a longitude of 15, the value "
     "should be set to 1.0: ",
     "time shift", "time-shift", &RunParameters::timeShiftH},
    {"which meridian is the one the lokal time is referring to? (e.g. 15 for central europe): ",
     "meridian", "meridian", &RunParameters::referenceMeridianDeg},
};

// The answers as words: what a "%f" conversion leaves of a word ("52,5" leaves ",5") is the text
// the next question meets, as it always was.
struct AnswerText {
  std::FILE* file;
  std::string pending;
};

// Longer words are no answer anyone types; reading stops there, so a stream without white space
// cannot fill the memory.
constexpr std::size_t kMaxAnswerLength = 4096;
constexpr std::size_t kShownAnswerLength = 40;

// Reads the next word (up to white space) of the answers. Returns false when they have ended.
bool nextWord(AnswerText& text, std::string& word) {
  if (!text.pending.empty()) {
    word = std::move(text.pending);
    text.pending.clear();
    return true;
  }
  int c = std::getc(text.file);
  while (c != EOF && std::isspace(c)) {
    c = std::getc(text.file);
  }
  if (c == EOF) {
    return false;
  }
  word.clear();
  // The white space that ends the word is read with it: the next answer would skip it anyway,
  // and stopping at the line end keeps the dialogue from waiting for more.
  for (; c != EOF && !std::isspace(c) && word.size() < kMaxAnswerLength; c = std::getc(text.file)) {
    word.push_back(static_cast<char>(c));
  }
  return true;
}

// Converts the start of `word` as the C library's "%f" does; the rest of it goes to `rest`.
// Returns false when the word does not start with a number.
bool takeNumber(const std::string& word, float& value, std::string& rest) {
  int taken = 0;
  if (std::sscanf(word.c_str(), "%f%n", &value, &taken) != 1) {
    return false;
  }
  rest = word.substr(static_cast<std::size_t>(taken));
  return true;
}

template <typename... Values>
std::string format(const char* pattern, Values... values) {
  char text[512];
  std::snprintf(text, sizeof text, pattern, values...);
  return text;
}

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
std::FILE* openDataFile(const std::string& name, const char* mode, std::FILE* console) {
  std::FILE* file = std::fopen(name.c_str(), mode);
  if (file != nullptr && isDirectory(file)) {
    std::fclose(file);
    file = nullptr;
  }
  if (file == nullptr) {
    std::fprintf(console, "error opening file %s\n", name.c_str());
  }
  return file;
}

// A stream that swallows what is written: the console of a --quiet run.
std::FILE* openNullStream() {
  cookie_io_functions_t io{};
  io.write = [](void*, const char*, std::size_t size) { return static_cast<ssize_t>(size); };
  return fopencookie(nullptr, "w", io);
}

// KELVARIN_FAST_PATH=0 turns every shortcut off, of reading, writing and the sun memo: every field
// through the plain reader, every result and stamp through the plain writers, every sun time
// worked out. The way to tell a fault of a shortcut from a fault of the file.
bool useShortcuts() {
  const char* setting = std::getenv("KELVARIN_FAST_PATH");
  return setting == nullptr || std::string_view(setting) != "0";
}

// The widest vector instructions of the processor; KELVARIN_VECTOR=portable forces the plain
// byte-by-byte masks, so that both ways can be tested on one machine.
VectorLevel chooseVectorLevel() {
  const char* setting = std::getenv("KELVARIN_VECTOR");
  return setting != nullptr && std::string_view(setting) == "portable" ? VectorLevel::kPortable
                                                                       : detectVectorLevel();
}

}  // namespace

std::optional<std::string> readRunParameters(std::FILE* answers, std::FILE* console,
                                             RunParameters& params, const GivenAnswers& given) {
  AnswerText text{answers, {}};
  for (std::size_t i = 0; i < std::size(kQuestions); ++i) {
    const Question& question = kQuestions[i];
    if (given[i]) {
      continue;
    }
    std::fputs(question.prompt, console);
    std::fflush(console);  // the answer is typed on the prompt's line
    std::string word;
    if (!nextWord(text, word)) {
      return "answers refused: the " + std::string(question.name) +
             " is missing: the answers ended before it\n";
    }
    // An answer that is not a number used to become 0 silently, and the same text then met the
    // next question: "1,0" as the time shift made the meridian 0.
    if (!takeNumber(word, params.*question.field, text.pending)) {
      std::string refusal = "answers refused: the " + std::string(question.name) + ": \"" +
                            word.substr(0, kShownAnswerLength) + "\" is not a number";
      if (word[0] == ',') {
        refusal += " (the answer before it may have a decimal comma: answers take a decimal point)";
      }
      return refusal + "\n";
    }
  }
  return std::nullopt;
}

std::optional<std::string> refuseRunParameters(const RunParameters& params,
                                               const GivenAnswers& given) {
  // Names the options among `fields` (indices into kQuestions) that gave the refused values.
  const auto refused = [&given](std::string text, std::initializer_list<std::size_t> fields) {
    for (const std::size_t i : fields) {
      if (given[i]) {
        text += std::string(" (given as --") + kQuestions[i].option + ")";
      }
    }
    return text + "\n";
  };
  for (std::size_t i = 0; i < std::size(kQuestions); ++i) {
    const float value = params.*kQuestions[i].field;
    if (!std::isfinite(value)) {
      return refused("answers refused: the " + std::string(kQuestions[i].name) + " is " +
                         format("%g", static_cast<double>(value)) + ", not a finite number",
                     {i});
    }
  }
  if (std::fabs(params.latitudeDeg) > 90.0f) {
    return refused(format("answers refused: the latitude (%g) is not between -90 and 90 degrees",
                          static_cast<double>(params.latitudeDeg)),
                   {kLatitude});
  }
  if (std::fabs(params.timeShiftH) > kMaxTimeShiftH) {
    return refused(
        format("answers refused: the time shift (%g h) is more than 24 hours: local time would "
               "never meet the stored day's sunrise and sunset",
               static_cast<double>(params.timeShiftH)),
        {kTimeShift});
  }
  const auto inputStepMin = static_cast<double>(params.inputStepMin);
  const auto outputStepMin = static_cast<double>(params.outputStepMin);
  if (!(params.inputStepMin > 0.0f) || !(params.outputStepMin > 0.0f)) {
    return refused(
        format("answers refused: input step %g min, output step %g min: both must be greater "
               "than 0",
               inputStepMin, outputStepMin),
        {kInputStep, kOutputStep});
  }
  if (params.outputStepMin / params.inputStepMin < 1.0f) {
    return refused(
        format("answers refused: the output step (%g min) is shorter than the input step (%g "
               "min), so an output step would hold no record",
               outputStepMin, inputStepMin),
        {kInputStep, kOutputStep});
  }
  if (!hasUsableSteps(params)) {
    return refused(
        format("answers refused: the output step (%g min) is too long: at most 2147483647 "
               "minutes and 2147483647 input steps of %g min",
               outputStepMin, inputStepMin),
        {kInputStep, kOutputStep});
  }
  return std::nullopt;
}

namespace {

// Reads the table of --places, when given. Returns the exit status of a refusal, which it prints.
std::optional<int> loadPlaces(const CommandLine& line, std::FILE* alerts,
                              std::vector<StationPlace>& places) {
  if (line.placesName.empty()) {
    return std::nullopt;
  }
  std::FILE* file = openDataFile(line.placesName, "r", alerts);
  if (file == nullptr) {
    return kExitFile;
  }
  const std::optional<std::string> refusal = readPlaces(file, line.placesName, places);
  std::fclose(file);
  if (refusal) {
    std::fputs(refusal->c_str(), alerts);
    return kExitAnswers;
  }
  return std::nullopt;
}

// Opens both files, asks the answers not given on the command line and runs the file. Reports go
// to `report` (nowhere with --quiet), warnings and errors to `alerts`.
int runWithFiles(const CommandLine& line, std::FILE* answers, std::FILE* report,
                 std::FILE* alerts) {
  std::fputs(kBanner, report);
  if (!line.ignored.empty()) {
    // "in.txt out.txt --missing -999" once dropped the marker without a word, and -999 was
    // summed as sunshine.
    std::string words;
    for (const std::string& word : line.ignored) {
      words += " " + word;
    }
    if (line.run.strict) {
      std::fprintf(alerts,
                   "error in the command line: arguments after the two file names would be "
                   "ignored:%s (options go before the file names)\n",
                   words.c_str());
      return kExitUsage;
    }
    std::fprintf(alerts,
                 "warning: arguments after the two file names are ignored:%s (options go before "
                 "the file names)\n",
                 words.c_str());
  }
  std::FILE* input = openDataFile(line.inputName, "r", alerts);
  if (input == nullptr) {
    return kExitFile;
  }
  if (isSameFile(input, line.outputName)) {
    // Opening the output would empty the input before a line of it was read.
    std::fprintf(alerts, "error opening file %s (it is the input file)\n", line.outputName.c_str());
    std::fclose(input);
    return kExitFile;
  }
  std::FILE* output = openDataFile(line.outputName, "w", alerts);
  if (output == nullptr) {
    std::fclose(input);
    return kExitFile;
  }
  std::vector<StationPlace> places;
  if (const std::optional<int> status = loadPlaces(line, alerts, places)) {
    std::fclose(input);
    std::fclose(output);
    return *status;
  }
  RunParameters params = line.params;
  std::optional<std::string> refusal = readRunParameters(answers, report, params, line.given);
  if (!refusal) {
    refusal = refuseRunParameters(params, line.given);
  }
  int status = kExitSuccess;
  if (refusal) {
    std::fputs(refusal->c_str(), alerts);
    status = kExitAnswers;
  } else {
    InputReader reader = makeInputReader(input);
    OutputBuffer buffer = makeOutputBuffer(output);
    RunOptions options = line.run;
    options.shortcuts = useShortcuts();
    options.vectorLevel = chooseVectorLevel();
    if (!line.placesName.empty()) {
      options.places = &places;
      options.placesName = line.placesName;
    }
    const RunOutcome outcome = convertStationFile(reader, buffer, report, alerts, params, options);
    if (outcome.end == RunEnd::kBadInput) {
      std::fprintf(alerts, "%s\n", faultMessage(outcome.fault).c_str());
      status = kExitFile;
    }
    if (outcome.end == RunEnd::kPlacesRefused) {
      std::fputs(outcome.refusal.c_str(), alerts);
      status = kExitAnswers;
    }
    // Whatever stopped the run, the whole lines written so far reach the file.
    if (outcome.end == RunEnd::kWriteFailed || !flushLines(buffer) || std::fflush(output) != 0) {
      buffer.writeFailed = true;
    }
    if (buffer.writeFailed) {
      std::fprintf(alerts, "error writing file %s\n", line.outputName.c_str());
      status = kExitFile;
    }
  }
  std::fclose(input);
  if (std::fclose(output) != 0 && status == kExitSuccess) {
    std::fprintf(alerts, "error writing file %s\n", line.outputName.c_str());
    status = kExitFile;
  }
  if (status == kExitSuccess) {
    std::fputs("ready..\n", report);
  }
  return status;
}

}  // namespace

std::variant<CommandLine, CommandLineEnd> parseCommandLine(int argc, char** argv) {
  enum : int { kMissing = 256, kStrict, kQuiet, kHelp, kVersion, kPlaces };
  static const option kOptions[] = {
      {"latitude", required_argument, nullptr, 0},
      {"longitude", required_argument, nullptr, 1},
      {"input-step", required_argument, nullptr, 2},
      {"input-unit", required_argument, nullptr, 3},
      {"output-step", required_argument, nullptr, 4},
      {"time-shift", required_argument, nullptr, 5},
      {"meridian", required_argument, nullptr, 6},
      {"missing", required_argument, nullptr, kMissing},
      {"strict", no_argument, nullptr, kStrict},
      {"quiet", no_argument, nullptr, kQuiet},
      {"places", required_argument, nullptr, kPlaces},
      {"help", no_argument, nullptr, kHelp},
      {"version", no_argument, nullptr, kVersion},
      {nullptr, 0, nullptr, 0},
  };
  CommandLine line;
  opterr =
      0;  // getopt would complain on standard error; kelvarin says everything on standard output
  optind = 0;  // a fresh scan, also when called again in one process
  // "+": options stop at the first file name, so that whatever follows the names stays ignored.
  // ":": an option without its value is told apart from an unknown one.
  for (int c; (c = getopt_long(argc, argv, "+:", kOptions, nullptr)) != -1;) {
    if (c >= 0 && c < static_cast<int>(std::size(kQuestions))) {
      const auto i = static_cast<std::size_t>(c);
      int taken = 0;
      const std::string text = optarg;
      if (std::sscanf(optarg, "%f%n", &(line.params.*kQuestions[i].field), &taken) != 1 ||
          static_cast<std::size_t>(taken) != text.size()) {
        return CommandLineEnd{kExitAnswers, std::string("answers refused: --") +
                                                kQuestions[i].option + " \"" + text +
                                                "\" is not a number\n"};
      }
      line.given[i] = true;
      continue;
    }
    switch (c) {
      case kMissing: {
        // Read as the values of the file are read, so that equal means equal to the last bit.
        const Scanned<double> value = scanDouble(optarg);
        if (value.status != ScanStatus::kOk || value.length != std::strlen(optarg)) {
          return CommandLineEnd{kExitAnswers, std::string("answers refused: --missing \"") +
                                                  optarg + "\" is not a number\n"};
        }
        line.run.missingMarkers.push_back(value.value);
        break;
      }
      case kStrict:
        line.run.strict = true;
        break;
      case kQuiet:
        line.quiet = true;
        break;
      case kPlaces:
        line.placesName = optarg;
        break;
      case kHelp:
        return CommandLineEnd{kExitSuccess, std::string(kUsage) + kOptionsHelp};
      case kVersion:
        return CommandLineEnd{kExitSuccess, "kelvarin " KELVARIN_VERSION "\n"};
      default:  // an unknown option, or one without its value
        return CommandLineEnd{kExitUsage, std::string(kUsage) + kOptionsHelp};
    }
  }
  if (!line.placesName.empty() && (line.given[kLatitude] || line.given[kLongitude])) {
    return CommandLineEnd{kExitUsage,
                          std::string("--places gives each station its latitude and longitude: "
                                      "leave out --latitude and --longitude\n") +
                              kUsage};
  }
  if (!line.placesName.empty()) {
    line.given[kLatitude] = true;  // the table answers both, station by station
    line.given[kLongitude] = true;
  }
  if (argc - optind < 2) {
    return CommandLineEnd{kExitUsage, kUsage};
  }
  line.inputName = argv[optind];
  line.outputName = argv[optind + 1];
  line.ignored.assign(argv + optind + 2, argv + argc);
  return line;
}

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
  std::FILE* report = line.quiet ? openNullStream() : console;
  const int status = runWithFiles(line, answers, report, console);
  if (report != console) {
    std::fclose(report);
  }
  return status;
}

}  // namespace kelvarin
