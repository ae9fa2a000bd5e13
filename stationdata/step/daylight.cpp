#include "step/daylight.hpp"

#include <cstdlib>  // std::abs

namespace kelvarin {

std::optional<std::chrono::sys_days> stampDay(const RecordStamp& stamp) {
  using namespace std::chrono;
  // Far beyond any station file, and inside what the calendar types can count.
  constexpr std::int32_t kYearReach = 30000;
  constexpr std::int32_t kMonthReach = 1200;
  constexpr std::int32_t kDayReach = 100000;
  if (std::abs(stamp.year) > kYearReach || std::abs(stamp.month) > kMonthReach ||
      std::abs(stamp.day) > kDayReach) {
    return std::nullopt;
  }
  const year_month month = year_month{year{stamp.year}, January} + months{stamp.month - 1};
  return sys_days{month / 1} + days{stamp.day - 1};
}

}  // namespace kelvarin
