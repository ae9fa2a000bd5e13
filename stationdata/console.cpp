#include "console.hpp"

#include <cinttypes>  // PRIu64
#include <string>

#include "reading/header_pass.hpp"  // printablePrefix, kColumnLabelWidth
#include "writing/step_line.hpp"    // the day's fields, written as "%d" writes them

namespace kelvarin {

void sayColumns(const RunConsole& console, std::size_t columns) {
  std::fprintf(console.report, "%zu columns\n", columns);
}

void sayDay(const RunConsole& console, const RecordStamp& stamp, bool shortcuts) {
  char text[3 * 21];
  std::fwrite(
      text, 1,
      detail::writeThreeFields(stamp.day, stamp.month, stamp.year, '.', '\n', text, shortcuts),
      console.report);
}

void sayWarning(const RunConsole& console, std::string_view text) {
  std::fprintf(console.alerts, "warning: %.*s\n", static_cast<int>(text.size()), text.data());
}

std::string lastStepCutText(std::int32_t records, std::int32_t recordsPerStep) {
  char what[160];
  std::snprintf(what, sizeof what,
                "last step incomplete: %d of %d records at the end of the input file, no line "
                "written for them",
                records, recordsPerStep);
  return what;
}

std::string namedStationsText(std::string_view header) {
  return "the column header names no station numbers after its " +
         std::to_string(kColumnLabelWidth) + "-character label field: \"" +
         printablePrefix(header, 60) + "\"";
}

std::string withoutSkylineText(const std::vector<std::int64_t>& stations) {
  constexpr std::size_t kNamed = 10;
  std::string text = std::to_string(stations.size()) +
                     (stations.size() == 1 ? " station has" : " stations have") +
                     " no rows in the horizon table, its horizon taken flat:";
  for (std::size_t i = 0; i < stations.size() && i < kNamed; ++i) {
    text += (i == 0 ? " " : ", ") + std::to_string(stations[i]);
  }
  if (stations.size() > kNamed) {
    text += " and " + std::to_string(stations.size() - kNamed) + " more";
  }
  return text;
}

void sayMissingValues(const RunConsole& console, std::uint64_t count,
                      const std::vector<double>& markers) {
  std::string shown;
  for (const double marker : markers) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", marker);
    shown += (shown.empty() ? "" : ", ") + std::string(text);
  }
  std::fprintf(console.report,
               "%" PRIu64
               " values missing (%s): one at night counts as no sunshine; a step with one in "
               "daylight is written as -9999.000, unless --coverage lets its other records "
               "stand for it\n",
               count, shown.c_str());
}

void sayGapSteps(const RunConsole& console, const std::vector<std::uint64_t>& partial,
                 const std::vector<std::uint64_t>& missing,
                 const std::vector<std::uint64_t>& firstLine,
                 const std::vector<std::int64_t>& stations) {
  constexpr std::size_t kColumnsNamed = 5;
  std::uint64_t partialSteps = 0;
  std::uint64_t missingSteps = 0;
  std::string columns;
  std::size_t named = 0;
  std::size_t more = 0;
  for (std::size_t c = 1; c < partial.size(); ++c) {
    partialSteps += partial[c];
    missingSteps += missing[c];
    if (partial[c] + missing[c] == 0) {
      continue;
    }
    if (named == kColumnsNamed) {
      ++more;
      continue;
    }
    char text[160];
    std::snprintf(text, sizeof text, "%scolumn %zu", named == 0 ? "" : "; ", c);
    columns += text;
    if (c < stations.size()) {
      columns += " (station " + std::to_string(stations[c]) + ")";
    }
    std::snprintf(text, sizeof text,
                  ": %" PRIu64 " from part, %" PRIu64 " missing, first at line %" PRIu64,
                  partial[c], missing[c], firstLine[c]);
    columns += text;
    ++named;
  }
  if (partialSteps + missingSteps == 0) {
    return;
  }
  if (more > 0) {
    columns += "; and " + std::to_string(more) + " more columns";
  }
  std::fprintf(console.report,
               "%" PRIu64 " steps worked out from part of their daylight, %" PRIu64
               " written as -9999.000 for records missing in daylight: %s\n",
               partialSteps, missingSteps, columns.c_str());
}

}  // namespace kelvarin
