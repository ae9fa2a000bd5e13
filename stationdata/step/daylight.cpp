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

std::optional<std::chrono::sys_days> modelStampDay(const RecordStamp& stamp) {
  if (std::optional<std::chrono::sys_days> day = stampDay(stamp)) {
    return day;
  }
  // 400 Gregorian years are 146,097 days, whole weeks and leap days alike: a year moved by whole
  // cycles has the same days in the same order.
  constexpr std::int32_t kCycleYears = 400;
  RecordStamp within = stamp;
  within.year = 2000 + ((stamp.year % kCycleYears) + kCycleYears) % kCycleYears;
  return stampDay(within);
}

}  // namespace kelvarin
