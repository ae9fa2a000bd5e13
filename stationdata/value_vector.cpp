#include "value_vector.hpp"

#if defined(__x86_64__)
#include <emmintrin.h>  // SSE2, part of every x86-64
#endif

#include "value_vector_impl.hpp"

namespace kelvarin {

namespace vector_path {

// Defined in value_vector_avx2.cpp, which alone is compiled for AVX2.
std::size_t addValuesAvx2(InputReader& in, ValueCache& cache, double* sums, std::size_t first,
                          std::size_t columns, double inputUnitMin, const double* missing,
                          double* taken);

bool readStampFieldsAvx2(InputReader& in, RecentDate& recent, RecordStamp& stamp,
                         std::uint64_t& yearLine, std::uint64_t& monthLine);

namespace {

#if defined(__x86_64__)
// Four 16-byte compares: a byte is white space when it is a blank, or 9 to 13 (tab to CR), which
// after subtracting 9 is at most 4 as an unsigned byte.
struct Sse2Masks {
  static Masks of(const char* p) {
    const __m128i blank = _mm_set1_epi8(' ');
    const __m128i nine = _mm_set1_epi8(9);
    const __m128i four = _mm_set1_epi8(4);
    const __m128i newline = _mm_set1_epi8('\n');
    Masks m{0, 0, 0};
    for (unsigned part = 0; part < 4; ++part) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * part));
      const __m128i shifted = _mm_sub_epi8(bytes, nine);
      const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(shifted, four), shifted);
      const __m128i space = _mm_or_si128(control, _mm_cmpeq_epi8(bytes, blank));
      m.space |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(space)))
                 << (16 * part);
      m.lineBreaks |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(
                          _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, newline))))
                      << (16 * part);
      m.zeros |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(
                     _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('0')))))
                 << (16 * part);
    }
    return m;
  }
};
#endif

}  // namespace

}  // namespace vector_path

VectorLevel detectVectorLevel() {
#if defined(__x86_64__)
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") ? VectorLevel::kAvx2 : VectorLevel::kSse2;
#else
  return VectorLevel::kPortable;
#endif
}

const char* vectorLevelName(VectorLevel level) {
  switch (level) {
    case VectorLevel::kPortable:
      return "portable";
    case VectorLevel::kSse2:
      return "sse2";
    case VectorLevel::kAvx2:
      return "avx2";
  }
  return "";
}

bool readStampFields(VectorLevel level, InputReader& in, RecentDate& recent, RecordStamp& stamp,
                     std::uint64_t& yearLine, std::uint64_t& monthLine) {
  if (vector_path::readRepeatedDate(in, recent, stamp, yearLine, monthLine)) {
    return true;
  }
  switch (level) {
#if defined(__x86_64__)
    case VectorLevel::kAvx2:
      return vector_path::readStampFieldsAvx2(in, recent, stamp, yearLine, monthLine);
    case VectorLevel::kSse2:
      return vector_path::readStampFields<vector_path::Sse2Masks>(in, recent, stamp, yearLine,
                                                                  monthLine);
#endif
    default:
      return vector_path::readStampFields<vector_path::PortableMasks>(in, recent, stamp, yearLine,
                                                                      monthLine);
  }
}

std::size_t addValuesVector(VectorLevel level, InputReader& in, ValueCache& cache,
                            RecentValues& recent, double* sums, std::size_t first,
                            std::size_t columns, double inputUnitMin, const double* missing) {
  // A record of few columns is remembered whole, to be found again at the next one.
  const bool narrow = first == 1 && columns <= RecentValues::kMaxColumns;
  if (narrow && vector_path::addRepeatedValues(in, recent, sums, columns, inputUnitMin)) {
    return columns + 1;
  }
  const std::size_t start = in.pos;
  const std::uint64_t line = in.lineNumber;
  double* const taken = narrow ? recent.values.data() : nullptr;
  std::size_t c = 0;
  switch (level) {
#if defined(__x86_64__)
    case VectorLevel::kAvx2:
      c = vector_path::addValuesAvx2(in, cache, sums, first, columns, inputUnitMin, missing, taken);
      break;
    case VectorLevel::kSse2:
      c = vector_path::addValuesKeeping<vector_path::Sse2Masks>(in, cache, sums, first, columns,
                                                                inputUnitMin, missing, taken);
      break;
#endif
    default:
      c = vector_path::addValuesKeeping<vector_path::PortableMasks>(in, cache, sums, first, columns,
                                                                    inputUnitMin, missing, taken);
  }
  if (narrow) {
    // Only a record taken whole on one line is remembered: the values of any other are not all
    // in `taken`.
    const std::size_t length = in.pos - start;
    if (c > columns && in.lineNumber == line && length <= RememberedText::kMaxLength) {
      vector_path::remember(recent.text, in.buffer.data() + start, static_cast<unsigned>(length));
    } else {
      recent.text.length = 0;
    }
  }
  return c;
}

}  // namespace kelvarin
