// Streams a station file through one fixed buffer: header lines of any length, then record fields
// read the way the C library's formatted input reads them, with the line number of every field at
// hand for messages. Memory stays constant whatever the file's length; only a single field or
// header line longer than the buffer makes it grow.
#pragma once

#include <cstddef>  // std::size_t
#include <cstdint>
#include <cstdio>  // std::FILE
#include <string>
#include <vector>

#include "reading/number_scan.hpp"

namespace kelvarin {

struct InputReader {
  std::FILE* file = nullptr;
  std::vector<char> buffer;  // unread data at [pos, end), always followed by a NUL
  std::size_t pos = 0;
  std::size_t end = 0;
  bool atEnd = false;            // the file has nothing more to give
  bool readFailed = false;       // ... because reading failed, not because it ended
  bool tooLong = false;          // a line or field would outgrow kMaxBufferBytes
  std::uint64_t lineNumber = 1;  // the line of the character at pos
  std::uint64_t discarded = 0;   // bytes of the file before buffer[0]
};

/// Characters of look-ahead guaranteed before a field is scanned: more than any decision about
/// where a number starts needs.
inline constexpr std::size_t kFieldLookahead = 64;

/// Bytes kept after the data: a NUL that ends the last field, and room for a 64-byte load from any
/// position of the data (the white-space masks of the vector value path).
inline constexpr std::size_t kBufferTail = 1 + 64;

/// The most one header line or one field may hold. No station file comes near it; a file without
/// line breaks (or /dev/zero) must end in a message, not in all the machine's memory.
inline constexpr std::size_t kMaxBufferBytes = std::size_t{64} << 20;

/// Returns a reader of `file` (opened for reading) with a buffer of `blockSize` bytes.
InputReader makeInputReader(std::FILE* file, std::size_t blockSize = std::size_t{1} << 17);

/// Moves the unread data to the front and reads more, growing the buffer when it is full (up to
/// kMaxBufferBytes, then setting tooLong). Returns false when nothing more could be read. After a
/// read error the data ends at its last white space: a field cut by the error is not data.
bool refill(InputReader& reader);

/// Reads one line, its line break included (a last line may have none), into `line`. Returns false
/// when the input has ended before the line's first character, or when the line is longer than
/// kMaxBufferBytes (tooLong is then set).
bool readLine(InputReader& reader, std::string& line);

/// Returns `c` as a message shows it: control characters as '?'.
inline char shownInMessage(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u < 0x20 || u == 0x7f ? '?' : c;
}

/// Returns up to `maxLength` characters of the field at the reader's position (up to the next white
/// space), control characters shown as '?', for messages.
std::string fieldPreview(InputReader& reader, std::size_t maxLength = 40);

/// Moves `pos` past the white space at it in `data` (which must end in a byte that is not white
/// space, as the reader's NUL does) and adds the line breaks passed to `lines`.
inline void skipSpaceInData(const char* data, std::size_t& pos, std::uint64_t& lines) {
  std::size_t p = pos;
  for (char c = data[p]; isWhiteSpace(c); c = data[++p]) {
    lines += (c == '\n');
  }
  pos = p;
}

/// Skips white space (blank, tab, CR, LF, VT, FF), counting lines. Returns false at the end of the
/// input, true when a field starts at the reader's position.
inline bool skipSpace(InputReader& reader) {
  for (;;) {
    skipSpaceInData(reader.buffer.data(), reader.pos, reader.lineNumber);
    if (reader.pos < reader.end) {
      return true;  // stopped at a field (a NUL in the data is a field too, not the end)
    }
    if (!refill(reader)) {
      return false;
    }
  }
}

/// Scans the field at the reader's position with `scan` (one of the number scanners) and moves past
/// what it took. The field must have been found by skipSpace. A field that outgrows
/// kMaxBufferBytes is scanned as far as it was read, with tooLong set.
template <typename Scan>
auto scanField(InputReader& reader, Scan scan) {
  for (;;) {
    if (reader.end - reader.pos < kFieldLookahead && !reader.atEnd && !reader.tooLong) {
      refill(reader);
      continue;
    }
    const auto result = scan(reader.buffer.data() + reader.pos);
    if (reader.pos + result.length >= reader.end && !reader.atEnd && !reader.tooLong) {
      refill(reader);  // the number may go on in the next block
      continue;
    }
    reader.pos += result.length;
    return result;
  }
}

}  // namespace kelvarin
