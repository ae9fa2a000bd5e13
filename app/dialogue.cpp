#include "dialogue.hpp"

#include <cctype>  // std::isspace
#include <cmath>   // std::isfinite, std::fabs

#include "longitude.hpp"       // halfCircleLongitude
#include "step/calendar.hpp"   // periodNamed
#include "step/step_loop.hpp"  // hasUsableSteps

namespace kelvarin {

namespace {

// A larger shift puts every step's window outside the stored day, so every result would be 0.
constexpr float kMaxTimeShiftH = 24.0f;

// Positions in kQuestions, for the checks of single answers.
constexpr std::size_t kLatitude = kLatitudeQuestion;
constexpr std::size_t kLongitude = kLongitudeQuestion;
constexpr std::size_t kMeridian = 6;
constexpr std::size_t kInputStep = 2;
constexpr std::size_t kOutputStep = 4;
constexpr std::size_t kTimeShift = 5;

// The prompts are part of the interface: scripts wait for them, typos included.
}  // namespace

const std::array<Question, kQuestionCount> kQuestions = {{
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
}};

namespace {

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

}  // namespace

bool takePeriod(std::string_view word, RunParameters& params) {
  const std::optional<CalendarPeriod> period = periodNamed(word);
  if (!period) {
    return false;
  }
  params.outputPeriod = *period;
  params.outputStepMin = shortestPeriodMin(*period);
  return true;
}

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
    if (i == kOutputStep && takePeriod(word, params)) {
      continue;
    }
    // An answer that is not a number used to become 0 silently, and the same text then met the
    // next question: "1,0" as the time shift made the meridian 0.
    if (!takeNumber(word, params.*question.field, text.pending)) {
      std::string refusal = "answers refused: the " + std::string(question.name) + ": \"" +
                            word.substr(0, kShownAnswerLength) + "\" is not a number";
      if (i == kOutputStep) {
        refusal += " (minutes, or dekad, month or year)";
      }
      if (word[0] == ',') {
        refusal += " (the answer before it may have a decimal comma: answers take a decimal point)";
      }
      return refusal + "\n";
    }
  }
  return std::nullopt;
}

namespace {

// A refusal's line, naming the options among `fields` (indices into kQuestions) that gave the
// refused values.
struct Refusal {
  const GivenAnswers& given;
  std::string operator()(std::string text, std::initializer_list<std::size_t> fields) const {
    for (const std::size_t i : fields) {
      if (given[i]) {
        text += std::string(" (given as --") + kQuestions[i].option + ")";
      }
    }
    return text + "\n";
  }
};

// The refusal of a latitude beyond the poles, a longitude beyond the circle or a meridian too far
// off, or nothing.
std::optional<std::string> refusePlace(const RunParameters& params, const Refusal& refused) {
  if (std::fabs(params.latitudeDeg) > 90.0f) {
    return refused(format("answers refused: the latitude (%g) is not between -90 and 90 degrees",
                          static_cast<double>(params.latitudeDeg)),
                   {kLatitude});
  }
  if (!halfCircleLongitude(static_cast<double>(params.longitudeDeg))) {
    return refused(format("answers refused: the longitude (%g) is not between -180 and 360 degrees",
                          static_cast<double>(params.longitudeDeg)),
                   {kLongitude});
  }
  // A meridian further off puts local time days from the place's sun, and each step's daylight
  // would be sought among as many days.
  if (std::fabs(params.referenceMeridianDeg) > 360.0f) {
    return refused(format("answers refused: the meridian (%g) is not between -360 and 360 degrees",
                          static_cast<double>(params.referenceMeridianDeg)),
                   {kMeridian});
  }
  return std::nullopt;
}

// The refusals of steps that the loop cannot cut a file into.
std::optional<std::string> refuseSteps(const RunParameters& params, const Refusal& refused) {
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
    const std::string outputStep =
        params.outputPeriod == CalendarPeriod::kNone
            ? format("%g min", outputStepMin)
            : format("%s, as short as %g min", periodName(params.outputPeriod), outputStepMin);
    return refused(format("answers refused: the output step (%s) is shorter than the input step "
                          "(%g min), so an output step would hold no record",
                          outputStep.c_str(), inputStepMin),
                   {kInputStep, kOutputStep});
  }
  if (!hasUsableSteps(params)) {
    return refused(
        format("answers refused: the output step (%g min) is too long: at most 2147483647 "
               "minutes and 2147483647 input steps of %g min",
               outputStepMin, inputStepMin),
        {kInputStep, kOutputStep});
  }
  if (params.outputStepMin > kMaxOutputStepMin) {
    return refused(format("answers refused: the output step (%g min) is longer than 100 years "
                          "(%g min), the longest step kelvarin works out day by day",
                          outputStepMin, static_cast<double>(kMaxOutputStepMin)),
                   {kOutputStep});
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> refuseRunParameters(const RunParameters& params,
                                               const GivenAnswers& given) {
  const Refusal refused{given};
  for (std::size_t i = 0; i < std::size(kQuestions); ++i) {
    const float value = params.*kQuestions[i].field;
    if (!std::isfinite(value)) {
      return refused("answers refused: the " + std::string(kQuestions[i].name) + " is " +
                         format("%g", static_cast<double>(value)) + ", not a finite number",
                     {i});
    }
  }
  if (std::optional<std::string> place = refusePlace(params, refused)) {
    return place;
  }
  if (std::fabs(params.timeShiftH) > kMaxTimeShiftH) {
    return refused(
        format("answers refused: the time shift (%g h) is more than 24 hours: local time would "
               "never meet the stored day's sunrise and sunset",
               static_cast<double>(params.timeShiftH)),
        {kTimeShift});
  }
  return refuseSteps(params, refused);
}

}  // namespace kelvarin
