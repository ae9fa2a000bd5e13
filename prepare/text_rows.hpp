// Rows of delimited text as other programs write them, read with every byte treated as hostile:
// lines are bounded, quoted fields are read as RFC 4180 defines them, and text quoted back in a
// message is short and shows its control bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>  // std::function
#include <string>
#include <string_view>
#include <vector>

#include "text.hpp"  // trimBlanks, equalsIgnoringCase, quoteText: shared with kelvarin

namespace kelvarin::prepare {

/// The longest row read, as kelvarin bounds its header lines: a file without line breaks, or no
/// table at all, is refused instead of filling the memory.
constexpr std::size_t kMaxRowBytes = std::size_t{64} << 20;

/// The most fields a header row may name: beyond any real table, and a bound on the memory that
/// a row of separators alone could take.
constexpr std::size_t kMaxFields = 65536;

/// What reading a row gave.
enum class RowStatus {
  kRow,        // a row, in `RowReader::row`
  kEnd,        // the end of the file, no row
  kTooLong,    // a row beyond kMaxRowBytes
  kOpenQuote,  // the file ended inside a quoted field
  kReadError,  // the system could not read the file; errno tells why
};

/// Reads the rows of one table through a fixed chunk: a row is a line, or several where a quoted
/// field holds a line break. A line's CR before its LF is dropped.
struct RowReader {
  std::FILE* file = nullptr;
  // Where `file` is none, the chunk is read by pread at `chunkStart` from the descriptor this
  // gives (-1: none, a read error): a file read again may have been closed in between.
  std::function<int()> descriptor;
  std::vector<char> chunk = std::vector<char>(std::size_t{1} << 16);
  std::size_t begin = 0;
  std::size_t end = 0;
  std::uint64_t chunkStart = 0;  // the file's byte at chunk[0]
  std::uint64_t rowOffset = 0;   // the byte where the last row begins
  bool atEnd = false;
  std::string spill;             // a line that did not lie whole in the chunk
  std::string joined;            // a row of several lines
  std::string_view row;          // the last row read
  std::uint64_t line = 0;        // the number of the last row's first line
  std::uint64_t linesRead = 0;   // every line so far
  int error = 0;                 // errno of a read error
  bool lastLineUnended = false;  // the file ended inside a line: it may have been cut short
};

/// Reads the next row into `reader.row`.
RowStatus nextRow(RowReader& reader);

/// Makes `reader` go on at byte `offset` of its file, the start of line `line`: read again, the
/// file's later rows come out as they did the first time.
void resumeAt(RowReader& reader, std::uint64_t offset, std::uint64_t line);

// The fields of a row, as both programs read them: FieldStatus, Fields and splitRow (text.hpp).
using kelvarin::Fields;
using kelvarin::FieldStatus;
using kelvarin::splitRow;

}  // namespace kelvarin::prepare
