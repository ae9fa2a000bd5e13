// The one place a value enters its column's sum.
#pragma once

namespace kelvarin {
#include "step/column_sums.inc"
}  // namespace kelvarin
