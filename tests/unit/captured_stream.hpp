// A stream that keeps what is written to it, so that tests can compare output and console text.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace kelvarin::testing {

/// Open with openCapture, read with closeCapture. Must stay where it is while open.
struct CapturedStream {
  char* text = nullptr;
  std::size_t size = 0;
  std::FILE* file = nullptr;
};

inline std::FILE* openCapture(CapturedStream& stream) {
  stream.file = open_memstream(&stream.text, &stream.size);
  return stream.file;
}

/// Closes the stream and returns everything written to it.
inline std::string closeCapture(CapturedStream& stream) {
  std::fclose(stream.file);
  std::string written(stream.text, stream.size);
  std::free(stream.text);
  return written;
}

}  // namespace kelvarin::testing
