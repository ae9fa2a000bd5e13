// Sunrise and sunset for a calendar day and a place, in local zone time.
//
// The model is deliberately small: a cosine formula for the declination, a twelve-point table for
// the equation of time interpolated linearly within each month, the sunrise hour angle without
// refraction or disc size, and a shift from the place's longitude to the zone's meridian. Every
// year is a non-leap year. The results feed byte-compared output files, so each function keeps
// its operations in a fixed order; do not "simplify" the arithmetic.
#pragma once

#include <array>
#include <cstddef>  // std::size_t
#include <cstdint>
#include <optional>
#include <vector>

namespace kelvarin {

/// Days of each month, indexed by month 1 to 12; slot 0 is 0. February always has 28 days.
inline constexpr std::array<std::int32_t, 13> kDaysInMonth = {0,  31, 28, 31, 30, 31, 30,
                                                              31, 31, 30, 31, 30, 31};

/// Equation of time in minutes on the first of each month, indexed 1 to 13 (13 is the first of
/// the next January, so that December has a value to interpolate towards). Single precision on
/// purpose: the values enter the arithmetic as the nearest floats, widened.
inline constexpr std::array<float, 14> kEquationOfTimeMin = {0.0f,  -3.2f, -13.6f, -12.6f, -4.2f,
                                                             2.8f,  2.5f,  -3.5f,  -6.3f,  -0.3f,
                                                             10.0f, 16.4f, 11.3f,  -3.2f};

/// The model's pi, to ten significant digits only; every angle conversion uses it.
inline constexpr double kPi = 3.141592653;

/// Sunrise and sunset in hours of local zone time, or both -1 when the sun neither rises nor sets.
struct SunTimes {
  double sunriseH;
  double sunsetH;
};

/// Returns true for a month the tables cover (1 to 12).
constexpr bool isValidMonth(std::int32_t month) {
  return month >= 1 && month <= 12;
}

/// Returns the day plus the days of the months before `month` (1 to 12). Computed in 64 bits so
/// that no day a data file can hold overflows.
std::int64_t dayOfYear(std::int32_t day, std::int32_t month);

/// Returns the solar declination in degrees for a day and a month (1 to 12).
double solarDeclinationDeg(std::int32_t day, std::int32_t month);

/// Returns the equation of time in hours, linear within the month (1 to 12) between the values on
/// the first of this month and of the next; NaN for a month outside the tables.
double equationOfTimeHours(std::int32_t day, std::int32_t month);

/// What sunrise and sunset take of a day, the same for every place: worked out once a day.
struct SolarDay {
  double equationOfTimeH;
  double sinDeclination;
  double cosDeclination;
};

/// Returns the day's part of sunriseSunset for a day and a month, which must be 1 to 12.
SolarDay solarDay(std::int32_t day, std::int32_t month);

/// What sunrise and sunset take of a place: worked out once a run and station.
struct SolarPlace {
  double tanLatitude;     // sin / cos of the latitude, divided in that order
  double meridianShiftH;  // (meridian - longitude) / 15
};

/// Returns the place's part of sunriseSunset (angles in degrees, as the float answers).
SolarPlace solarPlace(float latitudeDeg, float longitudeDeg, float referenceMeridianDeg);

/// Returns sunrise and sunset of a day at a place: the very arithmetic of sunriseSunset, which is
/// made of the two parts.
SunTimes sunTimesAt(const SolarDay& day, const SolarPlace& place);

/// Returns true when the sun does not rise at all that day at the place (polar night), which
/// sunTimesAt gives as -1 just as a day the sun does not set.
bool sunNeverRisesAt(const SolarDay& day, const SolarPlace& place);

/// Returns sunrise and sunset in local zone time for a day, a month and a place (angles in degrees,
/// north and east positive, as the float answers of the dialogue). Returns nothing for a month
/// outside 1 to 12, which the tables do not cover. Does not allocate.
std::optional<SunTimes> sunriseSunset(std::int32_t day, std::int32_t month, float latitudeDeg,
                                      float longitudeDeg, float referenceMeridianDeg);

/// The hours of local zone time in which the sun's centre stands above `altitudeDeg`, by the same
/// declination and equation of time as sunriseSunset but with the general hour-angle formula.
/// Below 0 degrees it widens the model's day towards the real sky's, whose refraction lifts the
/// sun into view before the model's sunrise. Always up: 0 to 24; never up: an empty span.
struct SunSpan {
  double fromH;
  double toH;
};
SunSpan sunAboveAltitude(std::int32_t day, std::int32_t month, float latitudeDeg,
                         float longitudeDeg, float referenceMeridianDeg, double altitudeDeg);

/// The day's part of sunAboveAltitude: its declination's sine and cosine and the equation of
/// time; `valid` false for a month not from 1 to 12. Not SolarDay: this formula turns degrees
/// into radians as `deg * (pi / 180)`, sunriseSunset as `pi * deg / 180`, and the bits differ.
struct SkyDay {
  double sinDeclination;
  double cosDeclination;
  double equationOfTimeH;
  bool valid;
};
SkyDay skyDay(std::int32_t day, std::int32_t month);

/// The place's part of sunAboveAltitude.
struct SkyPlace {
  double sinLatitude;
  double cosLatitude;
  double meridianShiftH;  // (meridian - longitude) / 15
};
SkyPlace skyPlace(float latitudeDeg, float longitudeDeg, float referenceMeridianDeg);

/// sunAboveAltitude from its parts, `sinAltitude` the sine of the altitude in radians: the very
/// same arithmetic, for the columns of a network, whose parts are worked out once a day and once
/// a run.
SunSpan sunAboveAltitudeAt(const SkyDay& day, const SkyPlace& place, double sinAltitude);

/// Returns the sine of an altitude in degrees, as sunAboveAltitude takes it.
double sinOfAltitude(double altitudeDeg);

/// Values of a run remembered per calendar day (month 1 to 12, day 1 to 31): what depends only on
/// the day and the run's place is worked out once, not once per step.
template <typename T>
struct DayMemo {
  std::array<std::optional<T>, 12 * 31> days{};
};

/// Returns the value of a day from `memo`, worked out with `compute` the first time it is asked;
/// days outside the table are worked out every time.
template <typename T, typename Compute>
T rememberedForDay(DayMemo<T>& memo, std::int32_t day, std::int32_t month, Compute compute) {
  if (month < 1 || month > 12 || day < 1 || day > 31) {
    return compute();
  }
  std::optional<T>& known = memo.days[static_cast<std::size_t>((month - 1) * 31 + (day - 1))];
  if (!known) {
    known = compute();
  }
  return *known;
}

/// Values of one day for each column at a place of its own (slot 0 unused), worked out anew when
/// the day changes: a DayMemo of every day for 20,000 columns would be 117 MB. The same for the
/// model's sun times and the real sky's day.
template <typename T>
struct ColumnDay {
  std::vector<T> values;
  // Per value, the `generation` it was worked out in: a new day is a new generation, and nothing
  // is cleared (clearing 5000 columns a day was a tenth of a daily run's sun bookkeeping).
  std::vector<std::uint32_t> known;
  std::uint32_t generation = 0;
  std::int32_t day = 0;
  std::int32_t month = 0;
};

/// Returns false when `cache` holds the values of another day than `day` of `month`, after
/// emptying it for that day with room for `slots` columns.
template <typename T>
bool holdsColumnDay(ColumnDay<T>& cache, std::int32_t day, std::int32_t month, std::size_t slots) {
  if (cache.generation != 0 && cache.day == day && cache.month == month &&
      cache.values.size() == slots) {
    return true;
  }
  cache.day = day;
  cache.month = month;
  if (cache.values.size() != slots || cache.generation == UINT32_MAX) {
    cache.values.assign(slots, T{});
    cache.known.assign(slots, 0);
    cache.generation = 0;
  }
  ++cache.generation;
  return false;
}

/// Returns the value of `column` on the day `cache` holds, worked out with `compute` the first
/// time it is asked.
template <typename T, typename Compute>
const T& columnDayValue(ColumnDay<T>& cache, std::size_t column, Compute compute) {
  if (cache.known[column] != cache.generation) {
    cache.values[column] = compute();
    cache.known[column] = cache.generation;
  }
  return cache.values[column];
}

}  // namespace kelvarin
