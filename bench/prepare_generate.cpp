// Writes the benchmark's input for kelvarin-prepare: STATIONS files in the German weather
// service's hourly sunshine layout, YEARS years of hourly rows each, into FOLDER; with STEP 10,
// its 10-minute layout from 2000 on (values in hours). Each station misses a few steps and starts
// a little later than the one before (within a year), as real files do.
//
// Usage: kelvarin-prepare-generate YEARS STATIONS FOLDER [STEP]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fputs("usage: kelvarin-prepare-generate YEARS STATIONS FOLDER [STEP]\n", stderr);
    return 1;
  }
  const bool tenMinutes = argc == 5 && std::atoi(argv[4]) == 10;
  using namespace std::chrono;
  const int years = std::atoi(argv[1]);
  const int stations = std::atoi(argv[2]);
  const std::string folder = argv[3];
  const int firstYear = tenMinutes ? 2000 : 1950;
  const sys_days first{year{firstYear} / January / 1};
  const sys_days end{year{firstYear + years} / January / 1};
  std::mt19937 random(42);
  std::uniform_int_distribution<int> minutes(0, tenMinutes ? 10 : 60);
  std::uniform_int_distribution<int> gap(0, 20000);
  for (int s = 0; s < stations; ++s) {
    const int id = 400 + s;
    const std::string path = folder +
                             (tenMinutes ? "/produkt_zehn_min_sd_" : "/produkt_sd_stunde_") +
                             std::to_string(id) + ".txt";
    std::FILE* out = std::fopen(path.c_str(), "w");
    if (out == nullptr) {
      std::perror(path.c_str());
      return 1;
    }
    std::fputs(tenMinutes ? "STATIONS_ID;MESS_DATUM;  QN;DS_10;GS_10;SD_10;LS_10;eor\n"
                          : "STATIONS_ID;MESS_DATUM;QN_7;SD_SO;eor\n",
               out);
    char line[96];
    const int steps = tenMinutes ? 144 : 24;
    for (sys_days day = first + days{s % 365}; day < end; day += days{1}) {
      const year_month_day date{day};
      const auto y = static_cast<int>(date.year());
      const auto m = static_cast<unsigned>(date.month());
      const auto d = static_cast<unsigned>(date.day());
      for (int step = 0; step < steps; ++step) {
        if (gap(random) == 0) {
          continue;  // a step the station did not send
        }
        const int hour = tenMinutes ? step / 6 : step;
        const bool sunUp = hour >= 4 && hour <= 19;
        const int value = sunUp ? minutes(random) : 0;
        const int n =
            tenMinutes
                ? std::snprintf(line, sizeof line,
                                "%11d;%04d%02u%02u%02d%02d;%5d;%6.1f;%6.1f;%5.3f;%6d;eor\n", id, y,
                                m, d, hour, step % 6 * 10, 3, 1.2, 20.1, value / 60.0, -999)
                : std::snprintf(line, sizeof line, "%11d;%04d%02u%02u%02d;%5d;%4d;eor\n", id, y, m,
                                d, hour, 3, value);
        std::fwrite(line, 1, static_cast<std::size_t>(n), out);
      }
    }
    std::fclose(out);
  }
  return 0;
}
