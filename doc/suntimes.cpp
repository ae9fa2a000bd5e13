// Prints sunrise and sunset of the program's sun model for one day and place, for the figure.
//
// Usage: kelvarin-suntimes DAY MONTH LATITUDE LONGITUDE MERIDIAN
#include <cstdio>
#include <cstdlib>

#include "solar.hpp"

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fputs("usage: kelvarin-suntimes DAY MONTH LATITUDE LONGITUDE MERIDIAN\n", stdout);
    return 1;
  }
  const auto sun =
      kelvarin::sunriseSunset(std::atoi(argv[1]), std::atoi(argv[2]), std::strtof(argv[3], nullptr),
                              std::strtof(argv[4], nullptr), std::strtof(argv[5], nullptr));
  if (!sun) {
    std::fputs("month outside 1 to 12\n", stdout);
    return 1;
  }
  std::printf("%.4f %.4f\n", sun->sunriseH, sun->sunsetH);
  return 0;
}
