// The time fields of a data record, as every reader of records gives them.
#pragma once

#include <cstdint>

namespace kelvarin {

/// The time fields of a data record. The hour is the end of the interval the record covers.
struct RecordStamp {
  std::int32_t year;
  std::int32_t month;  // 1 to 12
  std::int32_t day;
  float hourH;  // single precision, also after the time shift is added
};

}  // namespace kelvarin
