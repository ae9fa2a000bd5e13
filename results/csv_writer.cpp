#include "csv_writer.hpp"

#include <string>

#include "result_text.hpp"
#include "writing/fixed_format.hpp"  // formatFixed

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

bool CsvWriter::begin(const ReportColumns& columns) {
  prefixes_.clear();
  for (std::size_t c = 0; c < columns.stations.size(); ++c) {
    prefixes_.push_back(csvField(columns.stations[c]) + "," + shortestText(columns.latitudeDeg[c]) +
                        "," + shortestText(columns.longitudeDeg[c]) + ",");
  }
  return std::fprintf(file_, "%s\r\n", kCsvHeader) > 0;
}

bool CsvWriter::step(const StepReport& report) {
  const std::vector<std::string_view> values = tableValues(report.line, report.columns);
  // What every row of the step shares, worked out once; the numbers by the program's own
  // fixed-point writer, not printf, which took most of the time of a file of many stations.
  const std::string times = isoTime(report.startMin) + "," + isoTime(report.endMin) + ",";
  char number[kMaxFixedLength];
  rows_.clear();
  for (std::size_t c = 1; c <= report.columns && c <= values.size(); ++c) {
    const std::string_view relative = values[c - 1];
    const bool missing = isMissingText(relative);
    rows_ += prefixes_[c - 1];
    rows_ += times;
    if (!missing) {
      rows_ += relative;
      rows_ += ',';
      rows_.append(number, formatMinutes(report.sunshineMin[c], number));
      rows_ += ',';
    } else {
      rows_ += ",,";
    }
    rows_.append(number, formatMinutes(report.possibleMin[c], number));
    const double share = observedShare(report.possibleMin[c], report.missingMin[c]);
    if (share == 1.0) {
      rows_ += ",1.0000\r\n";
    } else {
      const int n = std::snprintf(number, sizeof number, ",%.4f\r\n", share);
      rows_.append(number, static_cast<std::size_t>(n));
    }
  }
  return std::fwrite(rows_.data(), 1, rows_.size(), file_) == rows_.size();
}

}  // namespace kelvarin
