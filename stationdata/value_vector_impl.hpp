// The loop of the vector value path, for each way of computing the white-space masks. Included by
// the translation units that instantiate it, each compiled for its instruction set.
#pragma once

#include <algorithm>  // std::min
#include <array>
#include <bit>  // std::countr_zero, std::popcount, std::endian
#include <cmath>
#include <cstdint>
#include <cstring>  // std::memcpy

#include "column_sums.hpp"
#include "input_reader.hpp"
#include "number_scan.hpp"
#include "value_vector.hpp"  // ValueCache, cacheSlot

namespace kelvarin::vector_path {

// Each file that includes this one compiles it for its own instruction set: nothing here may be
// shared between them at link time, where one copy would serve both.
namespace {

/// Bit i set where byte i of the 64-byte window is white space, and where it is a line break.
struct Masks {
  std::uint64_t space;
  std::uint64_t lineBreaks;
  std::uint64_t zeros;  // bytes '0'
};

/// The white-space test of isWhiteSpace, one byte at a time: the portable way.
struct PortableMasks {
  static Masks of(const char* p) {
    Masks m{0, 0, 0};
    for (unsigned i = 0; i < 64; ++i) {
      m.space |= static_cast<std::uint64_t>(isWhiteSpace(p[i])) << i;
      m.lineBreaks |= static_cast<std::uint64_t>(p[i] == '\n') << i;
      m.zeros |= static_cast<std::uint64_t>(p[i] == '0') << i;
    }
    return m;
  }
};

// Values this large go to the general path, which checks that the sums stay finite; below it no
// product with a float unit and no sum of a file's worth of them can overflow.
inline constexpr double kVectorValueLimit = 1e9;

/// A short plain decimal taken apart: its digits as an integer, and how many follow the point.
struct ShortDecimal {
  bool negative;
  bool point;
  std::uint64_t mantissa;
  unsigned decimals;
};

/// Takes apart a plain decimal of `length` (1 to 8) characters at `text` (with 8 bytes readable):
/// an optional minus, digits and at most one point, at least one digit. Word-wide: the digit test,
/// the point and the joining of the digits are a few operations on one 64-bit load. Returns false
/// for anything else.
inline bool takeShortDecimal(const char* text, unsigned length, ShortDecimal& d) {
  static_assert(std::endian::native == std::endian::little, "the text is read little-endian");
  std::uint64_t w;
  std::memcpy(&w, text, sizeof w);
  const auto lanes = [](unsigned n) {
    return n >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * n)) - 1;
  };
  w &= lanes(length);
  d.negative = (w & 0xFF) == '-';
  if (d.negative) {
    w >>= 8;
    --length;
  }
  if (length == 0) {
    return false;
  }
  const std::uint64_t used = lanes(length);
  // Bytes equal to '.' are zero in x; the exact zero-byte test marks them with 0x80.
  const std::uint64_t x = w ^ 0x2E2E2E2E2E2E2E2EULL;
  const std::uint64_t points =
      ~(((x & 0x7F7F7F7F7F7F7F7FULL) + 0x7F7F7F7F7F7F7F7FULL) | x) & 0x8080808080808080ULL & used;
  if ((points & (points - 1)) != 0) {
    return false;  // two points
  }
  // The point becomes a '0' for the digit test: 0x2E + 2 is 0x30.
  const std::uint64_t digits = w + (points >> 7) * 2;
  const std::uint64_t high = 0xF0F0F0F0F0F0F0F0ULL & used;
  const std::uint64_t zeros = 0x3030303030303030ULL & used;
  if ((digits & high) != zeros || ((digits + (0x0606060606060606ULL & used)) & high) != zeros) {
    return false;
  }
  unsigned count = length;
  d.decimals = 0;
  d.point = points != 0;
  std::uint64_t packed = digits;
  if (d.point) {
    const unsigned at = static_cast<unsigned>(std::countr_zero(points)) / 8;
    packed = (digits & lanes(at)) | ((digits >> 8) & ~lanes(at));
    --count;
    d.decimals = length - 1 - at;
  }
  if (count == 0) {
    return false;
  }
  // Right-aligned as eight digits ("00000123"), then three multiply-shift rounds join them.
  std::uint64_t v = (packed & lanes(count)) << (8 * (8 - count));
  v = ((v & 0x0F0F0F0F0F0F0F0FULL) * 2561) >> 8;
  v = ((v & 0x00FF00FF00FF00FFULL) * 6553601) >> 16;
  d.mantissa = ((v & 0x0000FFFF0000FFFFULL) * 42949672960001ULL) >> 32;
  return true;
}

/// Converts a short plain decimal exactly as scanDouble's plain case does: the digits as an
/// integer, divided by the power of ten of the decimals (both exact doubles, so the one division
/// rounds correctly).
inline bool convertShortDecimal(const char* text, unsigned length, double& value) {
  ShortDecimal d;
  if (!takeShortDecimal(text, length, d)) {
    return false;
  }
  const double magnitude = static_cast<double>(d.mantissa) / detail::kPowersOfTenDouble[d.decimals];
  value = d.negative ? -magnitude : magnitude;
  return true;
}

// A window of 32 zeros, each after one separator: " 0 0 0 ...", "\t0\t0\t0 ...".
inline constexpr std::uint64_t kSeparatorBytes = 0x5555555555555555ULL;
inline constexpr std::uint64_t kZeroBytes = 0xAAAAAAAAAAAAAAAAULL;

// The bytes of a field of each length (up to a window's) that make its spelling in the cache:
// all of them up to 7, none from 8 on (those are converted every time); and the length, in the
// top byte those never fill. Without it "0.1" and "0.1" followed by a NUL byte, zero-padded
// alike, would be one spelling, and the NUL taken for a separator.
inline constexpr auto kSpellingBytes = [] {
  std::array<std::uint64_t, 65> bytes{};
  for (unsigned n = 1; n < 8; ++n) {
    bytes[n] = (std::uint64_t{1} << (8 * n)) - 1;
  }
  return bytes;
}();
inline constexpr auto kSpellingLengths = [] {
  std::array<std::uint64_t, 65> lengths{};
  for (unsigned n = 1; n < 8; ++n) {
    lengths[n] = std::uint64_t{n} << 56;
  }
  return lengths;
}();

inline std::uint64_t lowBits(unsigned n) {
  return n >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1;
}

/// Converts a field the remembered spellings do not hold, and remembers it when it is short
/// enough to be a spelling (`spelling` not 0). Returns false for a field the general path must
/// read. Out of line: the walk that calls it keeps its registers for the common case.
[[gnu::noinline]] inline bool convertField(ValueCache& cache, const char* text, unsigned length,
                                           std::uint64_t spelling, const double* missing,
                                           double& value) {
  if (length > 8 || !convertShortDecimal(text, length, value) ||
      !(std::fabs(value) < kVectorValueLimit) || (missing != nullptr && value == *missing)) {
    return false;
  }
  if (spelling != 0) {
    const std::size_t slot = cacheSlot(spelling);
    cache.spellings[slot] = spelling;
    cache.values[slot] = value;
  }
  return true;
}

/// Stage one finds every field of a 64-byte window at once: starts are bytes after white space,
/// ends are white space after a field. Stage two walks them bit by bit, so that no field waits
/// for the one before it to be read, and converts each through the remembered spellings or,
/// failing those, as a short decimal. Measured on the benchmark's shapes, the walk is what cut
/// the time per value: the scanner before it found each field's end from the one before.
///
/// With `kKeep`, each value taken is also stored in `taken[c]` (for records of few columns).
template <typename MaskOf, bool kKeep = false>
std::size_t addValues(InputReader& in, ValueCache& cache, double* sums, std::size_t first,
                      std::size_t columns, double inputUnitMin, const double* missing,
                      double* taken = nullptr) {
  const char* data = in.buffer.data();
  // Copies, not the reader's fields: the stores into the cache could alias those, and every
  // field would read them again.
  const std::size_t dataEnd = in.end;
  const bool atEnd = in.atEnd;
  // A window is read only where its 64 bytes are data, or where the file has ended (the bytes
  // past its end are the buffer's tail and are never taken: every field must end by then).
  const auto windowFits = [dataEnd, atEnd](std::size_t base) {
    return atEnd ? base < dataEnd : base + 64 <= dataEnd;
  };
  std::size_t base = in.pos;
  std::uint64_t lines = 0;
  std::size_t c = first;
  double* const sumsEnd = sums + columns + 1;
  while (c <= columns && windowFits(base)) {
    const Masks m = MaskOf::of(data + base);
    // Night rows are zeros: a window of 32 of them on one line, not joined to what follows,
    // changes no sum and is passed at once, told by its masks.
    if (m.space == kSeparatorBytes && m.zeros == kZeroBytes && m.lineBreaks == 0 &&
        c + 31 <= columns && base + 64 < dataEnd && isWhiteSpace(data[base + 64])) {
      base += 64;
      c += 32;
      continue;
    }
    std::uint64_t newlines = m.lineBreaks;
    // The byte before the window counts as white space: the window starts between fields, so
    // starts and ends alternate, and the n-th end is the end of the n-th start.
    std::uint64_t starts = ~m.space & ((m.space << 1) | 1);
    std::uint64_t ends = m.space & ~((m.space << 1) | 1);
    // Where the file ends inside the window, a field must end within the data; the last one,
    // ended by the NUL after it, is left to the general path, which reads it to its end.
    const bool cut = base + 64 > dataEnd;
    if (cut) {
      ends &= lowBits(static_cast<unsigned>(dataEnd - base) + 1);
    }
    // The walk touches only what it needs in registers: the window, the sum it adds to, and the
    // two masks; anything the remembered spellings do not hold goes to convertField.
    const char* const window = data + base;
    double* sum = sums + c;
    std::size_t next = base + 64;  // where the following window starts
    bool stop = false;
    while (sum < sumsEnd && starts != 0) {
      const auto start = static_cast<unsigned>(std::countr_zero(starts));
      if (ends == 0) {
        // The field goes on past the window: the next window starts with it, unless it already
        // did, and the field is longer than a window.
        stop = start == 0 || cut;
        next = base + start;
        break;
      }
      const auto end = static_cast<unsigned>(std::countr_zero(ends));
      std::uint64_t word;
      std::memcpy(&word, window + start, sizeof word);
      const std::uint64_t spelling =
          (word & kSpellingBytes[end - start]) | kSpellingLengths[end - start];
      const std::size_t slot = cacheSlot(spelling);
      double value;
      if (cache.spellings[slot] == spelling) {
        value = cache.values[slot];
      } else if (!convertField(cache, window + start, end - start, spelling, missing, value)) {
        stop = true;
        next = base + start;
        break;
      }
      addToSum(*sum, inputUnitMin, value);
      if constexpr (kKeep) {
        taken[sum - sums] = value;
      }
      ++sum;
      starts &= starts - 1;
      ends &= ends - 1;
      next = base + end;
    }
    c = static_cast<std::size_t>(sum - sums);
    // Line breaks up to where reading goes on were passed.
    lines += static_cast<unsigned>(
        std::popcount(newlines & lowBits(static_cast<unsigned>(next - base))));
    base = next;
    if (stop) {
      break;
    }
  }
  in.pos = base;
  in.lineNumber += lines;
  return c;
}

/// Sets the hour of `fields` from its short decimal as scanFloat's plain case reads it: the digits
/// and the power of ten are exact floats, one division. Returns false for hours it leaves to the
/// general scanner.
inline bool takeHour(const ShortDecimal& hour, RecordStamp& fields) {
  if (hour.mantissa > (std::uint64_t{1} << 24) || hour.decimals > 10) {
    return false;
  }
  const float magnitude =
      static_cast<float>(hour.mantissa) / detail::kPowersOfTenFloat[hour.decimals];
  fields.hourH = hour.negative ? -magnitude : magnitude;
  return true;
}

// The bytes of each word that a remembered text of each length fills.
inline constexpr auto kTextMasks = [] {
  std::array<std::array<std::uint64_t, RememberedText::kWords>, RememberedText::kMaxLength + 1>
      masks{};
  for (unsigned length = 0; length <= RememberedText::kMaxLength; ++length) {
    for (unsigned w = 0; w < RememberedText::kWords; ++w) {
      const unsigned used = std::min(8u, length - std::min(length, 8 * w));
      masks[length][w] = used == 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * used)) - 1;
    }
  }
  return masks;
}();

/// Remembers the `length` characters at `text` (at most kMaxLength, with kMaxLength readable).
inline void remember(RememberedText& remembered, const char* text, unsigned length) {
  remembered.masks = kTextMasks[length];
  for (unsigned w = 0; w < RememberedText::kWords; ++w) {
    std::uint64_t word;
    std::memcpy(&word, text + 8 * w, sizeof word);
    remembered.words[w] = word & remembered.masks[w];
  }
  remembered.length = length;
}

/// Reads the record at the reader's position when it begins with the text of the date read last,
/// which the records of a day all do: only the hour is left to convert. The text holds no line
/// break, and the same characters read the same way, so the date is the one read then.
inline bool readRepeatedDate(InputReader& in, const RecentDate& recent, RecordStamp& fields,
                             std::uint64_t& yearLine, std::uint64_t& monthLine) {
  const char* data = in.buffer.data();
  std::size_t p = in.pos;
  // Room for the date and an hour of eight characters with the white space after it.
  constexpr std::size_t kReach = 48;
  static_assert(RememberedText::kMaxLength + 9 < kReach && kReach <= kFieldLookahead);
  if (recent.text.length == 0 || in.end - p < kFieldLookahead) {
    return false;
  }
  std::uint64_t lines = 0;
  while (p < in.pos + 8 && isWhiteSpace(data[p])) {
    lines += (data[p] == '\n');
    ++p;
  }
  if (in.end - p < kReach || !repeats(recent.text, data + p)) {
    return false;
  }
  const std::size_t hourStart = p + recent.text.length;
  std::size_t hourEnd = hourStart + readWholeHour(data + hourStart, fields.hourH);
  if (hourEnd == hourStart) {
    while (hourEnd < hourStart + 9 && !isWhiteSpace(data[hourEnd])) {
      ++hourEnd;
    }
    ShortDecimal hour;
    const auto length = static_cast<unsigned>(hourEnd - hourStart);
    if (length == 0 || length > 8 || !takeShortDecimal(data + hourStart, length, hour) ||
        !takeHour(hour, fields)) {
      return false;
    }
  }
  fields.year = recent.year;
  fields.month = recent.month;
  fields.day = recent.day;
  in.lineNumber += lines;
  yearLine = in.lineNumber;
  monthLine = in.lineNumber;
  in.pos = hourEnd;
  return true;
}

/// Adds the values of the record at the reader's position to the sums when they are the text of
/// the short record read last, ended by white space: the same doubles in the same order.
inline bool addRepeatedValues(InputReader& in, const RecentValues& recent, double* sums,
                              std::size_t columns, double inputUnitMin) {
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

/// addValues, keeping the values taken in `taken` when it is not null.
template <typename MaskOf>
std::size_t addValuesKeeping(InputReader& in, ValueCache& cache, double* sums, std::size_t first,
                             std::size_t columns, double inputUnitMin, const double* missing,
                             double* taken) {
  return taken == nullptr
             ? addValues<MaskOf>(in, cache, sums, first, columns, inputUnitMin, missing)
             : addValues<MaskOf, true>(in, cache, sums, first, columns, inputUnitMin, missing,
                                       taken);
}

template <typename MaskOf>
bool readStampFields(InputReader& in, RecentDate& recent, RecordStamp& fields,
                     std::uint64_t& yearLine, std::uint64_t& monthLine) {
  const std::size_t base = in.pos;
  if (in.atEnd ? base >= in.end : base + 64 > in.end) {
    return false;
  }
  const Masks m = MaskOf::of(in.buffer.data() + base);
  std::uint64_t starts = ~m.space & ((m.space << 1) | 1);
  const std::uint64_t ends = m.space & ~((m.space << 1) | 1);
  ShortDecimal parts[4];
  unsigned fieldStart[4];
  unsigned end = 0;
  for (unsigned f = 0; f < 4; ++f) {
    if (starts == 0) {
      return false;
    }
    fieldStart[f] = static_cast<unsigned>(std::countr_zero(starts));
    const std::uint64_t after = ends & (~std::uint64_t{1} << fieldStart[f]);
    if (after == 0) {
      return false;
    }
    end = static_cast<unsigned>(std::countr_zero(after));
    if (base + end > in.end || end - fieldStart[f] > 8 ||
        !takeShortDecimal(in.buffer.data() + base + fieldStart[f], end - fieldStart[f], parts[f]) ||
        (f < 3 && parts[f].point)) {
      return false;  // a point after an integer, a sign '+', an exponent: the general scanners
    }
    starts &= starts - 1;
  }
  if (!takeHour(parts[3], fields)) {
    return false;
  }
  const auto integer = [](const ShortDecimal& d) {
    const auto magnitude = static_cast<std::int32_t>(d.mantissa);
    return d.negative ? -magnitude : magnitude;
  };
  fields.year = integer(parts[0]);
  fields.month = integer(parts[1]);
  fields.day = integer(parts[2]);
  const auto linesBefore = [&m](unsigned at) {
    return static_cast<std::uint64_t>(std::popcount(m.lineBreaks & lowBits(at)));
  };
  yearLine = in.lineNumber + linesBefore(fieldStart[0]);
  monthLine = in.lineNumber + linesBefore(fieldStart[1]);
  // The date's text, to be found again at the next record (one line, as readRepeatedDate needs).
  const unsigned dateLength = fieldStart[3] - fieldStart[0];
  if (dateLength <= RememberedText::kMaxLength &&
      linesBefore(fieldStart[3]) == linesBefore(fieldStart[0])) {
    remember(recent.text, in.buffer.data() + base + fieldStart[0], dateLength);
    recent.year = fields.year;
    recent.month = fields.month;
    recent.day = fields.day;
  } else {
    recent.text.length = 0;
  }
  in.lineNumber += linesBefore(end);
  in.pos = base + end;
  return true;
}

}  // namespace

}  // namespace kelvarin::vector_path
