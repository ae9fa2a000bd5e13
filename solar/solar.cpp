#include "solar.hpp"

#include <cmath>    // std::sin, std::cos, std::acos, std::fabs
#include <cstddef>  // std::size_t
#include <limits>   // quiet_NaN

namespace kelvarin {

namespace {

// 365 / (2 * pi), written out to the digits the model has always used.
constexpr double kDaysPerRadian = 58.09155423;
constexpr double kDeclinationFactorDeg = -23.4;

std::size_t monthIndex(std::int32_t month) {
  return static_cast<std::size_t>(month);
}

}  // namespace

std::int64_t dayOfYear(std::int32_t day, std::int32_t month) {
  std::int64_t n = day;
  for (std::int32_t m = 1; m < month && m <= 12; ++m) {
    n += kDaysInMonth[monthIndex(m)];
  }
  return n;
}

double solarDeclinationDeg(std::int32_t day, std::int32_t month) {
  const std::int64_t n = dayOfYear(day, month) + 10;
  return kDeclinationFactorDeg * std::cos(static_cast<double>(n) / kDaysPerRadian);
}

double equationOfTimeHours(std::int32_t day, std::int32_t month) {
  if (!isValidMonth(month)) {
    return std::numeric_limits<double>::quiet_NaN();  // no table entry to read, no length to divide
                                                      // by
  }
  const std::int64_t b = kDaysInMonth[monthIndex(month)];
  const double w1 = static_cast<double>(b - day + 1) / static_cast<double>(b);
  const double w2 = static_cast<double>(std::int64_t{day} - 1) / static_cast<double>(b);
  return w1 * (static_cast<double>(kEquationOfTimeMin[monthIndex(month)]) / 60.0) +
         (static_cast<double>(kEquationOfTimeMin[monthIndex(month) + 1]) / 60.0) * w2;
}

SolarDay solarDay(std::int32_t day, std::int32_t month) {
  const double declinationRad = kPi * solarDeclinationDeg(day, month) / 180.0;
  return {equationOfTimeHours(day, month), std::sin(declinationRad), std::cos(declinationRad)};
}

SolarPlace solarPlace(float latitudeDeg, float longitudeDeg, float referenceMeridianDeg) {
  const double latitudeRad = kPi * static_cast<double>(latitudeDeg) / 180.0;
  return {std::sin(latitudeRad) / std::cos(latitudeRad),
          (static_cast<double>(referenceMeridianDeg) - static_cast<double>(longitudeDeg)) / 15.0};
}

SunTimes sunTimesAt(const SolarDay& day, const SolarPlace& place) {
  // The product of the two tangents, left to right as the model has always evaluated it:
  // sin(lat) / cos(lat) * sin(decl) / cos(decl).
  const double x = place.tanLatitude * day.sinDeclination / day.cosDeclination;
  if (!(std::fabs(x) <= 1.0)) {
    return SunTimes{-1.0, -1.0};  // polar day or polar night: the model does not tell them apart
  }
  // At the equator x is +0 or -0; arccos would give 6 only up to rounding, the model wants 6.
  const double t = (x == 0.0) ? 6.0 : std::acos(x) * (12.0 / kPi);
  const double c = place.meridianShiftH;
  const double e = day.equationOfTimeH;
  return SunTimes{(c + t) - e, (c + (24.0 - t)) - e};
}

bool sunNeverRisesAt(const SolarDay& day, const SolarPlace& place) {
  // The same product as sunTimesAt: the sun stays below the horizon where it is below -1.
  const double x = place.tanLatitude * day.sinDeclination / day.cosDeclination;
  return x < -1.0;
}

std::optional<SunTimes> sunriseSunset(std::int32_t day, std::int32_t month, float latitudeDeg,
                                      float longitudeDeg, float referenceMeridianDeg) {
  if (!isValidMonth(month)) {
    return std::nullopt;
  }
  return sunTimesAt(solarDay(day, month),
                    solarPlace(latitudeDeg, longitudeDeg, referenceMeridianDeg));
}

SkyDay skyDay(std::int32_t day, std::int32_t month) {
  if (!isValidMonth(month)) {
    return {0.0, 0.0, 0.0, false};
  }
  const double declinationRad = solarDeclinationDeg(day, month) * (kPi / 180.0);
  return {std::sin(declinationRad), std::cos(declinationRad), equationOfTimeHours(day, month),
          true};
}

SkyPlace skyPlace(float latitudeDeg, float longitudeDeg, float referenceMeridianDeg) {
  const double latitudeRad = static_cast<double>(latitudeDeg) * (kPi / 180.0);
  return {std::sin(latitudeRad), std::cos(latitudeRad),
          (static_cast<double>(referenceMeridianDeg) - static_cast<double>(longitudeDeg)) / 15.0};
}

double sinOfAltitude(double altitudeDeg) {
  return std::sin(altitudeDeg * (kPi / 180.0));
}

SunSpan sunAboveAltitudeAt(const SkyDay& day, const SkyPlace& place, double sinAltitude) {
  if (!day.valid) {
    return {0.0, 24.0};
  }
  const double cosHourAngle = (sinAltitude - place.sinLatitude * day.sinDeclination) /
                              (place.cosLatitude * day.cosDeclination);
  if (!(cosHourAngle > -1.0)) {
    return {0.0, 24.0};
  }
  if (cosHourAngle >= 1.0) {
    return {12.0, 12.0};
  }
  const double halfDayH = std::acos(cosHourAngle) * (12.0 / kPi);
  const double noonH = 12.0 + place.meridianShiftH - day.equationOfTimeH;
  return {noonH - halfDayH, noonH + halfDayH};
}

SunSpan sunAboveAltitude(std::int32_t day, std::int32_t month, float latitudeDeg,
                         float longitudeDeg, float referenceMeridianDeg, double altitudeDeg) {
  return sunAboveAltitudeAt(skyDay(day, month),
                            skyPlace(latitudeDeg, longitudeDeg, referenceMeridianDeg),
                            sinOfAltitude(altitudeDeg));
}

}  // namespace kelvarin
