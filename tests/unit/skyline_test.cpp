// The sun behind a skyline: a flat skyline is an elevation, zeros are none, a ridge cuts the side
// of the day it stands on, and the table reads as users write it.
#include <gtest/gtest.h>

#include <algorithm>  // std::fill
#include <chrono>
#include <cmath>
#include <cstdint>  // std::uintptr_t
#include <cstdio>
#include <string>
#include <vector>

#include "horizon_table.hpp"
#include "step/skyline.hpp"
#include "step/table_memory.hpp"
#include "sun_models.hpp"

namespace kelvarin {
namespace {

std::int64_t dateOf(int y, unsigned m, unsigned d) {
  using namespace std::chrono;
  return sys_days{year{y} / month{m} / day{d}}.time_since_epoch().count();
}

HorizonProfile profileOf(std::vector<HorizonPoint> points) {
  HorizonProfile profile;
  profile.points = std::move(points);
  profile.lowestDeg = profile.highestDeg = profile.points.front().elevationDeg;
  for (const HorizonPoint& point : profile.points) {
    profile.lowestDeg = std::min(profile.lowestDeg, point.elevationDeg);
    profile.highestDeg = std::max(profile.highestDeg, point.elevationDeg);
  }
  return profile;
}

constexpr double kSecondH = 1.0 / 3600.0;

TEST(SkylineTest, AFlatSkylineIsAnElevation) {
  struct Case {
    SunModel model;
    double latitudeDeg;
    unsigned month;
    double heightDeg;
  };
  const Case cases[] = {
      {SunModel::kFao56, 52.5, 6, 5.0},   {SunModel::kFao56, 52.5, 12, 0.0},
      {SunModel::kClassic, 47.0, 3, 3.0}, {SunModel::kNoaa, -33.9, 6, 2.0},
      {SunModel::kNoaa, 69.6, 6, 1.0},    {SunModel::kFao56, 0.0, 9, 10.0},
  };
  for (const Case& c : cases) {
    const ModelPlace place{c.latitudeDeg, 13.4, 15.0};
    const ModelSunDay day = modelSunDay(c.model, dateOf(2023, c.month, 21), 15.0);
    const double offsetDeg = defaultSunElevationDeg(c.model);
    const DaySpans spans =
        skylineSpans(day, modelSite(place), offsetDeg,
                     profileOf({{0.0, c.heightDeg}, {180.0, c.heightDeg}}), offsetDeg);
    const SunSpan flat =
        modelSunSpanAt(day, modelSite(place), sinOfElevation(c.heightDeg + offsetDeg));
    ASSERT_EQ(spans.count, 1u) << c.latitudeDeg;
    EXPECT_NEAR(spans.spans[0].fromH, flat.fromH, kSecondH) << c.latitudeDeg;
    EXPECT_NEAR(spans.spans[0].toH, flat.toH, kSecondH) << c.latitudeDeg;
  }
}

TEST(SkylineTest, ARidgeCutsTheSideOfTheDayItStandsOn) {
  const ModelSite site = modelSite({47.0, 9.0, 15.0});
  const ModelSunDay day = modelSunDay(SunModel::kFao56, dateOf(2023, 3, 21), 15.0);
  const SunSpan open = modelSunSpanAt(day, site, 0.0);
  // A ridge of 20 degrees in the east: sunrise later, sunset where it was.
  const DaySpans east =
      skylineSpans(day, site, 0.0, profileOf({{0, 0}, {60, 0}, {90, 20}, {120, 0}, {360, 0}}), 0.0);
  ASSERT_EQ(east.count, 1u);
  EXPECT_GT(east.spans[0].fromH, open.fromH + 0.5);
  EXPECT_NEAR(east.spans[0].toH, open.toH, kSecondH);
  // A ridge in the south in winter stands above the noon sun (about 20 degrees): two spans, the
  // shade between them around noon.
  const ModelSunDay winter = modelSunDay(SunModel::kFao56, dateOf(2023, 12, 21), 15.0);
  const DaySpans south = skylineSpans(
      winter, site, 0.0, profileOf({{0, 0}, {160, 0}, {180, 30}, {200, 0}, {360, 0}}), 0.0);
  ASSERT_EQ(south.count, 2u);
  const double noonH = modelNoonH(winter, site);
  EXPECT_LT(south.spans[0].toH, noonH);
  EXPECT_GT(south.spans[1].fromH, noonH);
  // A skyline above the sun all day: no span.
  EXPECT_EQ(skylineSpans(winter, site, 0.0, profileOf({{0, 40}, {180, 40}}), 0.0).count, 0u);
}

// A skyline of `count` points around the circle, its heights by `height` of the azimuth.
template <typename Height>
HorizonProfile skylineOf(int count, Height height) {
  std::vector<HorizonPoint> points;
  for (int k = 0; k < count; ++k) {
    const double azimuthDeg = 360.0 * k / count;
    points.push_back({azimuthDeg, std::max(0.0, height(azimuthDeg, k))});
  }
  HorizonProfile profile = profileOf(std::move(points));
  profile.index();
  return profile;
}

TEST(SkylineTest, EachSpanEndsWhereTheSunMeetsItsSkyline) {
  constexpr double kRad = 3.14159265358979323846 / 180.0;
  const HorizonProfile skylines[] = {
      // rolling hills of 48 azimuths, as PVGIS gives them
      skylineOf(48,
                [&](double a, int) {
                  return 4 + 5 * std::sin(a * kRad + 1) + 2 * std::sin(2 * a * kRad + 4);
                }),
      // a low skyline with a spike of 15 degrees at every ninth azimuth: the sun slips between
      skylineOf(48, [](double, int k) { return 2.0 + (k % 9 == 0 ? 15.0 : 0.0); }),
      // rugged mountains of a point a degree, up to 40 degrees high
      skylineOf(360,
                [&](double a, int) {
                  return 4 * (6 + 5 * std::sin(a * kRad + 2) + 3 * std::sin(7 * a * kRad) +
                              1.5 * std::sin(23 * a * kRad + 1));
                }),
      // a wall of 35 degrees from east-south-east to south-south-east, steep at both ends
      profileOf({{0, 0}, {100, 0}, {100.5, 35}, {150, 35}, {150.5, 0}, {360, 0}}),
      // a ring of cliffs of 25 degrees cut by notches of 0.6 degrees down to the horizon, and
      // one wall of a whole azimuth: the sun shows in each notch for a minute or two
      profileOf({{0, 25},   {59.7, 25},  {60, 0},     {60.3, 25}, {89.7, 25},
                 {90, 0},   {90.3, 25},  {119.7, 25}, {120, 0},   {120.3, 25},
                 {200, 25}, {200, 5},    {239.7, 5},  {240, 25},  {269.7, 25},
                 {270, 0},  {270.3, 25}, {299.7, 25}, {300, 0},   {300.3, 25}}),
      // walls of no width at north, a spike and a step: they hide the sun for no time
      profileOf({{0, 2}, {0, 25}, {0, 0}, {180, 42}, {270, 10}, {270, 30}, {270, 12}}),
  };
  struct Model {
    SunModel model;
    double elevationDeg;
    double offsetDeg;
  };
  const Model models[] = {{SunModel::kFao56, 0.0, 0.0},
                          {SunModel::kFao56, 3.0, 0.0},
                          {SunModel::kNoaa, -0.833, -0.833}};
  const double latitudes[] = {47.0, 52.5, -33.9, 5.0, 69.6};
  const std::int64_t dates[] = {dateOf(2023, 2, 5), dateOf(2023, 3, 21), dateOf(2023, 6, 21),
                                dateOf(2023, 9, 23), dateOf(2023, 12, 21)};
  int ends = 0;
  for (const HorizonProfile& skyline : skylines) {
    for (const Model& m : models) {
      for (const double latitudeDeg : latitudes) {
        const ModelSite site = modelSite({latitudeDeg, 9.0, 15.0});
        for (const std::int64_t date : dates) {
          const ModelSunDay day = modelSunDay(m.model, date, 15.0);
          const double noonH = modelNoonH(day, site);
          // How far the sun stands above what it must clear, from its place in the sky.
          const auto clearance = [&](double hours) {
            const double w = (hours - noonH) * 15.0 * kRad;
            const double sinH = site.sinLatitude * day.sinDeclination +
                                site.cosLatitude * day.cosDeclination * std::cos(w);
            const double azimuthDeg =
                180.0 + std::atan2(std::sin(w) * day.cosDeclination,
                                   site.sinLatitude * std::cos(w) * day.cosDeclination -
                                       site.cosLatitude * day.sinDeclination) /
                            kRad;
            return std::asin(sinH) / kRad -
                   std::max(m.elevationDeg, skyline.elevationAt(azimuthDeg) + m.offsetDeg);
          };
          const DaySpans spans = skylineSpans(day, site, m.elevationDeg, skyline, m.offsetDeg);
          const std::string which = "skyline " + std::to_string(&skyline - skylines) +
                                    " latitude " + std::to_string(latitudeDeg) + " date " +
                                    std::to_string(date);
          // Every 20 seconds of the sun's day, from its midnight to its midnight, the sun is up
          // exactly within the spans: no notch or peak of the skyline is passed over (a day of
          // as many spans as it holds may have had a shade filled; a day above every skyline is
          // light from midnight to midnight).
          const bool roundTheClock =
              spans.count == 1 && spans.spans[0].fromH == 0.0 && spans.spans[0].toH == 24.0;
          for (int second = 10; second < 86400 && spans.count < kMostDaySpans && !roundTheClock;
               second += 20) {
            const double hours = noonH - 12.0 + second / 3600.0;
            double nearestH = HUGE_VAL;
            bool within = false;
            for (std::size_t i = 0; i < spans.count; ++i) {
              within |= hours > spans.spans[i].fromH && hours < spans.spans[i].toH;
              nearestH = std::min({nearestH, std::abs(hours - spans.spans[i].fromH),
                                   std::abs(hours - spans.spans[i].toH)});
            }
            if (nearestH > 1e-6) {
              EXPECT_EQ(clearance(hours) > 0.0, within) << which << " at " << hours;
            }
          }
          for (std::size_t i = 0; i < spans.count; ++i) {
            const DayLight span = spans.spans[i];
            // Within a hundredth of a second of each end, the sun rises over its skyline or
            // sinks behind it; midnight, or the sun's own midnight, ends a day of light round
            // the clock.
            constexpr double kNearH = 0.01 / 3600.0;
            const auto edge = [&](double h) {
              return h == 0.0 || h == 24.0 || std::abs(std::abs(h - noonH) - 12.0) < 1e-9;
            };
            const std::string where = "skyline " + std::to_string(&skyline - skylines) +
                                      " latitude " + std::to_string(latitudeDeg) + " date " +
                                      std::to_string(date) + " span " + std::to_string(i);
            if (!edge(span.fromH)) {
              EXPECT_LE(clearance(span.fromH - kNearH), 0.0) << where << " from " << span.fromH;
              EXPECT_GT(clearance(span.fromH + kNearH), 0.0) << where << " from " << span.fromH;
              ++ends;
            }
            if (!edge(span.toH)) {
              EXPECT_GT(clearance(span.toH - kNearH), 0.0) << where << " to " << span.toH;
              EXPECT_LE(clearance(span.toH + kNearH), 0.0) << where << " to " << span.toH;
              ++ends;
            }
          }
        }
      }
    }
  }
  EXPECT_GT(ends, 400);  // the table reaches the skylines, not only days of light or dark
}

// A run works out a station's days sixteen at a time and passes over the pieces none of their
// suns can cross: each day must keep the spans it has alone, whether the sixteen are a
// fortnight or spread over the year, at the polar circle and in the south too.
TEST(SkylineTest, DaysWorkedOutTogetherKeepTheirOwnSpans) {
  constexpr double kRad = 3.14159265358979323846 / 180.0;
  const HorizonProfile skylines[] = {
      skylineOf(48, [&](double a, int) { return 4 + 5 * std::sin(a * kRad + 1); }),
      skylineOf(360,
                [&](double a, int) {
                  return 4 * (6 + 5 * std::sin(a * kRad + 2) + 3 * std::sin(7 * a * kRad));
                }),
      profileOf({{0, 25}, {59.7, 25}, {60, 0}, {60.3, 25}, {200, 25}, {200, 5}, {300, 0}}),
  };
  struct Case {
    double latitudeDeg;
    SunModel model;
    std::int64_t stride;  // days between the sixteen
  };
  const Case cases[] = {{46.5, SunModel::kFao56, 1}, {46.5, SunModel::kNoaa, 23},
                        {69.0, SunModel::kFao56, 1}, {69.0, SunModel::kClassic, 23},
                        {-33.9, SunModel::kNoaa, 1}, {-33.9, SunModel::kFao56, 23}};
  for (const Case& c : cases) {
    const ModelSite site = modelSite({c.latitudeDeg, 8.0, 15.0});
    for (const HorizonProfile& skyline : skylines) {
      const SiteSkyline sky = siteSkyline(site, 0.0, skyline, 0.0);
      for (std::int64_t first = dateOf(2023, 1, 1); first < dateOf(2024, 1, 1); first += 16) {
        std::vector<ModelSunDay> days;
        for (std::int64_t k = 0; k < 16; ++k) {
          days.push_back(modelSunDay(c.model, first + k * c.stride, 15.0));
        }
        std::vector<DaySpans> together(days.size());
        skylineSpansOfDays(days.data(), days.size(), site, sky, together.data());
        for (std::size_t k = 0; k < days.size(); ++k) {
          const DaySpans alone = skylineSpans(days[k], site, sky);
          ASSERT_EQ(together[k].count, alone.count) << c.latitudeDeg << " " << first << " " << k;
          for (std::size_t i = 0; i < alone.count; ++i) {
            EXPECT_EQ(together[k].spans[i].fromH, alone.spans[i].fromH) << c.latitudeDeg;
            EXPECT_EQ(together[k].spans[i].toH, alone.spans[i].toH) << c.latitudeDeg;
          }
        }
      }
    }
  }
}

TEST(SkylineTest, TablesKeptInLargePagesHoldWhatTheyWereGiven) {
  // Blocks either side of a large page, each aligned as asked and whole: written to its last
  // byte and given back.
  struct Case {
    std::size_t bytes;
    std::size_t alignment;
  };
  const Case cases[] = {{1, 1},
                        {4096, 64},
                        {(std::size_t{2} << 20) - 1, 8},
                        {std::size_t{2} << 20, 4096},
                        {(std::size_t{2} << 20) + 1, 16},
                        {std::size_t{5} << 20, 2 << 20}};
  std::pmr::memory_resource* memory = largePageMemory();
  for (const Case& c : cases) {
    auto* block = static_cast<unsigned char*>(memory->allocate(c.bytes, c.alignment));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % c.alignment, 0u) << c.bytes;
    std::fill(block, block + c.bytes, static_cast<unsigned char>(c.bytes));
    EXPECT_EQ(block[c.bytes - 1], static_cast<unsigned char>(c.bytes)) << c.bytes;
    memory->deallocate(block, c.bytes, c.alignment);
  }
  // A rugged skyline kept in an arena crosses the sun where one on the heap does, all year.
  const HorizonProfile rugged = skylineOf(360, [](double a, int) {
    return 10 + 8 * std::sin(a * 0.0174533 * 5) + 4 * std::sin(a * 0.0174533 * 31);
  });
  const ModelSite site = modelSite({46.5, 8.0, 15.0});
  const auto arena = tableArena();
  const SiteSkyline kept = siteSkyline(site, 0.0, rugged, 0.0, arena.get());
  const SiteSkyline onHeap = siteSkyline(site, 0.0, rugged, 0.0);
  for (std::int64_t date = dateOf(2023, 1, 1); date < dateOf(2024, 1, 1); ++date) {
    const ModelSunDay day = modelSunDay(SunModel::kFao56, date, 15.0);
    const DaySpans a = skylineSpans(day, site, kept);
    const DaySpans b = skylineSpans(day, site, onHeap);
    ASSERT_EQ(a.count, b.count) << date;
    for (std::size_t i = 0; i < a.count; ++i) {
      EXPECT_EQ(a.spans[i].fromH, b.spans[i].fromH) << date;
      EXPECT_EQ(a.spans[i].toH, b.spans[i].toH) << date;
    }
  }
}

TEST(SkylineTest, TheSkylineIsLinearThroughNorth) {
  const HorizonProfile profile = profileOf({{10.0, 30.0}, {180.0, 0.0}, {350.0, 10.0}});
  struct Case {
    double azimuthDeg;
    double elevationDeg;
  };
  const Case cases[] = {{0.0, 20.0},  {360.0, 20.0}, {355.0, 15.0}, {5.0, 25.0},
                        {10.0, 30.0}, {95.0, 15.0},  {-5.0, 15.0},  {265.0, 5.0}};
  HorizonProfile indexed = profile;
  indexed.index();
  for (const Case& c : cases) {
    EXPECT_NEAR(profile.elevationAt(c.azimuthDeg), c.elevationDeg, 1e-12) << c.azimuthDeg;
    EXPECT_NEAR(indexed.elevationAt(c.azimuthDeg), c.elevationDeg, 1e-12) << c.azimuthDeg;
  }
  // The index finds every segment the search finds, points on whole degrees and between.
  HorizonProfile jagged =
      profileOf({{0.0, 1.0}, {7.5, 4.0}, {8.0, 2.0}, {90.0, 9.0}, {90.5, 0.0}, {359.5, 3.0}});
  HorizonProfile jaggedIndexed = jagged;
  jaggedIndexed.index();
  for (double a = -2.0; a <= 362.0; a += 0.125) {
    EXPECT_EQ(jaggedIndexed.elevationAt(a), jagged.elevationAt(a)) << a;
  }
}

TEST(SkylineTest, TablesReadAsUsersWriteThem) {
  struct Case {
    const char* text;
    const char* fault;  // nullptr: read
  };
  const Case cases[] = {
      {"station;azimuth;elevation\n433;0;1\n433;180;2\n", nullptr},
      {"# PVGIS, turned\nElevation Azimuth\n1.5 0\n2 90\n\n3 180\n", nullptr},
      {"azimuth,elevation\n0,1\n361,2\n", "line 3: the azimuth \"361\" is not between 0 and 360"},
      {"azimuth\televation\n0\t1\n90\t95\n", "line 3: the elevation \"95\" is not between -90"},
      {"azimuth;elevation\n0;1\n90;x\n", "line 3: the elevation \"x\" is not"},
      {"station;azimuth;elevation\n433;0;1\n434;0;1\n434;90;1\n",
       "station 433 has fewer than two azimuths"},
      {"station;height\n433;1\n", "line 1: no column \"azimuth\""},
      {"azimuth;elevation\n0;1;2\n", "line 2: 3 fields where the header row names 2"},
  };
  for (const Case& c : cases) {
    std::FILE* file = std::tmpfile();
    std::fputs(c.text, file);
    std::rewind(file);
    HorizonTable table;
    const std::optional<PlacesFault> fault = readHorizonTable(file, table);
    std::fclose(file);
    if (c.fault == nullptr) {
      EXPECT_FALSE(fault.has_value()) << c.text << (fault ? fault->text : "");
      continue;
    }
    ASSERT_TRUE(fault.has_value()) << c.text;
    const std::string said =
        (fault->line != 0 ? "line " + std::to_string(fault->line) + ": " : "") + fault->text;
    EXPECT_NE(said.find(c.fault), std::string::npos) << said;
  }
}

}  // namespace
}  // namespace kelvarin
