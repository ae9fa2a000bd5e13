// Writes the benchmark's input for kelvarin-prepare: STATIONS files in the German weather
// service's hourly sunshine layout, YEARS years of hourly rows each, into FOLDER. Each station
// misses a few hours and starts a little later than the one before, as real files do.
//
// Usage: kelvarin-prepare-generate YEARS STATIONS FOLDER
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: kelvarin-prepare-generate YEARS STATIONS FOLDER\n", stderr);
    return 1;
  }
  using namespace std::chrono;
  const int years = std::atoi(argv[1]);
  const int stations = std::atoi(argv[2]);
  const std::string folder = argv[3];
  const sys_days first{year{1950} / January / 1};
  const sys_days end{year{1950 + years} / January / 1};
  std::mt19937 random(42);
  std::uniform_int_distribution<int> minutes(0, 60);
  std::uniform_int_distribution<int> gap(0, 20000);
  for (int s = 0; s < stations; ++s) {
    const int id = 400 + s;
    const std::string path = folder + "/produkt_sd_stunde_" + std::to_string(id) + ".txt";
    std::FILE* out = std::fopen(path.c_str(), "w");
    if (out == nullptr) {
      std::perror(path.c_str());
      return 1;
    }
    std::fputs("STATIONS_ID;MESS_DATUM;QN_7;SD_SO;eor\n", out);
    char line[64];
    for (sys_days day = first + days{s}; day < end; day += days{1}) {
      const year_month_day date{day};
      for (int hour = 0; hour < 24; ++hour) {
        if (gap(random) == 0) {
          continue;  // an hour the station did not send
        }
        const bool sunUp = hour >= 4 && hour <= 19;
        const int value = sunUp ? minutes(random) : 0;
        const int n =
            std::snprintf(line, sizeof line, "%11d;%04d%02u%02u%02d;%5d;%4d;eor\n", id,
                          static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                          static_cast<unsigned>(date.day()), hour, 3, value);
        std::fwrite(line, 1, static_cast<std::size_t>(n), out);
      }
    }
    std::fclose(out);
  }
  return 0;
}
