#include "step/step_loop.hpp"

#include "captured_stream.hpp"

#include <gtest/gtest.h>

#include <bit>    // std::bit_cast
#include <cmath>  // std::nextafter
#include <cstdio>
#include <string>
#include <vector>

namespace kelvarin {
namespace {

struct LoopResult {
  RunOutcome outcome;
  std::string output;
  std::string console;
};

// Runs the step loop over `records` (what follows the header) with a read buffer of `blockSize`.
LoopResult runLoop(const std::string& records, std::size_t columns, const RunParameters& params,
                   std::size_t blockSize, bool shortcuts = true) {
  std::FILE* in = fmemopen(const_cast<char*>(records.data()), records.size(), "r");
  testing::CapturedStream out;
  testing::CapturedStream console;
  InputReader reader = makeInputReader(in, blockSize);
  RecordReader stream = makeRecordReader(reader, shortcuts, {}, columns);
  OutputBuffer buffer = makeOutputBuffer(testing::openCapture(out), 16);
  std::vector<double> sums(columns + 1, 0.0);
  std::FILE* consoleFile = testing::openCapture(console);
  Diagnostics diagnostics = makeDiagnostics({consoleFile, consoleFile}, params, false);
  const RunOutcome outcome = runStepLoop(stream, buffer, diagnostics, params, sums);
  flushLines(buffer);
  std::fclose(in);
  const std::string output = testing::closeCapture(out);
  return {outcome, output, testing::closeCapture(console)};
}

RunParameters hourly() {
  RunParameters p;
  p.latitudeDeg = 52.5f;
  p.longitudeDeg = 13.4f;
  p.inputStepMin = 60.0f;
  p.inputUnitMin = 60.0f;
  p.outputStepMin = 60.0f;
  p.timeShiftH = 1.0f;
  p.referenceMeridianDeg = 15.0f;
  return p;
}

double above(double x) {
  return std::nextafter(x, 1e300);
}
double below(double x) {
  return std::nextafter(x, -1e300);
}

TEST(StepLoopTest, NightFractionAtTheThreshold) {
  struct Case {
    double sunriseH;  // of a one-hour window from 0 to 1, no sunset in it
    double expected;
  };
  const Case cases[] = {
      // sunrise        night fraction
      {0.95, 0.95},        // exactly at the threshold: still divided by
      {above(0.95), 1.0},  // the next double above it: night
      {below(0.95), below(0.95)},
      {0.9505, 1.0},  // between 0.95 and 0.951
      {0.0, 0.0},     // a window starting exactly at sunrise has no night
      {1.0, 1.0},     // one ending exactly at sunrise is wholly night
  };
  for (const Case& c : cases) {
    EXPECT_EQ(nightFraction(0.0, 1.0, 1.0, SunTimes{c.sunriseH, 20.0}), c.expected)
        << "sunrise " << c.sunriseH;
  }
  // After sunset: a window ending exactly at sunset has no night, one starting at it is night.
  EXPECT_EQ(nightFraction(19.0, 20.0, 1.0, SunTimes{4.0, 20.0}), 0.0);
  EXPECT_EQ(nightFraction(20.0, 21.0, 1.0, SunTimes{4.0, 20.0}), 1.0);
  // No sunrise and sunset that day: light from 0 to 24.
  EXPECT_EQ(nightFraction(11.0, 12.0, 1.0, SunTimes{-1.0, -1.0}), 0.0);
  EXPECT_EQ(nightFraction(24.0, 25.0, 1.0, SunTimes{-1.0, -1.0}), 1.0);
}

TEST(StepLoopTest, RelativeSunshineAtTheClips) {
  struct Case {
    double r;  // the sum over a 60-minute step with a day fraction of 1
    double expected;
  };
  const Case cases[] = {
      // r               written
      {1.0, 1.0},
      {above(1.0), 1.0},
      {below(1.0), below(1.0)},
      {-100.0, -100.0},  // exactly -100 stays: only results below it are missing values
      {above(-100.0), above(-100.0)},
      {below(-100.0), kMissingValue},
      {-100.25, kMissingValue},
      {-16.65, -16.65},  // -999 minutes over an hour stays as it is
  };
  for (const Case& c : cases) {
    EXPECT_EQ(relativeSunshine(c.r * 60.0, 60.0, 1.0), c.expected) << "r " << c.r;
  }
  EXPECT_EQ(relativeSunshine(-59940.0, 60.0, 0.0), 0.0);  // a night step, whatever was measured
  EXPECT_EQ(relativeSunshine(6.0, 60.0, 0.1569), 6.0 / 60.0 / 0.1569);  // divided in this order
}

// Results worked out several at a time are relativeSunshine's, bit for bit, at the clips too.
TEST(StepLoopTest, ResultsOfAWholeLineAreTheSingleResults) {
  const double sums[] = {0.0,  60.0,          above(60.0), below(60.0), -6000.0,     below(-6000.0),
                         -0.0, 1e300,         -1e300,      6.0,         -999.0 * 60, 0.1 * 60,
                         7.5,  above(-6000.0)};
  for (const double dayFraction : {1.0, 0.1569, 0.05, 1e-300}) {
    for (std::size_t columns = 1; columns < std::size(sums); ++columns) {
      std::vector<double> results(columns + 1, 0.0);
      relativeSunshineOfAll(sums, columns, 60.0, dayFraction, results.data());
      for (std::size_t c = 1; c <= columns; ++c) {
        const double single = relativeSunshine(sums[c], 60.0, dayFraction);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(results[c]), std::bit_cast<std::uint64_t>(single))
            << "sum " << sums[c] << ", day fraction " << dayFraction;
      }
    }
  }
}

// Every split of the input into blocks must read the same values: fields cut at a block's end,
// zeros read four at a time, remembered spellings and the general scanner all meet here.
TEST(StepLoopTest, BlockBoundariesChangeNothing) {
  const std::string records[] = {
      "2023 6 21 11 0 0 0 0 0 0 0 0\n2023 6 21 12 0 0 0 05 0 0 0 0.5\n"
      "2023 6 21 13 0.5-999 0.0625 1e-1 0.1000000000000000055511151231257827 -0 +.5 5. 7\n"
      "2023 6 21 14\t0.45\r\n0.45 0.45 0.45 0.45 0.45 0.45 0.45\r\n",
      "2023 6 21 15 0 0 0 0 0 0 0 0\n2023 6 21 16 0 0 0 0 0 0 0 0",
      "2023 6 21 15 0 0 0 0 0 0 0 x0\n",
      "2023 6 21 15 0 0 0 0 0 0 0\n",
  };
  for (const std::string& text : records) {
    const LoopResult whole = runLoop(text, 8, hourly(), std::size_t{1} << 17);
    for (std::size_t blockSize : {1u, 2u, 3u, 5u, 7u, 8u, 9u, 13u, 63u, 64u, 65u, 100u}) {
      const LoopResult split = runLoop(text, 8, hourly(), blockSize);
      EXPECT_EQ(split.output, whole.output) << "block " << blockSize << ": " << text;
      EXPECT_EQ(split.console, whole.console) << "block " << blockSize << ": " << text;
      EXPECT_EQ(faultMessage(split.outcome.fault), faultMessage(whole.outcome.fault))
          << "block " << blockSize;
    }
  }
}

TEST(StepLoopTest, ZerosJoinedToADigitAreNotSkipped) {
  const LoopResult result =
      runLoop("2023 6 21 12 0 0 0 05 0 0 0 0\n", 8, hourly(), std::size_t{1} << 17);
  EXPECT_EQ(result.output,
            "2023\t6\t21\t12\t0.000\t0.000\t0.000\t1.000\t0.000\t0.000\t0.000\t0.000\n");
}

// A faulty field stops the run before its step line, in whichever column it stands and however
// the fields before it were read.
TEST(StepLoopTest, FaultyFieldsGetNoStepLine) {
  struct Case {
    const char* records;  // three columns, hourly steps
    const char* output;
    const char* message;
  };
  const Case cases[] = {
      // records                            output kept                   message
      {"2021 6 21 12 0.5 0.5 0.5\n2021 6 21 13 0.5 0.5 0,25\n2021 6 21 14 0.5 0.5 0.5\n",
       "2021\t6\t21\t12\t0.500\t0.500\t0.500\n",
       "error reading input file: line 2: value of column 3 \"0,25\" is not a number"},
      {"2021 6 21 13 0,25 0.5 0.5\n", "",
       "error reading input file: line 1: value of column 1 \"0,25\" is not a number"},
      {"2021 6 21 13 0.5 0x10 0.5\n", "",
       "error reading input file: line 1: value of column 2 \"0x10\" is not a number"},
      {"2021 6 21 13:00 0.5 0.5 0.5\n", "",
       "error reading input file: line 1: hour \"13:00\" is not a number"},
      {"2021 6 21 13 0.5 0.5\n0.5\n2021 6 21 14 1e308 -1e308 1e308\n",
       "2021\t6\t21\t13\t0.500\t0.500\t0.500\n",
       "error reading input file: line 3: value of column 1 \"1e308\" is out of range"},
      {"2021 6 21 13 0.5 0.5 1e307\n", "",
       "error reading input file: line 1: value of column 3 \"1e307\" is out of range"},
      {"2021 6 21 13 0.5 0.5 0.5\x01\n", "",
       "error reading input file: line 1: value of column 3 \"0.5?\" is not a number"},
  };
  for (const Case& c : cases) {
    for (bool shortcuts : {true, false}) {
      const LoopResult result = runLoop(c.records, 3, hourly(), std::size_t{1} << 17, shortcuts);
      EXPECT_EQ(result.output, c.output) << c.records;
      EXPECT_EQ(result.outcome.end, RunEnd::kBadInput) << c.records;
      EXPECT_EQ(faultMessage(result.outcome.fault), c.message) << c.records;
    }
  }
}

}  // namespace
}  // namespace kelvarin
