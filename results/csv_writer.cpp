#include "csv_writer.hpp"

#include <string>

#include "result_text.hpp"

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
  columns_ = columns;
  for (std::string& station : columns_.stations) {
    station = csvField(station);
  }
  return std::fprintf(file_, "%s\r\n", kCsvHeader) > 0;
}

bool CsvWriter::step(const StepReport& report) {
  const std::vector<std::string_view> values = tableValues(report.line, report.columns);
  const std::string start = isoTime(report.startMin);
  const std::string end = isoTime(report.endMin);
  for (std::size_t c = 1; c <= report.columns && c <= values.size(); ++c) {
    const std::string_view relative = values[c - 1];
    const bool missing = isMissingText(relative);
    char sums[96] = "";
    if (!missing) {
      std::snprintf(sums, sizeof sums, "%.3f", report.sunshineMin[c]);
    }
    if (std::fprintf(file_, "%s,%s,%s,%s,%s,%.*s,%s,%.3f,%.4f\r\n",
                     columns_.stations[c - 1].c_str(),
                     shortestText(columns_.latitudeDeg[c - 1]).c_str(),
                     shortestText(columns_.longitudeDeg[c - 1]).c_str(), start.c_str(), end.c_str(),
                     missing ? 0 : static_cast<int>(relative.size()), relative.data(), sums,
                     report.possibleMin[c],
                     observedShare(report.possibleMin[c], report.missingMin[c])) < 0) {
      return false;
    }
  }
  return std::ferror(file_) == 0;
}

}  // namespace kelvarin
