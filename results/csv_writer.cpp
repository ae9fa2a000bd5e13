#include "csv_writer.hpp"

#include <algorithm>
#include <cstring>
#include <string>

#include "result_text.hpp"
#include "step/results.hpp"  // kMissingValue

namespace kelvarin {

namespace {

// A field as RFC 4180 writes it: quoted where it holds a comma, a quote or a line break.
std::string csvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    return std::string(text);
  }
  std::string quoted = "\"";
  for (const char c : text) {
    quoted += c == '"' ? "\"\"" : std::string(1, c);
  }
  return quoted + "\"";
}

}  // namespace

CsvWriter::~CsvWriter() {
  if (file_ != nullptr) {
    std::fclose(file_);
  }
}

bool CsvWriter::finish() {
  if (file_ == nullptr) {
    return false;
  }
  bool written = std::fflush(file_) == 0 && std::ferror(file_) == 0;
  written = std::fclose(file_) == 0 && written;
  file_ = nullptr;
  return written;
}

bool CsvWriter::begin(const ReportColumns& columns) {
  prefixes_.clear();
  for (std::size_t c = 0; c < columns.stations.size(); ++c) {
    prefixes_.push_back(csvField(columns.stations[c]) + "," + shortestText(columns.latitudeDeg[c]) +
                        "," + shortestText(columns.longitudeDeg[c]) + ",");
  }
  return std::fprintf(file_, "%s\r\n", kCsvHeader) > 0;
}

bool CsvWriter::step(const StepReport& report) {
  // What every row of the step shares, worked out once; the numbers by the program's own
  // fixed-point writer, not printf, which took most of the time of a file of many stations.
  const std::string times = isoTime(report.startMin) + "," + isoTime(report.endMin) + ",";
  const std::size_t rows = std::min(report.columns, prefixes_.size());
  std::size_t longest = 0;
  for (std::size_t c = 0; c < rows; ++c) {
    longest = std::max(longest, prefixes_[c].size());
  }
  rows_.resize(rows * (longest + times.size() + kMaxResultLength + 3 * kMaxFixedLength + 24));
  char* out = rows_.data();
  const auto put = [&out](std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    out += text.size();
  };
  for (std::size_t c = 1; c <= rows; ++c) {
    put(prefixes_[c - 1]);
    put(times);
    const double relative = report.relative[c];
    if (relative != kMissingValue) {
      // The table's own writer, digit for digit, without the tab it begins with.
      put(resultText(relative).view());
      *out++ = ',';
      put(sunshine_.text(report.sunshineMin[c]));
      *out++ = ',';
    } else {
      put(",,");
    }
    // The columns of one place share their possible sunshine, and many steps their sunshine:
    // the text of the value met last serves again.
    put(possible_.text(report.possibleMin[c]));
    const double share = observedShare(report.possibleMin[c], report.missingMin[c]);
    if (share == 1.0) {
      put(",1.0000\r\n");
    } else {
      out += std::snprintf(out, kMaxFixedLength, ",%.4f\r\n", share);
    }
  }
  const auto size = static_cast<std::size_t>(out - rows_.data());
  return std::fwrite(rows_.data(), 1, size, file_) == size;
}

std::string_view CsvWriter::LastMinutes::text(double minutes) {
  if (!kept_ || std::memcmp(&minutes, &value_, sizeof minutes) != 0) {
    kept_ = true;
    value_ = minutes;
    length_ = formatMinutes(minutes, text_);
  }
  return {text_, length_};
}

}  // namespace kelvarin
