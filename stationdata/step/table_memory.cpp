#include "step/table_memory.hpp"

#include <sys/mman.h>  // mmap, madvise, munmap

#include <cstddef>
#include <cstdint>
#include <new>  // std::bad_alloc

namespace kelvarin {

namespace {

constexpr std::size_t kLargePage = std::size_t{2} << 20;

std::size_t roundedUp(std::size_t bytes) {
  return (bytes + kLargePage - 1) / kLargePage * kLargePage;
}

class LargePages final : public std::pmr::memory_resource {
  void* do_allocate(std::size_t bytes, std::size_t alignment) override {
    if (bytes < kLargePage || alignment > kLargePage) {
      return std::pmr::new_delete_resource()->allocate(bytes, alignment);
    }
    // A block of whole large pages on a large page's boundary: the mapping is made a page
    // longer, and what lies before the boundary and beyond the block is given back.
    const std::size_t size = roundedUp(bytes);
    void* mapped = mmap(nullptr, size + kLargePage, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
      throw std::bad_alloc();
    }
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + kLargePage - 1) / kLargePage * kLargePage;
    if (aligned > start) {
      munmap(mapped, aligned - start);
    }
    if (const std::uintptr_t end = start + size + kLargePage; end > aligned + size) {
      munmap(reinterpret_cast<void*>(aligned + size), end - (aligned + size));
    }
#ifdef MADV_HUGEPAGE
    madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);  // a hint: may be refused
#endif
    return reinterpret_cast<void*>(aligned);
  }
  void do_deallocate(void* block, std::size_t bytes, std::size_t alignment) override {
    if (bytes < kLargePage || alignment > kLargePage) {
      std::pmr::new_delete_resource()->deallocate(block, bytes, alignment);
      return;
    }
    munmap(block, roundedUp(bytes));
  }
  bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override {
    return this == &other;
  }
};

}  // namespace

std::pmr::memory_resource* largePageMemory() {
  static LargePages pages;
  return &pages;
}

std::unique_ptr<std::pmr::monotonic_buffer_resource> tableArena() {
  return std::make_unique<std::pmr::monotonic_buffer_resource>(kLargePage, largePageMemory());
}

}  // namespace kelvarin
