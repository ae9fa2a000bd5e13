// Station numbers, as header line 2 of a station file names its columns and as a places table
// names its rows: an integer, compared as a number ("00433" is station 433), of at most 18
// significant digits so that every one is exact in a 64-bit integer. kelvarin-prepare writes
// only numbers that kelvarin reads back as the same station.
#pragma once

#include <cstddef>  // std::size_t
#include <cstdint>  // std::int64_t
#include <string>
#include <string_view>

namespace kelvarin {

/// The most significant digits of a station number: 19 would no longer fit in 64 bits for all.
inline constexpr std::size_t kMaxStationDigits = 18;

/// What reading a station number gave.
enum class StationNumberStatus {
  kNumber,         // `value` holds it
  kNotANumber,     // no digits, or text after them where the whole text must be the number
  kTooManyDigits,  // more than kMaxStationDigits significant digits
};

struct StationNumber {
  StationNumberStatus status;
  std::int64_t value;  // 0 unless kNumber
};

/// Reads the integer at the start of a header word: an optional sign, then digits; what follows
/// them is not part of it ("12abc" is station 12).
StationNumber stationNumberPrefix(std::string_view word);

/// Reads a whole field as a station number: an optional sign, then digits and nothing else.
StationNumber stationNumberOf(std::string_view text);

/// Returns the text of a field that is no station number, for a refusal:
/// station "X" is not a number, or has more than 18 digits.
std::string stationNumberFault(std::string_view text, StationNumberStatus status);

/// Returns true when `key` can stand in header line 2 as its station's own number and come back
/// as the same station: digits only, no leading zero, at most kMaxStationDigits.
bool isOwnStationNumber(std::string_view key);

/// Returns the key of a station identifier of an archive: a nonzero integer without its leading
/// zeros ("00433" is "433"), other identifiers as they are.
std::string stationKey(std::string_view text);

}  // namespace kelvarin
