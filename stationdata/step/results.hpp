// A step's relative sunshine: the night share of its window, and each column's result, clipped.
#pragma once

#include <cstddef>  // std::size_t

#include "solar.hpp"  // SunTimes

#if defined(__SSE2__)
#include <emmintrin.h>  // SSE2, part of every x86-64
#endif

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
/// Inline: once a step, as much as a step's record of few columns costs.
inline double nightFraction(double startH, double endH, double stepH, SunTimes sun) {
  if (sun.sunsetH < 0.0) {
    sun.sunsetH = 24.0;
  }
  if (sun.sunriseH < 0.0) {
    sun.sunriseH = 0.0;
  }
  double beforeSunriseH;
  if (startH > sun.sunriseH) {
    beforeSunriseH = 0.0;
  } else if (endH > sun.sunriseH) {
    beforeSunriseH = sun.sunriseH - startH;
  } else {
    beforeSunriseH = stepH;
  }
  double afterSunsetH;
  if (sun.sunsetH > endH) {
    afterSunsetH = 0.0;
  } else if (sun.sunsetH > startH) {
    afterSunsetH = endH - sun.sunsetH;
  } else {
    afterSunsetH = stepH;
  }
  const double fraction = (afterSunsetH + beforeSunriseH) / stepH;
  return fraction > kNightThreshold ? 1.0 : fraction;
}

/// Returns a result clipped: 1 above 1 (more sunshine than the daylight allows), kMissingValue
/// below -100 (a -999 in the step).
inline double clipResult(double r) {
  if (r > kUpperClip) {
    return kUpperClip;
  }
  return r < kLowerClip ? kMissingValue : r;
}

/// Returns the relative sunshine of a step from its sum of sunshine minutes: the sum over the
/// step's length and its day fraction, clipped to 1 above and marked kMissingValue below -100;
/// 0 for a step without daylight.
inline double relativeSunshine(double sumMin, double outputStepMin, double dayFraction) {
  return clipResult(dayFraction > 0.0 ? sumMin / outputStepMin / dayFraction : 0.0);
}

#if defined(__SSE2__)
/// relativeSunshine's clips of two finite results at once: 1 above, kMissingValue below -100.
inline __m128d clipTwo(__m128d r) {
  r = _mm_min_pd(r, _mm_set1_pd(kUpperClip));  // r > 1 ? 1 : r, r being finite
  const __m128d below = _mm_cmplt_pd(r, _mm_set1_pd(kLowerClip));
  return _mm_or_pd(_mm_and_pd(below, _mm_set1_pd(kMissingValue)), _mm_andnot_pd(below, r));
}
#endif

/// Writes relativeSunshine of `sums[1]` to `sums[columns]` into `results[1]` to
/// `results[columns]`, the same doubles, two at a time. `dayFraction` must be above 0. Inline, as
/// everything a step does once: a step of few columns costs little more than a call.
//
// Two at a time: the same two divisions in the same order and the same clips, each lane rounded
// exactly as a single division is, so every result is the same double. On a line of thousands of
// columns the divisions, one after the other, were a good part of the step (measured: shape e,
// 5000 columns, 8 % faster, the others 5 to 7 %).
inline void relativeSunshineOfAll(const double* sums, std::size_t columns, double outputStepMin,
                                  double dayFraction, double* results) {
  std::size_t c = 1;
#if defined(__SSE2__)
  const __m128d step = _mm_set1_pd(outputStepMin);
  const __m128d fraction = _mm_set1_pd(dayFraction);
  // A step in full daylight divides by a fraction of exactly 1, which changes no bit: the
  // division, the slowest operation of a result, is left out there (measured: shape c 5 %
  // faster, h 3 %).
  const bool wholeDay = dayFraction == 1.0;
  for (; c + 1 <= columns; c += 2) {
    __m128d r = _mm_div_pd(_mm_loadu_pd(sums + c), step);
    if (!wholeDay) {
      r = _mm_div_pd(r, fraction);
    }
    r = clipTwo(r);
    _mm_storeu_pd(results + c, r);
  }
#endif
  for (; c <= columns; ++c) {
    results[c] = relativeSunshine(sums[c], outputStepMin, dayFraction);
  }
}

/// Writes 1 - nightFraction of the window [startH, endH] for each column's sun times `sun[1]` to
/// `sun[columns]` into `dayFractions[1]` on: the same doubles, two at a time and without a branch
/// (stations at places of their own have day and night side by side, which branches mispredict).
inline void dayFractionsOf(double startH, double endH, double stepH, const SunTimes* sun,
                           std::size_t columns, double* dayFractions) {
  std::size_t c = 1;
#if defined(__SSE2__)
  const __m128d start = _mm_set1_pd(startH);
  const __m128d end = _mm_set1_pd(endH);
  const __m128d step = _mm_set1_pd(stepH);
  const __m128d zero = _mm_setzero_pd();
  const __m128d select24 = _mm_set1_pd(24.0);
  const __m128d threshold = _mm_set1_pd(kNightThreshold);
  const __m128d one = _mm_set1_pd(1.0);
  // where ? a : b, lane by lane.
  const auto choose = [](__m128d where, __m128d a, __m128d b) {
    return _mm_or_pd(_mm_and_pd(where, a), _mm_andnot_pd(where, b));
  };
  for (; c + 1 <= columns; c += 2) {
    const __m128d first = _mm_loadu_pd(&sun[c].sunriseH);
    const __m128d second = _mm_loadu_pd(&sun[c + 1].sunriseH);
    __m128d rise = _mm_unpacklo_pd(first, second);
    __m128d set = _mm_unpackhi_pd(first, second);
    set = choose(_mm_cmplt_pd(set, zero), select24, set);
    rise = choose(_mm_cmplt_pd(rise, zero), zero, rise);
    const __m128d before = choose(_mm_cmpgt_pd(start, rise), zero,
                                  choose(_mm_cmpgt_pd(end, rise), _mm_sub_pd(rise, start), step));
    const __m128d after = choose(_mm_cmpgt_pd(set, end), zero,
                                 choose(_mm_cmpgt_pd(set, start), _mm_sub_pd(end, set), step));
    // A window in full daylight at both places has no night: 0 / step is 0, no division needed.
    const __m128d sum = _mm_add_pd(after, before);
    const __m128d fraction =
        _mm_movemask_pd(_mm_cmpneq_pd(sum, zero)) != 0 ? _mm_div_pd(sum, step) : zero;
    const __m128d night = choose(_mm_cmpgt_pd(fraction, threshold), one, fraction);
    _mm_storeu_pd(dayFractions + c, _mm_sub_pd(one, night));
  }
#endif
  for (; c <= columns; ++c) {
    dayFractions[c] = 1.0 - nightFraction(startH, endH, stepH, sun[c]);
  }
}

/// Writes relativeSunshine of `sums[c]` with its own day fraction `dayFractions[c]` into
/// `results[c]`, for the columns whose day fraction is above 0: the same doubles, two at a time.
/// Columns of night get 0.
inline void relativeSunshineOfColumns(const double* sums, std::size_t columns, double outputStepMin,
                                      const double* dayFractions, double* results) {
  std::size_t c = 1;
#if defined(__SSE2__)
  const __m128d step = _mm_set1_pd(outputStepMin);
  const __m128d zero = _mm_setzero_pd();
  const __m128d one = _mm_set1_pd(1.0);
  for (; c + 1 <= columns; c += 2) {
    const __m128d fraction = _mm_loadu_pd(dayFractions + c);
    __m128d r = _mm_div_pd(_mm_loadu_pd(sums + c), step);
    // A day fraction of exactly 1 changes no bit: no division by it where both lanes have it.
    if (_mm_movemask_pd(_mm_cmpneq_pd(fraction, one)) != 0) {
      r = _mm_div_pd(r, fraction);
    }
    r = clipTwo(r);
    _mm_storeu_pd(results + c, _mm_and_pd(_mm_cmpgt_pd(fraction, zero), r));
  }
#endif
  for (; c <= columns; ++c) {
    results[c] = relativeSunshine(sums[c], outputStepMin, dayFractions[c]);
  }
}

}  // namespace kelvarin
