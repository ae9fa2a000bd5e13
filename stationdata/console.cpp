#include "console.hpp"

#include <cinttypes>  // PRIu64
#include <string>

#include "writing/step_line.hpp"  // the day's fields, written as "%d" writes them

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
               " values missing (%s): their columns are written as -9999.000 in steps with "
               "daylight\n",
               count, shown.c_str());
}

}  // namespace kelvarin
