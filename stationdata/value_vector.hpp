// The fast value path: the fields of a record found from masks of white space, 64 bytes at a
// time, and each converted through the remembered spellings or as a short plain decimal in a few
// word-wide operations. It gives exactly the sums the general path gives and leaves everything
// unusual to it. Every part of it can be switched off (KELVARIN_FAST_PATH=0 for all of it,
// KELVARIN_VECTOR=portable for the vector instructions), and the tests compare the ways.
#pragma once

#include <array>
#include <cstddef>  // std::size_t
#include <cstdint>
#include <cstring>  // std::memcpy

#include "input_reader.hpp"
#include "record_stamp.hpp"

namespace kelvarin {

/// Values already converted, by their spelling. A station file spells its values in a few dozen
/// ways ("0", "0.1", "1", "-999") millions of times over; finding a spelling costs less than
/// converting it again, and gives the very same double.
struct ValueCache {
  // Files of values with two or three decimals spell them in a thousand ways and more: with 1024
  // slots they kept evicting each other (4096 made such a file 18 % faster, integer minutes 15 %;
  // 8192, where 2.5 % of its values still missed, 3 % faster again).
  static constexpr std::size_t kSlots = 8192;
  // 1 to 7 characters, zero-padded, with their length in the top byte. An empty slot holds all
  // ones, which no spelling is, and no slot ever holds 0, the spelling of longer fields: so one
  // comparison finds a spelling.
  std::array<std::uint64_t, kSlots> spellings = [] {
    std::array<std::uint64_t, kSlots> empty{};
    empty.fill(~std::uint64_t{0});
    return empty;
  }();
  std::array<double, kSlots> values{};
};

/// Returns the slot of a spelling (its bytes, zero-padded, and its length) in the cache.
inline std::size_t cacheSlot(std::uint64_t spelling) {
  return static_cast<std::size_t>((spelling * 0x9E3779B97F4A7C15ULL) >> 51);
}

/// How the white-space masks are computed: one byte at a time, or with the processor's vector
/// instructions (SSE2 on every x86-64, AVX2 where the processor has it).
enum class VectorLevel { kPortable, kSse2, kAvx2 };

/// Returns the widest level this processor runs.
VectorLevel detectVectorLevel();

/// Returns the level's name for messages and tests ("portable", "sse2", "avx2").
const char* vectorLevelName(VectorLevel level);

/// A short run of characters of the file, remembered to be found again at the next record: the
/// records of one day repeat their date, and night records their zeros. Found again, it is one
/// comparison of three words instead of converting each field.
struct RememberedText {
  static constexpr unsigned kWords = 3;
  static constexpr unsigned kMaxLength = 8 * kWords;
  std::array<std::uint64_t, kWords> words{};  // the text, zero-padded
  std::array<std::uint64_t, kWords> masks{};  // the bytes of each word the text fills
  unsigned length = 0;                        // 0: nothing remembered
};

/// The year, month and day of the record read last, as the file spells them with the white space
/// after each.
struct RecentDate {
  RememberedText text;
  std::int32_t year = 0;
  std::int32_t month = 0;
  std::int32_t day = 0;
};

/// Returns whether the remembered text stands at `at` (with kMaxLength bytes readable). Word by
/// word, the bytes past the text masked out: no call, no loop over characters. (Always inlined:
/// a copy compiled for AVX2 must never serve other callers.)
[[gnu::always_inline]] inline bool repeats(const RememberedText& remembered, const char* at) {
  std::uint64_t differ = 0;
  for (unsigned w = 0; w < RememberedText::kWords; ++w) {
    std::uint64_t word;
    std::memcpy(&word, at + 8 * w, sizeof word);
    differ |= (word ^ remembered.words[w]) & remembered.masks[w];
  }
  return remembered.length != 0 && differ == 0;
}

/// Reads the hour at `hour` when it is a whole number of one or two digits followed by white
/// space, as nearly every stamp's is, and returns its length; 0, having set nothing, otherwise.
[[gnu::always_inline]] inline unsigned readWholeHour(const char* hour, float& hourH) {
  const unsigned length = isWhiteSpace(hour[1]) ? 1 : isWhiteSpace(hour[2]) ? 2 : 0;
  if (length == 0 || !detail::isDigit(hour[0]) || !detail::isDigit(hour[length - 1])) {
    return 0;
  }
  const int tens = length == 2 ? hour[0] - '0' : 0;
  hourH = static_cast<float>(10 * tens + (hour[length - 1] - '0'));
  return length;
}

/// The common case of readStampFields, small enough to be inlined into the record loop: the
/// record follows its line break and repeats the date read last, and its hour is a whole number of
/// one or two digits. Returns false, having moved nothing, for anything else.
[[gnu::always_inline]] inline bool readRepeatedDateQuickly(InputReader& in,
                                                           const RecentDate& recent,
                                                           RecordStamp& stamp,
                                                           std::uint64_t& yearLine,
                                                           std::uint64_t& monthLine) {
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
  yearLine = in.lineNumber;
  monthLine = in.lineNumber;
  in.pos = static_cast<std::size_t>(hour + length - data);
  return true;
}

/// The values of the record read last when they were few and short, as the file spells them from
/// the end of the hour to the end of the last value, and the doubles they were read as.
struct RecentValues {
  static constexpr std::size_t kMaxColumns = 8;
  RememberedText text;
  std::array<double, kMaxColumns + 1> values{};  // by column; slot 0 is unused
};

/// Reads the four time fields of the record at the reader's position when all are short plain
/// numbers ended by white space inside the data: year, month and day integers of at most eight
/// characters, the hour a short decimal; each exactly as the general scanners read it. Returns
/// false, having moved nothing, for anything else. `recent` is the date read last, and is kept.
/// `yearLine` and `monthLine` are set to the lines the year and the month stand on.
bool readStampFields(VectorLevel level, InputReader& in, RecentDate& recent, RecordStamp& stamp,
                     std::uint64_t& yearLine, std::uint64_t& monthLine);

/// Adds the values of columns `first` to `columns` of one record to their sums while they are
/// remembered spellings or plain decimals of at most eight characters, ended by white space inside
/// the data, and returns the first column it did not take, for the general path. Never adds a
/// value the general path would refuse, nor one equal to `missing` (when not null), which the
/// general path flags; `missing` must not be 0.
/// `recent` holds the values of a short record read last, and is kept.
std::size_t addValuesVector(VectorLevel level, InputReader& in, ValueCache& cache,
                            RecentValues& recent, double* sums, std::size_t first,
                            std::size_t columns, double inputUnitMin, const double* missing);

}  // namespace kelvarin
