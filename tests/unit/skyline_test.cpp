// The sun behind a skyline: a flat skyline is an elevation, zeros are none, a ridge cuts the side
// of the day it stands on, and the table reads as users write it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "horizon_table.hpp"
#include "step/skyline.hpp"
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
