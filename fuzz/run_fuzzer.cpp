// Fuzzes a whole run over an arbitrary input file: header pass and step loop. The first byte picks
// one of a few fixed sets of answers, so that every step shape meets every input.
#include <cstdint>
#include <vector>

#include "fuzz_io.hpp"
#include "horizon_table.hpp"
#include "places_table.hpp"
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

// Places for the stations a mutated header most often names (0 to 99 and 10000 to 10099), round
// the world: polar circles, the date line and stations far from meridian 15 among them.
const std::vector<kelvarin::StationPlace>& fuzzPlaces() {
  static const std::vector<kelvarin::StationPlace> places = [] {
    std::vector<kelvarin::StationPlace> all;
    for (std::int64_t base : {std::int64_t{0}, std::int64_t{10000}}) {
      for (std::int64_t s = 0; s < 100; ++s) {
        const auto k = static_cast<float>(s);
        all.push_back({base + s, -85.0f + 1.7f * k, -179.5f + 3.6f * k, 0});
      }
    }
    return all;
  }();
  return places;
}

// A ridge in the east and a notch in the south, through north and back.
const kelvarin::HorizonTable& fuzzHorizon() {
  static const kelvarin::HorizonTable table = [] {
    kelvarin::HorizonProfile skyline;
    skyline.points = {{0.0, 2.0},    {70.0, 25.0}, {110.0, 25.0}, {170.0, 1.0},
                      {180.0, 12.0}, {190.0, 1.0}, {300.0, 6.0},  {359.0, 2.5}};
    skyline.index();
    kelvarin::HorizonTable horizon;
    horizon.everyColumn = skyline;
    return horizon;
  }();
  return table;
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
  // The other bits of the last byte: another possible sunshine, a skyline, places of their own.
  constexpr SunModel kModels[] = {SunModel::kClassic, SunModel::kFao56, SunModel::kNoaa,
                                  SunModel::kClassic};
  options.possible.model = kModels[(extra >> 3) & 3];
  if (((extra >> 3) & 3) == 3) {
    options.possible.elevationDeg = 3.0;
  }
  if ((extra & 0x20) != 0) {
    options.possible.horizon = &fuzzHorizon();
  }
  if ((extra & 0x80) != 0) {
    options.places = &fuzzPlaces();
  }
  convertStationFile(reader, out, {fuzz::sink(), fuzz::sink()}, params, options);
  flushLines(out);
  std::fclose(in);
  return 0;
}
