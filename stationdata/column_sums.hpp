// The one place a value enters its column's sum.
#pragma once

namespace kelvarin {
#include "column_sums.inc"
}  // namespace kelvarin
