// Micro-benchmarks of the two per-value costs of a run, scanning a value and writing a result,
// and of a station's day behind its skyline.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "horizon_table.hpp"
#include "reading/number_scan.hpp"
#include "step/skyline.hpp"
#include "writing/fixed_format.hpp"

namespace {

// Values as station files hold them, each followed by a blank.
std::vector<std::string> typicalValues() {
  const char* forms[] = {"0", "0.1", "0.45", "1", "0.0625", "-999", "0.9", "0.25", "12", "0.5"};
  std::mt19937 random(1);
  std::vector<std::string> values;
  for (int i = 0; i < 4096; ++i) {
    values.push_back(std::string(forms[random() % std::size(forms)]) + " ");
  }
  return values;
}

void scanDoubleTypical(benchmark::State& state) {
  const std::vector<std::string> values = typicalValues();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(kelvarin::scanDouble(values[i++ & 4095].c_str()));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(scanDoubleTypical);

void strtodTypical(benchmark::State& state) {
  const std::vector<std::string> values = typicalValues();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::strtod(values[i++ & 4095].c_str(), nullptr));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(strtodTypical);

void scanDoubleLongMantissa(benchmark::State& state) {
  const std::string value = "0.12345678901234567890123 ";
  for (auto _ : state) {
    benchmark::DoNotOptimize(kelvarin::scanDouble(value.c_str()));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(scanDoubleLongMantissa);

std::vector<double> typicalResults() {
  std::mt19937 random(2);
  std::uniform_real_distribution<double> share(0.0, 1.0);
  std::vector<double> results;
  for (int i = 0; i < 4096; ++i) {
    results.push_back(i % 7 == 0 ? 0.0 : (i % 11 == 0 ? -9999.0 : share(random)));
  }
  return results;
}

void formatFixedTypical(benchmark::State& state) {
  const std::vector<double> results = typicalResults();
  char out[kelvarin::kMaxFixedLength];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(kelvarin::formatFixed(results[i++ & 4095], 3, 5, out));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(formatFixedTypical);

void formatThreeDecimalsTypical(benchmark::State& state) {
  const std::vector<double> results = typicalResults();
  char out[kelvarin::kMaxFixedLength];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(kelvarin::formatThreeDecimals(results[i++ & 4095], out));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(formatThreeDecimalsTypical);

void snprintfTypical(benchmark::State& state) {
  const std::vector<double> results = typicalResults();
  char out[64];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::snprintf(out, sizeof out, "%5.3f", results[i++ & 4095]));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(snprintfTypical);

// Skylines as bench/shapes.sh draws them (smooth, 48 azimuths, 0 to 20 degrees) at sites over
// 47-55 N, each taken through every day of a year by FAO-56's sun: the cost of one site and day.
void skylineSpansOfAYear(benchmark::State& state) {
  using namespace kelvarin;
  std::mt19937 random(7);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<HorizonProfile> profiles(64);
  std::vector<ModelSite> sites;
  for (HorizonProfile& profile : profiles) {
    const double b = unit(random) * 6, a1 = unit(random) * 5, p1 = unit(random) * 6.2832;
    const double a2 = unit(random) * 3, p2 = unit(random) * 6.2832;
    const double a3 = unit(random) * 1.5, p3 = unit(random) * 6.2832;
    for (int k = 0; k < 48; ++k) {
      const double r = k * 7.5 * 3.14159265 / 180;
      const double e =
          b + a1 * std::sin(r + p1) + a2 * std::sin(2 * r + p2) + a3 * std::sin(3 * r + p3);
      profile.points.push_back({k * 7.5, std::round(std::max(e, 0.0) * 100) / 100});
    }
    profile.index();
    sites.push_back(modelSite({47 + unit(random) * 8, 6 + unit(random) * 9, 15.0}));
  }
  std::vector<ModelSunDay> days;
  for (std::int64_t date = 19358; date < 19358 + 365; ++date) {  // 2023
    days.push_back(modelSunDay(SunModel::kFao56, date, 15.0));
  }
  std::vector<SiteSkyline> skylines;
  for (std::size_t s = 0; s < profiles.size(); ++s) {
    skylines.push_back(siteSkyline(sites[s], 0.0, profiles[s], 0.0));
  }
  double sum = 0.0;
  for (auto _ : state) {
    for (std::size_t s = 0; s < profiles.size(); ++s) {
      for (const ModelSunDay& day : days) {
        const DaySpans spans = skylineSpans(day, sites[s], skylines[s]);
        sum += spansWithin(spans, 0.0, 24.0);
      }
    }
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations() *
                          static_cast<std::int64_t>(profiles.size() * days.size()));
}
BENCHMARK(skylineSpansOfAYear);

}  // namespace

BENCHMARK_MAIN();
