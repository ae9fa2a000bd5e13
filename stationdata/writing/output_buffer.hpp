// Buffered output of the data file, line by line: only whole lines ever reach the file, so a run
// stopped in the middle of a step line leaves every complete line before it and nothing of the
// broken one.
#pragma once

#include <cstddef>  // std::size_t
#include <cstdio>   // std::FILE
#include <cstring>  // std::memcpy
#include <string_view>
#include <vector>

namespace kelvarin {

struct OutputBuffer {
  std::FILE* file = nullptr;
  // Where whole lines go instead of `file`, when set: the driver's writer, which keeps the file
  // in whole lines whatever stops the run.
  bool (*writeLines)(void* sink, const char* data, std::size_t size) = nullptr;
  void* sink = nullptr;
  std::vector<char> data;  // [0, committed) whole lines, [committed, size) the open line
  std::size_t size = 0;
  std::size_t committed = 0;
  std::size_t flushThreshold = 0;
  bool writeFailed = false;  // a write to the file failed; nothing more is written
};

/// Returns a buffer over `file` (opened for writing) that writes in blocks of about `blockSize`;
/// without a file, the lines are dropped.
OutputBuffer makeOutputBuffer(std::FILE* file, std::size_t blockSize = std::size_t{1} << 17);

/// Returns room for `length` more characters of the open line; advance() then says how many
/// were used.
inline char* room(OutputBuffer& out, std::size_t length) {
  if (out.data.size() - out.size < length) {
    out.data.resize(2 * out.data.size() + length);
  }
  return out.data.data() + out.size;
}

inline void advance(OutputBuffer& out, std::size_t length) {
  out.size += length;
}

inline void append(OutputBuffer& out, std::string_view text) {
  std::memcpy(room(out, text.size()), text.data(), text.size());
  advance(out, text.size());
}

/// Writes what the buffer holds of whole lines to the file. Returns false once a write failed.
bool flushLines(OutputBuffer& out);

/// Ends the open line (its line break must be in it) and writes when a block is full.
inline void commitLine(OutputBuffer& out) {
  out.committed = out.size;
  if (out.committed >= out.flushThreshold) {
    flushLines(out);
  }
}

/// Drops the open line, so that no part of it reaches the file.
inline void discardOpenLine(OutputBuffer& out) {
  out.size = out.committed;
}

}  // namespace kelvarin
