#include "reread_values.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "station_file.hpp"
#include "tables.hpp"

namespace kelvarin::prepare {
namespace {

namespace fs = std::filesystem;

// A folder of its own for the tables of one test.
class TablesFolder {
 public:
  explicit TablesFolder(const std::string& name)
      : path_(fs::temp_directory_path() / ("kelvarin_reread_" + name)) {
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TablesFolder() { fs::remove_all(path_); }
  std::string write(const std::string& name, const std::string& text) const {
    const std::string file = (path_ / name).string();
    std::ofstream(file, std::ios::binary) << text;
    return file;
  }

 private:
  fs::path path_;
};

// What one run gives: the station file and what the summary would say of it, or the refusal.
struct Outcome {
  std::string file;
  std::vector<ValueTally> tallies;
  ValueCounts counts;
  std::optional<std::string> refusal;
};

// Reads `files` holding their values, or holding no more beyond `holdBytes` (the values of later
// rows read again when written), and writes the merged station file into memory.
Outcome prepareFiles(const std::vector<std::string>& files, bool reread, bool strict = false,
                     std::uint64_t holdBytes = 0) {
  Collection collection;
  collection.canReread = reread;
  collection.holdBytes = holdBytes;
  Outcome outcome;
  for (const std::string& file : files) {
    if (auto refusal = readTableFile(file, {}, collection)) {
      outcome.refusal = refusal->message;
      return outcome;
    }
  }
  EXPECT_EQ(collection.holdValues, !reread);
  Grid grid{};
  std::vector<std::string> strays;
  GridSettings settings;
  settings.strict = strict;
  if (auto refusal = makeGrid(collection, settings, grid, strays)) {
    outcome.refusal = refusal->message;
    return outcome;
  }
  const StationNumbers numbers = numberStations(collection);
  std::vector<std::size_t> all;
  for (std::size_t s = 0; s < collection.stations.size(); ++s) {
    all.push_back(s);
  }
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  std::optional<Refusal> refusal;
  if (collection.holdValues) {
    HeldValues values(collection);
    refusal = writeStationFiles({StationOutput{out, "out", all, grid}}, collection, numbers, values,
                                outcome.tallies);
  } else {
    RereadValues values(collection, all, strict);
    refusal = writeStationFiles({StationOutput{out, "out", all, grid}}, collection, numbers, values,
                                outcome.tallies);
    values.countOverruled(collection.counts);
  }
  std::fclose(out);
  outcome.file.assign(buffer, size);
  std::free(buffer);
  if (refusal) {
    outcome.refusal = refusal->message;
  }
  outcome.counts = collection.counts;
  return outcome;
}

std::string dwdRow(int station, const std::string& stamp, int value) {
  char row[64];
  std::snprintf(row, sizeof row, "%11d;%s;%5d;%4d;eor\n", station, stamp.c_str(), 3, value);
  return row;
}

constexpr char kDwdHeader[] = "STATIONS_ID;MESS_DATUM;QN_7;SD_SO;eor\n";

// The rows of two stations over `days` days from 2023-06-01, as `order` arranges them.
enum class Order { kByTime, kStationAfterStation, kDayBlocks, kBackwards };

std::string twoStations(int days, Order order) {
  std::vector<std::string> rows[2];
  for (int s = 0; s < 2; ++s) {
    for (int d = 0; d < days; ++d) {
      for (int h = 0; h < 24; ++h) {
        char stamp[40];
        std::snprintf(stamp, sizeof stamp, "2023%02d%02d%02d", 6 + d / 30 % 6, 1 + d % 30, h % 24);
        rows[s].push_back(dwdRow(433 + s, stamp, (d * 24 + h * 7 + s * 13) % 61));
      }
    }
  }
  std::string text = kDwdHeader;
  const std::size_t n = rows[0].size();
  switch (order) {
    case Order::kByTime:
      for (std::size_t i = 0; i < n; ++i) {
        text += rows[0][i] + rows[1][i];
      }
      break;
    case Order::kStationAfterStation:
      for (const auto& station : rows) {
        for (const std::string& row : station) {
          text += row;
        }
      }
      break;
    case Order::kDayBlocks:
      for (std::size_t day = 0; day < n / 24; ++day) {
        for (const auto& station : rows) {
          for (std::size_t h = 0; h < 24; ++h) {
            text += station[day * 24 + h];
          }
        }
      }
      break;
    case Order::kBackwards:
      for (std::size_t i = n; i-- > 0;) {
        text += rows[0][i] + rows[1][i];
      }
      break;
  }
  return text;
}

TEST(RereadValuesTest, EveryOrderOfRowsGivesTheFileOfTheValuesHeld) {
  struct Case {
    const char* name;
    Order order;
    int days;
    std::uint64_t holdBytes;  // 0: from the first row; 1: from the 4096th, in the midst of a file
  };
  const Case cases[] = {
      {"by time", Order::kByTime, 9, 0},
      {"station after station", Order::kStationAfterStation, 9, 0},  // a stream each
      {"day blocks", Order::kDayBlocks, 9, 0},  // within the window: one stream, rows passed
      {"backwards", Order::kBackwards, 9, 0},   // a stream at nearly every row of a day
      {"by time, the first rows held", Order::kByTime, 100, 1},
      {"station after station, the first rows held", Order::kStationAfterStation, 100, 1},
      {"backwards, the first rows held", Order::kBackwards, 100, 1},  // held, then dropped
  };
  for (const Case& c : cases) {
    const TablesFolder folder(std::string("order_") + std::to_string(static_cast<int>(c.order)));
    const std::string file = folder.write("produkt_sd_stunde_x.txt", twoStations(c.days, c.order));
    const Outcome held = prepareFiles({file}, false);
    const Outcome reread = prepareFiles({file}, true, false, c.holdBytes);
    ASSERT_FALSE(held.refusal.has_value()) << c.name << ": " << *held.refusal;
    ASSERT_FALSE(reread.refusal.has_value()) << c.name << ": " << *reread.refusal;
    EXPECT_EQ(held.file, reread.file) << c.name;
    EXPECT_GT(held.file.size(), std::size_t{9 * 24 * 8}) << c.name;
    for (std::size_t s = 0; s < held.tallies.size(); ++s) {
      EXPECT_EQ(held.tallies[s].missing, reread.tallies[s].missing) << c.name;
    }
  }
}

TEST(RereadValuesTest, RowsOfOneStampMergeByTheRulesOfTheValuesHeld) {
  const std::string historical = "produkt_sd_stunde_19510101_20231231_00433.txt";
  const std::string recent = "produkt_sd_stunde_20231231_20250101_00433.txt";
  const std::string newer = "produkt_sd_stunde_20231231_20250105_00433.txt";
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> files;  // name, rows after the header
    bool strict;
    std::optional<std::string> refused;  // the start of the refusal
    std::uint64_t recentOverruled;
    std::uint64_t olderOverruled;
  };
  const std::string a = dwdRow(433, "2023123122", 5) + dwdRow(433, "2023123123", 12);
  const std::string b = dwdRow(433, "2023123123", 10) + dwdRow(433, "2024010100", 0);
  const std::string c = dwdRow(433, "2023123123", 11) + dwdRow(433, "2024010100", 0);
  const Case cases[] = {
      {"historical over recent", {{recent, b}, {historical, a}}, false, std::nullopt, 1, 0},
      {"equal values merge", {{historical, a}, {recent, a}}, false, std::nullopt, 0, 0},
      {"the newer download", {{recent, b}, {newer, c}}, false, std::nullopt, 0, 1},
      {"strict refuses", {{historical, a}, {recent, b}}, true, "station 433 has two", 0, 0},
      {"one file twice over",
       {{"p.txt", a + dwdRow(433, "2023123123", 9)}},
       false,
       "station 433 has two different values for 2023-12-31 23:00: 12 and 9",
       0,
       0},
  };
  for (const Case& each : cases) {
    const TablesFolder folder("merge");
    std::vector<std::string> files;
    for (const auto& [name, rows] : each.files) {
      files.push_back(folder.write(name, kDwdHeader + rows));
    }
    const Outcome held = prepareFiles(files, false, each.strict);
    const Outcome reread = prepareFiles(files, true, each.strict);
    for (const Outcome* outcome : {&held, &reread}) {
      const char* how = outcome == &held ? "held" : "read again";
      if (each.refused) {
        ASSERT_TRUE(outcome->refusal.has_value()) << each.name << ", " << how;
        EXPECT_EQ(outcome->refusal->rfind(*each.refused, 0), 0U)
            << each.name << ", " << how << ": " << *outcome->refusal;
        continue;
      }
      ASSERT_FALSE(outcome->refusal.has_value()) << each.name << ", " << how;
      EXPECT_EQ(outcome->counts.recentOverruled, each.recentOverruled) << each.name << ", " << how;
      EXPECT_EQ(outcome->counts.olderOverruled, each.olderOverruled) << each.name << ", " << how;
    }
    if (!each.refused) {
      EXPECT_EQ(held.file, reread.file) << each.name;
      EXPECT_EQ(held.counts.firstOverruled, reread.counts.firstOverruled) << each.name;
      EXPECT_EQ(held.counts.firstOlderOverruled, reread.counts.firstOlderOverruled) << each.name;
    }
  }
}

TEST(RereadValuesTest, ATableChangedAfterItsReadingIsRefusedNotWritten) {
  const TablesFolder folder("changed");
  const std::string file = folder.write("produkt_sd_stunde_x.txt", twoStations(2, Order::kByTime));
  Collection collection;
  collection.canReread = true;
  collection.holdBytes = 0;
  ASSERT_FALSE(readTableFile(file, {}, collection).has_value());
  Grid grid{};
  std::vector<std::string> strays;
  ASSERT_FALSE(makeGrid(collection, {}, grid, strays).has_value());
  // Another value in place of one, the size the same: the time of the change tells.
  std::string text = twoStations(2, Order::kByTime);
  text[text.find(";  13;") + 4] = '4';
  std::filesystem::last_write_time(
      file, std::filesystem::last_write_time(file) + std::chrono::seconds(5));
  std::ofstream(file, std::ios::in | std::ios::out | std::ios::binary) << text;
  std::filesystem::last_write_time(
      file, std::filesystem::last_write_time(file) + std::chrono::seconds(5));
  RereadValues values(collection, {0, 1}, false);
  std::vector<ValueTally> tallies;
  const std::optional<Refusal> refusal =
      writeStationFiles({StationOutput{nullptr, "", {0, 1}, grid}}, collection,
                        numberStations(collection), values, tallies);
  ASSERT_TRUE(refusal.has_value());
  EXPECT_NE(refusal->message.find("changed while it was read"), std::string::npos)
      << refusal->message;
}

}  // namespace
}  // namespace kelvarin::prepare
