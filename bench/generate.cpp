// Writes a realistic hourly station file for the benchmark: YEARS years of hourly sunshine in
// hours (stored at hours 0 to 23 UTC) for STATIONS stations, 52.5 N, values mixed as real data
// mixes them: zeros at night and under cloud, tenths, sixteenths, full hours and the odd -999.
//
// Usage: kelvarin-generate YEARS STATIONS OUTPUT
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "solar.hpp"
#include "split_mix.hpp"

namespace {

using kelvarin::bench::SplitMix64;

constexpr const char* kDaylightValues[] = {
    "0",    "0",   "0.1",  "0.45", "1",    "1",    "1",    "0.2",  "0.9",  "0.0625", "0.5", "0.3",
    "0.75", "0.8", "0.15", "0.35", "0.65", "0.85", "0.25", "0.55", "0.95", "0.05",   "0.4", "0.6"};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: kelvarin-generate YEARS STATIONS OUTPUT\n", stdout);
    return 1;
  }
  const int years = std::atoi(argv[1]);
  const int stations = std::atoi(argv[2]);
  std::FILE* out = std::fopen(argv[3], "w");
  if (out == nullptr || years < 1 || stations < 0) {
    std::fputs("cannot write the file\n", stdout);
    return 1;
  }
  static char buffer[1 << 20];
  std::setvbuf(out, buffer, _IOFBF, sizeof buffer);
  std::fputs("Benchmark station file: hourly sunshine duration in hours, UTC\nYYYY MM DD H", out);
  for (int s = 0; s < stations; ++s) {
    std::fprintf(out, " %d", 10000 + s);
  }
  std::fputs("\ngenerated for the kelvarin benchmark\nvalues in hours, -999 = missing\n----\n",
             out);
  SplitMix64 random{20261207};
  std::string line;
  for (int year = 2000; year < 2000 + years; ++year) {
    for (int month = 1; month <= 12; ++month) {
      const int days = kelvarin::kDaysInMonth[static_cast<std::size_t>(month)];
      for (int day = 1; day <= days; ++day) {
        const auto sun = kelvarin::sunriseSunset(day, month, 52.5f, 13.4f, 15.0f);
        for (int hour = 0; hour < 24; ++hour) {
          line = std::to_string(year) + ' ' + std::to_string(month) + ' ' + std::to_string(day) +
                 ' ' + std::to_string(hour);
          const double localEndH = hour + 1.0;
          const bool daylight = localEndH > sun->sunriseH && localEndH - 1.0 < sun->sunsetH;
          for (int s = 0; s < stations; ++s) {
            const std::uint64_t r = random.next();
            line += ' ';
            if (r % 997 == 0) {
              line += "-999";
            } else if (daylight) {
              line += kDaylightValues[(r >> 16) % std::size(kDaylightValues)];
            } else {
              line += '0';
            }
          }
          line += '\n';
          std::fputs(line.c_str(), out);
        }
      }
    }
  }
  return std::fclose(out) == 0 ? 0 : 1;
}
