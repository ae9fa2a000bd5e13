// The vector kernel with masks computed one byte at a time: for any processor, and the one
// KELVARIN_VECTOR=portable chooses.
#include <cstddef>
#include <cstdint>

#include "reading/kernels/kernel_api.hpp"
#include "reading/number_scan.hpp"  // detail::kPowersOfTenDouble

namespace kelvarin::kernels::portable {

#include "column_sums.inc"
#include "reading/char_classes.inc"
#include "reading/short_decimals.inc"

inline Masks masksOf(const char* p) {
  Masks m{0, 0, 0};
  for (unsigned i = 0; i < 64; ++i) {
    m.space |= static_cast<std::uint64_t>(isWhiteSpace(p[i])) << i;
    m.lineBreaks |= static_cast<std::uint64_t>(p[i] == '\n') << i;
    m.zeros |= static_cast<std::uint64_t>(p[i] == '0') << i;
  }
  return m;
}

#include "reading/kernels/kernel_body.inc"

}  // namespace kelvarin::kernels::portable
