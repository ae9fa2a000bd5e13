// Fuzzes kelvarin-prepare's table reader, its station lists and its grid: arbitrary bytes as one
// or two tables (an archive's file, a station list), with the options drawn from the first bytes.
#include <unistd.h>  // getpid

#include <cstdint>
#include <cstdio>
#include <cstdlib>  // std::free
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_io.hpp"
#include "network_places.hpp"
#include "reread_values.hpp"
#include "station_file.hpp"
#include "summary.hpp"
#include "tables.hpp"

namespace {

using namespace kelvarin::prepare;

// Reads the options from the first two bytes: the separator, the columns, the stamp convention
// and the step.
void chooseOptions(std::uint8_t first, std::uint8_t second, TableSettings& tables,
                   GridSettings& grid) {
  constexpr char kSeparators[] = {'\0', ';', ',', '\t'};
  tables.separator = kSeparators[first & 3];
  if ((first & 4) != 0) {  // the general layout, columns by number or name
    tables.timeColumn = std::to_string(1 + ((second >> 0) & 3));
    tables.valueColumn = (second & 64) != 0 ? "value" : std::to_string(1 + ((second >> 2) & 3));
    if ((second & 128) != 0) {
      tables.stationColumn = std::to_string(1 + ((second >> 4) & 3));
    }
  }
  if ((first & 8) != 0) {
    tables.missingMarkers = {"NA", "-9999"};
  }
  grid.stampsMarkStart = (first & 16) != 0;
  grid.split = (first & 32) != 0;
  if ((first & 64) != 0) {
    grid.stepMin = (first & 128) != 0 ? 1440 : 60;
  }
}

// The records of the station file of `collection` over `grid` from `values`, without the header
// lines (which name the files read, and the stations named after them); empty where refused.
std::string stationFile(const Collection& collection, const Grid& grid, StationValues& values) {
  std::vector<std::size_t> all(collection.stations.size());
  for (std::size_t s = 0; s < all.size(); ++s) {
    all[s] = s;
  }
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  std::vector<ValueTally> tallies;
  const bool written = !writeStationFiles({StationOutput{out, "out", all, grid}}, collection,
                                          numberStations(collection), values, tallies);
  std::fclose(out);
  std::string text(buffer, size);
  std::free(buffer);
  std::size_t records = 0;
  for (int line = 0; line < 5 && records < text.size(); ++line) {
    records = std::min(text.size(), text.find('\n', records) + 1);
  }
  return written ? text.substr(records) : std::string();
}

// Reads the tables again from files, holding no more values beyond `holdBytes` (the later ones
// read again as the station file is written): the station file of the values held must come out.
void checkReadAgain(const std::vector<std::string_view>& texts, const TableSettings& tables,
                    const GridSettings& grid, const Collection& held, const Grid& heldGrid,
                    std::uint64_t holdBytes) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                       ("kelvarin_prepare_fuzz_" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  Collection collection;
  collection.canReread = true;
  collection.holdBytes = holdBytes;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const std::string path =
        (folder / ("produkt_t_19510101_2023123" + std::to_string(i) + "_00433.txt")).string();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(texts[i].data(), 1, texts[i].size(), file);
    std::fclose(file);
    if (readTableFile(path, tables, collection)) {
      __builtin_trap();  // read from memory, the same bytes were taken
    }
  }
  Grid made{};
  std::vector<std::string> strays;
  if (makeGrid(collection, grid, made, strays)) {
    __builtin_trap();
  }
  HeldValues heldValues(held);
  const std::string expected = stationFile(held, heldGrid, heldValues);
  std::vector<std::size_t> all(collection.stations.size());
  for (std::size_t s = 0; s < all.size(); ++s) {
    all[s] = s;
  }
  if (collection.holdValues) {
    return;  // tables that cannot be read again (a month of values a row) stay held
  }
  RereadValues again(collection, all, grid.strict);
  if (!expected.empty() && stationFile(collection, heldGrid, again) != expected) {
    __builtin_trap();  // a value read again that is not the one held
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) {
    return 0;
  }
  TableSettings tables;
  GridSettings grid;
  chooseOptions(data[0], data[1], tables, grid);
  // A byte 0xFF (never in a text table) separates two tables.
  const std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
  const std::size_t cut = rest.find('\xFF');
  std::vector<std::string_view> texts{rest.substr(0, cut)};
  if (cut != std::string_view::npos) {
    texts.push_back(rest.substr(cut + 1));
  }
  Collection collection;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    std::FILE* file = kelvarin::fuzz::openData(
        reinterpret_cast<const std::uint8_t*>(texts[i].data()), texts[i].size());
    // Named as the German weather service names its files after their periods, the two tables'
    // periods ending on different days: their differing values go through the choice of the
    // historical one.
    const std::optional<Refusal> refusal = readTable(
        file, "produkt_t_19510101_2023123" + std::to_string(i) + "_00433.txt", tables, collection);
    std::fclose(file);
    if (refusal) {
      return 0;
    }
  }
  Grid made{};
  std::vector<std::string> strays;
  if (makeGrid(collection, grid, made, strays)) {
    return 0;
  }
  const StationNumbers numbers = numberStations(collection);
  std::vector<std::size_t> all(collection.stations.size());
  for (std::size_t s = 0; s < all.size(); ++s) {
    all[s] = s;
  }
  std::vector<std::uint64_t> missing;
  // The places of the station lists read, and the command the summary ends with.
  const std::vector<std::optional<PlaceRow>> places = choosePlaces(collection);
  placeConflicts(collection, places);
  // The grid in days of the command's zone must still hold every stamp of the data.
  const Grid zoned = inDaysOf(made, zoneDayStartMin(collection, places));
  for (const Series& series : collection.stations) {
    for (const std::int64_t time : series.times()) {
      if (time < zoned.firstMin || time > zoned.lastMin ||
          (time - zoned.firstMin) % zoned.stepMin != 0) {
        __builtin_trap();
      }
    }
  }
  made = zoned;
  if (made.records() > 10000) {
    return 0;  // taken, and too long to write at fuzzing speed
  }
  writePlacesTable(kelvarin::fuzz::sink(), numbers, places);
  const Written written{"out.txt", "", "places.txt", {}};
  if (kelvarinCommand(collection, made, places, written).rfind("kelvarin ", 0) != 0) {
    __builtin_trap();
  }
  if (!writeStationFile(kelvarin::fuzz::sink(), collection, numbers, all, made, missing)) {
    __builtin_trap();  // /dev/null takes every byte
  }
  // The values of the first rows held, as many as the last byte says.
  checkReadAgain(texts, tables, grid, collection, made, data[size - 1] % 64);
  return 0;
}
