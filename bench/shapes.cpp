// Writes one of the benchmark's eight data shapes, about 60 MB of real-looking station data each:
// values that follow the sun model's day at 52.5 N (so that a clean file gives no warning),
// clouds drawn at random, the odd -999, on the real calendar.
//
//   a  200 stations, hourly, hours with one decimal
//   b  200 stations, hourly, minutes as integers 0 to 60
//   c  200 stations, hourly, hours with two or three decimals (about 1100 spellings)
//   d  100 stations, 10-minute data in minutes
//   e  5000 stations, daily sums in hours with one decimal
//   f  20,000 stations, hourly, hours with one decimal
//   g  3 stations over 100 years, hourly, hours with one decimal
//   h  as a, with CR LF line ends and tabs between the fields
//
// Usage: kelvarin-shapes SHAPE OUTPUT
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "solar.hpp"
#include "split_mix.hpp"

namespace {

using kelvarin::bench::SplitMix64;

struct Shape {
  int stations;
  int stepMin;
  int years;              // at most; the file stops near kTargetBytes
  const char* valueForm;  // "h1" hours, one decimal; "h3" hours, up to three; "min" minutes
  bool crlfTabs;
};

constexpr std::size_t kTargetBytes = 60'000'000;

// Hours of the interval [endH - stepH, endH] (local) between the model's sunrise and sunset.
double daylightH(double endH, double stepH, int day, int month) {
  const auto sun = kelvarin::sunriseSunset(day, month, 52.5f, 13.4f, 15.0f);
  const double rise = sun->sunriseH < 0 ? 0.0 : sun->sunriseH;
  const double set = sun->sunsetH < 0 ? 24.0 : sun->sunsetH;
  return std::max(0.0, std::min(endH, set) - std::max(endH - stepH, rise));
}

void appendValue(std::string& line, double sunshineH, const char* form, SplitMix64& random) {
  char text[32];
  if (random.next() % 2000 == 0) {
    line += "-999";
    return;
  }
  const std::string f = form;
  if (f == "min") {
    std::snprintf(text, sizeof text, "%d", static_cast<int>(sunshineH * 60.0));
  } else {
    const int decimals = f == "h1" ? 1 : (random.next() % 2 == 0 ? 2 : 3);
    const double scale = decimals == 1 ? 10.0 : (decimals == 2 ? 100.0 : 1000.0);
    std::snprintf(text, sizeof text, "%.*f", decimals, std::floor(sunshineH * scale) / scale);
    std::string s = text;  // trailing zeros go, as exports write them: 0.250 is 0.25, 1.0 is 1
    if (s.find('.') != std::string::npos) {
      while (s.back() == '0') {
        s.pop_back();
      }
      if (s.back() == '.') {
        s.pop_back();
      }
    }
    line += s;
    return;
  }
  line += text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || std::string(argv[1]).size() != 1) {
    std::fputs("usage: kelvarin-shapes SHAPE OUTPUT (SHAPE one of a to h)\n", stdout);
    return 1;
  }
  Shape shape{};
  switch (argv[1][0]) {
    case 'a':
      shape = {200, 60, 30, "h1", false};
      break;
    case 'b':
      shape = {200, 60, 30, "min", false};
      break;
    case 'c':
      shape = {200, 60, 30, "h3", false};
      break;
    case 'd':
      shape = {100, 10, 30, "min", false};
      break;
    case 'e':
      shape = {5000, 1440, 100, "h1", false};
      break;
    case 'f':
      shape = {20000, 60, 5, "h1", false};
      break;
    case 'g':
      shape = {3, 60, 100, "h1", false};
      break;
    case 'h':
      shape = {200, 60, 30, "h1", true};
      break;
    default:
      std::fputs("SHAPE is one of a to h\n", stdout);
      return 1;
  }
  std::FILE* out = std::fopen(argv[2], "w");
  if (out == nullptr) {
    std::fputs("cannot write the file\n", stdout);
    return 1;
  }
  static char buffer[1 << 20];
  std::setvbuf(out, buffer, _IOFBF, sizeof buffer);
  const char separator = shape.crlfTabs ? '\t' : ' ';
  const char* lineEnd = shape.crlfTabs ? "\r\n" : "\n";
  std::string line = "Benchmark station file, shape ";
  line += argv[1];
  line += lineEnd;
  line += "YYYY MM DD H";
  for (int s = 0; s < shape.stations; ++s) {
    line += separator + std::to_string(10000 + s);
  }
  line += lineEnd;
  line += std::string("generated for the kelvarin benchmark") + lineEnd +
          "values in hours or minutes, -999 = missing, UTC, hour = end of interval" + lineEnd +
          "----" + lineEnd;
  std::fputs(line.c_str(), out);
  std::size_t bytes = line.size();
  SplitMix64 random{20261207};
  using namespace std::chrono;
  const double stepH = shape.stepMin / 60.0;
  std::vector<double> cloud(static_cast<std::size_t>(shape.stations), 0.5);
  for (sys_days date = sys_days{year{1950} / January / 1};
       date < sys_days{year{1950 + shape.years} / January / 1} && bytes < kTargetBytes;
       date += days{1}) {
    const year_month_day ymd{date};
    const int month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    const int day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    for (double& c : cloud) {
      c = random.uniform();  // one sky a day for each station
    }
    for (int minute = shape.stepMin; minute <= 1440; minute += shape.stepMin) {
      // Stored in UTC; local time is an hour later at the 15th meridian.
      const double possibleH = daylightH(minute / 60.0 + 1.0, stepH, day, month);
      line.clear();
      const double hour = minute / 60.0;
      char stamp[64];
      std::snprintf(stamp, sizeof stamp, "%d%c%u%c%u%c%g", static_cast<int>(ymd.year()), separator,
                    static_cast<unsigned>(ymd.month()), separator, static_cast<unsigned>(ymd.day()),
                    separator, hour);
      line += stamp;
      for (int s = 0; s < shape.stations; ++s) {
        line += separator;
        const double sunny = std::min(1.0, cloud[static_cast<std::size_t>(s)] * 1.3);
        appendValue(line, possibleH * sunny * random.uniform(), shape.valueForm, random);
      }
      line += lineEnd;
      std::fputs(line.c_str(), out);
      bytes += line.size();
    }
  }
  return std::fclose(out) == 0 ? 0 : 1;
}
