#include "text_rows.hpp"

#include <algorithm>  // std::all_of, std::count, std::equal
#include <cerrno>
#include <cstring>  // std::memchr
#include <optional>

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
      reader.begin = 0;
      reader.end = std::fread(reader.chunk.data(), 1, reader.chunk.size(), reader.file);
      if (reader.end == 0) {
        if (std::ferror(reader.file)) {
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

std::size_t quotesIn(std::string_view text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '"'));
}

// Reads the quoted field whose opening quote stands at `at` into `field` (a view into the row,
// or into `fields.unescaped` where "" stood for one quote). Returns where its closing quote
// stands, or nothing when there is none.
std::optional<std::size_t> readQuoted(std::string_view row, std::size_t at, Fields& fields,
                                      std::string_view& field) {
  const std::size_t unescapedStart = fields.unescaped.size();
  std::size_t from = at + 1;
  std::size_t quote = row.find('"', from);
  // Each "" inside stands for one quote: the text up to the first of them is kept.
  while (quote != std::string_view::npos && quote + 1 < row.size() && row[quote + 1] == '"') {
    fields.unescaped.append(row.substr(from, quote + 1 - from));
    from = quote + 2;
    quote = row.find('"', from);
  }
  if (quote == std::string_view::npos) {
    return std::nullopt;
  }
  if (from == at + 1) {
    field = row.substr(from, quote - from);
  } else {
    fields.unescaped.append(row.substr(from, quote - from));
    field = std::string_view(fields.unescaped).substr(unescapedStart);
  }
  return quote;
}

}  // namespace

RowStatus nextRow(RowReader& reader) {
  reader.line = reader.linesRead + 1;
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

FieldStatus splitRow(std::string_view row, char separator, std::size_t maxFields, Fields& fields) {
  fields.views.clear();
  fields.unescaped.clear();
  fields.unescaped.reserve(row.size());  // never moves while views point into it
  fields.count = 0;
  fields.faultAt = 0;
  FieldStatus status = FieldStatus::kFields;
  const auto blank = [separator](char c) { return c == ' ' || (c == '\t' && separator != '\t'); };
  std::size_t at = 0;
  for (;;) {
    ++fields.count;
    while (at < row.size() && blank(row[at])) {
      ++at;
    }
    std::string_view field;
    std::size_t next = 0;  // where the field's separator stands, or the row's end
    if (at < row.size() && row[at] == '"') {
      const std::optional<std::size_t> quote = readQuoted(row, at, fields, field);
      if (!quote) {
        fields.faultAt = fields.count;
        return FieldStatus::kStrayQuote;
      }
      next = *quote + 1;
      while (next < row.size() && blank(row[next])) {
        ++next;
      }
      if (next < row.size() && row[next] != separator && status == FieldStatus::kFields) {
        status = FieldStatus::kTextAfterQuote;
        fields.faultAt = fields.count;
      }
      next = std::min(row.find(separator, next), row.size());
    } else {
      next = std::min(row.find(separator, at), row.size());
      field = trimBlanks(row.substr(at, next - at), separator);
      if (field.find('"') != std::string_view::npos && status == FieldStatus::kFields) {
        status = FieldStatus::kStrayQuote;
        fields.faultAt = fields.count;
      }
    }
    if (fields.views.size() < maxFields) {
      fields.views.push_back(field);
    }
    if (next >= row.size()) {
      break;
    }
    at = next + 1;
  }
  if (status == FieldStatus::kFields && fields.count > maxFields) {
    status = FieldStatus::kTooMany;
  }
  return status;
}

}  // namespace kelvarin::prepare
