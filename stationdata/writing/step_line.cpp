#include "writing/step_line.hpp"

namespace kelvarin {

void reportDay(std::FILE* report, const RecordStamp& stamp, bool shortcuts) {
  char text[3 * 21];
  std::fwrite(
      text, 1,
      detail::writeThreeFields(stamp.day, stamp.month, stamp.year, '.', '\n', text, shortcuts),
      report);
}

}  // namespace kelvarin
