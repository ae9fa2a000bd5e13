#include "reading/input_reader.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace kelvarin {
namespace {

// Reads `text` as one header line and then fields, through a buffer of `blockSize` bytes, and
// describes what was read: the line, then each field's line number and value or fault.
std::string readAll(const std::string& text, std::size_t blockSize) {
  std::FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
  InputReader reader = makeInputReader(file, blockSize);
  std::string header;
  std::string seen = readLine(reader, header) ? "[" + header + "]" : "[no line]";
  while (skipSpace(reader)) {
    const std::uint64_t line = reader.lineNumber;
    const Scanned<double> field = scanField(reader, scanDouble);
    seen += " " + std::to_string(line) + ":";
    if (field.status != ScanStatus::kOk) {
      seen += "<" + fieldPreview(reader) + ">";
      break;
    }
    seen += std::to_string(field.value);
  }
  std::fclose(file);
  return seen;
}

TEST(InputReaderTest, FieldsSplitAcrossBlocksReadTheSame) {
  const std::string texts[] = {
      "header line one\n2023 6 21 3 0.1 -999 0.0625\n2023 6 21 4 1 0.5-999 1e-3\n",
      "h\r\n1.000000000000000000000001\r\n+.5 5. 1e 7 00012",
      std::string(300, 'x') + "\n12 \t\v\f 13\n\n\n14 abc 15",
      "no line break at all",
      "",
      "h\n0.5 1e+",
  };
  for (const std::string& text : texts) {
    const std::string whole = readAll(text, std::size_t{1} << 17);
    for (std::size_t blockSize = 1; blockSize <= 9; ++blockSize) {
      EXPECT_EQ(readAll(text, blockSize), whole) << "block " << blockSize << ": " << text;
    }
  }
}

TEST(InputReaderTest, CountsLinesOfEveryLineEnd) {
  EXPECT_EQ(readAll("h\n1\n\n2\r\n3 x\n", 4), "[h\n] 2:1.000000 4:2.000000 5:3.000000 5:<x>");
}

TEST(InputReaderTest, KeepsNulBytesAsData) {
  const std::string text("a\0b\n1 \0 2", 9);
  EXPECT_EQ(readAll(text, 3), std::string("[a\0b\n] 2:1.000000 2:<?>", 23));
}

TEST(InputReaderTest, MemoryStaysAtTheBlockSizeForShortFields) {
  std::string text = "h\n";
  for (int i = 0; i < 20000; ++i) {
    text += "2023 6 21 3 0.1 0.45\n";
  }
  std::FILE* file = fmemopen(text.data(), text.size(), "r");
  InputReader reader = makeInputReader(file, 4096);
  std::string header;
  ASSERT_TRUE(readLine(reader, header));
  while (skipSpace(reader)) {
    scanField(reader, scanDouble);
  }
  EXPECT_EQ(reader.buffer.size(), 4096 + kBufferTail);
  std::fclose(file);
}

}  // namespace
}  // namespace kelvarin
