#include "reading/record_reader.hpp"

#include <gtest/gtest.h>

#include <algorithm>  // std::find

#include <cstdio>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "reading/kernels/kernel_api.hpp"

namespace kelvarin {
namespace {

// Everything the record reader leaves behind after each record, to compare two ways of reading.
std::string readRecords(const std::string& text, std::size_t columns, std::size_t blockSize,
                        bool shortcuts, VectorLevel level = VectorLevel::kPortable,
                        const std::vector<double>& missing = {}) {
  std::FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
  InputReader reader = makeInputReader(file, blockSize);
  RecordReader records = makeRecordReader(reader, shortcuts, missing, columns, level);
  std::vector<double> sums(columns + 1, 0.0);
  std::string seen;
  char line[128];
  RecordStamp stamp;
  ReadOutcome got;
  while ((got = readRecord(records, stamp, sums.data(), columns, 60.0)) != ReadOutcome::kEnd &&
         got != ReadOutcome::kBadStamp) {
    const bool ok = got == ReadOutcome::kRecord;
    const long position = std::ftell(file) - static_cast<long>(reader.end - reader.pos);
    std::snprintf(line, sizeof line, "record at line %llu: %d %d %d %a, now at %ld line %llu:",
                  static_cast<unsigned long long>(records.recordLine), stamp.year, stamp.month,
                  stamp.day, static_cast<double>(stamp.hourH), position,
                  static_cast<unsigned long long>(reader.lineNumber));
    seen += line;
    for (std::size_t c = 1; c <= columns; ++c) {
      std::snprintf(line, sizeof line, " %a", sums[c]);
      seen += line;
      if (std::find(records.missingColumns.begin(), records.missingColumns.end(), c) !=
          records.missingColumns.end()) {
        seen += " missing";
      }
    }
    seen += "\n";
    if (!ok) {
      break;
    }
  }
  std::fclose(file);
  return got == ReadOutcome::kEnd ? seen : seen + faultMessage(records.fault);
}

// Every way of computing the white-space masks this processor runs.
std::vector<VectorLevel> levels() {
  std::vector<VectorLevel> all{VectorLevel::kPortable};
  if (detectVectorLevel() != VectorLevel::kPortable) {
    all.push_back(VectorLevel::kSse2);
  }
  if (detectVectorLevel() == VectorLevel::kAvx2) {
    all.push_back(VectorLevel::kAvx2);
  }
  return all;
}

// Random records in the forms station files have and in forms only a broken file has.
std::string randomRecords(std::mt19937& rng, std::size_t columns) {
  using namespace std::string_view_literals;
  // The first 20 are numbers; the rest only a broken file holds, control bytes among them (a NUL
  // after a value seen before once passed the fast path as a blank).
  static const std::string_view kValues[] = {
      "0"sv,       "0"sv,      "0"sv,
      "0.1"sv,     "1"sv,      "-999"sv,
      "0.5-999"sv, "0.0625"sv, "60"sv,
      "05"sv,      "+.5"sv,    "5."sv,
      "-0"sv,      "1e-1"sv,   "0.123456789012345678"sv,
      "1e"sv,      "12.75"sv,  "0.1000000000000000055511151231257827"sv,
      "-999.0"sv,  "17"sv,     "0,25"sv,
      "0x10"sv,    "nan"sv,    "1e999"sv,
      "x"sv,       "1e308"sv,  "0.5\x01"sv,
      "00"sv,      "3.25"sv,   "0.1\0"sv,
      "\0"sv,      "0\0"sv,    "-999\0"sv,
      "0.1\x7f"sv, "1\x1b"sv,  "0.45"sv};
  static const std::string_view kSpaces[] = {
      " "sv,
      " "sv,
      " "sv,
      "  "sv,
      "\t"sv,
      "\n"sv,
      "\r\n"sv,
      " \n "sv,
      "\v"sv,
      "\f"sv,
      "                                                                      \n"sv};
  std::uniform_int_distribution<std::size_t> value(0, std::size(kValues) - 1);
  std::uniform_int_distribution<std::size_t> space(0, std::size(kSpaces) - 1);
  std::uniform_int_distribution<int> percent(0, 99);
  const bool faulty = percent(rng) < 30;
  std::string text;
  const int records = 1 + percent(rng) / 4;
  std::string previousValues;
  for (int r = 0; r < records; ++r) {
    // Stamps as files write them, and as only broken files do.
    static const char* const kYears[] = {"2023",   "2023",  "02023",    "-5",
                                         "2023.0", "+2023", "123456789"};
    static const char* const kHours[] = {"0",  "13",  "24",       "12.5",     "-1",           "5.",
                                         "9x", "1e1", "0.166667", "16777217", "0.00000000001"};
    // Mostly one day, as a day's records repeat its date, but now and then another spelled
    // almost the same: the remembered date must not be taken for it.
    static const char* const kDays[] = {"2", "1", "211", "21.5", "021", "-21"};
    const auto separator = [&] {
      return std::string(percent(rng) < 75 ? " "sv : kSpaces[space(rng)]);
    };
    text += std::string(percent(rng) < 90 ? "2023" : kYears[rng() % std::size(kYears)]) +
            separator() + "6" + separator() +
            (percent(rng) < 85 ? "21" : kDays[rng() % std::size(kDays)]) + separator() +
            (percent(rng) < 70 ? std::to_string(r % 24) : kHours[rng() % std::size(kHours)]);
    // Night records: zeros with one kind of separator, but now and then another value among them.
    // A record may also repeat the values of the one before character for character, or go on
    // after them.
    const bool night = percent(rng) < 40;
    const char* const nightSpace = percent(rng) < 50 ? " " : "\t";
    std::string values;
    for (std::size_t c = 0; c < columns; ++c) {
      if (night && percent(rng) < 97) {
        values += nightSpace;
        values += "0";
        continue;
      }
      values += kSpaces[space(rng)];
      std::size_t v = value(rng);
      while (!faulty && v >= 20) {  // the broken forms only in some files
        v = value(rng);
      }
      values += kValues[v];
    }
    const int repeat = percent(rng);
    if (repeat < 15) {
      values = previousValues;
    } else if (repeat < 20 && !previousValues.empty()) {
      values = previousValues + "5";  // its last value goes on: "0" becomes "05"
    }
    previousValues = values;
    text += values;
    text += percent(rng) < 80 ? "\n" : "\r\n";
  }
  if (percent(rng) < 20) {
    text.resize(text.size() - static_cast<std::size_t>(percent(rng)) % text.size());
  }
  return text;
}

// The shortcut through the values must read exactly what the general path reads: the same sums
// to the last bit, the same position and line after every record, the same message on a fault.
TEST(RecordReaderTest, FastPathReadsWhatTheGeneralPathReads) {
  std::mt19937 rng(20261207);
  // Without a declared missing value, and with the common ones (a marker of 0 turns the runs of
  // zeros off), one or several.
  const std::vector<double> markers[] = {{}, {-999.0}, {0.0}, {0.1}, {-999.0, 0.1}, {1.0, -0.0}};
  for (int round = 0; round < 1600; ++round) {
    // Few columns, and enough for runs of 32 zeros and more.
    const std::size_t columns = round % 3 == 0 ? 30 + static_cast<std::size_t>(round % 70)
                                               : 1 + static_cast<std::size_t>(round % 9);
    const std::vector<double>& missing = markers[static_cast<std::size_t>(round) % 6];
    const std::string text = randomRecords(rng, columns);
    const std::string general =
        readRecords(text, columns, std::size_t{1} << 17, false, VectorLevel::kPortable, missing);
    for (std::size_t blockSize : {std::size_t{1} << 17, std::size_t{7}, std::size_t{64},
                                  std::size_t{77}, std::size_t{150}}) {
      for (const VectorLevel level : levels()) {
        ASSERT_EQ(readRecords(text, columns, blockSize, true, level, missing), general)
            << vectorLevelName(level) << ", block " << blockSize << ", markers " << missing.size()
            << ":\n"
            << text;
      }
    }
  }
}

// Runs of zeros are passed 32 at a time; a zero joined to a digit ("05") ends the run, wherever it
// stands, and so does a record shorter than the run.
TEST(RecordReaderTest, RunsOfZerosStopAtAJoinedDigit) {
  for (std::size_t joined = 0; joined < 40; ++joined) {
    std::string text = "2023 6 21 1";
    for (std::size_t c = 0; c < 40; ++c) {
      text += c == joined ? " 05" : " 0";
    }
    text += "\n2023 6 21 2";
    for (std::size_t c = 0; c < 40; ++c) {
      text += "\t0";
    }
    text += "\n";
    const std::string general = readRecords(text, 40, std::size_t{1} << 17, false);
    for (const VectorLevel level : levels()) {
      EXPECT_EQ(readRecords(text, 40, std::size_t{1} << 17, true, level), general)
          << "05 in column " << joined + 1;
    }
  }
}

TEST(RecordReaderTest, RepeatedRunTogetherFieldsStayTwoFields) {
  std::string text;
  for (int r = 0; r < 4; ++r) {
    text += "2023 6 21 12 0.5-999 7\n";
  }
  const std::string seen = readRecords(text, 3, std::size_t{1} << 17, true);
  EXPECT_EQ(seen, readRecords(text, 3, std::size_t{1} << 17, false));
  EXPECT_NE(seen.find("0x1.ep+6 -0x1.d448p+17 0x1.a4p+10"), std::string::npos) << seen;
}

// A stream whose reads fail after `limit` bytes, as a disk does with EIO.
struct FailingSource {
  std::string text;
  std::size_t offset = 0;
  std::size_t limit = 0;
};

std::FILE* openFailing(FailingSource& source) {
  cookie_io_functions_t io{};
  io.read = [](void* cookie, char* buffer, std::size_t size) -> ssize_t {
    auto& s = *static_cast<FailingSource*>(cookie);
    if (s.offset >= s.limit) {
      return -1;
    }
    const std::size_t n = std::min(size, s.limit - s.offset);
    std::memcpy(buffer, s.text.data() + s.offset, n);
    s.offset += n;
    return static_cast<ssize_t>(n);
  };
  return fopencookie(&source, "r", io);
}

// A read error cuts the data where the last complete field ends: a number cut in two by it
// ("0.123456" read as "0.1") enters no sum.
TEST(RecordReaderTest, AReadErrorKeepsOnlyWholeFields) {
  const std::string text = "2023 6 21 12 0.5 0.25\n2023 6 21 13 0.125 0.123456\n";
  for (std::size_t limit = 0; limit <= text.size(); ++limit) {
    FailingSource source{text, 0, limit};
    std::FILE* file = openFailing(source);
    InputReader reader = makeInputReader(file, 4096);
    RecordReader records = makeRecordReader(reader, true, {}, 2);
    double sums[3] = {0.0, 0.0, 0.0};
    int whole = 0;
    RecordStamp stamp;
    while (readRecord(records, stamp, sums, 2, 1.0) == ReadOutcome::kRecord) {
      ++whole;
    }
    std::fclose(file);
    const int expected = limit >= text.size() ? 2 : (limit >= 22 ? 1 : 0);
    EXPECT_EQ(whole, expected) << "fails after " << limit << " bytes";
    if (limit < text.size()) {
      EXPECT_EQ(faultMessage(records.fault),
                "error reading input file: the file could not be read to its end")
          << "fails after " << limit << " bytes";
      const double second = limit >= 47 ? 0.123456 : 0.0;
      EXPECT_TRUE(sums[2] == 0.25 + second || sums[2] == 0.25 || sums[2] == 0.0)
          << "fails after " << limit << " bytes: " << sums[2];
    }
  }
}

}  // namespace
}  // namespace kelvarin
