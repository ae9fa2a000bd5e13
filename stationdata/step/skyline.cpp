#include "step/skyline.hpp"

#include <algorithm>  // std::min, std::max
#include <cmath>
#include <optional>

namespace kelvarin {

namespace {

constexpr double kRadPerDeg = 3.14159265358979323846 / 180.0;
constexpr double kPiRad = 3.14159265358979323846;
constexpr double kDegPerRad = 180.0 / 3.14159265358979323846;
// How closely a crossing of the skyline is placed: 1e-7 radians of hour angle, under 2 ms.
constexpr double kSettledRad = 1e-7;

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
  // How far (degrees) the sun stands above what it must clear at an hour angle, and how fast
  // that changes (degrees per radian of hour angle).
  struct Clearance {
    double deg;
    double slope;
  };
  // Returns the clearance at hour angle `w`: above the larger of the elevation and the skyline
  // at the sun's azimuth.
  Clearance clearance(double w, double elevationDeg, const HorizonProfile& horizon,
                      double offsetDeg) const {
    const double cosW = std::cos(w);
    const double sinW = std::sin(w);
    const double sinElevation = sinLatitude * sinDeclination + cosLatitude * cosDeclination * cosW;
    const double sunDeg = std::asin(std::clamp(sinElevation, -1.0, 1.0)) * kDegPerRad;
    // The sun's direction along the ground, from south towards west: its azimuth clockwise from
    // north is 180 degrees on from that.
    const double west = sinW * cosDeclination;
    const double south = sinLatitude * cosW * cosDeclination - cosLatitude * sinDeclination;
    const double azimuthDeg = 180.0 + std::atan2(west, south) * kDegPerRad;
    const HorizonProfile::Sight sight = horizon.sightAt(azimuthDeg);
    // How fast the sun rises and turns: d(elevation)/dw = -cos(lat) cos(decl) sin(w) / cos(h),
    // d(azimuth)/dw = (south d(west) - west d(south)) / cos^2(h), cos^2(h) = west^2 + south^2.
    const double groundSquared = west * west + south * south;
    const double rises = -cosLatitude * cosDeclination * sinW / std::sqrt(groundSquared);
    const double turns =
        (south * cosW * cosDeclination + west * sinLatitude * sinW * cosDeclination) /
        groundSquared;
    const double skylineDeg = sight.elevationDeg + offsetDeg;
    if (skylineDeg > elevationDeg) {
      return {sunDeg - skylineDeg, (rises - sight.slope * turns) * kDegPerRad};
    }
    return {sunDeg - elevationDeg, rises * kDegPerRad};
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
  // A step of two degrees of hour angle (8 minutes), and each crossing found between two steps.
  constexpr double kStepRad = 2.0 * kRadPerDeg;
  // The crossing within [lo, hi], where the clearance keeps one sign up to lo (`gLo` there, or
  // infinite where not looked at) and has the other at hi (`atHi`): Newton's method kept within
  // the bracket, from the secant of its ends where both are known, else from hi. Where Newton
  // leaves the bracket, or has not settled in a few rounds (at a corner of the skyline), the
  // bracket's middle is taken instead, so that every crossing settles.
  const auto crossing = [&](double lo, double gLo, double hi, DaySky::Clearance atHi) {
    constexpr int kNewtonRounds = 8;
    const bool upAtHi = atHi.deg > 0.0;
    double gHi = atHi.deg;
    double w = gLo == HUGE_VAL ? hi - atHi.deg / atHi.slope : hi - gHi * (hi - lo) / (gHi - gLo);
    for (int round = 0; hi - lo > kSettledRad; ++round) {
      if (!(w > lo && w < hi) || round >= kNewtonRounds) {
        w = 0.5 * (lo + hi);
      }
      const DaySky::Clearance c = clearance(w);
      if ((c.deg > 0.0) == upAtHi) {
        hi = w;
        gHi = c.deg;
      } else {
        lo = w;
        gLo = c.deg;
      }
      double next = w - c.deg / c.slope;
      if (std::abs(next - w) < 0.5 * kSettledRad) {
        // Newton has settled: on a root within the bracket, else a step just past the root
        // closes it.
        if (next > lo && next < hi) {
          return next;
        }
        next = w + std::copysign(0.5 * kSettledRad, next - w);
      }
      w = next;
    }
    return std::abs(gLo) < std::abs(gHi) ? lo : hi;
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
    double gKnown = clearance(from).deg;
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
      const DaySky::Clearance c = clearance(w);
      if ((c.deg > 0.0) != (gKnown > 0.0)) {
        // The sign held up to the step before, and on to reachW.
        const double crossed =
            known == i - 1 ? crossing(at(i - 1), gKnown, w, c)
                           : crossing(std::max(at(i - 1), std::min(reachW, w)), HUGE_VAL, w, c);
        if (gKnown > 0.0) {
          addSpan(spans, hours(openW), hours(crossed));
        }
        openW = crossed;
      }
      known = i;
      gKnown = c.deg;
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
