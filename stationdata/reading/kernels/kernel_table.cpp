#include "reading/kernels/kernel_api.hpp"

namespace kelvarin {

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

std::optional<VectorLevel> vectorLevelNamed(std::string_view name) {
  for (const VectorLevel level : {VectorLevel::kPortable, VectorLevel::kSse2, VectorLevel::kAvx2}) {
    if (name == vectorLevelName(level)) {
      return level;
    }
  }
  return std::nullopt;
}

bool canRunVectorLevel(VectorLevel level) {
  switch (level) {
    case VectorLevel::kPortable:
      return true;
    case VectorLevel::kSse2:
      return detectVectorLevel() != VectorLevel::kPortable;
    case VectorLevel::kAvx2:
      return detectVectorLevel() == VectorLevel::kAvx2;
  }
  return false;
}

void clearValueCache(ValueCache& cache) {
  for (std::uint64_t& spelling : cache.spellings) {
    spelling = ~std::uint64_t{0};
  }
}

const KernelTable& kernelsFor(VectorLevel level) {
  switch (level) {
#if defined(__x86_64__)
    case VectorLevel::kAvx2:
      return kernels::avx2::kTable;
    case VectorLevel::kSse2:
      return kernels::sse2::kTable;
#endif
    default:
      return kernels::portable::kTable;
  }
}

}  // namespace kelvarin
