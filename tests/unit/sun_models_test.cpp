// The sun models users divide by, against published values: FAO-56's own worked example and a
// row of its table of daylight hours, NREL's solar position algorithm's sunrise and sunset for
// Golden, Colorado (NREL's SPA test values, Reda and Andreas 2008, as the SPA calculator gives
// them), and a published table of sunrise by latitude.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <random>
#include <vector>

#include "sun_models.hpp"

namespace kelvarin {
namespace {

std::int64_t dateOf(int y, unsigned m, unsigned d) {
  using namespace std::chrono;
  return sys_days{year{y} / month{m} / day{d}}.time_since_epoch().count();
}

double hoursOf(int h, int m, int s) {
  return h + m / 60.0 + s / 3600.0;
}

TEST(SunModelsTest, Fao56DayLengthOfItsExample) {
  // FAO-56 Example 10: 3 September (J = 246) at 20 degrees south, N = 11.7 hours.
  const SunSpan span = modelSunSpan(SunModel::kFao56, dateOf(2015, 9, 3), {-20.0, 0.0, 0.0}, 0.0);
  EXPECT_NEAR(span.toH - span.fromH, 11.7, 0.05);
}

TEST(SunModelsTest, Fao56DayLengthOfItsTableAt48North) {
  // FAO-56's table of mean daylight hours N on the 15th of the month, at 48 degrees north,
  // January to May, to the tenth of an hour as published.
  const double published[] = {8.6, 10.0, 11.6, 13.4, 15.0};
  for (unsigned m = 1; m <= 5; ++m) {
    const SunSpan span = modelSunSpan(SunModel::kFao56, dateOf(2015, m, 15), {48.0, 0.0, 0.0}, 0.0);
    EXPECT_NEAR(span.toH - span.fromH, published[m - 1], 0.05) << m;
  }
}

TEST(SunModelsTest, NoaaSunriseAndSunsetOfGoldenColorado) {
  // NREL SPA, Golden (39.742476 N, 105.1786 W), local standard time UTC-7.
  struct Case {
    int year;
    unsigned month, day;
    double riseH, setH;
  };
  const Case cases[] = {
      {2015, 1, 2, hoursOf(7, 21, 55), hoursOf(16, 47, 43)},
      {2015, 8, 2, hoursOf(5, 0, 27), hoursOf(19, 13, 58)},
  };
  const ModelPlace golden{39.742476, -105.1786, -105.0};
  for (const Case& c : cases) {
    const SunSpan span =
        modelSunSpan(SunModel::kNoaa, dateOf(c.year, c.month, c.day), golden, -0.833);
    EXPECT_NEAR(span.fromH, c.riseH, 1.0 / 60.0) << c.month;
    EXPECT_NEAR(span.toH, c.setH, 1.0 / 60.0) << c.month;
  }
}

TEST(SunModelsTest, NoaaSunriseAcrossTheLatitudes) {
  // Astronomy Answers, "The Position of the Sun: Tables", Table 1: sunrise on 1 January 2002 in
  // local time at longitude 0, to the minute, the upper limb at the horizon.
  struct Case {
    double latitudeDeg;
    int hour, minute;
  };
  const Case cases[] = {{-64, 1, 43}, {-60, 2, 43}, {-40, 4, 35}, {-20, 5, 24},
                        {0, 6, 0},    {20, 6, 35},  {40, 7, 22},  {50, 7, 59}};
  for (const Case& c : cases) {
    const SunSpan span =
        modelSunSpan(SunModel::kNoaa, dateOf(2002, 1, 1), {c.latitudeDeg, 0.0, 0.0}, -0.833);
    EXPECT_NEAR(span.fromH, hoursOf(c.hour, c.minute, 0), 1.0 / 60.0) << c.latitudeDeg;
  }
}

TEST(SunModelsTest, ThresholdsShortenTheDay) {
  // Each model at 50 N on the equinox: a higher threshold, a shorter day; polar day and night
  // as whole and empty days.
  const ModelPlace place{50.0, 0.0, 0.0};
  for (const SunModel model : {SunModel::kClassic, SunModel::kFao56, SunModel::kNoaa}) {
    const std::int64_t equinox = dateOf(2023, 3, 21);
    const SunSpan flat = modelSunSpan(model, equinox, place, 0.0);
    const SunSpan three = modelSunSpan(model, equinox, place, 3.0);
    EXPECT_NEAR(flat.toH - flat.fromH, 12.0, 0.35) << sunModelName(model);
    EXPECT_GT(flat.toH - flat.fromH, three.toH - three.fromH + 0.5) << sunModelName(model);
    const SunSpan polarDay = modelSunSpan(model, dateOf(2023, 6, 21), {80.0, 0.0, 0.0}, 0.0);
    EXPECT_EQ(polarDay.fromH, 0.0);
    EXPECT_EQ(polarDay.toH, 24.0);
    const SunSpan polarNight = modelSunSpan(model, dateOf(2023, 12, 21), {80.0, 0.0, 0.0}, 0.0);
    EXPECT_EQ(polarNight.toH - polarNight.fromH, 0.0);
  }
}

// A network's spans, taken in one pass, are each site's own, bit for bit: every model, polar day
// and night among them, and a classic date its tables do not cover.
TEST(SunModelsTest, ANetworkSpannedAtOnceIsEachSiteAlone) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> latitude(-89.0, 89.0);
  std::uniform_real_distribution<double> longitude(-180.0, 180.0);
  std::vector<ModelSite> sites;
  for (int i = 0; i < 300; ++i) {
    sites.push_back(modelSite({latitude(rng), longitude(rng), 15.0}));
  }
  std::vector<SunSpan> spans(sites.size());
  for (const SunModel model : {SunModel::kClassic, SunModel::kFao56, SunModel::kNoaa}) {
    for (const std::int64_t date :
         {dateOf(2023, 3, 21), dateOf(2024, 6, 21), dateOf(1890, 12, 21), dateOf(2100, 2, 28)}) {
      for (const double elevationDeg : {-0.833, 0.0, 3.0}) {
        ModelSunDay day = modelSunDay(model, date, 15.0);
        for (const bool valid : {true, false}) {
          day.valid = valid;
          const double sine = sinOfElevation(elevationDeg);
          modelSunSpansAt(day, sites.data(), sites.size(), sine, spans.data());
          for (std::size_t s = 0; s < sites.size(); ++s) {
            const SunSpan alone = modelSunSpanAt(day, sites[s], sine);
            ASSERT_EQ(spans[s].fromH, alone.fromH) << sunModelName(model) << ' ' << s;
            ASSERT_EQ(spans[s].toH, alone.toH) << sunModelName(model) << ' ' << s;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace kelvarin
