// The vector kernel with AVX2 masks. This file alone is compiled with -mavx2, and is used only
// where the processor has AVX2 (detectVectorLevel): everything it defines lies in its own
// namespace, which a test checks on the object file.
#if defined(__x86_64__)
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "reading/kernels/kernel_api.hpp"
#include "reading/number_scan.hpp"  // detail::kPowersOfTenDouble

namespace kelvarin::kernels::avx2 {

#include "column_sums.inc"
#include "reading/char_classes.inc"
#include "reading/short_decimals.inc"

// Two 32-byte compares of each kind; the same test as the SSE2 masks.
inline Masks masksOf(const char* p) {
  Masks m{0, 0, 0};
  for (unsigned half = 0; half < 2; ++half) {
    const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * half));
    const __m256i shifted = _mm256_sub_epi8(bytes, _mm256_set1_epi8(9));
    const __m256i control =
        _mm256_cmpeq_epi8(_mm256_min_epu8(shifted, _mm256_set1_epi8(4)), shifted);
    const __m256i space = _mm256_or_si256(control, _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(' ')));
    const auto bits = [](__m256i mask) {
      return static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(mask)));
    };
    m.space |= bits(space) << (32 * half);
    m.lineBreaks |= bits(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('\n'))) << (32 * half);
    m.zeros |= bits(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('0'))) << (32 * half);
  }
  return m;
}

#include "reading/kernels/kernel_body.inc"

}  // namespace kelvarin::kernels::avx2
#endif
