// Fuzzes a whole run over an arbitrary input file: header pass and step loop. The first byte picks
// one of a few fixed sets of answers, so that every step shape meets every input.
#include <cstdint>
#include <vector>

#include "fuzz_io.hpp"
#include "step/calendar.hpp"
#include "step/step_loop.hpp"

namespace {

kelvarin::RunParameters answersFor(std::uint8_t choice) {
  kelvarin::RunParameters p;
  p.latitudeDeg = (choice & 8) != 0 ? 70.0f : 52.5f;
  p.longitudeDeg = 13.4f;
  p.inputUnitMin = 60.0f;
  p.timeShiftH = (choice & 16) != 0 ? 1.0f : 0.0f;
  p.referenceMeridianDeg = 15.0f;
  constexpr float kSteps[][2] = {{60, 60}, {60, 180},    {60, 1440},     {60, 90},
                                 {30, 30}, {1440, 1440}, {60.5f, 60.5f}, {0.5f, 121.5f}};
  p.inputStepMin = kSteps[choice & 7][0];
  p.outputStepMin = kSteps[choice & 7][1];
  return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvarin;
  if (size == 0) {
    return 0;
  }
  RunParameters params = answersFor(data[0]);
  // The last byte picks a calendar period now and then, and a coverage below 1: the calendar
  // loop and the gaps meet the same inputs.
  const std::uint8_t extra = data[size - 1];
  constexpr CalendarPeriod kPeriods[] = {CalendarPeriod::kNone, CalendarPeriod::kDekad,
                                         CalendarPeriod::kMonth, CalendarPeriod::kYear};
  if (const CalendarPeriod period = kPeriods[extra % 8 < 4 ? extra % 8 : 0];
      period != CalendarPeriod::kNone) {
    params.outputPeriod = period;
    params.outputStepMin = shortestPeriodMin(period);
  }
  if (!hasUsableSteps(params)) {
    return 0;
  }
  std::FILE* in = fuzz::openData(data + 1, size - 1);
  // Small blocks, so that fields fall across block ends as often as possible.
  InputReader reader = makeInputReader(in, 16 + (data[0] >> 5));
  OutputBuffer out = makeOutputBuffer(fuzz::sink(), 32);
  // The same bits vary the settings: strict runs and a declared missing value meet every shape.
  RunOptions options;
  options.strict = (data[0] & 32) != 0;
  if ((data[0] & 64) != 0) {
    options.missingMarkers = {-999.0};
  }
  options.coverage = (extra & 0x40) != 0 ? 0.5 : 1.0;
  options.vectorLevel = (data[0] & 128) != 0 ? detectVectorLevel() : VectorLevel::kPortable;
  convertStationFile(reader, out, {fuzz::sink(), fuzz::sink()}, params, options);
  flushLines(out);
  std::fclose(in);
  return 0;
}
