// The yardstick of the benchmark: the same run as kelvarin, written the straightforward way with
// fgets, fscanf and fprintf. It shares the column count and the solar model with kelvarin and
// differs only in how it reads and writes. Not for use: it rounds ties to even and checks nothing.
//
// Usage: kelvarin-reference INPUT OUTPUT < answers
#include <cstdio>
#include <string>
#include <vector>

#include "reading/header_pass.hpp"
#include "solar.hpp"

int main(int argc, char** argv) {
  if (argc < 3) {
    return 1;
  }
  std::FILE* in = std::fopen(argv[1], "r");
  std::FILE* out = std::fopen(argv[2], "w");
  if (in == nullptr || out == nullptr) {
    return 2;
  }
  float a[7] = {};
  for (float& answer : a) {
    if (std::scanf("%f", &answer) != 1) {
      return 3;
    }
  }
  const float latitudeDeg = a[0], longitudeDeg = a[1], inputStepMin = a[2], inputUnitMin = a[3],
              outputStepMin = a[4], timeShiftH = a[5], meridianDeg = a[6];
  static char line[1 << 20];
  std::size_t columns = 0;
  for (int i = 1; i <= 5; ++i) {
    if (std::fgets(line, sizeof line, in) == nullptr) {
      return 2;
    }
    std::fputs(line, out);
    if (i == 2) {
      columns = kelvarin::countColumns(line).value_or(0);
    }
  }
  std::vector<double> sums(columns + 1, 0.0);
  const int recordsPerStep = static_cast<int>(outputStepMin / inputStepMin);
  const float stampIndex = static_cast<float>(static_cast<int>(outputStepMin)) / inputStepMin;
  const double stepH = static_cast<double>(outputStepMin) / 60.0;
  int year = 0, month = 0, day = 0;
  float hour = 0.0f;
  while (!std::feof(in)) {
    for (int k = 1; k <= recordsPerStep; ++k) {
      if (std::fscanf(in, "%d %d %d %f", &year, &month, &day, &hour) != 4) {
        return 0;
      }
      if (static_cast<float>(k) == stampIndex) {
        std::fprintf(out, "%d\t%d\t%d\t%.0f", year, month, day, static_cast<double>(hour));
      }
      hour = hour + timeShiftH;
      for (std::size_t c = 1; c <= columns; ++c) {
        double value = 0.0;
        if (std::fscanf(in, "%lf", &value) != 1) {
          return 2;
        }
        sums[c] = static_cast<double>(inputUnitMin) * value + sums[c];
      }
      if (static_cast<int>(hour) == 24) {
        std::printf("%d.%d.%d\n", day, month, year);
      }
    }
    auto sun = kelvarin::sunriseSunset(day, month, latitudeDeg, longitudeDeg, meridianDeg)
                   .value_or(kelvarin::SunTimes{-1.0, -1.0});
    if (sun.sunsetH < 0)
      sun.sunsetH = 24;
    if (sun.sunriseH < 0)
      sun.sunriseH = 0;
    const double end = hour, start = end - stepH;
    const double before =
        start > sun.sunriseH ? 0 : (end > sun.sunriseH ? sun.sunriseH - start : stepH);
    const double after = sun.sunsetH > end ? 0 : (sun.sunsetH > start ? end - sun.sunsetH : stepH);
    double night = (after + before) / stepH;
    if (night > 0.95)
      night = 1;
    const double dayFraction = 1 - night;
    for (std::size_t c = 1; c <= columns; ++c) {
      double r = dayFraction > 0 ? sums[c] / static_cast<double>(outputStepMin) / dayFraction : 0;
      if (r > 1)
        r = 1;
      else if (r < -100)
        r = -9999;
      std::fprintf(out, "\t%5.3lf", r);
      sums[c] = 0;
    }
    std::fputs("\n", out);
  }
  std::fclose(out);
  return 0;
}
