#include "driver.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <variant>
#include <vector>

namespace kelvarin {
namespace {

RunParameters readAnswers(std::string answers, std::string* refusal = nullptr) {
  std::FILE* in = fmemopen(answers.data(), answers.size(), "r");
  std::FILE* console = std::fopen("/dev/null", "w");
  RunParameters params;
  const std::optional<std::string> refused = readRunParameters(in, console, params);
  std::fclose(in);
  std::fclose(console);
  if (refusal != nullptr) {
    *refusal = refused.value_or("");
  }
  return params;
}

TEST(DriverTest, ReadsTheSevenAnswersInOrder) {
  const RunParameters p = readAnswers("52.5\n13.4\n60 60\n\n180\n1.0\n  15\n");
  EXPECT_EQ(p.latitudeDeg, 52.5f);
  EXPECT_EQ(p.longitudeDeg, 13.4f);
  EXPECT_EQ(p.inputStepMin, 60.0f);
  EXPECT_EQ(p.inputUnitMin, 60.0f);
  EXPECT_EQ(p.outputStepMin, 180.0f);
  EXPECT_EQ(p.timeShiftH, 1.0f);
  EXPECT_EQ(p.referenceMeridianDeg, 15.0f);
}

TEST(DriverTest, AnswersThatAreNotNumbersAreRefused) {
  struct Case {
    const char* answers;
    const char* refusal;
  };
  const Case cases[] = {
      // answers                          refusal
      {"52,5\n13,4\n60\n60\n180\n1\n15\n",
       "answers refused: the longitude: \",5\" is not a number (the answer before it may have a "
       "decimal comma: answers take a decimal point)\n"},
      {"52.5\n13.4\n60\n60\n180\n1,0\n15\n",
       "answers refused: the meridian: \",0\" is not a number (the answer before it may have a "
       "decimal comma: answers take a decimal point)\n"},
      {"52.5 N\n13.4 E\n60\n60\n180\n1\n15\n",
       "answers refused: the longitude: \"N\" is not a number\n"},
      {"52.5\n13.4\n60\n60\n180\n1\n",
       "answers refused: the meridian is missing: the answers ended before it\n"},
      {"", "answers refused: the latitude is missing: the answers ended before it\n"},
      {"52.5\n13.4\n60\n60\n180\n1\n15 and then some text\n", ""},
  };
  for (const Case& c : cases) {
    std::string refusal;
    readAnswers(c.answers, &refusal);
    EXPECT_EQ(refusal, c.refusal) << c.answers;
  }
}

struct RefusalCase {
  float inputStepMin;
  float outputStepMin;
  float timeShiftH;
  const char* refusal;  // nullptr: the answers are used
};

const RefusalCase kRefusalCases[] = {
    // input step  output step  shift  refusal starts with
    {60.0f, 180.0f, 1.0f, nullptr},
    {60.0f, 90.0f, 0.0f, nullptr},
    {1440.0f, 1440.0f, 0.0f, nullptr},
    {60.0f, 60.5f, -24.0f, nullptr},
    {60.0f, 60.0f, 1e30f, "answers refused: the time shift (1e+30 h) is more than 24 hours"},
    {60.0f, 60.0f, -24.5f, "answers refused: the time shift (-24.5 h) is more than 24 hours"},
    {0.0f, 60.0f, 0.0f, "answers refused: input step 0 min, output step 60 min"},
    {60.0f, -60.0f, 0.0f, "answers refused: input step 60 min, output step -60 min"},
    {60.0f, 30.0f, 0.0f, "answers refused: the output step (30 min) is shorter than the input"},
    {60.0f, 59.99f, 0.0f, "answers refused: the output step (59.99 min) is shorter"},
    {60.0f, 1e30f, 0.0f, "answers refused: the output step (1e+30 min) is too long"},
    {1440.0f, 52596000.0f, 0.0f, nullptr},  // 100 years
    {1440.0f, 52597440.0f, 0.0f, "answers refused: the output step (5.25974e+07 min) is longer"},
    {1e-30f, 60.0f, 0.0f, "answers refused: the output step (60 min) is too long"},
    {1e28f, 3e9f, 0.0f, "answers refused: the output step (3e+09 min) is shorter"},
    {1e9f, 3e9f, 0.0f, "answers refused: the output step (3e+09 min) is too long"},
    {60.0f, INFINITY, 0.0f, "answers refused: the output step is inf, not a finite number"},
    {NAN, 60.0f, 0.0f, "answers refused: the input step is nan, not a finite number"},
    {60.0f, 60.0f, -INFINITY, "answers refused: the time shift is -inf, not a finite number"},
};

TEST(DriverTest, RefusesAnswersThatLeaveNoWholeStep) {
  for (const RefusalCase& c : kRefusalCases) {
    RunParameters p;
    p.inputStepMin = c.inputStepMin;
    p.outputStepMin = c.outputStepMin;
    p.timeShiftH = c.timeShiftH;
    const std::optional<std::string> refusal = refuseRunParameters(p);
    if (c.refusal == nullptr) {
      EXPECT_FALSE(refusal.has_value()) << *refusal;
    } else {
      ASSERT_TRUE(refusal.has_value()) << c.refusal;
      EXPECT_EQ(refusal->rfind(c.refusal, 0), 0u) << *refusal;
      EXPECT_EQ(refusal->find('\n'), refusal->size() - 1) << "one line: " << *refusal;
    }
  }
}

// Parses a command line given as words, the program name first.
std::variant<CommandLine, CommandLineEnd> parse(std::vector<std::string> words) {
  std::vector<char*> argv;
  for (std::string& word : words) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);
  return parseCommandLine(static_cast<int>(words.size()), argv.data());
}

TEST(DriverTest, OptionsComeBeforeTheFileNames) {
  struct Case {
    std::vector<std::string> words;
    const char* input;  // nullptr: the command line ends the run
    int status;         // when it does
  };
  const Case cases[] = {
      {{"kelvarin", "in", "out"}, "in", 0},
      {{"kelvarin", "--latitude", "52.5", "--meridian=15", "in", "out", "more"}, "in", 0},
      {{"kelvarin", "in", "out", "--latitude"}, "in", 0},  // after the names: ignored
      {{"kelvarin", "--", "-in", "out"}, "-in", 0},
      {{"kelvarin", "--quiet", "--strict", "--missing", "-999", "in", "out"}, "in", 0},
      {{"kelvarin", "-in", "out"}, nullptr, kExitUsage},  // a dash-named file needs --
      {{"kelvarin", "--latitude"}, nullptr, kExitUsage},
      {{"kelvarin", "--latitdue", "5", "in", "out"}, nullptr, kExitUsage},
      {{"kelvarin", "--lat", "5", "in", "out"}, "in", 0},  // getopt_long takes a unique prefix
      {{"kelvarin", "--strict=1", "in", "out"}, nullptr, kExitUsage},
      {{"kelvarin", "--quiet", "in"}, nullptr, kExitUsage},
      {{"kelvarin", "--latitude", "52,5", "in", "out"}, nullptr, kExitAnswers},
      {{"kelvarin", "--latitude", "", "in", "out"}, nullptr, kExitAnswers},
      {{"kelvarin", "--time-shift", "1 ", "in", "out"}, nullptr, kExitAnswers},
      {{"kelvarin", "--missing", "-999x", "in", "out"}, nullptr, kExitAnswers},
      {{"kelvarin", "--missing", "nan", "in", "out"}, nullptr, kExitAnswers},
      {{"kelvarin", "--help", "in", "out"}, nullptr, kExitSuccess},
      {{"kelvarin", "--version"}, nullptr, kExitSuccess},
  };
  for (const Case& c : cases) {
    const auto parsed = parse(c.words);
    std::string words;
    for (const std::string& word : c.words) {
      words += word + " ";
    }
    if (c.input == nullptr) {
      ASSERT_TRUE(std::holds_alternative<CommandLineEnd>(parsed)) << words;
      EXPECT_EQ(std::get<CommandLineEnd>(parsed).status, c.status) << words;
    } else {
      ASSERT_TRUE(std::holds_alternative<CommandLine>(parsed)) << words;
      EXPECT_EQ(std::get<CommandLine>(parsed).inputName, c.input) << words;
    }
  }
}

TEST(DriverTest, OptionValuesAreTheAnswers) {
  const auto parsed = parse({"kelvarin", "--latitude=-33.9", "--input-step", "1e1", "--missing",
                             "-999.0", "--quiet", "in", "out"});
  ASSERT_TRUE(std::holds_alternative<CommandLine>(parsed));
  const CommandLine& line = std::get<CommandLine>(parsed);
  EXPECT_EQ(line.params.latitudeDeg, -33.9f);
  EXPECT_EQ(line.params.inputStepMin, 10.0f);
  EXPECT_EQ(line.given, (GivenAnswers{true, false, true, false, false, false, false}));
  EXPECT_EQ(line.run.missingMarkers, std::vector<double>{-999.0});
  EXPECT_TRUE(line.quiet);
  EXPECT_FALSE(line.run.strict);
}

// With all seven answers given, the dialogue neither prints a prompt nor reads a byte.
TEST(DriverTest, AllSevenOptionsLeaveTheAnswersUnread) {
  std::string answers = "52.5\n13.4\n";
  std::FILE* in = fmemopen(answers.data(), answers.size(), "r");
  char* printed = nullptr;
  std::size_t printedSize = 0;
  std::FILE* console = open_memstream(&printed, &printedSize);
  RunParameters params;
  const GivenAnswers all{true, true, true, true, true, true, true};
  EXPECT_FALSE(readRunParameters(in, console, params, all).has_value());
  std::fclose(console);
  EXPECT_EQ(printedSize, 0u);
  EXPECT_EQ(std::ftell(in), 0);
  std::fclose(in);
  std::free(printed);
}

}  // namespace
}  // namespace kelvarin
