#include "sun_models.hpp"

#include <algorithm>  // std::fill
#include <chrono>
#include <cmath>
#include <utility>  // std::pair

namespace kelvarin {

namespace {

constexpr double kRadPerDeg = 3.14159265358979323846 / 180.0;
constexpr double kTwoPi = 2.0 * 3.14159265358979323846;

// The words of --sun-model.
constexpr std::pair<const char*, SunModel> kSunModelNames[] = {
    {"classic", SunModel::kClassic},
    {"fao56", SunModel::kFao56},
    {"noaa", SunModel::kNoaa},
};

// The span of the sun above h0 around `noonH`: the general hour angle of the declination.
SunSpan spanAroundNoon(double noonH, const ModelSite& site, const ModelSunDay& day,
                       double sinElevation) {
  const double cosHourAngle = (sinElevation - site.sinLatitude * day.sinDeclination) /
                              (site.cosLatitude * day.cosDeclination);
  if (!(cosHourAngle > -1.0)) {
    return {0.0, 24.0};  // the sun stays up: light from midnight to midnight
  }
  if (cosHourAngle >= 1.0) {
    return {12.0, 12.0};  // it stays down
  }
  const double halfDayH = std::acos(cosHourAngle) / kRadPerDeg / 15.0;
  return {noonH - halfDayH, noonH + halfDayH};
}

// The day of the year of a date, 1 on 1 January, 366 on 31 December of a leap year.
int dayOfYearOf(std::int64_t date) {
  using namespace std::chrono;
  const sys_days day{days{date}};
  const year_month_day ymd{day};
  return static_cast<int>((day - sys_days{ymd.year() / January / 1}).count()) + 1;
}

// A model's day of a declination and a correction of noon in the model's own formula.
ModelSunDay withDeclination(SunModel model, double declinationRad, double correction) {
  return {model, correction, true, std::sin(declinationRad), std::cos(declinationRad)};
}

// NOAA's spreadsheet columns, in its order, at the date's local noon of the zone: the
// declination and the equation of time (minutes).
ModelSunDay noaaDay(std::int64_t date, double meridianDeg) {
  const double zoneH = meridianDeg / 15.0;
  const double julianDay = 2440587.5 + static_cast<double>(date) + (12.0 - zoneH) / 24.0;
  const double t = (julianDay - 2451545.0) / 36525.0;  // Julian century
  const double meanLongitudeDeg = std::fmod(280.46646 + t * (36000.76983 + t * 0.0003032), 360.0);
  const double meanAnomalyDeg = 357.52911 + t * (35999.05029 - 0.0001537 * t);
  const double eccentricity = 0.016708634 - t * (0.000042037 + 0.0000001267 * t);
  const double m = meanAnomalyDeg * kRadPerDeg;
  const double centreDeg = std::sin(m) * (1.914602 - t * (0.004817 + 0.000014 * t)) +
                           std::sin(2.0 * m) * (0.019993 - 0.000101 * t) +
                           std::sin(3.0 * m) * 0.000289;
  const double trueLongitudeDeg = meanLongitudeDeg + centreDeg;
  const double omegaRad = (125.04 - 1934.136 * t) * kRadPerDeg;
  const double apparentLongitudeDeg = trueLongitudeDeg - 0.00569 - 0.00478 * std::sin(omegaRad);
  const double meanObliquityDeg =
      23.0 + (26.0 + (21.448 - t * (46.815 + t * (0.00059 - t * 0.001813))) / 60.0) / 60.0;
  const double obliquityRad = (meanObliquityDeg + 0.00256 * std::cos(omegaRad)) * kRadPerDeg;
  const double declinationRad =
      std::asin(std::sin(obliquityRad) * std::sin(apparentLongitudeDeg * kRadPerDeg));
  const double y = std::tan(obliquityRad / 2.0) * std::tan(obliquityRad / 2.0);
  const double l0 = meanLongitudeDeg * kRadPerDeg;
  const double equationOfTimeMin =
      4.0 / kRadPerDeg *
      (y * std::sin(2.0 * l0) - 2.0 * eccentricity * std::sin(m) +
       4.0 * eccentricity * y * std::sin(m) * std::cos(2.0 * l0) -
       0.5 * y * y * std::sin(4.0 * l0) - 1.25 * eccentricity * eccentricity * std::sin(2.0 * m));
  return withDeclination(SunModel::kNoaa, declinationRad, equationOfTimeMin);
}

}  // namespace

std::optional<SunModel> sunModelNamed(std::string_view word) {
  for (const auto& [name, model] : kSunModelNames) {
    if (name == word) {
      return model;
    }
  }
  return std::nullopt;
}

const char* sunModelName(SunModel model) {
  for (const auto& [name, named] : kSunModelNames) {
    if (named == model) {
      return name;
    }
  }
  return kSunModelNames[0].first;
}

double defaultSunElevationDeg(SunModel model) {
  return model == SunModel::kNoaa ? -0.833 : 0.0;
}

ModelSunDay modelSunDay(SunModel model, std::int64_t date, double meridianDeg) {
  switch (model) {
    case SunModel::kFao56: {
      const double j = dayOfYearOf(date);
      const double b = kTwoPi * (j - 81.0) / 364.0;  // eq. 33
      return withDeclination(
          model, 0.409 * std::sin(kTwoPi / 365.0 * j - 1.39),  // eq. 24
          0.1645 * std::sin(2.0 * b) - 0.1255 * std::cos(b) - 0.025 * std::sin(b));
    }
    case SunModel::kNoaa:
      return noaaDay(date, meridianDeg);
    case SunModel::kClassic:
      break;
  }
  const std::chrono::year_month_day ymd{std::chrono::sys_days{std::chrono::days{date}}};
  const SkyDay sky = skyDay(static_cast<std::int32_t>(static_cast<unsigned>(ymd.day())),
                            static_cast<std::int32_t>(static_cast<unsigned>(ymd.month())));
  return {model, sky.equationOfTimeH, sky.valid, sky.sinDeclination, sky.cosDeclination};
}

std::optional<int> modelDayKey(SunModel model, std::int64_t date) {
  switch (model) {
    case SunModel::kFao56:
      return dayOfYearOf(date) - 1;
    case SunModel::kNoaa:
      return std::nullopt;
    case SunModel::kClassic:
      break;
  }
  const std::chrono::year_month_day ymd{std::chrono::sys_days{std::chrono::days{date}}};
  return static_cast<int>(static_cast<unsigned>(ymd.month()) - 1) * 31 +
         static_cast<int>(static_cast<unsigned>(ymd.day()) - 1);
}

ModelSite modelSite(const ModelPlace& place) {
  const double latitudeRad = place.latitudeDeg * kRadPerDeg;
  return {place,
          std::sin(latitudeRad),
          std::cos(latitudeRad),
          12.0 + (place.meridianDeg - place.longitudeDeg) / 15.0,
          12.0 - 0.06667 * (place.longitudeDeg - place.meridianDeg),
          720.0 - 4.0 * place.longitudeDeg,
          place.meridianDeg / 15.0};
}

SunSpan modelSunSpanAt(const ModelSunDay& day, const ModelSite& site, double sinElevation) {
  SunSpan span{};
  modelSunSpansAt(day, &site, 1, sinElevation, &span);
  return span;
}

namespace {

// The spans of a day at many sites, its model's noon fixed at compile time: the loop then holds
// no choice of model, and the hour angle's arithmetic is the same for every site.
template <SunModel kModel>
void spansOfModel(const ModelSunDay& day, const ModelSite* sites, std::size_t count,
                  double sinElevation, SunSpan* spans) {
  ModelSunDay fixed = day;
  fixed.model = kModel;
  for (std::size_t c = 0; c < count; ++c) {
    spans[c] = spanAroundNoon(modelNoonH(fixed, sites[c]), sites[c], fixed, sinElevation);
  }
}

}  // namespace

void modelSunSpansAt(const ModelSunDay& day, const ModelSite* sites, std::size_t count,
                     double sinElevation, SunSpan* spans) {
  if (!day.valid) {
    std::fill(spans, spans + count, SunSpan{0.0, 24.0});
    return;
  }
  switch (day.model) {
    case SunModel::kFao56:
      spansOfModel<SunModel::kFao56>(day, sites, count, sinElevation, spans);
      return;
    case SunModel::kNoaa:
      spansOfModel<SunModel::kNoaa>(day, sites, count, sinElevation, spans);
      return;
    case SunModel::kClassic:
      spansOfModel<SunModel::kClassic>(day, sites, count, sinElevation, spans);
      return;
  }
}

double modelNoonH(const ModelSunDay& day, const ModelSite& site) {
  double noonH = 0.0;
  switch (day.model) {
    case SunModel::kFao56:
      // Eq. 31 at solar noon (w = 0), its longitudes counted west: Lz - Lm = lon - meridian:
      // 12 - 0.06667 (lon - meridian) - correction.
      noonH = site.fao56NoonBaseH - day.correction;
      break;
    case SunModel::kNoaa:
      // (720 - 4 lon - correction) / 60 + meridian / 15.
      noonH = (site.noaaNoonBaseMin - day.correction) / 60.0 + site.noaaMeridianH;
      break;
    case SunModel::kClassic:
      // 12 + (meridian - lon) / 15 - correction.
      noonH = site.classicNoonBaseH - day.correction;
      break;
  }
  return noonH;
}

double sinOfElevation(double elevationDeg) {
  return std::sin(elevationDeg * kRadPerDeg);
}

SunSpan modelSunSpan(SunModel model, std::int64_t date, const ModelPlace& place,
                     double elevationDeg) {
  return modelSunSpanAt(modelSunDay(model, date, place.meridianDeg), modelSite(place),
                        sinOfElevation(elevationDeg));
}

}  // namespace kelvarin
