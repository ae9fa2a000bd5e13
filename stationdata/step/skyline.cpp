#include "step/skyline.hpp"

#include <algorithm>  // std::min, std::max
#include <cmath>

namespace kelvarin {

namespace {

constexpr double kRadPerDeg = 3.14159265358979323846 / 180.0;
constexpr double kPiRad = 3.14159265358979323846;
// The most sky (radians of azimuth and elevation) between two points at which the declination's
// rate is looked at, to cut the skyline where the declination turns: two turns closer than this
// may be passed over, and with them a sliver of sky narrower than that.
constexpr double kTurnsRad = 2.0 * kRadPerDeg;
// The most sky between two points a sloped piece keeps: the first guess of a crossing, from the
// two about it, is then within about 1e-4 of the sky, and two rounds of Newton's method settle it.
constexpr double kPointRad = 3.0 * kRadPerDeg;
// A crossing is settled when Newton's step falls under this (radians of sky): the step is then
// carried into the hour angle by its rate, and what is left of it is about its square, under
// 1e-12 rad (50 ns). From the secant of two points 3 degrees apart the second step is of the
// order of 1e-7, so most crossings settle at the second point looked at.
constexpr double kSettledRad = 1e-6;

// A stretch of what the sun must clear, linear in azimuth and elevation (radians): a piece, or a
// segment of the skyline before it is cut into pieces.
struct Stretch {
  double azimuthRad;
  double alongRad;
  double elevationRad;
  double riseRad;
  bool atElevation;  // the run's elevation, where the skyline lies below it
  double lengthRad() const { return std::abs(alongRad) + std::abs(riseRad); }
};

// The sine of the declination a star at point `p` has.
double sinDeclinationOf(const SiteSkyline::Point& p, double sinLat, double cosLat) {
  return sinLat * p.sinE + cosLat * p.cosE * p.cosA;
}

// Where a star at point `p` stands about the pole: cos(decl) sin(w) to the west, cos(decl)
// cos(w) along the meridian, w its hour angle.
struct Bearing {
  double west;
  double meridian;
};
Bearing bearingOf(const SiteSkyline::Point& p, double sinLat, double cosLat) {
  return {-p.cosE * p.sinA, cosLat * p.sinE - sinLat * p.cosE * p.cosA};
}

// A point of a stretch, `t` of the way along it.
SiteSkyline::Point pointOf(const Stretch& s, double t, double sinLat, double cosLat) {
  const double a = s.azimuthRad + t * s.alongRad;
  const double e = s.elevationRad + t * s.riseRad;
  SiteSkyline::Point p{0.0, std::sin(e), std::cos(e), std::sin(a), std::cos(a), 0.0};
  p.sinDeclination = sinDeclinationOf(p, sinLat, cosLat);
  return p;
}

// A step of azimuth and elevation by its sines and cosines, from point to point.
struct AngleStep {
  double sinDa = 0.0;
  double cosDa = 1.0;
  double sinDe = 0.0;
  double cosDe = 1.0;
};

// The `n`th part of stretch `s`, as a step.
AngleStep stepAlong(const Stretch& s, int n) {
  return {std::sin(s.alongRad / n), std::cos(s.alongRad / n), std::sin(s.riseRad / n),
          std::cos(s.riseRad / n)};
}

// The point on from `p` by `angles`, by the angle sums; its declination and hour angle are left to
// the caller.
SiteSkyline::Point turnedOn(const SiteSkyline::Point& p, const AngleStep& angles) {
  return {0.0,
          p.sinE * angles.cosDe + p.cosE * angles.sinDe,
          p.cosE * angles.cosDe - p.sinE * angles.sinDe,
          p.sinA * angles.cosDa + p.cosA * angles.sinDa,
          p.cosA * angles.cosDa - p.sinA * angles.sinDa,
          0.0};
}

// Gives a point its declination and its hour angle, where a piece keeps it.
SiteSkyline::Point kept(SiteSkyline::Point p, double sinLat, double cosLat) {
  p.sinDeclination = sinDeclinationOf(p, sinLat, cosLat);
  const Bearing b = bearingOf(p, sinLat, cosLat);
  p.hourAngleRad = std::atan2(b.west, b.meridian);
  return p;
}

// How the sine of the declination changes along a stretch of `along` azimuth and `rise`
// elevation, at a point of it.
double rateOf(const SiteSkyline::Point& p, double along, double rise, double sinLat,
              double cosLat) {
  return rise * (sinLat * p.cosE - cosLat * p.sinE * p.cosA) - along * cosLat * p.cosE * p.sinA;
}

double rateAt(const Stretch& s, double t, double sinLat, double cosLat) {
  return rateOf(pointOf(s, t, sinLat, cosLat), s.alongRad, s.riseRad, sinLat, cosLat);
}

// The sine and cosine of an angle of a few degrees, by their series: the terms left off lie
// below 1e-19 up to a tenth of a radian. A crossing is settled from the nearest point of its
// piece, whose sines and cosines are kept, by the angle on from it: the series take that angle
// in a tenth of the time the library takes a whole one, and the angle sum the rest.
void smallSinCos(double x, double& sine, double& cosine) {
  const double x2 = x * x;
  sine =
      x *
      (1.0 + x2 * (-1.0 / 6.0 + x2 * (1.0 / 120.0 + x2 * (-1.0 / 5040.0 + x2 * (1.0 / 362880.0)))));
  cosine =
      1.0 + x2 * (-0.5 + x2 * (1.0 / 24.0 + x2 * (-1.0 / 720.0 +
                                                  x2 * (1.0 / 40320.0 + x2 * (-1.0 / 3628800.0)))));
}

// The arc tangent of a small ratio, by its series: the terms left off lie below 1e-18 up to a
// tenth. A crossing's hour angle is its nearest point's, kept, and the small turn on from it.
double smallAtan(double x) {
  const double x2 = x * x;
  return x *
         (1.0 +
          x2 * (-1.0 / 3.0 +
                x2 * (1.0 / 5.0 +
                      x2 * (-1.0 / 7.0 +
                            x2 * (1.0 / 9.0 +
                                  x2 * (-1.0 / 11.0 + x2 * (1.0 / 13.0 + x2 * (-1.0 / 15.0))))))));
}

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

// The stretches of what the sun must clear, in order of azimuth from the first point round the
// circle: the skyline raised by the offset, and the run's elevation where that stands above it,
// its stretches joined.
std::vector<Stretch> clearedStretches(const HorizonProfile& horizon, double elevationDeg,
                                      double offsetDeg) {
  struct Degrees {
    double fromA, toA, fromE, toE;
  };
  std::vector<Degrees> degrees;
  const double h = elevationDeg;
  const auto add = [&](double fromA, double toA, double fromE, double toE) {
    if (fromA == toA && fromE == toE) {
      return;
    }
    if (fromE == h && toE == h && !degrees.empty() && degrees.back().fromE == h &&
        degrees.back().toE == h && degrees.back().toA == fromA) {
      degrees.back().toA = toA;
      return;
    }
    degrees.push_back({fromA, toA, fromE, toE});
  };
  const std::vector<HorizonPoint>& points = horizon.points;
  for (std::size_t k = 0; k < points.size(); ++k) {
    const HorizonPoint& from = points[k];
    const HorizonPoint& to = points[(k + 1) % points.size()];
    const double fromA = from.azimuthDeg;
    const double toA = to.azimuthDeg + (k + 1 == points.size() ? 360.0 : 0.0);
    const double fromE = from.elevationDeg + offsetDeg;
    const double toE = to.elevationDeg + offsetDeg;
    if (fromE >= h && toE >= h) {
      add(fromA, toA, fromE, toE);
    } else if (fromE <= h && toE <= h) {
      add(fromA, toA, h, h);
    } else {
      // The skyline passes the elevation: the stretch below it is the elevation's.
      const double meetA = fromA + (h - fromE) / (toE - fromE) * (toA - fromA);
      add(fromA, meetA, std::max(fromE, h), h);
      add(meetA, toA, h, std::max(toE, h));
    }
  }
  // A wall of no width hides the sun for no time: the walls of one azimuth (through north too)
  // are one, from the elevation before them to the one after.
  const auto wall = [](const Degrees& d) { return d.fromA == d.toA; };
  const auto sameAzimuth = [](double a, double b) { return a == b || std::abs(a - b) == 360.0; };
  std::vector<Degrees> joined;
  for (const Degrees& d : degrees) {
    if (!joined.empty() && wall(d) && wall(joined.back()) &&
        sameAzimuth(d.fromA, joined.back().fromA)) {
      joined.back().toE = d.toE;
    } else {
      joined.push_back(d);
    }
  }
  if (joined.size() > 1 && wall(joined.front()) && wall(joined.back()) &&
      sameAzimuth(joined.front().fromA, joined.back().fromA)) {
    joined.back().toE = joined.front().toE;
    joined.erase(joined.begin());
  }
  std::erase_if(joined, [&](const Degrees& d) { return wall(d) && d.fromE == d.toE; });
  std::vector<Stretch> stretches;
  for (const Degrees& d : joined) {
    stretches.push_back({d.fromA * kRadPerDeg, (d.toA - d.fromA) * kRadPerDeg, d.fromE * kRadPerDeg,
                         (d.toE - d.fromE) * kRadPerDeg, d.fromE == h && d.toE == h});
  }
  return stretches;
}

// The points (fractions of the stretch) between 0 and 1 at which the declination along `s`
// turns, found where its rate changes sign between points kTurnsRad apart.
std::vector<double> turnsOf(const Stretch& s, double sinLat, double cosLat) {
  std::vector<double> turns;
  const int points = std::max(1, static_cast<int>(std::ceil(s.lengthRad() / kTurnsRad)));
  // Only the sign of the rate is looked at on the way: each point is turned on from the one
  // before by the angle sum, not worked out anew (its rounding grows by about 1e-16 a point); the
  // halving that places a turn works its points out.
  SiteSkyline::Point at = pointOf(s, 0.0, sinLat, cosLat);
  const AngleStep angles = stepAlong(s, points);
  double lo = 0.0;
  bool riseLo = rateOf(at, s.alongRad, s.riseRad, sinLat, cosLat) > 0.0;
  for (int j = 1; j <= points; ++j) {
    const double hi = static_cast<double>(j) / points;
    at = turnedOn(at, angles);
    const bool riseHi = rateOf(at, s.alongRad, s.riseRad, sinLat, cosLat) > 0.0;
    if (riseHi != riseLo) {
      double a = lo;
      double b = hi;
      // Thirty-two halvings place the turn within 1e-9 of the stretch: what the declination
      // does on the wrong side of it is of the order of the square of that.
      for (int round = 0; round < 32; ++round) {
        const double middle = 0.5 * (a + b);
        ((rateAt(s, middle, sinLat, cosLat) > 0.0) == riseLo ? a : b) = middle;
      }
      const double turn = 0.5 * (a + b);
      if (turn > 0.0 && turn < 1.0) {
        turns.push_back(turn);
      }
    }
    lo = hi;
    riseLo = riseHi;
  }
  return turns;
}

// The part of `s` from `from` to `to` (fractions of it), as a stretch of its own.
Stretch partOf(const Stretch& s, double from, double to) {
  return {s.azimuthRad + from * s.alongRad, (to - from) * s.alongRad,
          s.elevationRad + from * s.riseRad, (to - from) * s.riseRad, s.atElevation};
}

}  // namespace

SiteSkyline siteSkyline(const ModelSite& site, double elevationDeg, const HorizonProfile& horizon,
                        double skylineOffsetDeg, std::pmr::memory_resource* memory) {
  SiteSkyline sky(memory);
  sky.sinLatitude = site.sinLatitude;
  sky.cosLatitude = site.cosLatitude;
  sky.sinElevation = std::sin(elevationDeg * kRadPerDeg);
  const double lowDeg = std::max(elevationDeg, horizon.lowestDeg + skylineOffsetDeg);
  const double highDeg = std::max(elevationDeg, horizon.highestDeg + skylineOffsetDeg);
  sky.sinLowest = std::sin(lowDeg * kRadPerDeg);
  sky.sinHighest = std::sin(highDeg * kRadPerDeg);
  sky.flat = !(highDeg > lowDeg);
  if (sky.flat) {
    return sky;
  }
  const auto clearAt = [&](double azimuthDeg) {
    return std::sin(std::max(elevationDeg, horizon.elevationAt(azimuthDeg) + skylineOffsetDeg) *
                    kRadPerDeg);
  };
  sky.sinNorth = clearAt(0.0);
  sky.sinSouth = clearAt(180.0);
  const double sinLat = site.sinLatitude;
  const double cosLat = site.cosLatitude;
  // Each stretch cut where its declination turns; the sine at each cut is worked out once, so
  // that the pieces on either side of it agree on which holds a crossing there.
  struct Part {
    Stretch stretch;
    double firstSin;
  };
  std::vector<Part> parts;
  for (const Stretch& s : clearedStretches(horizon, elevationDeg, skylineOffsetDeg)) {
    double from = 0.0;
    for (const double turn : turnsOf(s, sinLat, cosLat)) {
      parts.push_back({partOf(s, from, turn), pointOf(s, from, sinLat, cosLat).sinDeclination});
      from = turn;
    }
    parts.push_back({partOf(s, from, 1.0), pointOf(s, from, sinLat, cosLat).sinDeclination});
  }
  // A sloped piece's intervals between points; the tables take their whole room at once, as
  // they are kept to the end of the run.
  const auto intervalsOf = [](const Stretch& s) {
    return static_cast<std::uint16_t>(
        std::clamp(std::ceil(s.lengthRad() / kPointRad), 1.0, 65535.0));
  };
  // A sloped piece's last point is the first of the piece after it, where that is sloped and
  // follows in the table; else it is a point of its own.
  const auto sharesItsEnd = [&parts](std::size_t p) {
    return p + 1 < parts.size() && !parts[p + 1].stretch.atElevation;
  };
  std::size_t pointCount = 0;
  for (std::size_t p = 0; p < parts.size(); ++p) {
    if (!parts[p].stretch.atElevation) {
      pointCount += intervalsOf(parts[p].stretch) + (sharesItsEnd(p) ? 0 : std::size_t{1});
    }
  }
  sky.pieces.reserve(parts.size());
  sky.sines.reserve(parts.size() + 1);
  sky.points.reserve(pointCount);
  for (std::size_t p = 0; p < parts.size(); ++p) {
    const Stretch& s = parts[p].stretch;
    const double firstSin = parts[p].firstSin;
    const double lastSin = parts[(p + 1) % parts.size()].firstSin;
    SiteSkyline::Piece piece{s.alongRad, s.riseRad, 0, 0, SiteSkyline::Kind::kSloped};
    sky.sines.push_back(firstSin);
    if (s.atElevation) {
      // East of the meridian (an azimuth of 0 to 180 degrees) the sun climbs through it.
      piece.kind = std::sin(s.azimuthRad + 0.5 * s.alongRad) > 0.0 ? SiteSkyline::Kind::kMorning
                                                                   : SiteSkyline::Kind::kEvening;
    } else {
      piece.intervals = intervalsOf(s);
      piece.firstPoint = static_cast<std::uint32_t>(sky.points.size());
      // Each point turned on from the one before, as the crossings are from their points:
      // their rounding grows by about 1e-16 a point, a few hundred of which make a whole turn.
      const AngleStep angles = stepAlong(s, piece.intervals);
      SiteSkyline::Point at = pointOf(s, 0.0, sinLat, cosLat);
      for (std::uint16_t i = 0; i < piece.intervals; ++i) {
        sky.points.push_back(kept(at, sinLat, cosLat));
        at = turnedOn(at, angles);
      }
      sky.points[piece.firstPoint].sinDeclination = firstSin;
      if (!sharesItsEnd(p)) {
        sky.points.push_back(kept(pointOf(s, 1.0, sinLat, cosLat), sinLat, cosLat));
        sky.points.back().sinDeclination = lastSin;
      }
    }
    sky.pieces.push_back(piece);
  }
  sky.sines.push_back(sky.sines.front());
  return sky;
}

namespace {

// Where the sun crosses what it must clear: its hour angle, and whether it comes out above.
struct Crossing {
  double hourAngleRad;
  bool rises;
};

// Returns where the sun of declination sine `y` crosses `piece`, sloped, whose ends' sines lie
// on either side of y: Newton's method within the two points about y, from their secant, the
// middle taken where it leaves them.
Crossing crossingOf(const SiteSkyline& sky, const SiteSkyline::Piece& piece, double y) {
  const SiteSkyline::Point* points = sky.points.data() + piece.firstPoint;
  std::uint16_t i = 0;
  while (i + 1 < piece.intervals &&
         (points[i + 1].sinDeclination > y) == (points[0].sinDeclination > y)) {
    ++i;
  }
  const SiteSkyline::Point& from = points[i];
  const double along = piece.alongRad / piece.intervals;
  const double rise = piece.riseRad / piece.intervals;
  const double sinLat = sky.sinLatitude;
  const double cosLat = sky.cosLatitude;
  // The point `v` of the way from `from` to the next.
  const auto pointAt = [&](double v) {
    AngleStep angles;
    smallSinCos(v * along, angles.sinDa, angles.cosDa);
    smallSinCos(v * rise, angles.sinDe, angles.cosDe);
    SiteSkyline::Point p = turnedOn(from, angles);
    p.sinDeclination = sinDeclinationOf(p, sinLat, cosLat);
    return p;
  };
  const bool aboveAtHi = points[i + 1].sinDeclination > y;
  const double gLo = from.sinDeclination - y;
  const double gHi = points[i + 1].sinDeclination - y;
  double lo = 0.0;
  double hi = 1.0;
  double v = gLo / (gLo - gHi);
  const double settled = kSettledRad / std::max(std::abs(along) + std::abs(rise), 1e-300);
  double step = 0.0;
  SiteSkyline::Point at = pointAt(v);
  for (int round = 0; round < 100; ++round) {
    const double g = at.sinDeclination - y;
    ((g > 0.0) == aboveAtHi ? hi : lo) = v;
    step = g == 0.0 ? 0.0 : -g / rateOf(at, along, rise, sinLat, cosLat);
    if (std::abs(step) < settled) {
      break;
    }
    double next = v + step;
    step = 0.0;  // taken
    if (!(hi - lo > 1e-15)) {
      break;
    }
    if (!(next > lo && next < hi)) {
      next = 0.5 * (lo + hi);
    }
    v = next;
    at = pointAt(v);
  }
  // The sun's hour angle at the point, where a star of its declination stands there:
  // cos(decl) sin(w) = west, cos(decl) cos(w) = along the point's meridian.
  const auto [west, meridian] = bearingOf(at, sinLat, cosLat);
  const double south = -at.cosE * at.cosA;
  // Turned on from the point's own hour angle: through the small angle between the two where
  // that is small, as it is but near the celestial poles.
  const Bearing fromBearing = bearingOf(from, sinLat, cosLat);
  const double turnCross = fromBearing.meridian * west - fromBearing.west * meridian;
  const double turnDot = fromBearing.meridian * meridian + fromBearing.west * west;
  double w = 0.0;
  if (turnDot > 0.0 && std::abs(turnCross) <= 0.1 * turnDot) {
    w = from.hourAngleRad + smallAtan(turnCross / turnDot);
    if (w > kPiRad) {
      w -= 2.0 * kPiRad;
    } else if (w < -kPiRad) {
      w += 2.0 * kPiRad;
    }
  } else {
    w = std::atan2(west, meridian);
  }
  if (step != 0.0) {
    // Newton's last step, taken into the hour angle by its rate along the piece.
    const double westRate = rise * at.sinE * at.sinA - along * at.cosE * at.cosA;
    const double meridianRate =
        rise * (cosLat * at.cosE + sinLat * at.sinE * at.cosA) + along * sinLat * at.cosE * at.sinA;
    w += step * (meridian * westRate - west * meridianRate) / (meridian * meridian + west * west);
    w = std::clamp(w, -kPiRad, kPiRad);
  }
  // The sun comes out above where it moves to the upper side of the piece: its rise, less its
  // turn times the piece's slope, times cos^2 of its elevation (d(elevation)/dw = -cos(lat)
  // west / cos(h), d(azimuth)/dw = (south meridian + sin(lat) west^2) / cos^2(h)).
  const double rising =
      -cosLat * west * at.cosE * along - (south * meridian + sinLat * west * west) * rise;
  return {w, rising > 0.0};
}

// The crossings of a day: a few, held without the heap unless a skyline gives more.
class Crossings {
 public:
  void add(Crossing c) {
    if (count_ < local_.size()) {
      local_[count_++] = c;
      return;
    }
    if (more_.empty()) {
      more_.assign(local_.begin(), local_.end());
    }
    more_.push_back(c);
    ++count_;
  }
  // Puts them in order of hour angle and returns the first.
  Crossing* sorted() {
    Crossing* first = more_.empty() ? local_.data() : more_.data();
    std::sort(first, first + count_,
              [](const Crossing& a, const Crossing& b) { return a.hourAngleRad < b.hourAngleRad; });
    return first;
  }
  std::size_t size() const { return count_; }

 private:
  std::array<Crossing, 32> local_;  // written before read
  std::vector<Crossing> more_;
  std::size_t count_ = 0;
};

// The spans of `day` behind `sky`, whose sloped and flat pieces the day's sun may cross are
// `candidates` (in order, each looked at again): the others lie wholly above or below its path.
DaySpans spansAmong(const ModelSunDay& day, const ModelSite& site, const SiteSkyline& sky,
                    const std::uint32_t* candidates, std::size_t candidateCount) {
  DaySpans spans;
  if (!day.valid) {
    addSpan(spans, 0.0, 24.0);
    return spans;
  }
  const double noonH = modelNoonH(day, site);
  const auto hours = [noonH](double w) { return noonH + w / kRadPerDeg / 15.0; };
  // The hour angle's cosine where the sun stands at the lowest and the highest it must clear:
  // below the one it is down, above the other up whatever its azimuth.
  const double base = sky.sinLatitude * day.sinDeclination;
  const double across = sky.cosLatitude * day.cosDeclination;
  const double cosLow = (sky.sinLowest - base) / across;
  if (cosLow >= 1.0) {
    return spans;
  }
  const double cosHigh = (sky.sinHighest - base) / across;
  if (!(cosHigh > -1.0)) {
    addSpan(spans, 0.0, 24.0);  // above every skyline all day: light from midnight to midnight
    return spans;
  }
  if (sky.flat) {
    const double w = !(cosLow > -1.0) ? kPiRad : std::acos(cosLow);
    addSpan(spans, hours(-w), hours(w));
    return spans;
  }
  Crossings crossings;
  const double y = day.sinDeclination;
  double flatW = -1.0;  // the flat sunset's hour angle, once a piece at the elevation needs it
  const double* sines = sky.sines.data();
  for (std::size_t c = 0; c < candidateCount; ++c) {
    const std::size_t p = candidates[c];
    if ((sines[p] > y) == (sines[p + 1] > y)) {
      continue;
    }
    const SiteSkyline::Piece& piece = sky.pieces[p];
    if (piece.kind == SiteSkyline::Kind::kSloped) {
      crossings.add(crossingOf(sky, piece, y));
      continue;
    }
    if (flatW < 0.0) {
      flatW = std::acos(std::clamp((sky.sinElevation - base) / across, -1.0, 1.0));
    }
    const bool morning = piece.kind == SiteSkyline::Kind::kMorning;
    crossings.add({morning ? -flatW : flatW, morning});
  }
  // At its midnight the sun stands due north or due south, as low as it goes.
  const bool northAtMidnight =
      sky.sinLatitude * day.cosDeclination + sky.cosLatitude * day.sinDeclination > 0.0;
  bool up = base - across > (northAtMidnight ? sky.sinNorth : sky.sinSouth);
  double openW = -kPiRad;
  const Crossing* sorted = crossings.sorted();
  for (std::size_t i = 0; i < crossings.size(); ++i) {
    // Where the sun grazes the skyline, its coming out and going behind lie so close that
    // rounding may put them the wrong way round: such a pair is passed over, as it lights or
    // shades no more than a few microseconds.
    constexpr double kSameRad = 1e-9;
    if (sorted[i].rises == up && i + 1 < crossings.size() && sorted[i + 1].rises != up &&
        sorted[i + 1].hourAngleRad - sorted[i].hourAngleRad < kSameRad) {
      ++i;
      continue;
    }
    const Crossing& c = sorted[i];
    if (c.rises && !up) {
      openW = c.hourAngleRad;
      up = true;
    } else if (!c.rises && up) {
      addSpan(spans, hours(openW), hours(c.hourAngleRad));
      up = false;
    }
  }
  if (up) {
    addSpan(spans, hours(openW), hours(kPiRad));
  }
  return spans;
}

}  // namespace

void skylineSpansOfDays(const ModelSunDay* days, std::size_t count, const ModelSite& site,
                        const SiteSkyline& sky, DaySpans* spans) {
  // The declinations of the days, a fortnight's within a few degrees: only the pieces whose
  // ends' sines reach into them can be crossed on one of the days.
  double lowest = 1.0;
  double highest = -1.0;
  for (std::size_t k = 0; k < count; ++k) {
    if (days[k].valid) {
      lowest = std::min(lowest, days[k].sinDeclination);
      highest = std::max(highest, days[k].sinDeclination);
    }
  }
  std::vector<std::uint32_t> candidates;
  const double* sines = sky.sines.data();
  for (std::size_t p = 0; p < sky.pieces.size(); ++p) {
    if (std::min(sines[p], sines[p + 1]) <= highest && std::max(sines[p], sines[p + 1]) > lowest) {
      candidates.push_back(static_cast<std::uint32_t>(p));
    }
  }
  for (std::size_t k = 0; k < count; ++k) {
    spans[k] = spansAmong(days[k], site, sky, candidates.data(), candidates.size());
  }
}

DaySpans skylineSpans(const ModelSunDay& day, const ModelSite& site, const SiteSkyline& sky) {
  DaySpans spans;
  skylineSpansOfDays(&day, 1, site, sky, &spans);
  return spans;
}

DaySpans skylineSpans(const ModelSunDay& day, const ModelSite& site, double elevationDeg,
                      const HorizonProfile& horizon, double skylineOffsetDeg) {
  return skylineSpans(day, site, siteSkyline(site, elevationDeg, horizon, skylineOffsetDeg));
}

double spansShared(SpanList spans, SpanList before, double fromH, double toH) {
  double hours = 0.0;
  for (std::size_t i = 0; i < spans.count; ++i) {
    for (std::size_t j = 0; j < before.count; ++j) {
      hours += lightShared(spans.first[i], before.first[j], fromH, toH);
    }
  }
  return hours;
}

}  // namespace kelvarin
