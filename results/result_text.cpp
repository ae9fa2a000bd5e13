#include "result_text.hpp"

#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "writing/fixed_format.hpp"

namespace kelvarin {

double tableValue(std::string_view text) {
  // "d.ddd": the whole thousandths over 1000, one correctly rounded division of exact numbers,
  // is the double a reader of the text gets.
  if (text.size() == 5 && text[1] == '.' && std::isdigit(static_cast<unsigned char>(text[0])) &&
      std::isdigit(static_cast<unsigned char>(text[2])) &&
      std::isdigit(static_cast<unsigned char>(text[3])) &&
      std::isdigit(static_cast<unsigned char>(text[4]))) {
    const int thousandths =
        (text[0] - '0') * 1000 + (text[2] - '0') * 100 + (text[3] - '0') * 10 + (text[4] - '0');
    return static_cast<double>(thousandths) / 1000.0;
  }
  double value = 0.0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

std::size_t formatMinutes(double value, char* out) {
  if (!std::signbit(value) && value < 1.0e9) {
    const std::uint64_t scaled = detail::scaleAndRound(value, 1000);
    std::size_t n = formatInteger(static_cast<long long>(scaled / 1000), out);
    out[n++] = '.';
    std::memcpy(out + n, detail::kThreeDigits[scaled % 1000].data(), 3);
    return n + 3;
  }
  return formatFixed(value, 3, 0, out);
}

std::string shortestText(float value) {
  char text[32];
  const std::to_chars_result end = std::to_chars(text, text + sizeof text, value);
  return std::string(text, end.ptr);
}

double shortestDouble(float value) {
  return std::strtod(shortestText(value).c_str(), nullptr);
}

std::string isoTime(double minutes) {
  if (!std::isfinite(minutes) || std::fabs(minutes) > 1.0e10) {
    return {};
  }
  // Whole seconds: stamps are decimal hours, and a 10-minute step's 0.1666667 h is 10 minutes.
  const auto seconds = static_cast<long long>(std::llround(minutes * 60.0));
  const auto days = static_cast<long long>(std::floor(static_cast<double>(seconds) / 86400.0));
  const long long ofDay = seconds - days * 86400;
  const std::chrono::year_month_day date{std::chrono::sys_days{std::chrono::days{days}}};
  char text[48];
  const int hour = static_cast<int>(ofDay / 3600);
  const int minute = static_cast<int>(ofDay / 60 % 60);
  const int second = static_cast<int>(ofDay % 60);
  int n = std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d",
                        static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                        static_cast<unsigned>(date.day()), hour, minute);
  if (second != 0) {
    std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), ":%02d", second);
  }
  return text;
}

}  // namespace kelvarin
