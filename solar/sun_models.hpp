// The possible sunshine users divide by, beside the program's own model: FAO-56's day length
// centred on solar noon, as agrometeorology uses it, and NOAA's solar calculator, whose sunrise
// and sunset almanacs and solar-position libraries give. Each gives the hours of zone time in
// which the sun's centre stands above an elevation, by the general hour angle
// cos w = (sin h0 - sin lat sin decl) / (cos lat cos decl), on a date of the calendar.
#pragma once

#include <cstddef>  // std::size_t
#include <cstdint>
#include <optional>
#include <string_view>

#include "solar.hpp"  // SunSpan

namespace kelvarin {

/// Where a run's possible sunshine comes from.
enum class SunModel {
  kClassic,  // the program's own model: cosine declination, monthly equation-of-time table
  kFao56,    // FAO-56 eqs. 24, 25 and 34, centred on solar noon by eqs. 32 and 33
  kNoaa,     // NOAA's solar calculator (Meeus), sunrise and sunset at a zenith of 90.833 degrees
};

/// Returns the model a word of --sun-model names ("classic", "fao56", "noaa"), or nothing.
std::optional<SunModel> sunModelNamed(std::string_view word);

/// Returns a model's word.
const char* sunModelName(SunModel model);

/// Returns the elevation of the sun's centre at which a model has the sun rise and set, in
/// degrees: 0 for classic and fao56 (geometric), -0.833 for noaa (refraction and the sun's disc).
double defaultSunElevationDeg(SunModel model);

/// The range --sun-elevation accepts, in degrees.
inline constexpr double kLeastSunElevationDeg = -5.0;
inline constexpr double kMostSunElevationDeg = 20.0;

/// A place as the models take it: degrees, north and east positive; the zone's meridian.
struct ModelPlace {
  double latitudeDeg;
  double longitudeDeg;
  double meridianDeg;
};

/// What a model's day takes of its date, the same for every place of the zone: worked out once
/// a date for a whole network.
struct ModelSunDay {
  SunModel model;
  double correction;  // classic: equation of time (h); fao56: seasonal correction (h); noaa:
                      // equation of time (min), each in its model's own formula
  bool valid;         // classic: a month its tables cover
  double sinDeclination;
  double cosDeclination;
};

/// Returns a model's day for the local date `date` (days from 1970-01-01) in the zone of
/// `meridianDeg`.
ModelSunDay modelSunDay(SunModel model, std::int64_t date, double meridianDeg);

/// The most keys modelDayKey gives.
inline constexpr int kModelDayKeys = 372;

/// Returns the key of the days a model cannot tell apart, for memos across the years: classic's
/// day and month, fao56's day of the year; nothing for noaa, whose every date differs.
std::optional<int> modelDayKey(SunModel model, std::int64_t date);

/// A place's part of the hour angle, worked out once a run: a network's columns then take one
/// arc cosine a date each.
struct ModelSite {
  ModelPlace place;
  double sinLatitude;
  double cosLatitude;
  // The parts of each model's solar noon that the day does not change, in the order its formula
  // takes them: the noon of every day is then one subtraction (and for noaa a division) away.
  double classicNoonBaseH = 0.0;  // 12 + (meridian - longitude) / 15
  double fao56NoonBaseH = 0.0;    // 12 - 0.06667 (longitude - meridian)
  double noaaNoonBaseMin = 0.0;   // 720 - 4 longitude
  double noaaMeridianH = 0.0;     // meridian / 15
};

/// Returns the site of a place.
ModelSite modelSite(const ModelPlace& place);

/// Returns the hours of zone time (of the meridian) in which the sun's centre stands above the
/// elevation whose sine is `sinElevation` on `day` at `site`: 0 to 24 where it does not set, an
/// empty span (12 to 12) where it does not rise.
SunSpan modelSunSpanAt(const ModelSunDay& day, const ModelSite& site, double sinElevation);

/// Writes into `spans` what modelSunSpanAt gives at each of `count` sites, in one pass: a
/// network's columns take the day's model and its declination once, not once a column.
void modelSunSpansAt(const ModelSunDay& day, const ModelSite* sites, std::size_t count,
                     double sinElevation, SunSpan* spans);

/// Returns the solar noon of `day` at `site`, in hours of zone time, by the day's model.
double modelNoonH(const ModelSunDay& day, const ModelSite& site);

/// Returns the sine of an elevation in degrees, as the models take it.
double sinOfElevation(double elevationDeg);

/// Returns the hours in which the sun's centre stands above `elevationDeg` on the local date
/// `date` (days from 1970-01-01) at a place, by the model given; classic takes the program's own
/// declination and equation of time (day and month of the date) with the general hour angle.
SunSpan modelSunSpan(SunModel model, std::int64_t date, const ModelPlace& place,
                     double elevationDeg);

}  // namespace kelvarin
