// The vector kernel with SSE2 masks, part of every x86-64.
#if defined(__x86_64__)
#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "reading/kernels/kernel_api.hpp"
#include "reading/number_scan.hpp"  // detail::kPowersOfTenDouble

namespace kelvarin::kernels::sse2 {

#include "column_sums.inc"
#include "reading/char_classes.inc"
#include "reading/short_decimals.inc"

// Four 16-byte compares: a byte is white space when it is a blank, or 9 to 13 (tab to CR), which
// after subtracting 9 is at most 4 as an unsigned byte.
inline Masks masksOf(const char* p) {
  const __m128i blank = _mm_set1_epi8(' ');
  const __m128i nine = _mm_set1_epi8(9);
  const __m128i four = _mm_set1_epi8(4);
  const __m128i newline = _mm_set1_epi8('\n');
  const __m128i zero = _mm_set1_epi8('0');
  Masks m{0, 0, 0};
  for (unsigned part = 0; part < 4; ++part) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * part));
    const __m128i shifted = _mm_sub_epi8(bytes, nine);
    const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(shifted, four), shifted);
    const __m128i space = _mm_or_si128(control, _mm_cmpeq_epi8(bytes, blank));
    const auto bits = [](__m128i mask) {
      return static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(mask)));
    };
    m.space |= bits(space) << (16 * part);
    m.lineBreaks |= bits(_mm_cmpeq_epi8(bytes, newline)) << (16 * part);
    m.zeros |= bits(_mm_cmpeq_epi8(bytes, zero)) << (16 * part);
  }
  return m;
}

#include "reading/kernels/kernel_body.inc"

}  // namespace kelvarin::kernels::sse2
#endif
