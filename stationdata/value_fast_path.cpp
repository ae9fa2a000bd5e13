#include "value_fast_path.hpp"

#include <bit>      // std::countr_zero, std::endian
#include <cmath>    // std::fabs
#include <cstring>  // std::memcpy

#include "column_sums.hpp"
#include "number_scan.hpp"

namespace kelvarin {

namespace {

// Values this large go to the general path, which checks that the sums stay finite; below it no
// product with a float unit and no sum of a file's worth of them can overflow.
constexpr double kFastValueLimit = 1e9;

// " 0 0 0 0" as a little-endian word.
constexpr std::uint64_t kFourZeros = 0x3020302030203020ULL;

std::size_t cacheSlot(std::uint64_t spelling) {
  return static_cast<std::size_t>((spelling * 0x9E3779B97F4A7C15ULL) >> 54);
}

// Converts the value at `text` and remembers it under `spelling` (the field's first bytes up to
// the next byte below 0x21, or 0 when it is longer than 7). Returns false when the field is
// faulty, large, not cleanly ended, equal to the missing marker, or may go on past `dataEnd`: the
// general path takes those.
[[gnu::noinline]] bool convertValue(const char* text, const char* dataEnd, bool atEnd,
                                    std::uint64_t spelling, const double* missing,
                                    ValueCache& cache, double& value, std::size_t& length) {
  const Scanned<double> scanned = scanDouble(text);
  const char* next = text + scanned.length;
  const bool endsCleanly =
      atEnd ? next == dataEnd || canFollowField(*next) : next < dataEnd && canFollowField(*next);
  if (scanned.status != ScanStatus::kOk || !(std::fabs(scanned.value) < kFastValueLimit) ||
      !endsCleanly || (missing != nullptr && scanned.value == *missing)) {
    return false;
  }
  value = scanned.value;
  length = scanned.length;
  if (spelling != 0 && (spelling >> (8 * length)) == 0) {
    // The whole spelling is the number (not "0.5-999", which is two), so it may be remembered.
    const std::size_t slot = cacheSlot(spelling);
    cache.spellings[slot] = spelling;
    cache.values[slot] = value;
  }
  return true;
}

}  // namespace

std::size_t addValuesFast(InputReader& in, ValueCache& cache, double* sums, std::size_t first,
                          std::size_t columns, double inputUnitMin, const double* missing) {
  static_assert(std::endian::native == std::endian::little, "spellings are read little-endian");
  const char* data = in.buffer.data();
  // Short of this point a field's first bytes, and any decision on where it starts, lie inside the
  // data read.
  const std::size_t safeEnd =
      in.atEnd ? in.end : (in.end > kFieldLookahead ? in.end - kFieldLookahead : 0);
  std::size_t pos = in.pos;
  std::uint64_t lineBreaks = 0;
  std::size_t c = first;
  for (; c <= columns && pos < safeEnd; ++c) {
    std::uint64_t word;
    std::memcpy(&word, data + pos, sizeof word);
    // Night hours are rows of zeros: four at a time, when nothing joins the fourth.
    if (word == kFourZeros && c + 3 <= columns && isWhiteSpace(data[pos + sizeof word])) {
      pos += sizeof word;
      c += 3;
      continue;  // adding 0 leaves a sum as it is: sums are never -0
    }
    if (data[pos] == ' ' && !isWhiteSpace(data[pos + 1])) {
      ++pos;  // the usual single blank between two values
    } else {
      skipSpaceInData(data, pos, lineBreaks);
    }
    if (pos >= safeEnd) {
      break;
    }
    std::memcpy(&word, data + pos, sizeof word);
    // The lowest byte below 0x21 (white space, NUL or another control character) ends the spelling.
    const std::uint64_t ends = (word - 0x2121212121212121ULL) & ~word & 0x8080808080808080ULL;
    const auto spellingLength = static_cast<unsigned>(std::countr_zero(ends)) / 8;
    std::uint64_t spelling = 0;
    if (spellingLength - 1 < 7) {
      spelling = word & ((std::uint64_t{1} << (8 * spellingLength)) - 1);
      const std::size_t slot = cacheSlot(spelling);
      // A remembered spelling counts only when white space or the end of the data ends it: a NUL
      // or control character after it makes the field faulty.
      const auto after = static_cast<char>(word >> (8 * spellingLength));
      if (cache.spellings[slot] == spelling &&
          (isWhiteSpace(after) || pos + spellingLength == in.end)) {
        addToSum(sums[c], inputUnitMin, cache.values[slot]);
        pos += spellingLength;
        continue;
      }
    }
    double value;
    std::size_t length;
    if (!convertValue(data + pos, data + in.end, in.atEnd, spelling, missing, cache, value,
                      length)) {
      break;
    }
    addToSum(sums[c], inputUnitMin, value);
    pos += length;
  }
  in.pos = pos;
  in.lineNumber += lineBreaks;
  return c;
}

}  // namespace kelvarin
