#include "reading/input_reader.hpp"

#include <algorithm>  // std::min
#include <cstring>    // std::memmove

namespace kelvarin {

InputReader makeInputReader(std::FILE* file, std::size_t blockSize) {
  InputReader reader;
  reader.file = file;
  reader.buffer.assign(blockSize + kBufferTail, '\0');
  return reader;
}

bool refill(InputReader& reader) {
  if (reader.atEnd) {
    return false;
  }
  const std::size_t unread = reader.end - reader.pos;
  if (reader.pos > 0) {
    reader.discarded += reader.pos;
    std::memmove(reader.buffer.data(), reader.buffer.data() + reader.pos, unread);
    reader.pos = 0;
    reader.end = unread;
  }
  const std::size_t capacity = reader.buffer.size() - kBufferTail;
  if (reader.end == capacity) {
    if (capacity >= kMaxBufferBytes) {
      reader.tooLong = true;
      return false;
    }
    reader.buffer.resize(std::min(2 * capacity, kMaxBufferBytes) + kBufferTail);
  }
  const std::size_t room = reader.buffer.size() - kBufferTail - reader.end;
  const std::size_t got = std::fread(reader.buffer.data() + reader.end, 1, room, reader.file);
  reader.end += got;
  reader.buffer[reader.end] = '\0';
  if (got < room) {
    // fread only stops short at the end of the file or on an error.
    reader.readFailed = std::ferror(reader.file) != 0;
    reader.atEnd = true;
    if (reader.readFailed) {
      // The error may have cut a field ("0.123456" read as "0.1"): only what ends in white space
      // was read whole.
      const std::size_t before = reader.end - got;
      std::size_t whole = reader.end;
      while (whole > reader.pos && !isWhiteSpace(reader.buffer[whole - 1])) {
        --whole;
      }
      reader.end = whole;
      reader.buffer[whole] = '\0';
      return whole > before;
    }
  }
  return got > 0;
}

bool readLine(InputReader& reader, std::string& line) {
  line.clear();
  for (;;) {
    const char* start = reader.buffer.data() + reader.pos;
    const auto* lineEnd =
        static_cast<const char*>(std::memchr(start, '\n', reader.end - reader.pos));
    if (lineEnd != nullptr) {
      const auto length = static_cast<std::size_t>(lineEnd - start) + 1;
      line.append(start, length);
      reader.pos += length;
      ++reader.lineNumber;
      return true;
    }
    line.append(start, reader.end - reader.pos);
    reader.pos = reader.end;
    if (line.size() > kMaxBufferBytes) {
      reader.tooLong = true;
      return false;
    }
    if (!refill(reader)) {
      return !line.empty();
    }
  }
}

std::string fieldPreview(InputReader& reader, std::size_t maxLength) {
  while (reader.end - reader.pos < maxLength && refill(reader)) {
  }
  std::string preview;
  for (std::size_t p = reader.pos; p < reader.end && preview.size() < maxLength; ++p) {
    const char c = reader.buffer[p];
    if (isWhiteSpace(c)) {
      break;
    }
    preview.push_back(shownInMessage(c));
  }
  return preview;
}

}  // namespace kelvarin
