// Random station files against a plain reference that works out each record's possible sunshine
// on its own (the union of every day's sunrise-to-sunset as it falls on the zone's timeline,
// before midnight or past it, with a calendar of its own) and sums them per step: steps of hours,
// days, weeks, dekads, months, years and ten years, at places from -70 to 70 degrees up to 23
// hours east and west of their meridian, across the date line both ways, with values missing by
// night and by day.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "captured_run.hpp"
#include "reading/header_pass.hpp"
#include "step/step_loop.hpp"

namespace kelvarin {
namespace {

// Days from 1970-01-01 of a date on the proleptic Gregorian calendar (H. Hinnant's formulas).
std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

struct Date {
  int year;
  int month;
  int day;
};

Date civilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return {static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0)), m, d};
}

struct Setting {
  float latitudeDeg;
  float longitudeDeg;
  float meridianDeg;
  float shiftH;
  int inputStepMin;
  int outputStepMin;  // 0 with a calendar period
  CalendarPeriod period;
  double coverage;
  std::int64_t firstDay = -1;  // of the file, from 1970-01-01; -1: a random one
  PossibleSunshine possible{};
};

// The daylight of local day `z`, in hours from its midnight: from sunrise to sunset as the model
// gives them, before 0 or past 24 where they fall there; 0 to 24 where the sun does not set,
// nothing where it does not rise (the latitude and the declination on opposite sides of the
// equator).
std::pair<double, double> daylightOf(const Setting& s, std::int64_t z) {
  if (s.possible.model != SunModel::kClassic || s.possible.elevationDeg) {
    const SunSpan span =
        modelSunSpan(s.possible.model, z,
                     {static_cast<double>(s.latitudeDeg), static_cast<double>(s.longitudeDeg),
                      static_cast<double>(s.meridianDeg)},
                     s.possible.elevationDeg.value_or(defaultSunElevationDeg(s.possible.model)));
    return {span.fromH, std::max(span.fromH, span.toH)};
  }
  const Date date = civilFromDays(z);
  const SunTimes sun =
      *sunriseSunset(date.day, date.month, s.latitudeDeg, s.longitudeDeg, s.meridianDeg);
  if (sun.sunriseH == -1.0 && sun.sunsetH == -1.0) {
    const bool night =
        static_cast<double>(s.latitudeDeg) * solarDeclinationDeg(date.day, date.month) < 0.0;
    return night ? std::make_pair(0.0, 0.0) : std::make_pair(0.0, 24.0);
  }
  return {sun.sunriseH, sun.sunsetH};
}

// The possible sunshine of a record ending `endMin` minutes (stored clock) after 1970-01-01, in
// hours: the days' daylight around it, sorted and merged, within the record's interval.
double recordPossibleH(const Setting& s, double endMin) {
  const double endH = endMin / 60.0 + static_cast<double>(s.shiftH);
  const double startH = endH - s.inputStepMin / 60.0;
  std::vector<std::pair<double, double>> lit;
  for (auto z = static_cast<std::int64_t>(std::floor(startH / 24.0)) - 3;
       static_cast<double>(z) * 24.0 < endH + 48.0; ++z) {
    const auto [from, to] = daylightOf(s, z);
    const double dayStart = static_cast<double>(z) * 24.0;
    if (to > from) {
      lit.emplace_back(dayStart + from, dayStart + to);
    }
  }
  std::sort(lit.begin(), lit.end());
  double hours = 0.0;
  double litUntilH = -1e300;
  for (const auto& [from, to] : lit) {
    const double litFromH = std::max(from, litUntilH);
    hours += std::max(0.0, std::min(endH, to) - std::max(startH, litFromH));
    litUntilH = std::max(litUntilH, to);
  }
  return hours;
}

struct Record {
  double endMin;  // stored clock
  Date date;
  int hour;
  std::vector<double> values;  // minutes; -999 missing
};

constexpr double kMissing = -999.0;

// What the reference expects of a step: its last record's stamp and each column's result.
struct Expected {
  const Record* last;
  std::vector<double> results;  // kMissingValue for a missing step
  bool doubtful = false;        // at a threshold, where rounding may go either way
};

Expected expectStep(const Setting& s, const std::vector<const Record*>& present,
                    const std::vector<double>& absentEnds, double stepH, std::size_t columns) {
  Expected e{present.back(), {}};
  double possibleH = 0.0;
  std::vector<double> missingH(columns, 0.0);
  std::vector<double> sums(columns, 0.0);
  for (const double end : absentEnds) {
    const double h = recordPossibleH(s, end);
    possibleH += h;
    for (double& m : missingH) {
      m += h;
    }
  }
  for (const Record* r : present) {
    const double h = recordPossibleH(s, r->endMin);
    possibleH += h;
    for (std::size_t c = 0; c < columns; ++c) {
      if (r->values[c] == kMissing) {
        missingH[c] += h;
      } else {
        sums[c] += r->values[c];
      }
    }
  }
  // The night rule is for the hours sunrise and sunset cut: a longer step is night only where
  // it holds no daylight at all.
  const double night = (stepH - possibleH) / stepH;
  const bool dark = stepH <= 24.0 ? night > 0.95 : possibleH < 1e-9;
  e.doubtful |= stepH <= 24.0 ? std::fabs(night - 0.95) < 1e-7 : std::fabs(possibleH) < 1e-6;
  for (std::size_t c = 0; c < columns; ++c) {
    double r;
    if (dark) {
      r = 0.0;
    } else if (missingH[c] > 1e-9) {
      const double allowed = (1.0 - s.coverage) * possibleH;
      e.doubtful |= std::fabs(missingH[c] - allowed) < 1e-7;
      r = missingH[c] <= allowed ? sums[c] / 60.0 / (possibleH - missingH[c]) : kMissingValue;
    } else {
      r = sums[c] / 60.0 / possibleH;
    }
    e.results.push_back(r == kMissingValue ? r : std::min(r, 1.0));
  }
  return e;
}

std::int64_t periodKey(const Setting& s, std::int64_t day) {
  const Date d = civilFromDays(day);
  switch (s.period) {
    case CalendarPeriod::kYear:
      return d.year;
    case CalendarPeriod::kMonth:
      return d.year * 12 + d.month;
    default:
      return (d.year * 12 + d.month) * 3 + std::min((d.day - 1) / 10, 2);
  }
}

// The steps the reference expects of a file's records.
std::vector<Expected> expectSteps(const Setting& s, const std::vector<Record>& records,
                                  std::size_t columns) {
  std::vector<Expected> steps;
  if (s.period == CalendarPeriod::kNone) {
    const std::size_t perStep = static_cast<std::size_t>(s.outputStepMin / s.inputStepMin);
    for (std::size_t i = 0; i + perStep <= records.size(); i += perStep) {
      std::vector<const Record*> present;
      for (std::size_t k = i; k < i + perStep; ++k) {
        present.push_back(&records[k]);
      }
      steps.push_back(expectStep(s, present, {}, s.outputStepMin / 60.0, columns));
    }
    return steps;
  }
  // Calendar periods: every slot of the period that the file lacks counts as missing.
  std::map<std::int64_t, std::vector<const Record*>> byPeriod;
  std::vector<std::int64_t> order;
  for (const Record& r : records) {
    const auto day = static_cast<std::int64_t>(std::ceil(r.endMin / 1440.0)) - 1;
    const std::int64_t key = periodKey(s, day);
    if (byPeriod[key].empty()) {
      order.push_back(key);
    }
    byPeriod[key].push_back(&r);
  }
  for (const std::int64_t key : order) {
    const std::vector<const Record*>& present = byPeriod[key];
    const auto day = static_cast<std::int64_t>(std::ceil(present[0]->endMin / 1440.0)) - 1;
    std::int64_t first = day;
    while (periodKey(s, first - 1) == key) {
      --first;
    }
    std::int64_t end = day + 1;
    while (periodKey(s, end) == key) {
      ++end;
    }
    std::vector<double> absent;
    for (double t = static_cast<double>(first) * 1440.0 + s.inputStepMin;
         t <= static_cast<double>(end) * 1440.0 + 1e-6; t += s.inputStepMin) {
      const bool there = std::any_of(present.begin(), present.end(), [&](const Record* r) {
        return std::fabs(r->endMin - t) < 1e-6;
      });
      if (!there) {
        absent.push_back(t);
      }
    }
    steps.push_back(
        expectStep(s, present, absent, static_cast<double>(end - first) * 24.0, columns));
  }
  return steps;
}

// A random file: records from a random start, each value a random share of its possible
// sunshine now and then beyond it, some missing; hours 1 to 24, or 0 to 23 of the next day.
std::vector<Record> randomRecords(std::mt19937& rng, const Setting& s, int count,
                                  std::size_t columns, double missingShare, bool hourZero) {
  std::uniform_int_distribution<std::int64_t> startDay(daysFromCivil(2019, 1, 1),
                                                       daysFromCivil(2025, 12, 1));
  std::uniform_real_distribution<double> share(0.0, 1.0);
  const int stepsPerDay = 1440 / s.inputStepMin;
  std::int64_t day = s.firstDay >= 0 ? s.firstDay : startDay(rng);
  double endMin =
      static_cast<double>(day) * 1440.0 +
      s.inputStepMin * static_cast<double>(rng() % static_cast<unsigned>(stepsPerDay) + 1);
  std::vector<Record> records;
  for (int i = 0; i < count; ++i, endMin += s.inputStepMin) {
    Record r;
    r.endMin = endMin;
    auto z = static_cast<std::int64_t>(std::floor(endMin / 1440.0));
    double minuteOfDay = endMin - static_cast<double>(z) * 1440.0;
    if (minuteOfDay == 0.0 && !hourZero) {
      --z;
      minuteOfDay = 1440.0;
    }
    r.date = civilFromDays(z);
    r.hour = static_cast<int>(minuteOfDay);  // minutes; written as hours below
    const double possibleMin = recordPossibleH(s, endMin) * 60.0;
    for (std::size_t c = 0; c < columns; ++c) {
      double v = std::round(possibleMin * share(rng) * 10.0) / 10.0;
      if (share(rng) < 0.02) {
        v = std::round(s.inputStepMin * share(rng) * 10.0) / 10.0;
      }
      r.values.push_back(share(rng) < missingShare ? kMissing : v);
    }
    records.push_back(r);
  }
  return records;
}

std::string fileOf(const std::vector<Record>& records, std::size_t columns) {
  std::string file = "Sunshine duration in minutes\nYYYY MM DD H";
  for (std::size_t c = 0; c < columns; ++c) {
    file += " " + std::to_string(101 + c);
  }
  file += "\nreference\nrandom\n----\n";
  char text[64];
  for (const Record& r : records) {
    std::snprintf(text, sizeof text, "%d %d %d %.10g", r.date.year, r.date.month, r.date.day,
                  r.hour / 60.0);
    file += text;
    for (const double v : r.values) {
      std::snprintf(text, sizeof text, " %.1f", v);
      file += text;
    }
    file += "\n";
  }
  return file;
}

using testing::stepLines;
using Converted = testing::CapturedRun;

Converted run(const std::string& file, const RunParameters& params, const RunOptions& options) {
  return testing::runCaptured(file, params, options, 4096, 4096);
}

RunParameters paramsOf(const Setting& s) {
  RunParameters p;
  p.latitudeDeg = s.latitudeDeg;
  p.longitudeDeg = s.longitudeDeg;
  p.inputStepMin = static_cast<float>(s.inputStepMin);
  p.inputUnitMin = 1.0f;
  p.outputStepMin = static_cast<float>(s.outputStepMin);
  if (s.period != CalendarPeriod::kNone) {
    p.outputStepMin = static_cast<float>(s.inputStepMin);
  }
  p.outputPeriod = s.period;
  p.timeShiftH = s.shiftH;
  p.referenceMeridianDeg = s.meridianDeg;
  return p;
}

// The places and clocks of the rounds: a few named ones, then random ones.
Setting placeOf(std::mt19937& rng, int round) {
  struct Named {
    float lat, lon, meridian, shift;
    int month, day;  // where the file begins; 0: anywhere
  };
  const Named named[] = {
      {35.68f, 139.77f, 135.0f, 9.0f, 0, 0},     // Tokyo, UTC stamps
      {40.71f, -74.01f, -75.0f, -5.0f, 0, 0},    // New York, UTC stamps
      {69.65f, 18.96f, 15.0f, 1.0f, 0, 0},       // Tromsø: the midnight sun and the polar night
      {52.46f, 13.30f, 15.0f, 1.0f, 0, 0},       // Berlin
      {-33.9f, 151.2f, 150.0f, 10.0f, 0, 0},     // Sydney
      {35.68f, 139.77f, 0.0f, 0.0f, 0, 0},       // Tokyo on UTC's meridian: sunrise before 0
      {35.68f, 139.77f, 30.0f, 2.0f, 0, 0},      // Tokyo in a network's zone of UTC+2
      {-17.7f, 177.44f, -165.0f, 12.0f, 0, 0},   // Fiji on the meridian across the date line
      {71.0f, -178.5f, 180.0f, 12.0f, 5, 5},     // Wrangel Island at UTC+12: the polar day begins
      {71.0f, 178.5f, -180.0f, -12.0f, 5, 5},    // the same west of the date line
      {71.0f, -178.5f, 180.0f, 12.0f, 7, 25},    // Wrangel Island: the polar day ends
      {69.65f, 18.96f, -150.0f, -10.0f, 1, 10},  // Tromsø 11 hours off: the polar night ends
      {60.0f, 10.0f, -320.0f, 0.0f, 0, 0},       // 22 hours east of the meridian
      {-45.0f, -100.0f, 230.0f, 0.0f, 0, 0},     // 22 hours west of it
  };
  if (round < static_cast<int>(std::size(named))) {
    const Named& n = named[round];
    Setting s{n.lat, n.lon, n.meridian, n.shift, 60, 60, CalendarPeriod::kNone, 1.0};
    if (n.month != 0) {
      s.firstDay = daysFromCivil(2019 + round % 5, n.month, n.day);
    }
    return s;
  }
  std::uniform_real_distribution<float> lat(-70.0f, 70.0f);
  std::uniform_real_distribution<float> lon(-180.0f, 180.0f);
  Setting s{lat(rng), lon(rng), 0.0f, 0.0f, 60, 60, CalendarPeriod::kNone, 1.0};
  s.meridianDeg = std::round(s.longitudeDeg / 15.0f) * 15.0f;
  // Stamps in UTC (the zone's offset, within 10 hours), or in local time (0), or summer time;
  // one place in four on a meridian up to 23 hours away.
  const float zone = std::clamp(s.meridianDeg / 15.0f, -10.0f, 10.0f);
  const int clock = static_cast<int>(rng() % 3);
  s.shiftH = clock == 0 ? zone : clock == 1 ? 0.0f : 1.0f;
  if (rng() % 4 == 0) {
    s.meridianDeg += static_cast<float>(static_cast<int>(rng() % 47) - 23) * 15.0f;
  }
  return s;
}

TEST(PossibleSunshineTest, EveryStepIsTheSumOfItsRecords) {
  std::mt19937 rng(20261209);
  struct Steps {
    int inputStepMin;
    int outputStepMin;
    CalendarPeriod period;
    int records;
  };
  const Steps kinds[] = {
      {60, 60, CalendarPeriod::kNone, 24 * 8},
      {60, 180, CalendarPeriod::kNone, 24 * 8},
      {60, 1440, CalendarPeriod::kNone, 24 * 16},
      {10, 60, CalendarPeriod::kNone, 6 * 24 * 3},
      {1440, 10080, CalendarPeriod::kNone, 7 * 12},
      {1440, 14400, CalendarPeriod::kNone, 90},
      {60, 10080, CalendarPeriod::kNone, 24 * 22},
      {10, 0, CalendarPeriod::kDekad, 6 * 24 * 25},
      {60, 0, CalendarPeriod::kMonth, 24 * 75},
      {1440, 0, CalendarPeriod::kMonth, 400},
      {1440, 0, CalendarPeriod::kYear, 365 * 3},
      {1440, 0, CalendarPeriod::kDekad, 70},
      {60, 4320, CalendarPeriod::kNone, 24 * 12},
      {1440, 1461 * 1440, CalendarPeriod::kNone, 1461 * 2},
      {1440, 3653 * 1440, CalendarPeriod::kNone, 3653 * 2},
  };
  const double coverages[] = {1.0, 0.95, 0.7, 0.3};
  const double missingShares[] = {0.0, 0.01, 0.1};
  const std::size_t columns = 2;
  for (int round = 0; round < 150; ++round) {
    Setting s = placeOf(rng, round % 50);
    const Steps& kind = kinds[static_cast<std::size_t>(round) % std::size(kinds)];
    s.inputStepMin = kind.inputStepMin;
    s.outputStepMin = kind.outputStepMin;
    s.period = kind.period;
    s.coverage = coverages[static_cast<std::size_t>(round / 3) % std::size(coverages)];
    const double missing =
        missingShares[static_cast<std::size_t>(round) % std::size(missingShares)];
    const bool hourZero = round % 5 == 4;
    const PossibleSunshine models[] = {{SunModel::kNoaa, std::nullopt, nullptr},
                                       {SunModel::kFao56, 2.0, nullptr}};
    if (round % 7 == 3 || round % 7 == 5) {
      s.possible = models[round % 7 == 5 ? 1 : 0];
    }
    const std::vector<Record> records =
        randomRecords(rng, s, kind.records, columns, missing, hourZero);
    RunOptions options;
    options.shortcuts = round % 4 != 1;
    options.missingMarkers = {kMissing};
    options.coverage = s.coverage;
    options.possible = s.possible;
    const Converted got = run(fileOf(records, columns), paramsOf(s), options);
    ASSERT_EQ(got.outcome.end, RunEnd::kDone) << faultMessage(got.outcome.fault) << "\n"
                                              << got.console;
    const std::vector<Expected> expected = expectSteps(s, records, columns);
    const std::vector<std::vector<std::string>> lines = stepLines(got.output);
    ASSERT_EQ(lines.size(), expected.size()) << "round " << round;
    for (std::size_t k = 0; k < lines.size(); ++k) {
      const Expected& e = expected[k];
      const std::string where = "round " + std::to_string(round) + ", step " + std::to_string(k) +
                                " at " + std::to_string(s.latitudeDeg) + " " +
                                std::to_string(s.longitudeDeg) + " shift " +
                                std::to_string(s.shiftH);
      ASSERT_EQ(lines[k].size(), 4 + columns) << where;
      EXPECT_EQ(std::stoi(lines[k][0]), e.last->date.year) << where;
      EXPECT_EQ(std::stoi(lines[k][2]), e.last->date.day) << where;
      if (e.doubtful) {
        continue;
      }
      for (std::size_t c = 0; c < columns; ++c) {
        const double value = std::stod(lines[k][4 + c]);
        if (e.results[c] == kMissingValue) {
          EXPECT_EQ(lines[k][4 + c], "-9999.000") << where << " column " << c + 1;
        } else {
          EXPECT_NEAR(value, e.results[c], 0.0005 + 1e-7) << where << " column " << c + 1;
        }
      }
    }
  }
}

// A value missing where its record holds no daylight is known to be 0: the output is byte for
// byte that of the file with 0 there, also where a time shift carries the night past midnight.
TEST(PossibleSunshineTest, MissingAtNightIsZero) {
  std::mt19937 rng(9);
  for (int round = 0; round < 40; ++round) {
    Setting s = placeOf(rng, round);
    s.outputStepMin = round % 2 == 0 ? 1440 : 180;
    s.period = round % 3 == 0 ? CalendarPeriod::kMonth : CalendarPeriod::kNone;
    std::vector<Record> gaps = randomRecords(rng, s, 24 * 40, 2, 0.0, false);
    int marked = 0;
    for (Record& r : gaps) {
      if (recordPossibleH(s, r.endMin) == 0.0 && rng() % 3 == 0) {
        r.values[rng() % 2] = kMissing;
        ++marked;
      }
    }
    std::vector<Record> zeros = gaps;
    for (Record& r : zeros) {
      for (double& v : r.values) {
        v = v == kMissing ? 0.0 : v;
      }
    }
    RunOptions options;
    options.missingMarkers = {kMissing};
    const Converted withZeros = run(fileOf(zeros, 2), paramsOf(s), options);
    const Converted withGaps = run(fileOf(gaps, 2), paramsOf(s), options);
    ASSERT_EQ(withGaps.outcome.end, RunEnd::kDone);
    EXPECT_EQ(withGaps.output, withZeros.output) << "round " << round << ", " << marked;
  }
}

}  // namespace
}  // namespace kelvarin
