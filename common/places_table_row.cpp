// The row kelvarin-prepare writes, apart from the reading: the shortest text of a float brings
// large tables of its own into a program, and kelvarin needs none of them.
#include <algorithm>  // std::replace
#include <charconv>   // std::to_chars

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
  // kelvarin splits rows at ';': one in a name would make it two fields.
  std::string shown = escapeControls(name);
  std::replace(shown.begin(), shown.end(), ';', ',');
  return std::string(station) + ';' + angleText(latitudeDeg) + ';' + angleText(longitudeDeg) + ';' +
         shown + '\n';
}

}  // namespace kelvarin
