#include "input_reader.hpp"

#include <cstring>  // std::memmove

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
    std::memmove(reader.buffer.data(), reader.buffer.data() + reader.pos, unread);
    reader.pos = 0;
    reader.end = unread;
  }
  const std::size_t capacity = reader.buffer.size() - kBufferTail;
  if (reader.end == capacity) {
    reader.buffer.resize(2 * capacity + kBufferTail);
  }
  const std::size_t room = reader.buffer.size() - kBufferTail - reader.end;
  const std::size_t got = std::fread(reader.buffer.data() + reader.end, 1, room, reader.file);
  reader.end += got;
  reader.buffer[reader.end] = '\0';
  if (got < room) {
    // fread only stops short at the end of the file or on an error.
    reader.readFailed = std::ferror(reader.file) != 0;
    reader.atEnd = true;
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
    const auto c = static_cast<unsigned char>(reader.buffer[p]);
    if (isWhiteSpace(static_cast<char>(c))) {
      break;
    }
    preview.push_back(c < 0x20 || c == 0x7f ? '?' : static_cast<char>(c));
  }
  return preview;
}

}  // namespace kelvarin
