#include "step_loop.hpp"

#include "captured_stream.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace kelvarin {
namespace {

struct LoopResult {
  int status;
  std::string output;
  std::string console;
};

// Runs the step loop over `records` (what follows the header) with a read buffer of `blockSize`.
LoopResult runLoop(const std::string& records, std::size_t columns, const RunParameters& params,
                   std::size_t blockSize) {
  std::FILE* in = fmemopen(const_cast<char*>(records.data()), records.size(), "r");
  testing::CapturedStream out;
  testing::CapturedStream console;
  InputReader reader = makeInputReader(in, blockSize);
  OutputBuffer buffer = makeOutputBuffer(testing::openCapture(out), 16);
  std::vector<double> sums(columns + 1, 0.0);
  const int status = runStepLoop(reader, buffer, testing::openCapture(console), params, sums);
  flushLines(buffer);
  std::fclose(in);
  const std::string output = testing::closeCapture(out);
  return {status, output, testing::closeCapture(console)};
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
      EXPECT_EQ(split.status, whole.status) << "block " << blockSize << ": " << text;
    }
  }
}

TEST(StepLoopTest, ZerosJoinedToADigitAreNotSkipped) {
  const LoopResult result =
      runLoop("2023 6 21 12 0 0 0 05 0 0 0 0\n", 8, hourly(), std::size_t{1} << 17);
  EXPECT_EQ(result.output,
            "2023\t6\t21\t12\t0.000\t0.000\t0.000\t1.000\t0.000\t0.000\t0.000\t0.000\n");
}

}  // namespace
}  // namespace kelvarin
