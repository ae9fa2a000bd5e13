#include "text_rows.hpp"

#include <algorithm>  // std::all_of, std::count, std::equal
#include <cerrno>
#include <cstring>  // std::memchr
#include <optional>

#include <unistd.h>  // pread: a file read again at the rows of one station

namespace kelvarin::prepare {

namespace {

// Reads the next line without its line break (and without a CR before it). The line lies in the
// chunk when it was whole there, otherwise in `spill`; either stays valid until the next call.
RowStatus nextLine(RowReader& reader, std::string& spill, std::string_view& line) {
  bool spilled = false;
  spill.clear();
  for (;;) {
    if (reader.begin == reader.end) {
      if (reader.atEnd) {
        if (!spilled) {
          return RowStatus::kEnd;
        }
        line = spill;
        reader.lastLineUnended = true;
        break;
      }
      errno = 0;
      reader.chunkStart += reader.end;
      reader.begin = 0;
      bool failed = false;
      if (reader.file != nullptr) {
        reader.end = std::fread(reader.chunk.data(), 1, reader.chunk.size(), reader.file);
        failed = reader.end == 0 && std::ferror(reader.file);
      } else {
        const int descriptor = reader.descriptor ? reader.descriptor() : -1;
        const ssize_t got = descriptor < 0
                                ? -1
                                : pread(descriptor, reader.chunk.data(), reader.chunk.size(),
                                        static_cast<off_t>(reader.chunkStart));
        failed = got < 0;
        reader.end = failed ? 0 : static_cast<std::size_t>(got);
      }
      if (reader.end == 0) {
        if (failed) {
          reader.error = errno;
          return RowStatus::kReadError;
        }
        reader.atEnd = true;
      }
      continue;
    }
    const char* start = reader.chunk.data() + reader.begin;
    const std::size_t available = reader.end - reader.begin;
    const auto* lineBreak = static_cast<const char*>(std::memchr(start, '\n', available));
    const std::size_t length =
        lineBreak == nullptr ? available : static_cast<std::size_t>(lineBreak - start);
    if (spill.size() + length > kMaxRowBytes) {
      return RowStatus::kTooLong;
    }
    reader.begin += lineBreak == nullptr ? length : length + 1;
    if (lineBreak != nullptr && !spilled) {
      line = std::string_view(start, length);
      break;
    }
    spill.append(start, length);
    spilled = true;
    if (lineBreak != nullptr) {
      line = spill;
      break;
    }
  }
  ++reader.linesRead;
  if (!line.empty() && line.back() == '\r') {
    line.remove_suffix(1);
  }
  return RowStatus::kRow;
}

}  // namespace

RowStatus nextRow(RowReader& reader) {
  reader.line = reader.linesRead + 1;
  reader.rowOffset = reader.chunkStart + reader.begin;
  std::string_view line;
  RowStatus status = nextLine(reader, reader.spill, line);
  if (status != RowStatus::kRow) {
    return status;
  }
  // In a row quoted as RFC 4180 writes it, an odd number of quotes means that a quoted field
  // goes on in the next line; counting them keeps a long field linear to read.
  std::size_t quotes = quotesIn(line);
  if (quotes % 2 == 0) {
    reader.row = line;
    return RowStatus::kRow;
  }
  reader.joined.assign(line);
  while (quotes % 2 == 1) {
    status = nextLine(reader, reader.spill, line);
    if (status == RowStatus::kEnd) {
      return RowStatus::kOpenQuote;
    }
    if (status != RowStatus::kRow) {
      return status;
    }
    if (reader.joined.size() + 1 + line.size() > kMaxRowBytes) {
      return RowStatus::kTooLong;
    }
    reader.joined += '\n';
    reader.joined += line;
    quotes += quotesIn(line);
  }
  reader.row = reader.joined;
  return RowStatus::kRow;
}

void resumeAt(RowReader& reader, std::uint64_t offset, std::uint64_t line) {
  reader.chunkStart = offset;
  reader.begin = 0;
  reader.end = 0;
  reader.atEnd = false;
  reader.spill.clear();
  reader.linesRead = line - 1;
  reader.lastLineUnended = false;
}

}  // namespace kelvarin::prepare
