#include "driver.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

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

}  // namespace
}  // namespace kelvarin
