#include "reading/header_pass.hpp"

#include <algorithm>  // std::min
#include <string>

#include "reading/number_scan.hpp"  // isWhiteSpace, isDigit

namespace kelvarin {

namespace {

// The integer prefix of a word is nonzero when, after an optional sign, its leading digits hold a
// digit other than 0. Digit strings too long for an integer count as nonzero.
bool hasNonzeroPrefix(std::string_view word) {
  std::size_t i = 0;
  if (i < word.size() && (word[i] == '+' || word[i] == '-')) {
    ++i;
  }
  for (; i < word.size() && isDigit(word[i]); ++i) {
    if (word[i] != '0') {
      return true;
    }
  }
  return false;
}

}  // namespace

namespace {

// Walks the identifiers of a column header line after its label field, calling `visit` with each
// word whose integer prefix is nonzero, up to the first one whose prefix is zero or absent.
// Returns false for a line of 12 characters or fewer.
template <typename Visit>
bool walkIdentifiers(std::string_view line, Visit visit) {
  if (line.size() <= kColumnLabelWidth) {
    return false;
  }
  // Blanks become tabs, and a tab and a line break close the text, so that tabs alone mark where
  // one identifier ends and the next begins.
  std::string text(line.substr(kColumnLabelWidth));
  for (char& c : text) {
    if (c == ' ') {
      c = '\t';
    }
  }
  text += "\t\n";
  std::size_t pos = 0;
  std::size_t counter = 0;
  std::size_t wordStart = 0;
  std::size_t wordEnd = 0;
  for (;;) {
    while (pos < text.size() && text[pos] == '\t') {
      ++pos;
    }
    // The word is the one after the white space from pos on. When pos still lies before the last
    // word found, only white space separates them and the word is the same: not scanning again
    // keeps lines of odd white space linear.
    if (counter == 0 || pos > wordStart) {
      wordStart = pos;
      while (wordStart < text.size() && isWhiteSpace(text[wordStart])) {
        ++wordStart;
      }
      wordEnd = wordStart;
      while (wordEnd < text.size() && !isWhiteSpace(text[wordEnd])) {
        ++wordEnd;
      }
    }
    ++counter;
    const std::size_t tab = text.find('\t', pos);
    if (tab != std::string::npos) {
      pos = tab;
    }
    const std::string_view word = std::string_view(text).substr(wordStart, wordEnd - wordStart);
    if (!hasNonzeroPrefix(word)) {
      return true;
    }
    visit(word);
  }
}

}  // namespace

std::optional<std::size_t> countColumns(std::string_view line) {
  std::size_t columns = 0;
  if (!walkIdentifiers(line, [&columns](std::string_view) { ++columns; })) {
    return std::nullopt;
  }
  return columns;
}

std::vector<ColumnStation> columnStations(std::string_view line) {
  std::vector<ColumnStation> stations;
  walkIdentifiers(line, [&stations](std::string_view word) {
    stations.push_back({stationNumberPrefix(word), std::string(word)});
  });
  return stations;
}

std::string printablePrefix(std::string_view text, std::size_t maxLength) {
  std::string shown;
  for (const char c : text.substr(0, std::min(maxLength, text.find_first_of("\r\n")))) {
    shown.push_back(shownInMessage(c));
  }
  return shown;
}

std::optional<ReadFault> runHeaderPass(InputReader& in, OutputBuffer& out,
                                       const RunConsole& console, std::vector<double>& columnSums,
                                       std::string& columnHeader) {
  std::string line;
  for (int lineNumber = 1; lineNumber <= kHeaderLines; ++lineNumber) {
    if (!readLine(in, line)) {
      if (in.tooLong) {
        return ReadFault{
            static_cast<std::uint64_t>(lineNumber), {}, "header line longer than 64 MiB"};
      }
      return ReadFault{};
    }
    append(out, line);
    commitLine(out);
    if (lineNumber == 2) {
      const std::optional<std::size_t> columns = countColumns(line);
      if (!columns) {
        return ReadFault{};
      }
      columnSums.assign(*columns + 1, 0.0);
      columnHeader = line;
      sayColumns(console, *columns);
    }
  }
  return std::nullopt;
}

}  // namespace kelvarin
