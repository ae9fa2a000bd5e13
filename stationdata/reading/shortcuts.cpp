#include "reading/shortcuts.hpp"

namespace kelvarin {

namespace {

/// Sets the hour of `stamp` from its short decimal as scanFloat's plain case reads it: the digits
/// and the power of ten are exact floats, one division. Returns false for hours it leaves to the
/// plain reader.
bool takeHour(const ShortDecimal& hour, RecordStamp& stamp) {
  if (hour.mantissa > (std::uint64_t{1} << 24) || hour.decimals > 10) {
    return false;
  }
  const float magnitude =
      static_cast<float>(hour.mantissa) / detail::kPowersOfTenFloat[hour.decimals];
  stamp.hourH = hour.negative ? -magnitude : magnitude;
  return true;
}

// Reads an hour of up to eight characters ended by white space at `hour`; returns its length, or
// 0 for an hour the plain reader must read.
unsigned readShortHour(const char* hour, RecordStamp& stamp) {
  unsigned length = readWholeHour(hour, stamp.hourH);
  if (length != 0) {
    return length;
  }
  while (length < 9 && !isWhiteSpace(hour[length])) {
    ++length;
  }
  ShortDecimal decimal;
  if (length == 0 || length > 8 || !takeShortDecimal(hour, length, decimal) ||
      !takeHour(decimal, stamp)) {
    return 0;
  }
  return length;
}

}  // namespace

bool repeatsLastDate(InputReader& in, const RecentDate& recent, RecordStamp& stamp) {
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
  const unsigned hourLength = readShortHour(data + hourStart, stamp);
  if (hourLength == 0) {
    return false;
  }
  stamp.year = recent.year;
  stamp.month = recent.month;
  stamp.day = recent.day;
  in.lineNumber += lines;
  in.pos = hourStart + hourLength;
  return true;
}

void rememberDate(RecentDate& recent, const char* text, std::size_t length,
                  const RecordStamp& stamp) {
  if (length == 0 || length > RememberedText::kMaxLength || !isWhiteSpace(text[length - 1])) {
    recent.text.length = 0;
    return;
  }
  for (std::size_t i = 0; i < length; ++i) {
    if (text[i] == '\n') {
      recent.text.length = 0;
      return;
    }
  }
  remember(recent.text, text, static_cast<unsigned>(length));
  recent.year = stamp.year;
  recent.month = stamp.month;
  recent.day = stamp.day;
}

}  // namespace kelvarin
