// Memory for the big tables of a run that are written once and read to its end: a network's
// skylines and the spans of its days of the year behind them. Each page the system hands out
// costs it a fault on first touch (some 10 us on a virtual machine), more than working out what
// the page holds; these tables take their pages 2 MiB at a time where the system gives them so.
#pragma once

#include <memory>  // std::unique_ptr
#include <memory_resource>

namespace kelvarin {

/// Returns a memory resource that takes blocks of 2 MiB and more from the system in pages of
/// that size where it can (transparent huge pages on request), smaller ones from new and delete.
/// Does not throw except std::bad_alloc.
std::pmr::memory_resource* largePageMemory();

/// Returns a fresh arena for tables kept to the end of a run, its blocks from largePageMemory().
std::unique_ptr<std::pmr::monotonic_buffer_resource> tableArena();

}  // namespace kelvarin
