#include "read_fault.hpp"

namespace kelvarin {

std::string faultMessage(const ReadFault& fault) {
  std::string message = "error reading input file";
  if (fault.line != 0) {
    message += ": line " + std::to_string(fault.line);
  }
  if (!fault.field.empty()) {
    message += ": " + fault.field + " " + fault.text;
  } else if (!fault.text.empty()) {
    message += ": " + fault.text;
  }
  return message;
}

}  // namespace kelvarin
