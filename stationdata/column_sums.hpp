// The one place a value enters its column's sum.
#pragma once

namespace kelvarin {

/// Adds one record's value (in units of `inputUnitMin` minutes) to its column's sum of sunshine
/// minutes. The product comes first and the sum after it, in double precision: the order in which
/// the results have always been computed, which the last bit of a result depends on.
inline void addToSum(double& sumMin, double inputUnitMin, double value) {
  sumMin = inputUnitMin * value + sumMin;
}

}  // namespace kelvarin
