#include "step/skyline.hpp"

#include <algorithm>  // std::min, std::max
#include <cmath>
#include <optional>

namespace kelvarin {

namespace {

constexpr double kRadPerDeg = 3.14159265358979323846 / 180.0;
constexpr double kPiRad = 3.14159265358979323846;

// The sky of a day at a site: the sun's elevation and azimuth by its hour angle.
struct DaySky {
  double sinLatitude;
  double cosLatitude;
  double sinDeclination;
  double cosDeclination;
  // Returns the hour angle (radians) at which the sun's centre stands at `elevationDeg` in the
  // afternoon: pi where it never goes below, nothing where it never gets above.
  std::optional<double> hourAngleAt(double elevationDeg) const {
    const double c = (std::sin(elevationDeg * kRadPerDeg) - sinLatitude * sinDeclination) /
                     (cosLatitude * cosDeclination);
    if (!(c > -1.0)) {
      return kPiRad;
    }
    if (c >= 1.0) {
      return std::nullopt;
    }
    return std::acos(c);
  }
  // Returns how far (degrees) the sun stands above what it must clear at hour angle `w`: the
  // larger of the elevation and the skyline at its azimuth.
  double clearance(double w, double elevationDeg, const HorizonProfile& horizon,
                   double offsetDeg) const {
    const double cosW = std::cos(w);
    const double sinElevation = sinLatitude * sinDeclination + cosLatitude * cosDeclination * cosW;
    const double sunDeg = std::asin(std::clamp(sinElevation, -1.0, 1.0)) / kRadPerDeg;
    // Clockwise from north: south at noon, west in the afternoon.
    const double azimuthDeg =
        180.0 + std::atan2(std::sin(w) * cosDeclination,
                           sinLatitude * cosW * cosDeclination - cosLatitude * sinDeclination) /
                    kRadPerDeg;
    return sunDeg - std::max(elevationDeg, horizon.elevationAt(azimuthDeg) + offsetDeg);
  }
};

// Adds the span [fromH, toH] after the ones before it, joining it to the last where they touch;
// where the spans are full, the narrowest shade between two is filled.
void addSpan(DaySpans& day, double fromH, double toH) {
  if (day.count > 0 && fromH <= day.spans[day.count - 1].toH) {
    day.spans[day.count - 1].toH = std::max(day.spans[day.count - 1].toH, toH);
    return;
  }
  if (day.count == kMostDaySpans) {
    std::size_t narrowest = 0;
    for (std::size_t i = 1; i + 1 < day.count; ++i) {
      if (day.spans[i + 1].fromH - day.spans[i].toH <
          day.spans[narrowest + 1].fromH - day.spans[narrowest].toH) {
        narrowest = i;
      }
    }
    day.spans[narrowest].toH = day.spans[narrowest + 1].toH;
    for (std::size_t i = narrowest + 1; i + 1 < day.count; ++i) {
      day.spans[i] = day.spans[i + 1];
    }
    --day.count;
  }
  day.spans[day.count++] = DayLight{fromH, toH};
}

}  // namespace

DaySpans skylineSpans(const ModelSunDay& day, const ModelSite& site, double elevationDeg,
                      const HorizonProfile& horizon, double skylineOffsetDeg) {
  DaySpans spans;
  if (!day.valid) {
    addSpan(spans, 0.0, 24.0);
    return spans;
  }
  const double noonH = modelNoonH(day, site);
  const DaySky sky{site.sinLatitude, site.cosLatitude, day.sinDeclination, day.cosDeclination};
  // Below the lowest point to clear the sun is down; above the highest it is up whatever its
  // azimuth. Only the hours between are looked at, every two degrees of hour angle (8 minutes; a
  // notch of the skyline narrower than that may be missed).
  const double lowDeg = std::max(elevationDeg, horizon.lowestDeg + skylineOffsetDeg);
  const double highDeg = std::max(elevationDeg, horizon.highestDeg + skylineOffsetDeg);
  const std::optional<double> lowW = sky.hourAngleAt(lowDeg);
  if (!lowW) {
    return spans;
  }
  const double highW = sky.hourAngleAt(highDeg).value_or(0.0);
  if (highW == kPiRad) {
    addSpan(spans, 0.0, 24.0);  // above every skyline all day: light from midnight to midnight
    return spans;
  }
  const auto hours = [noonH](double w) { return noonH + w / kRadPerDeg / 15.0; };
  const auto clearance = [&](double w) {
    return sky.clearance(w, elevationDeg, horizon, skylineOffsetDeg);
  };
  // A step of two degrees of hour angle (8 minutes), and each crossing found between two steps by
  // the Illinois method: the clearance is continuous, and a few rounds place it within a second.
  constexpr double kStepRad = 2.0 * kRadPerDeg;
  const auto crossing = [&](double a, double ga, double b, double gb) {
    for (int i = 0; i < 12 && b - a > 1e-6; ++i) {
      const double c = b - gb * (b - a) / (gb - ga);
      const double gc = clearance(c);
      if ((gc > 0.0) == (gb > 0.0)) {
        b = c;
        gb = gc;
        ga *= 0.5;
      } else {
        a = c;
        ga = gc;
        gb *= 0.5;
      }
    }
    return std::abs(ga) < std::abs(gb) ? a : b;
  };
  // How fast the clearance can change, in degrees per radian of hour angle: the sun's elevation
  // by at most cos(latitude) cos(declination) / cos(h), its azimuth by at most (|sin(latitude)|
  // cos^2(declination) + cos(latitude) |sin(declination)| cos(declination)) / cos^2(h), h the
  // steepest elevation of the hours looked at, and the skyline by its steepest slope times that.
  // Within |clearance| / rate of a known clearance its sign holds: the steps there are passed
  // over, and the spans come out as a look at every step gives them.
  const double steepestRad = std::max(std::abs(lowDeg), std::abs(highDeg)) * kRadPerDeg;
  const double cosSteepest = std::cos(steepestRad);
  const double elevationRate = site.cosLatitude * day.cosDeclination / cosSteepest;
  const double azimuthRate =
      (std::abs(site.sinLatitude) * day.cosDeclination * day.cosDeclination +
       site.cosLatitude * std::abs(day.sinDeclination) * day.cosDeclination) /
      (cosSteepest * cosSteepest);
  const double rateDegPerRad =
      steepestRad < 80.0 * kRadPerDeg
          ? (elevationRate + horizon.steepestSlope * azimuthRate) / kRadPerDeg
          : HUGE_VAL;
  // A margin for the rounding of the clearance and of the bound itself.
  const auto signHoldsWithin = [rateDegPerRad](double g) {
    return (std::abs(g) * (1.0 - 1e-6) - 1e-9) / rateDegPerRad;
  };
  // Scans [from, to]: the spans in which the sun clears its skyline.
  const auto scan = [&](double from, double to) {
    const auto steps = static_cast<int>(std::ceil((to - from) / kStepRad));
    if (steps <= 0) {
      return;
    }
    const double step = (to - from) / steps;
    const auto at = [&](int i) { return i == steps ? to : from + step * i; };
    int known = 0;  // the last step whose clearance was worked out
    double gKnown = clearance(from);
    double openW = from;
    for (int i = 1; i <= steps; ++i) {
      const double reachW = at(known) + signHoldsWithin(gKnown);
      while (i <= steps && at(i) < reachW) {
        ++i;
      }
      if (i > steps) {
        break;
      }
      const double w = at(i);
      const double g = clearance(w);
      if ((g > 0.0) != (gKnown > 0.0)) {
        const double before = at(i - 1);
        const double gBefore = known == i - 1 ? gKnown : clearance(before);
        const double crossed = crossing(before, gBefore, w, g);
        if (gKnown > 0.0) {
          addSpan(spans, hours(openW), hours(crossed));
        }
        openW = crossed;
      }
      known = i;
      gKnown = g;
    }
    if (gKnown > 0.0) {
      addSpan(spans, hours(openW), hours(to));
    }
  };
  scan(-*lowW, -highW);
  if (highW > 0.0) {
    addSpan(spans, hours(-highW), hours(highW));
  }
  scan(highW, *lowW);
  return spans;
}

double spansWithin(const DaySpans& spans, double fromH, double toH) {
  double hours = 0.0;
  for (std::size_t i = 0; i < spans.count; ++i) {
    hours += lightWithin(spans.spans[i], fromH, toH);
  }
  return hours;
}

double spansShared(const DaySpans& spans, const DaySpans& before, double fromH, double toH) {
  double hours = 0.0;
  for (std::size_t i = 0; i < spans.count; ++i) {
    for (std::size_t j = 0; j < before.count; ++j) {
      hours += lightShared(spans.spans[i], before.spans[j], fromH, toH);
    }
  }
  return hours;
}

}  // namespace kelvarin
