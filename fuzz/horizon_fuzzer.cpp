// Fuzzes the horizon table: arbitrary bytes as --horizon's table, then, when it is read, the
// skylines it gives against the sun of a few days and places (spans in order, within a day of
// noon or from midnight to midnight, none of them not a number) and a run over a small station file
// behind them.
#include <algorithm>  // std::clamp, std::max
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz_io.hpp"
#include "horizon_table.hpp"
#include "step/skyline.hpp"
#include "step/step_loop.hpp"

namespace {

constexpr char kStationFile[] =
    "title\nYYYY MM DD H 1001 1002\nstations\nhourly\n----\n"
    "2023 6 21 1 0 0\n2023 6 21 2 0.1 -999\n2023 6 21 3 0.5 0.0625\n2023 6 21 4 1 1\n"
    "2023 6 21 23 0 0\n2023 6 21 24 0.25 0.75\n2023 12 31 24 1 0\n";

// Returns how far (degrees) the sun stands at `hours` above what it must clear behind
// `profile` (3 degrees, or the skyline lowered by noaa's 0.833), from its place in the sky.
double clearance(const kelvarin::ModelSite& site, const kelvarin::ModelSunDay& day, double noonH,
                 double hours, const kelvarin::HorizonProfile& profile) {
  constexpr double kRad = 3.14159265358979323846 / 180.0;
  const double w = (hours - noonH) * 15.0 * kRad;
  const double sinH =
      site.sinLatitude * day.sinDeclination + site.cosLatitude * day.cosDeclination * std::cos(w);
  const double azimuthDeg = 180.0 + std::atan2(std::sin(w) * day.cosDeclination,
                                               site.sinLatitude * std::cos(w) * day.cosDeclination -
                                                   site.cosLatitude * day.sinDeclination) /
                                        kRad;
  return std::asin(std::clamp(sinH, -1.0, 1.0)) / kRad -
         std::max(3.0, profile.elevationAt(azimuthDeg) - 0.833);
}

// Checks the spans of one day behind `profile`; a fault is a crash for the fuzzer.
void checkSpans(const kelvarin::HorizonProfile& profile) {
  using namespace kelvarin;
  const double latitudes[] = {-89.0, -45.0, 0.0, 52.5, 78.0};
  const std::int64_t dates[] = {19528, 19710, 19893};  // 2023-06-21, 2023-12-20, 2024-06-20
  for (const double latitudeDeg : latitudes) {
    const ModelSite site = modelSite({latitudeDeg, 13.4, 15.0});
    for (const std::int64_t date : dates) {
      for (const SunModel model : {SunModel::kFao56, SunModel::kNoaa}) {
        const ModelSunDay day = modelSunDay(model, date, 15.0);
        const double noonH = modelNoonH(day, site);
        const DaySpans spans = skylineSpans(day, site, 3.0, profile, -0.833);
        // Every five minutes of the sun's day the sun is up exactly within the spans, where it
        // stands clear of its skyline or below it by more than rounding (a day of as many spans
        // as it holds may have had a shade filled; a day above every skyline is light from
        // midnight to midnight).
        const bool roundTheClock =
            spans.count == 1 && spans.spans[0].fromH == 0.0 && spans.spans[0].toH == 24.0;
        for (int minute = 0; minute < 24 * 60 && spans.count < kMostDaySpans && !roundTheClock;
             minute += 5) {
          const double hours = noonH - 12.0 + (minute + 2.5) / 60.0;
          const double clear = clearance(site, day, noonH, hours, profile);
          bool within = false;
          for (std::size_t i = 0; i < spans.count; ++i) {
            within |= hours > spans.spans[i].fromH && hours < spans.spans[i].toH;
          }
          if (std::abs(clear) > 1e-6 && (clear > 0.0) != within) {
            std::abort();
          }
        }
        double lastH = -HUGE_VAL;
        for (std::size_t i = 0; i < spans.count; ++i) {
          const DayLight& span = spans.spans[i];
          // A sun above every skyline all day is light from midnight to midnight.
          if (!(span.fromH >= lastH && span.toH >= span.fromH &&
                span.fromH >= std::min(noonH - 12.0, 0.0) - 0.01 &&
                span.toH <= std::max(noonH + 12.0, 24.0) + 0.01)) {
            std::abort();
          }
          lastH = span.toH;
        }
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvarin;
  std::FILE* file = fuzz::openData(data, size);
  HorizonTable table;
  const bool read = !readHorizonTable(file, table);
  std::fclose(file);
  if (!read) {
    return 0;
  }
  for (const auto& [station, profile] : table.stations) {
    checkSpans(profile);
  }
  if (table.everyColumn) {
    checkSpans(*table.everyColumn);
  }
  RunParameters params;
  params.inputStepMin = 60.0f;
  params.inputUnitMin = 60.0f;
  params.outputStepMin = 180.0f;
  params.timeShiftH = 1.0f;
  params.referenceMeridianDeg = 15.0f;
  params.latitudeDeg = 52.5f;
  params.longitudeDeg = 13.4f;
  RunOptions options;
  options.possible.model = SunModel::kFao56;
  options.possible.horizon = &table;
  std::FILE* in = fmemopen(const_cast<char*>(kStationFile), std::strlen(kStationFile), "r");
  InputReader reader = makeInputReader(in);
  OutputBuffer out = makeOutputBuffer(fuzz::sink());
  convertStationFile(reader, out, {fuzz::sink(), fuzz::sink()}, params, options);
  flushLines(out);
  std::fclose(in);
  return 0;
}
