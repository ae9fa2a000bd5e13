// The vector value path with AVX2 masks. This file alone is compiled with -mavx2; it is called
// only where the processor has AVX2 (detectVectorLevel).
#if defined(__x86_64__)
#include <immintrin.h>

#include "value_vector_impl.hpp"

namespace kelvarin::vector_path {

namespace {

// Two 32-byte compares of each kind; the same test as the SSE2 masks.
struct Avx2Masks {
  static Masks of(const char* p) {
    Masks m{0, 0, 0};
    for (unsigned half = 0; half < 2; ++half) {
      const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * half));
      const __m256i shifted = _mm256_sub_epi8(bytes, _mm256_set1_epi8(9));
      const __m256i control =
          _mm256_cmpeq_epi8(_mm256_min_epu8(shifted, _mm256_set1_epi8(4)), shifted);
      const __m256i space =
          _mm256_or_si256(control, _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(' ')));
      m.space |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(space)))
                 << (32 * half);
      m.lineBreaks |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(
                          _mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('\n')))))
                      << (32 * half);
      m.zeros |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(
                     _mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('0')))))
                 << (32 * half);
    }
    return m;
  }
};

}  // namespace

bool readStampFieldsAvx2(InputReader& in, RecentDate& recent, RecordStamp& stamp,
                         std::uint64_t& yearLine, std::uint64_t& monthLine) {
  return readStampFields<Avx2Masks>(in, recent, stamp, yearLine, monthLine);
}

std::size_t addValuesAvx2(InputReader& in, ValueCache& cache, double* sums, std::size_t first,
                          std::size_t columns, double inputUnitMin, const double* missing,
                          double* taken) {
  return addValuesKeeping<Avx2Masks>(in, cache, sums, first, columns, inputUnitMin, missing, taken);
}

}  // namespace kelvarin::vector_path
#endif
