// Delimited text as both programs read it: blanks around fields, separators, header names in any
// case, and the first bytes that tell a text table from something else.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvarin {

/// Returns true for the blanks around a field: blanks, CR, LF, and tabs unless `separator` is the
/// tab that separates fields.
inline bool isBlank(char c, char separator) {
  return c == ' ' || (c == '\t' && separator != '\t') || c == '\r' || c == '\n';
}

/// Returns true when `text` is blanks alone (isBlank with no separator), or empty: it stops at the
/// first byte that is none, where trimming would go on to the row's end.
inline bool allBlank(std::string_view text) {
  for (const char c : text) {
    if (!isBlank(c, '\0')) {
      return false;
    }
  }
  return true;
}

/// Returns `text` without the blanks around it (isBlank).
std::string_view trimBlanks(std::string_view text, char separator);

/// Splits `row` at runs of blanks and tabs; blanks at either end give no empty field.
std::vector<std::string_view> splitAtBlankRuns(std::string_view row);

/// Splits `row` at `separator`, each field trimmed, or at runs of blanks where it is ' '.
/// Quotes are not special here: the tables read this way never quote.
std::vector<std::string_view> splitFields(std::string_view row, char separator);

/// Returns the most frequent of `candidates` in `row` (the first of them on a tie), or nothing
/// when none stands in it.
std::optional<char> mostFrequentOf(std::string_view row, std::string_view candidates);

/// Returns true when `a` and `b` are the same text but for the case of the letters A to Z. Only
/// those are folded: folding by a bit would make '-' equal CR and '_' equal DEL.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

/// Returns `text` with the letters A to Z made lower case, as equalsIgnoringCase compares it.
std::string foldCase(std::string_view text);

/// Returns true when `text` is one or more decimal digits and nothing else.
bool allDigits(std::string_view text);

/// Returns `text` with control bytes written as \r, \t, \n or \xNN, and so every byte that is
/// not part of a UTF-8 character: safe to put in a one-line header or message.
std::string escapeControls(std::string_view text);

/// Returns `text` as UTF-8: as it is when it is UTF-8 already, otherwise read as latin-1, the
/// encoding of older archive files.
std::string toUtf8(std::string_view text);

/// Returns `text` escaped and in double quotes, cut to its first 60 bytes ("..." then follows),
/// for a message that quotes a line of a file.
std::string quoteText(std::string_view text);

/// Returns `text` without the UTF-8 byte order mark that some programs write before a table.
std::string_view withoutByteOrderMark(std::string_view text);

/// Returns why a table whose first line (byte order mark removed) is `firstLine` cannot be read
/// as text: gzip or zip, UTF-16, NUL bytes or lines ended by a lone CR. Nothing when it can.
std::optional<std::string> notTextTable(std::string_view firstLine);

/// The quoting fault of a row, if any.
enum class FieldStatus {
  kFields,          // every field read
  kTooMany,         // more than `maxFields`; only the first `maxFields` are kept
  kTextAfterQuote,  // a quoted field followed by more than blanks before its separator
  kStrayQuote,      // a quote inside a field that does not start with one
};

/// The fields of one row. Quoted fields lose their quotes and "" stands for one quote; blanks
/// around a field are removed (tabs too unless the tab separates).
struct Fields {
  std::vector<std::string_view> views;  // into the row, or into `unescaped`
  std::string unescaped;
  std::size_t count = 0;    // every field of the row, also those beyond `maxFields`
  std::size_t faultAt = 0;  // 1-based field of a quoting fault
};

/// Returns the number of quotes in `text`: an odd count in a row means a quoted field goes on in
/// the next line.
std::size_t quotesIn(std::string_view text);

/// Splits `row` at `separator` into `fields`, keeping at most `maxFields`.
FieldStatus splitRow(std::string_view row, char separator, std::size_t maxFields, Fields& fields);

}  // namespace kelvarin
