// Micro-benchmarks of the two per-value costs of a run: scanning a value and writing a result.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "reading/number_scan.hpp"
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

}  // namespace

BENCHMARK_MAIN();
