// A step's relative sunshine: the night share of its window, and each column's result, clipped.
#pragma once

#include <cstddef>  // std::size_t

#include "solar.hpp"  // SunTimes

namespace kelvarin {

/// A step that lies more than this share in the night counts as wholly night.
inline constexpr double kNightThreshold = 0.95;
/// Results above this are written as it: more sunshine than the daylight allows.
inline constexpr double kUpperClip = 1.0;
/// Results below this are written as kMissingValue: a -999 in the step.
inline constexpr double kLowerClip = -100.0;
/// Written for results below -100: the mark of a missing value in the output files.
inline constexpr double kMissingValue = -9999.0;

/// Returns the share of the window [startH, endH] (stepH long, local hours) that lies before
/// sunrise or after sunset, 1 when that share is above kNightThreshold. Sun times below 0 (no
/// sunrise or sunset that day) count as a day light from 0 to 24. The comparisons are strict: a
/// window ending exactly at sunrise is wholly night, one starting exactly at it has no night.
double nightFraction(double startH, double endH, double stepH, SunTimes sun);

/// Returns the relative sunshine of a step from its sum of sunshine minutes: the sum over the
/// step's length and its day fraction, clipped to 1 above and marked kMissingValue below -100;
/// 0 for a step without daylight.
double relativeSunshine(double sumMin, double outputStepMin, double dayFraction);

/// Writes relativeSunshine of `sums[1]` to `sums[columns]` into `results[1]` to
/// `results[columns]`, the same doubles, two at a time. `dayFraction` must be above 0.
void relativeSunshineOfAll(const double* sums, std::size_t columns, double outputStepMin,
                           double dayFraction, double* results);

}  // namespace kelvarin
