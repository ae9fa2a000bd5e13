// Each station at its own place: every column of a network run must be byte for byte the column
// of a run over that station alone with its latitude and longitude.
#include <gtest/gtest.h>

#include <algorithm>  // std::min, std::max
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "captured_run.hpp"
#include "reading/header_pass.hpp"
#include "step/step_loop.hpp"

namespace kelvarin {
namespace {

struct Converted {
  RunOutcome outcome;
  std::vector<std::vector<std::string>> lines;  // the step lines' fields, after the header
  std::string console;
};

Converted convert(const std::string& file, const RunParameters& params, const RunOptions& options) {
  const testing::CapturedRun run = testing::runCaptured(file, params, options, 256, 64);
  return {run.outcome, testing::stepLines(run.output), run.console};
}

// The progress lines of a console: "day.month.year".
std::string progressLines(const std::string& console) {
  std::istringstream text(console);
  std::string kept;
  for (std::string line; std::getline(text, line);) {
    if (!line.empty() && line.find('.') != std::string::npos &&
        line.find(' ') == std::string::npos) {
      kept += line + "\n";
    }
  }
  return kept;
}

// A random network: stations anywhere, far from the meridian too, the polar circles included.
struct Network {
  std::vector<StationPlace> places;
  std::string file;
  std::vector<std::string> single;  // the file of each station alone
};

Network randomNetwork(std::mt19937& rng, int records, bool many) {
  // Few columns, and enough to be worked out two at a time.
  std::uniform_int_distribution<int> stations(many ? 16 : 1, many ? 40 : 6);
  std::uniform_real_distribution<float> latitude(-66.0f, 66.0f);
  std::uniform_real_distribution<float> longitude(-180.0f, 180.0f);
  std::uniform_int_distribution<int> percent(0, 99);
  Network network;
  const int count = stations(rng);
  std::string header = "YYYY MM DD H";
  for (int s = 0; s < count; ++s) {
    float lat = latitude(rng);
    if (percent(rng) < 15) {
      lat = (percent(rng) < 50 ? -1.0f : 1.0f) * (70.0f + static_cast<float>(percent(rng)) / 6.0f);
    }
    const std::int64_t id = 100 + s + percent(rng) * 1000;
    network.places.push_back({id, lat, longitude(rng), static_cast<std::uint64_t>(s + 2)});
    header += " 00" + std::to_string(id);
  }
  const int month = 1 + percent(rng) % 12;
  const int firstHour = percent(rng) % 3;
  std::vector<std::string> rows;
  for (int r = 0; r < records; ++r) {
    const int hour = (firstHour + r) % 24 + 1;
    const int day = 1 + (firstHour + r) / 24;
    std::string row =
        "2023 " + std::to_string(month) + " " + std::to_string(day) + " " + std::to_string(hour);
    for (int s = 0; s < count; ++s) {
      row += " " + std::to_string(percent(rng) % 61);
    }
    rows.push_back(row);
  }
  const std::string lines345 = "3\n4\n5\n";
  network.file = "network\n" + header + "\n" + lines345;
  for (const std::string& row : rows) {
    network.file += row + "\n";
  }
  for (std::size_t s = 0; s < network.places.size(); ++s) {
    std::string alone =
        "alone\nYYYY MM DD H " + std::to_string(network.places[s].station) + "\n" + lines345;
    for (const std::string& row : rows) {
      std::istringstream fields(row);
      std::string field;
      std::string kept;
      for (std::size_t f = 0; fields >> field; ++f) {
        if (f < 4 || f == 4 + s) {
          kept += (kept.empty() ? "" : " ") + field;
        }
      }
      alone += kept + "\n";
    }
    network.single.push_back(alone);
  }
  return network;
}

// Expects every column of a network run to be the run of its station alone.
void expectEachColumnAlone(const Network& network, const RunParameters& params,
                           const RunOptions& options, int round) {
  const Converted whole = convert(network.file, params, options);
  ASSERT_EQ(whole.outcome.end, RunEnd::kDone);
  // The plain path, without the memos of sun times and the quick writers, writes the same.
  RunOptions plain = options;
  plain.shortcuts = !options.shortcuts;
  EXPECT_EQ(convert(network.file, params, plain).lines, whole.lines) << "round " << round;
  for (std::size_t s = 0; s < network.places.size(); ++s) {
    RunParameters own = params;
    own.latitudeDeg = network.places[s].latitudeDeg;
    own.longitudeDeg = network.places[s].longitudeDeg;
    RunOptions alone = options;
    alone.places = nullptr;
    // Alone, the station's skyline is the one of every column.
    HorizonTable ownHorizon;
    if (options.possible.horizon != nullptr) {
      if (const HorizonProfile* skyline = options.possible.horizon->of(network.places[s].station)) {
        ownHorizon.everyColumn = *skyline;
      }
      alone.possible.horizon = &ownHorizon;
    }
    const Converted single = convert(network.single[s], own, alone);
    ASSERT_EQ(single.lines.size(), whole.lines.size());
    for (std::size_t k = 0; k < whole.lines.size(); ++k) {
      const std::vector<std::string>& w = whole.lines[k];
      const std::vector<std::string>& a = single.lines[k];
      ASSERT_EQ(w.size(), a.size() + network.places.size() - 1);
      const std::size_t stamp = a.size() - 1;  // fields before the values
      for (std::size_t f = 0; f < stamp; ++f) {
        EXPECT_EQ(w[f], a[f]) << "round " << round << " line " << k;
      }
      EXPECT_EQ(w[stamp + s], a[stamp])
          << "round " << round << ", station " << s << " at " << own.latitudeDeg << " "
          << own.longitudeDeg << ", line " << k;
    }
    EXPECT_EQ(progressLines(whole.console), progressLines(single.console)) << "round " << round;
  }
}

TEST(PlacesTest, EachColumnIsItsStationRunAlone) {
  std::mt19937 rng(20261208);
  const float outputSteps[] = {60.0f, 180.0f, 1440.0f, 4320.0f};
  for (int round = 0; round < 160; ++round) {
    const Network network = randomNetwork(rng, 24 * 3, round % 4 == 3);
    RunParameters params;
    params.inputStepMin = 60.0f;
    params.inputUnitMin = 1.0f;
    params.outputStepMin = outputSteps[round % 4];
    params.timeShiftH = static_cast<float>(round % 4) - 1.0f;
    params.referenceMeridianDeg = round % 2 == 0 ? 15.0f : -75.0f;
    RunOptions options;
    options.shortcuts = round % 5 != 0;
    options.places = &network.places;
    expectEachColumnAlone(network, params, options, round);
  }
}

// Runs `rounds` random networks of hourly records in steps of a day, 3 hours and an hour, each
// by the possible sunshine `possibleOf(round, network, horizon)` gives (its skylines kept in
// `horizon`), against each station run alone.
template <typename PossibleOf>
void expectRoundsAlone(std::mt19937& rng, int rounds, PossibleOf possibleOf) {
  for (int round = 0; round < rounds; ++round) {
    const Network network = randomNetwork(rng, 24 * 3, round % 4 == 3);
    RunParameters params;
    params.inputStepMin = 60.0f;
    params.inputUnitMin = 1.0f;
    // Hours lie mostly in every column's light or in none, which the shortcuts tell at once.
    const float outputSteps[] = {1440.0f, 180.0f, 60.0f};
    params.outputStepMin = outputSteps[round % 3];
    params.timeShiftH = static_cast<float>(round % 4) - 1.0f;
    params.referenceMeridianDeg = round % 2 == 0 ? 15.0f : -75.0f;
    RunOptions options;
    options.shortcuts = round % 5 != 0;
    options.places = &network.places;
    HorizonTable horizon;
    options.possible = possibleOf(round, network, horizon);
    expectEachColumnAlone(network, params, options, round);
  }
}

// Another sun model or threshold: the same, column by column, the days' light remembered by date.
TEST(PlacesTest, EachColumnByAnotherModelIsItsStationRunAlone) {
  std::mt19937 rng(20261210);
  const PossibleSunshine kinds[] = {
      {SunModel::kFao56, std::nullopt, nullptr},
      {SunModel::kNoaa, std::nullopt, nullptr},
      {SunModel::kClassic, 3.0, nullptr},
      {SunModel::kNoaa, -5.0, nullptr},
  };
  expectRoundsAlone(rng, 60,
                    [&](int round, const Network&, HorizonTable&) { return kinds[round % 4]; });
}

// Behind skylines of their own (a station without one keeps a flat horizon): the same.
TEST(PlacesTest, EachColumnBehindItsSkylineIsItsStationRunAlone) {
  std::mt19937 rng(20261211);
  std::uniform_real_distribution<double> height(-1.0, 14.0);
  const SunModel models[] = {SunModel::kFao56, SunModel::kNoaa, SunModel::kClassic};
  expectRoundsAlone(rng, 24, [&](int round, const Network& network, HorizonTable& horizon) {
    const std::size_t stride = round % 2 == 0 ? std::size_t{1} : std::size_t{2};
    for (std::size_t s = 0; s < network.places.size(); s += stride) {
      HorizonProfile skyline;
      for (double azimuth = 0.0; azimuth < 360.0; azimuth += 30.0) {
        skyline.points.push_back({azimuth, height(rng)});
      }
      skyline.index();
      horizon.stations.emplace(network.places[s].station, skyline);
    }
    return PossibleSunshine{models[round % 3], std::nullopt, &horizon};
  });
}

// Calendar periods of a network, each partly covered by the file: the same, column by column.
TEST(PlacesTest, EachColumnsPeriodsAreItsStationRunAlone) {
  std::mt19937 rng(20261209);
  const CalendarPeriod periods[] = {CalendarPeriod::kDekad, CalendarPeriod::kMonth};
  for (int round = 0; round < 40; ++round) {
    const Network network = randomNetwork(rng, 24 * 3, round % 4 == 3);
    RunParameters params;
    params.inputStepMin = 60.0f;
    params.inputUnitMin = 1.0f;
    params.outputStepMin = 60.0f;
    params.outputPeriod = periods[round % 2];
    params.timeShiftH = static_cast<float>(round % 10) - 5.0f;
    params.referenceMeridianDeg = round % 3 == 0 ? 135.0f : -75.0f;
    RunOptions options;
    options.shortcuts = round % 5 != 0;
    options.places = &network.places;
    options.coverage = 0.05;
    expectEachColumnAlone(network, params, options, round);
  }
}

TEST(PlacesTest, ColumnsWithoutAPlaceAreRefused) {
  // Column 3 has no row; a station number beyond 18 digits is refused, not cut to 18 (two
  // stations that differ in the 19th digit would share one place).
  struct Case {
    std::string stations;
    Unplaced unplaced;
  };
  const Case cases[] = {
      {"00433 12abc 7", {3, "7", StationNumberStatus::kNumber}},
      {"433 1234567890123456789", {2, "1234567890123456789", StationNumberStatus::kTooManyDigits}},
  };
  const std::vector<StationPlace> places = {
      {433, 52.5f, 13.4f, 2}, {12, 50.0f, 6.0f, 3}, {123456789012345678, 50.0f, 6.0f, 4}};
  for (const Case& c : cases) {
    const std::string file = "x\nYYYY MM DD H " + c.stations + "\n3\n4\n5\n2023 6 21 12 1 2 3\n";
    RunOptions options;
    options.places = &places;
    RunParameters params;
    params.inputStepMin = 60.0f;
    params.inputUnitMin = 60.0f;
    params.outputStepMin = 60.0f;
    const Converted run = convert(file, params, options);
    EXPECT_EQ(run.outcome.end, RunEnd::kPlacesRefused) << c.stations;
    ASSERT_TRUE(run.outcome.unplaced) << c.stations;
    EXPECT_EQ(run.outcome.unplaced->column, c.unplaced.column);
    EXPECT_EQ(run.outcome.unplaced->station, c.unplaced.station);
    EXPECT_EQ(run.outcome.unplaced->status, c.unplaced.status);
  }
}

}  // namespace
}  // namespace kelvarin
