#include "driver.hpp"

#include <sys/stat.h>  // fstat, stat, S_ISDIR

#include <cctype>   // std::isspace
#include <cmath>    // std::isfinite, std::fabs
#include <cstdlib>  // std::getenv
#include <string_view>

#include "input_reader.hpp"
#include "output_buffer.hpp"
#include "step_loop.hpp"

namespace kelvarin {

namespace {

constexpr char kBanner[] =
    "kelvarin: calculating relative sunshine duration for variable output time steps\n"
    "taking into account the maximum possible day lenght\n";

// A larger shift puts every step's window outside the stored day, so every result would be 0.
constexpr float kMaxTimeShiftH = 24.0f;

struct Question {
  const char* prompt;
  const char* name;  // for messages about the answer
  float RunParameters::*field;
};

// The prompts are part of the interface: scripts wait for them, typos included.
constexpr Question kQuestions[] = {
    {"geographical latitude: ", "latitude", &RunParameters::latitudeDeg},
    {"geographical longitude: ", "longitude", &RunParameters::longitudeDeg},
    {"temporal resolution of input data in minutes (e.g. time step of input data: 1440 for "
     "daily time step): ",
     "input step", &RunParameters::inputStepMin},
    {"units of input data in minutes (e.g. 60, if input data are given in hours per day):",
     "input unit", &RunParameters::inputUnitMin},
    {"time step for output data in minutes: ", "output step", &RunParameters::outputStepMin},
    {"time shift of official data storing time with respect to the \nlocal time (e.g., if "
     "meto-data are stored in UTC and the lokal \ntime is valid for a longitude of 15, the value "
     "should be set to 1.0: ",
     "time shift", &RunParameters::timeShiftH},
    {"which meridian is the one the lokal time is referring to? (e.g. 15 for central europe): ",
     "meridian", &RunParameters::referenceMeridianDeg},
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

// KELVARIN_FAST_PATH=0 sends every value through the general scanner: the way to tell a fault of
// the shortcut from a fault of the file.
bool useFastPath() {
  const char* setting = std::getenv("KELVARIN_FAST_PATH");
  return setting == nullptr || std::string_view(setting) != "0";
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

std::optional<std::string> refuseRunParameters(const RunParameters& params) {
  for (const Question& question : kQuestions) {
    const float value = params.*question.field;
    if (!std::isfinite(value)) {
      return "answers refused: the " + std::string(question.name) + " is " +
             format("%g", static_cast<double>(value)) + ", not a finite number\n";
    }
  }
  if (std::fabs(params.latitudeDeg) > 90.0f) {
    return format("answers refused: the latitude (%g) is not between -90 and 90 degrees\n",
                  static_cast<double>(params.latitudeDeg));
  }
  if (std::fabs(params.timeShiftH) > kMaxTimeShiftH) {
    return format(
        "answers refused: the time shift (%g h) is more than 24 hours: local time would never "
        "meet the stored day's sunrise and sunset\n",
        static_cast<double>(params.timeShiftH));
  }
  const auto inputStepMin = static_cast<double>(params.inputStepMin);
  const auto outputStepMin = static_cast<double>(params.outputStepMin);
  if (!(params.inputStepMin > 0.0f) || !(params.outputStepMin > 0.0f)) {
    return format(
        "answers refused: input step %g min, output step %g min: both must be greater than 0\n",
        inputStepMin, outputStepMin);
  }
  if (params.outputStepMin / params.inputStepMin < 1.0f) {
    return format(
        "answers refused: the output step (%g min) is shorter than the input step (%g min), so "
        "an output step would hold no record\n",
        outputStepMin, inputStepMin);
  }
  if (!hasUsableSteps(params)) {
    return format(
        "answers refused: the output step (%g min) is too long: at most 2147483647 minutes and "
        "2147483647 input steps of %g min\n",
        outputStepMin, inputStepMin);
  }
  return std::nullopt;
}

int runKelvarin(int argc, char** argv, std::FILE* answers, std::FILE* console) {
  std::fputs(kBanner, console);
  if (argc < 3) {
    std::fputs("usage: kelvarin <inputfie> <outputfile> \n\n", console);
    std::fputs("The input file contains absoulte sunshine durations in minutes or hours \n",
               console);
    std::fputs("The output file contains relative sunshine durations for the time step [1/1] \n",
               console);
    return kExitUsage;
  }
  const std::string inputName = argv[1];
  const std::string outputName = argv[2];
  std::FILE* input = openDataFile(inputName, "r", console);
  if (input == nullptr) {
    return kExitFile;
  }
  if (isSameFile(input, outputName)) {
    // Opening the output would empty the input before a line of it was read.
    std::fprintf(console, "error opening file %s (it is the input file)\n", outputName.c_str());
    std::fclose(input);
    return kExitFile;
  }
  std::FILE* output = openDataFile(outputName, "w", console);
  if (output == nullptr) {
    std::fclose(input);
    return kExitFile;
  }
  RunParameters params;
  std::optional<std::string> refusal = readRunParameters(answers, console, params);
  if (!refusal) {
    refusal = refuseRunParameters(params);
  }
  int status = kExitSuccess;
  if (refusal) {
    std::fputs(refusal->c_str(), console);
    status = kExitAnswers;
  } else {
    InputReader reader = makeInputReader(input);
    OutputBuffer buffer = makeOutputBuffer(output);
    const RunOutcome outcome =
        convertStationFile(reader, buffer, console, params, {useFastPath(), false});
    if (outcome.end == RunEnd::kBadInput) {
      std::fprintf(console, "%s\n", outcome.message.c_str());
      status = kExitFile;
    }
    // Whatever stopped the run, the whole lines written so far reach the file.
    if (outcome.end == RunEnd::kWriteFailed || !flushLines(buffer) || std::fflush(output) != 0) {
      buffer.writeFailed = true;
    }
    if (buffer.writeFailed) {
      std::fprintf(console, "error writing file %s\n", outputName.c_str());
      status = kExitFile;
    }
  }
  std::fclose(input);
  if (std::fclose(output) != 0 && status == kExitSuccess) {
    std::fprintf(console, "error writing file %s\n", outputName.c_str());
    status = kExitFile;
  }
  if (status == kExitSuccess) {
    std::fputs("ready..\n", console);
  }
  return status;
}

}  // namespace kelvarin
