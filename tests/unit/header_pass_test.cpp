#include "reading/header_pass.hpp"

#include "captured_stream.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>

namespace kelvarin {
namespace {

struct ColumnCase {
  const char* line;
  std::optional<std::size_t> columns;
};

const ColumnCase kColumnCases[] = {
    // column header line as read                      columns
    {"YYYY MM DD H 1001 1002 1003\n", 3},
    {"YYYY MM DD H   1001  \t 1002\t\t1003\n", 3},
    {"YYYY MM DD H\t1001\t1002\t1003\t\n", 3},
    {"YYYY MM DD H 1001 0 1003\n", 1},
    {"YYYY MM DD H 1001 abc 1003\n", 1},
    {"YYYY MM DD H 1001 12abc\n", 2},
    {"YYYY MM DD H -5 +7 00 9\n", 2},              // a word of zeros ends the list
    {"YYYY MM DD H 1001 0012\n", 2},               // leading zeros before other digits count
    {"YYYY MM DD H 99999999999999999999 1\n", 2},  // too long for an integer: still nonzero
    {"YYYY MM DD H 1001 1002\r\n", 2},             // CR is white space
    {"YYYY MM DD H 1001 1002", 2},                 // last line without a line break
    {"YYYY MM DD H\n", 0},                         // 12 characters and the line break
    {"YYYY MM DD HH1001\n", 0},                    // the label field is never read
    {"YYYY MM DD H1001 1002\n", 2},
    {"YYYY MM DD \n", std::nullopt},  // 11 characters and the line break
    {"", std::nullopt},
    {"YYYY MM DD H 1001\v1002 1003\n", 2},  // only blanks and tabs separate identifiers
};

TEST(HeaderPassTest, CountsStationColumns) {
  for (const ColumnCase& c : kColumnCases) {
    EXPECT_EQ(countColumns(c.line), c.columns) << c.line;
  }
}

TEST(HeaderPassTest, CountsThousandsOfColumnsOnOneLine) {
  std::string line = "YYYY MM DD H";
  for (int station = 1; station <= 5000; ++station) {
    line += " " + std::to_string(10000 + station);
  }
  EXPECT_EQ(countColumns(line + "\n"), 5000u);
}

TEST(HeaderPassTest, OddWhiteSpaceStaysLinear) {
  // Every tab moves the count on, while the word is read past any white space: the next word is
  // counted once for each tab before it. A quadratic scan would take minutes here.
  std::string line = "YYYY MM DD H 1";
  for (int i = 0; i < 200000; ++i) {
    line += "\v\t";
  }
  EXPECT_EQ(countColumns(line + "2\n"), 200001u);
}

struct PassResult {
  bool ok;
  std::string output;
  std::string console;
  std::size_t sums;
};

PassResult runPass(const std::string& input) {
  std::FILE* in = fmemopen(const_cast<char*>(input.data()), input.size(), "r");
  testing::CapturedStream out;
  testing::CapturedStream console;
  InputReader reader = makeInputReader(in, 7);
  OutputBuffer buffer = makeOutputBuffer(testing::openCapture(out), 5);
  std::vector<double> sums;
  std::string columnHeader;
  std::FILE* consoleFile = testing::openCapture(console);
  const std::optional<ReadFault> fault =
      runHeaderPass(reader, buffer, {consoleFile, consoleFile}, sums, columnHeader);
  if (fault) {
    std::fprintf(consoleFile, "%s\n", faultMessage(*fault).c_str());
  }
  const bool ok = !fault;
  flushLines(buffer);
  std::fclose(in);
  const std::string output = testing::closeCapture(out);
  return {ok, output, testing::closeCapture(console), sums.size()};
}

TEST(HeaderPassTest, CopiesTheHeaderByteForByte) {
  const std::string header = "title \t with blanks\r\nYYYY MM DD H  1001\t1002\r\nthree\n" +
                             std::string(5000, 'w') + "\nfive\n";
  const PassResult result = runPass(header + "2023 6 21 3 0.1 0.2\n");
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.output, header);
  EXPECT_EQ(result.console, "2 columns\n");
  EXPECT_EQ(result.sums, 3u);
}

TEST(HeaderPassTest, ShortOrMissingHeadersKeepWhatWasRead) {
  struct Case {
    const char* input;
    const char* output;
    const char* console;
  };
  const Case cases[] = {
      // input                                 output kept                  console
      {"", "", "error reading input file\n"},
      {"one\n", "one\n", "error reading input file\n"},
      {"one\nYYYY MM DD \nthree\n", "one\nYYYY MM DD \n", "error reading input file\n"},
      {"one\nYYYY MM DD H 7\nthree\nfour", "one\nYYYY MM DD H 7\nthree\nfour",
       "1 columns\nerror reading input file\n"},
      {"one\nYYYY MM DD H 7\n3\n4\nfive", "one\nYYYY MM DD H 7\n3\n4\nfive", "1 columns\n"},
  };
  for (const Case& c : cases) {
    const PassResult result = runPass(c.input);
    EXPECT_EQ(result.output, c.output) << c.input;
    EXPECT_EQ(result.console, c.console) << c.input;
  }
}

}  // namespace
}  // namespace kelvarin
