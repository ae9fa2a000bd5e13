// The shortcuts of the record reader: text found again where the record before had it. Each is a
// small helper beside the plain step it shortcuts, tried first by readRecord; each gives exactly
// what the plain reader gives, and each says what it was measured to save (bench/compare.sh on
// the eight shapes of bench/shapes.sh, medians of nine alternated runs).
#pragma once

#include <cstddef>  // std::size_t
#include <cstdint>

#include "column_sums.hpp"
#include "reading/input_reader.hpp"
#include "reading/number_scan.hpp"
#include "record_stamp.hpp"

namespace kelvarin {

#include "reading/short_decimals.inc"

/// A short run of characters of the file, remembered to be found again at the next record: the
/// records of one day repeat their date, and the records of few columns often their values. Found
/// again, it is one comparison of three words instead of converting each field.
struct RememberedText {
  static constexpr unsigned kWords = 3;
  static constexpr unsigned kMaxLength = 8 * kWords;
  std::uint64_t words[kWords] = {};  // the text, zero-padded
  std::uint64_t masks[kWords] = {};  // the bytes of each word the text fills
  unsigned length = 0;               // 0: nothing remembered
};

/// Returns whether the remembered text stands at `at` (with kMaxLength bytes readable). Word by
/// word, the bytes past the text masked out: no call, no loop over characters.
inline bool repeats(const RememberedText& remembered, const char* at) {
  std::uint64_t differ = 0;
  for (unsigned w = 0; w < RememberedText::kWords; ++w) {
    std::uint64_t word;
    __builtin_memcpy(&word, at + 8 * w, sizeof word);
    differ |= (word ^ remembered.words[w]) & remembered.masks[w];
  }
  return remembered.length != 0 && differ == 0;
}

namespace detail {

// The bytes of each word that a remembered text of each length fills.
struct TextMasks {
  std::uint64_t masks[RememberedText::kMaxLength + 1][RememberedText::kWords];
};
inline constexpr TextMasks kTextMasks = [] {
  TextMasks table{};
  for (unsigned length = 0; length <= RememberedText::kMaxLength; ++length) {
    for (unsigned w = 0; w < RememberedText::kWords; ++w) {
      const unsigned before = 8 * w < length ? 8 * w : length;
      const unsigned used = length - before < 8 ? length - before : 8;
      table.masks[length][w] = used == 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * used)) - 1;
    }
  }
  return table;
}();

}  // namespace detail

/// Remembers the `length` characters at `text` (at most kMaxLength, with kMaxLength readable).
inline void remember(RememberedText& remembered, const char* text, unsigned length) {
  for (unsigned w = 0; w < RememberedText::kWords; ++w) {
    remembered.masks[w] = detail::kTextMasks.masks[length][w];
    std::uint64_t word;
    __builtin_memcpy(&word, text + 8 * w, sizeof word);
    remembered.words[w] = word & remembered.masks[w];
  }
  remembered.length = length;
}

/// The year, month and day of the record read last, as the file spells them with the white space
/// after each.
struct RecentDate {
  RememberedText text;
  std::int32_t year = 0;
  std::int32_t month = 0;
  std::int32_t day = 0;
};

/// The values of the record read last when they were few and short, as the file spells them from
/// the end of the hour to the end of the last value, and the doubles they were read as.
struct RecentValues {
  static constexpr std::size_t kMaxColumns = 8;
  RememberedText text;
  double values[kMaxColumns + 1] = {};  // by column; slot 0 is unused
};

/// Reads the hour at `hour` when it is a whole number of one or two digits followed by white
/// space, as nearly every stamp's is, and returns its length; 0, having set nothing, otherwise.
/// Measured: shape g (three stations, a hundred years) 10 % faster.
inline unsigned readWholeHour(const char* hour, float& hourH) {
  const unsigned length = isWhiteSpace(hour[1]) ? 1 : isWhiteSpace(hour[2]) ? 2 : 0;
  if (length == 0 || !isDigit(hour[0]) || !isDigit(hour[length - 1])) {
    return 0;
  }
  const int tens = length == 2 ? hour[0] - '0' : 0;
  hourH = static_cast<float>(10 * tens + (hour[length - 1] - '0'));
  return length;
}

/// The common case of repeatsLastDate, small enough to be inlined into the record loop: the record
/// follows its line break and repeats the date read last, and its hour is a whole number of one or
/// two digits. Returns false, having moved nothing, for anything else. Measured on top of
/// repeatsLastDate: shape g 6 % faster.
inline bool repeatsLastDateAtLineStart(InputReader& in, const RecentDate& recent,
                                       RecordStamp& stamp) {
  const char* const data = in.buffer.data();
  const char* const at = data + in.pos;
  // The look-ahead covers the line break, the date and the hour with the white space after it.
  static_assert(1 + RememberedText::kMaxLength + 3 <= kFieldLookahead);
  if (in.end - in.pos < kFieldLookahead || at[0] != '\n' || !repeats(recent.text, at + 1)) {
    return false;
  }
  const char* const hour = at + 1 + recent.text.length;
  float hourH;
  const unsigned length = readWholeHour(hour, hourH);
  if (length == 0) {
    return false;
  }
  stamp = RecordStamp{recent.year, recent.month, recent.day, hourH};
  ++in.lineNumber;
  in.pos = static_cast<std::size_t>(hour + length - data);
  return true;
}

/// Reads the record at the reader's position when it begins with the text of the date read last,
/// which the records of a day all do: only the hour is left to convert. The text holds no line
/// break, and the same characters read the same way, so the date is the one read then. Measured:
/// shape g 30 % faster, d 9 %, a, b, c and h 3 to 5 %.
bool repeatsLastDate(InputReader& in, const RecentDate& recent, RecordStamp& stamp);

/// Remembers the date text of a record the plain reader read, from the start of its year to the
/// start of its hour, when it lies on one line and ends with white space (so that the same text
/// splits into the same fields wherever it stands).
void rememberDate(RecentDate& recent, const char* text, std::size_t length,
                  const RecordStamp& stamp);

/// Adds the values of the record at the reader's position to the sums when they are the text of
/// the short record read last, ended by white space: the same doubles in the same order. Measured:
/// shape g (three columns) 9 % faster. Out of line: inlined, it made the record loop of every
/// shape 3 to 4 % slower.
[[gnu::noinline]] inline bool repeatsLastValues(InputReader& in, const RecentValues& recent,
                                                double* sums, std::size_t columns,
                                                double inputUnitMin) {
  const char* data = in.buffer.data();
  const std::size_t end = in.pos + recent.text.length;
  if (in.end - in.pos <= RememberedText::kMaxLength || !repeats(recent.text, data + in.pos) ||
      !isWhiteSpace(data[end])) {
    return false;
  }
  for (std::size_t c = 1; c <= columns; ++c) {
    addToSum(sums[c], inputUnitMin, recent.values[c]);
  }
  in.pos = end;
  return true;
}

}  // namespace kelvarin
