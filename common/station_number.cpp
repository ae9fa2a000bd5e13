#include "station_number.hpp"

#include "text.hpp"  // allDigits

namespace kelvarin {

namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Reads the digits of `text` from `at`; `end` gets where they stop.
StationNumber readDigits(std::string_view text, std::size_t at, std::size_t& end) {
  const bool negative = at > 0 && text[0] == '-';
  const std::size_t first = at;
  while (at < text.size() && text[at] == '0') {
    ++at;
  }
  std::int64_t value = 0;
  std::size_t digits = 0;
  for (; at < text.size() && isDigit(text[at]); ++at, ++digits) {
    if (digits < kMaxStationDigits) {
      value = value * 10 + (text[at] - '0');
    }
  }
  end = at;
  if (at == first) {
    return {StationNumberStatus::kNotANumber, 0};
  }
  if (digits > kMaxStationDigits) {
    return {StationNumberStatus::kTooManyDigits, 0};
  }
  return {StationNumberStatus::kNumber, negative ? -value : value};
}

std::size_t signLength(std::string_view text) {
  return !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
}

}  // namespace

StationNumber stationNumberPrefix(std::string_view word) {
  std::size_t end = 0;
  return readDigits(word, signLength(word), end);
}

StationNumber stationNumberOf(std::string_view text) {
  std::size_t end = 0;
  const StationNumber number = readDigits(text, signLength(text), end);
  if (number.status == StationNumberStatus::kNumber && end != text.size()) {
    return {StationNumberStatus::kNotANumber, 0};
  }
  return number;
}

std::string stationNumberFault(std::string_view text, StationNumberStatus status) {
  std::string fault = "station \"" + std::string(text) + "\"";
  if (status == StationNumberStatus::kTooManyDigits) {
    return fault + " has more than " + std::to_string(kMaxStationDigits) +
           " digits: a station number has at most " + std::to_string(kMaxStationDigits);
  }
  return fault + " is not a number";
}

bool isOwnStationNumber(std::string_view key) {
  return allDigits(key) && key.front() != '0' && key.size() <= kMaxStationDigits;
}

std::string stationKey(std::string_view text) {
  std::size_t first = 0;
  while (first + 1 < text.size() && text[first] == '0') {
    ++first;
  }
  const std::string_view rest = text.substr(first);
  return allDigits(rest) && rest != "0" ? std::string(rest) : std::string(text);
}

}  // namespace kelvarin
