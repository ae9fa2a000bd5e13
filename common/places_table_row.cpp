// The row kelvarin-prepare writes, apart from the reading: the shortest text of a float brings
// large tables of its own into a program, and kelvarin needs none of them.
#include <charconv>  // std::to_chars

#include "places_table.hpp"
#include "text.hpp"  // escapeControls

namespace kelvarin {

namespace {

std::string angleText(float angleDeg) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, angleDeg).ptr);
}

}  // namespace

std::string placesTableRow(std::string_view station, float latitudeDeg, float longitudeDeg,
                           std::string_view name) {
  // A name holding the separator or a quote is quoted as RFC 4180 has it, as kelvarin reads it.
  const std::string shown = escapeControls(name);
  std::string field = shown;
  if (shown.find_first_of(";\"") != std::string::npos) {
    field = "\"";
    for (const char c : shown) {
      field += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    field += '"';
  }
  return std::string(station) + ';' + angleText(latitudeDeg) + ';' + angleText(longitudeDeg) + ';' +
         field + '\n';
}

}  // namespace kelvarin
