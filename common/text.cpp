#include "text.hpp"

#include <algorithm>  // std::count, std::equal, std::all_of
#include <cstring>    // std::memchr
#include <optional>

namespace kelvarin {

namespace {

char lowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Returns the length of the UTF-8 character at the start of `text`, or 0 when its bytes are no
// such character (a byte of latin-1 text, say).
std::size_t utf8Length(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t length = 0;
  if (lead < 0x80) {
    length = 1;
  } else if (lead >= 0xC2 && lead < 0xE0) {
    length = 2;
  } else if (lead >= 0xE0 && lead < 0xF0) {
    length = 3;
  } else if (lead >= 0xF0 && lead < 0xF5) {
    length = 4;
  }
  if (length == 0 || length > text.size()) {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      return 0;
    }
  }
  return length;
}

void appendHex(std::string& text, unsigned char byte) {
  constexpr char kHex[] = "0123456789ABCDEF";
  text += "\\x";
  text += kHex[byte >> 4];
  text += kHex[byte & 0xF];
}

}  // namespace

std::string_view trimBlanks(std::string_view text, char separator) {
  while (!text.empty() && isBlank(text.front(), separator)) {
    text.remove_prefix(1);
  }
  while (!text.empty() && isBlank(text.back(), separator)) {
    text.remove_suffix(1);
  }
  return text;
}

std::vector<std::string_view> splitAtBlankRuns(std::string_view row) {
  std::vector<std::string_view> fields;
  for (std::size_t at = 0; at < row.size();) {
    const std::size_t start = row.find_first_not_of(" \t", at);
    if (start == std::string_view::npos) {
      break;
    }
    const std::size_t end = std::min(row.find_first_of(" \t", start), row.size());
    fields.push_back(row.substr(start, end - start));
    at = end;
  }
  return fields;
}

std::vector<std::string_view> splitFields(std::string_view row, char separator) {
  if (separator == ' ') {
    return splitAtBlankRuns(row);
  }
  std::vector<std::string_view> fields;
  // One allocation a row: a table of 20,000 stations spent a tenth of its reading on growing it.
  fields.reserve(static_cast<std::size_t>(std::count(row.begin(), row.end(), separator)) + 1);
  for (std::size_t start = 0;;) {
    const std::size_t end = std::min(row.find(separator, start), row.size());
    fields.push_back(trimBlanks(row.substr(start, end - start), separator));
    if (end == row.size()) {
      return fields;
    }
    start = end + 1;
  }
}

std::optional<char> mostFrequentOf(std::string_view row, std::string_view candidates) {
  std::ptrdiff_t best = 0;
  std::optional<char> found;
  for (const char candidate : candidates) {
    const std::ptrdiff_t count = std::count(row.begin(), row.end(), candidate);
    if (count > best) {
      best = count;
      found = candidate;
    }
  }
  return found;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return lowerAscii(x) == lowerAscii(y);
         });
}

std::string foldCase(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) {
    c = lowerAscii(c);
  }
  return folded;
}

bool allDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string_view withoutByteOrderMark(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") {
    text.remove_prefix(3);
  }
  return text;
}

std::optional<std::string> notTextTable(std::string_view firstLine) {
  if (firstLine.substr(0, 2) == "\x1F\x8B") {
    return "compressed with gzip, as archives ship their files: unpack it first (gunzip)";
  }
  if (firstLine.substr(0, 4) == "PK\x03\x04") {
    return "a zip archive, as archives ship their files: unpack it first (unzip) and give the "
           "files inside";
  }
  if (firstLine.substr(0, 2) == "\xFF\xFE" || firstLine.substr(0, 2) == "\xFE\xFF") {
    return "UTF-16 text (its byte order mark); save the table as UTF-8";
  }
  if (firstLine.find('\0') != std::string_view::npos) {
    return "NUL bytes in the header row " + quoteText(firstLine) +
           ": not a text table (UTF-16 text? then save it as UTF-8)";
  }
  if (firstLine.find('\r') != std::string_view::npos) {
    return "lines ended by a lone CR (carriage return): convert the line ends to LF";
  }
  return std::nullopt;
}

std::string escapeControls(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const std::size_t length = utf8Length(text.substr(i));
    if (length > 1 || (length == 1 && byte >= 0x20 && byte != 0x7F)) {
      escaped.append(text.substr(i, length));
      i += length;
      continue;
    }
    if (byte == '\n') {
      escaped += "\\n";
    } else if (byte == '\r') {
      escaped += "\\r";
    } else if (byte == '\t') {
      escaped += "\\t";
    } else {
      appendHex(escaped, byte);
    }
    ++i;
  }
  return escaped;
}

std::string toUtf8(std::string_view text) {
  bool utf8 = true;
  for (std::size_t i = 0; i < text.size() && utf8;) {
    const std::size_t length = utf8Length(text.substr(i));
    utf8 = length > 0;
    i += length;
  }
  if (utf8) {
    return std::string(text);
  }
  std::string converted;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      converted += c;
    } else {
      converted += static_cast<char>(0xC0 | (byte >> 6));
      converted += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return converted;
}

std::string quoteText(std::string_view text) {
  constexpr std::size_t kShown = 60;
  if (text.size() <= kShown) {
    return '"' + escapeControls(text) + '"';
  }
  std::size_t cut = kShown;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
    --cut;  // not inside a character of several bytes
  }
  return '"' + escapeControls(text.substr(0, cut)) + "\"...";
}

namespace {

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

std::size_t quotesIn(std::string_view text) {
  // Rows seldom hold a quote: memchr passes over a row of none at once.
  std::size_t quotes = 0;
  const char* at = text.data();
  const char* const end = at + text.size();
  while (at != end) {
    const void* found = std::memchr(at, '"', static_cast<std::size_t>(end - at));
    if (found == nullptr) {
      break;
    }
    ++quotes;
    at = static_cast<const char*>(found) + 1;
  }
  return quotes;
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
      // One look at each byte: fields are short, and a search for the separator and another
      // for a quote cost more in their calls than in their bytes.
      bool quoted = false;
      next = at;
      while (next < row.size() && row[next] != separator) {
        quoted = quoted || row[next] == '"';
        ++next;
      }
      // Most fields have no blank at either end: trimmed, they stay as they are.
      field = row.substr(at, next - at);
      if (!field.empty() &&
          (isBlank(field.front(), separator) || isBlank(field.back(), separator))) {
        field = trimBlanks(field, separator);
      }
      if (quoted && status == FieldStatus::kFields) {
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

}  // namespace kelvarin
