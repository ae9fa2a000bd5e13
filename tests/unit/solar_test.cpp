#include "solar.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace kelvarin {
namespace {

struct WorkedDay {
  std::int32_t day;
  std::int32_t month;
  float latitudeDeg;
  float longitudeDeg;
  float meridianDeg;
  double declinationDeg;
  double equationOfTimeH;
  double sunriseH;
  double sunsetH;
};

// Worked values, rounded to four decimals; -1 marks days without sunrise and sunset.
constexpr WorkedDay kWorkedDays[] = {
    // day month   lat    lon   meridian  declination  eq. of time  sunrise   sunset
    {21, 6, 52.5f, 13.4f, 15.0f, 23.3991, -0.0250, 3.8431, 20.4202},
    {21, 12, 52.5f, 13.4f, 15.0f, -23.4000, 0.0324, 8.3629, 15.7856},
    {1, 1, 0.0f, 15.0f, 15.0f, -22.9817, -0.0533, 6.0533, 18.0533},
    {15, 11, 48.0f, 9.0f, 15.0f, -19.0487, 0.2337, 7.6696, 16.6631},
    {29, 2, 50.0f, 10.0f, 15.0f, -8.3701, -0.2100, 7.2166, 17.8701},
    {31, 12, 50.0f, 10.0f, 15.0f, -23.0542, -0.0455, 8.4107, 16.3470},
    {21, 6, 70.0f, 20.0f, 15.0f, 23.3991, -0.0250, -1.0, -1.0},
    {21, 12, 70.0f, 20.0f, 15.0f, -23.4000, 0.0324, -1.0, -1.0},
    {1, 3, 50.0f, 10.0f, 15.0f, -8.3701, -0.2100, 7.2166, 17.8701},
    {21, 3, 0.0f, 0.0f, 0.0f, -0.5035, -0.1197, 6.1197, 18.1197},
    {15, 7, -33.9f, 18.4f, 30.0f, 21.5113, -0.0794, 7.8766, 17.8289},
};

TEST(SolarTest, WorkedDaysAgreeToFourDecimals) {
  for (const WorkedDay& w : kWorkedDays) {
    SCOPED_TRACE(testing::Message() << w.day << "." << w.month << " at " << w.latitudeDeg);
    EXPECT_NEAR(solarDeclinationDeg(w.day, w.month), w.declinationDeg, 0.5e-4);
    EXPECT_NEAR(equationOfTimeHours(w.day, w.month), w.equationOfTimeH, 0.5e-4);
    const auto sun = sunriseSunset(w.day, w.month, w.latitudeDeg, w.longitudeDeg, w.meridianDeg);
    ASSERT_TRUE(sun.has_value());
    EXPECT_NEAR(sun->sunriseH, w.sunriseH, 0.5e-4);
    EXPECT_NEAR(sun->sunsetH, w.sunsetH, 0.5e-4);
  }
}

// The same days to the last bit: a change in the order of operations, in kPi's digits or in a
// table entry moves the last bits long before it moves the fourth decimal.
TEST(SolarTest, WorkedDaysToTheLastBit) {
  struct Pinned {
    std::int32_t day;
    std::int32_t month;
    float latitudeDeg;
    float longitudeDeg;
    float meridianDeg;
    double sunriseH;
    double sunsetH;
  };
  constexpr Pinned kPinned[] = {
      // day month   lat    lon   meridian  sunrise                  sunset
      {21, 6, 52.5f, 13.4f, 15.0f, 0x1.ebeb5b6b5bd22p+1, 0x1.46b931a3a596cp+4},
      {21, 12, 52.5f, 13.4f, 15.0f, 0x1.0b9ce53711f4p+3, 0x1.f92392af9aea6p+3},
      {31, 12, 50.0f, 10.0f, 15.0f, 0x1.0d24763381565p+3, 0x1.058d7ae89651p+4},
      {15, 7, -33.9f, 18.4f, 30.0f, 0x1.f81a63f1bf94cp+2, 0x1.1d4310869743p+4},
      {1, 1, 0.0f, 15.0f, 15.0f, 0x1.8369d03777777p+2, 0x1.20da740dddddep+4},
  };
  for (const Pinned& p : kPinned) {
    const auto sun = sunriseSunset(p.day, p.month, p.latitudeDeg, p.longitudeDeg, p.meridianDeg);
    ASSERT_TRUE(sun.has_value());
    EXPECT_EQ(sun->sunriseH, p.sunriseH) << p.day << "." << p.month;
    EXPECT_EQ(sun->sunsetH, p.sunsetH) << p.day << "." << p.month;
  }
}

TEST(SolarTest, EquatorGivesSixAndEighteenExactlyOnEveryDay) {
  for (std::int32_t month = 1; month <= 12; ++month) {
    for (std::int32_t day = 1; day <= kDaysInMonth[static_cast<std::size_t>(month)]; ++day) {
      const auto sun = sunriseSunset(day, month, 0.0f, 13.4f, 15.0f);
      ASSERT_TRUE(sun.has_value());
      const double c = (15.0 - static_cast<double>(13.4f)) / 15.0;
      const double e = equationOfTimeHours(day, month);
      EXPECT_EQ(sun->sunriseH, (c + 6.0) - e) << day << "." << month;
      EXPECT_EQ(sun->sunsetH, (c + 18.0) - e) << day << "." << month;
    }
  }
}

TEST(SolarTest, TwentyNinthOfFebruaryIsTheFirstOfMarch) {
  EXPECT_EQ(dayOfYear(29, 2), dayOfYear(1, 3));
  EXPECT_EQ(solarDeclinationDeg(29, 2), solarDeclinationDeg(1, 3));
  EXPECT_EQ(equationOfTimeHours(29, 2), equationOfTimeHours(1, 3));
  EXPECT_EQ(equationOfTimeHours(1, 3), static_cast<double>(-12.6f) / 60.0);
}

TEST(SolarTest, DecemberInterpolatesTowardsTheNextJanuary) {
  // One 31st of the December value and 30 31sts of the next January's, widened from float.
  const double expected = (1.0 / 31.0) * (static_cast<double>(11.3f) / 60.0) +
                          (static_cast<double>(-3.2f) / 60.0) * (30.0 / 31.0);
  EXPECT_EQ(equationOfTimeHours(31, 12), expected);
}

TEST(SolarTest, MonthsOutsideTheTablesAreRefused) {
  for (std::int32_t month : {0, 13, -1, 1000, INT32_MIN, INT32_MAX}) {
    EXPECT_FALSE(sunriseSunset(15, month, 52.5f, 13.4f, 15.0f).has_value()) << month;
    EXPECT_TRUE(std::isnan(equationOfTimeHours(15, month))) << month;
    EXPECT_TRUE(std::isfinite(solarDeclinationDeg(15, month))) << month;
  }
}

TEST(SolarTest, ExtremeDaysStayFinite) {
  for (std::int32_t day : {0, 99, -5, INT32_MAX, INT32_MIN}) {
    const auto sun = sunriseSunset(day, 12, 52.5f, 13.4f, 15.0f);
    ASSERT_TRUE(sun.has_value());
    EXPECT_TRUE(std::isfinite(sun->sunriseH)) << day;
  }
}

}  // namespace
}  // namespace kelvarin

namespace kelvarin {
namespace {

// The real sky's day as its formula reads, in one piece: the parts a network keeps (the day's,
// the column's, the altitude's sine) must give every bit of it.
SunSpan skyByTheFormula(std::int32_t day, std::int32_t month, float latitudeDeg, float longitudeDeg,
                        float meridianDeg, double altitudeDeg) {
  const double toRad = kPi / 180.0;
  const double latitudeRad = static_cast<double>(latitudeDeg) * toRad;
  const double declinationRad = solarDeclinationDeg(day, month) * toRad;
  const double cosHourAngle =
      (std::sin(altitudeDeg * toRad) - std::sin(latitudeRad) * std::sin(declinationRad)) /
      (std::cos(latitudeRad) * std::cos(declinationRad));
  if (!(cosHourAngle > -1.0)) {
    return {0.0, 24.0};
  }
  if (cosHourAngle >= 1.0) {
    return {12.0, 12.0};
  }
  const double halfDayH = std::acos(cosHourAngle) * (12.0 / kPi);
  const double noonH =
      12.0 + (static_cast<double>(meridianDeg) - static_cast<double>(longitudeDeg)) / 15.0 -
      equationOfTimeHours(day, month);
  return {noonH - halfDayH, noonH + halfDayH};
}

TEST(SolarTest, RealSkyFromItsKeptPartsToTheLastBit) {
  std::uint64_t draw = 99;
  const auto next = [&draw](double from, double to) {
    draw = draw * 6364136223846793005ULL + 1442695040888963407ULL;
    return from + static_cast<double>(draw >> 11) / 9007199254740992.0 * (to - from);
  };
  for (int i = 0; i < 20000; ++i) {
    const auto day = static_cast<std::int32_t>(next(1.0, 32.0));
    const auto month = static_cast<std::int32_t>(next(1.0, 13.0));
    const auto latitude = static_cast<float>(next(-89.0, 89.0));
    const auto longitude = static_cast<float>(next(-180.0, 180.0));
    const auto meridian = static_cast<float>(next(-180.0, 180.0));
    const double altitude = i % 2 == 0 ? -1.833 : next(-5.0, 5.0);
    const SunSpan expected = skyByTheFormula(day, month, latitude, longitude, meridian, altitude);
    const SunSpan parts = sunAboveAltitudeAt(
        skyDay(day, month), skyPlace(latitude, longitude, meridian), sinOfAltitude(altitude));
    const SunSpan whole = sunAboveAltitude(day, month, latitude, longitude, meridian, altitude);
    ASSERT_EQ(parts.fromH, expected.fromH) << day << "." << month << " " << latitude;
    ASSERT_EQ(parts.toH, expected.toH) << day << "." << month << " " << latitude;
    ASSERT_EQ(whole.fromH, expected.fromH);
    ASSERT_EQ(whole.toH, expected.toH);
  }
}

}  // namespace
}  // namespace kelvarin
