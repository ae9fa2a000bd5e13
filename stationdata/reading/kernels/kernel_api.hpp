// The vector kernels of the value path: the fields of a record found from masks of white space,
// 64 bytes at a time, and each converted through the remembered spellings or as a short plain
// decimal. One generic kernel (kernel_body.inc) is compiled once per instruction set, each copy
// in a namespace of its own, and one table of them is chosen once per run. A kernel gives exactly
// the sums the plain reader gives and leaves everything unusual to it.
#pragma once

#include <optional>
#include <string_view>

#include <cstddef>  // std::size_t
#include <cstdint>

namespace kelvarin {

/// How the white-space masks are computed: one byte at a time, or with the processor's vector
/// instructions (SSE2 on every x86-64, AVX2 where the processor has it).
enum class VectorLevel { kPortable, kSse2, kAvx2 };

/// Returns the widest level this processor runs.
VectorLevel detectVectorLevel();

/// Returns the level's name for messages and tests ("portable", "sse2", "avx2").
const char* vectorLevelName(VectorLevel level);

/// Returns the level of a name vectorLevelName gives, or nothing for another text.
std::optional<VectorLevel> vectorLevelNamed(std::string_view name);

/// Returns true when this processor, and this build, can run `level`.
bool canRunVectorLevel(VectorLevel level);

/// Values already converted, by their spelling. A station file spells its values in a few dozen
/// ways ("0", "0.1", "1", "-999") millions of times over; finding a spelling costs less than
/// converting it again, and gives the very same double. Plain arrays: a kernel compiled for wider
/// instructions calls no member function that other code could share.
struct ValueCache {
  // Files of values with two or three decimals spell them in a thousand ways and more: with 1024
  // slots they kept evicting each other (4096 made such a file 18 % faster, integer minutes 15 %;
  // 8192, where 2.5 % of its values still missed, 3 % faster again).
  static constexpr std::size_t kSlots = 8192;
  // 1 to 7 characters and the white space after them, zero-padded. An empty slot holds all ones,
  // which no spelling is, and no slot ever holds 0, the spelling of longer fields: so one
  // comparison finds a spelling.
  std::uint64_t spellings[kSlots];
  double values[kSlots];
};

/// Empties the cache: every slot all ones.
void clearValueCache(ValueCache& cache);

/// Bit i set where byte i of a 64-byte window is white space, a line break, a '0'.
struct Masks {
  std::uint64_t space;
  std::uint64_t lineBreaks;
  std::uint64_t zeros;
};

/// The reader's data as a kernel reads it: [0, end) of `data`, followed by the reader's tail (a
/// NUL and 64 readable bytes).
struct KernelText {
  const char* data;
  std::size_t end;
  bool atEnd;           // the file has ended at `end`
  std::uint64_t lines;  // line breaks the kernel passed
};

/// Where a kernel stopped: the position in the data and the first column it did not take. In
/// registers, not in memory: the next record's reading waits for the position, and a round trip
/// through a store made each record of shape g 5 % slower.
struct KernelStop {
  std::size_t pos;
  std::size_t column;
};

/// The missing-value markers a run declares (never 0): values equal to one are left to the plain
/// reader, which flags them.
struct MissingMarkers {
  const double* values;
  std::size_t count;
};

/// The kernels of one instruction set.
struct KernelTable {
  /// Adds the values of columns `first` to `columns` (each times `inputUnitMin`) to `sums[first]`
  /// on, from `pos` of the data, while they are remembered spellings or plain decimals of at most
  /// eight characters, ended by white space inside the data, and returns where it stopped, for
  /// the plain reader. Never adds a value the plain reader would refuse, nor one equal to a marker
  /// of `missing` (or null). (Scalars, not a struct: a record of few columns costs little more than
  /// the call.)
  KernelStop (*addValues)(KernelText& text, std::size_t pos, ValueCache& cache, double* sums,
                          std::size_t first, std::size_t columns, double inputUnitMin,
                          const MissingMarkers* missing, double* taken);
  /// addValues that also keeps each value taken in `taken`, by column, for a record of few
  /// columns to be found again. An entry of its own rather than a choice inside one: the call
  /// through a choosing function cost a record of shape g 34 instructions.
  KernelStop (*addValuesKeeping)(KernelText& text, std::size_t pos, ValueCache& cache, double* sums,
                                 std::size_t first, std::size_t columns, double inputUnitMin,
                                 const MissingMarkers* missing, double* taken);
};

namespace kernels {
namespace portable {
extern const KernelTable kTable;
}
#if defined(__x86_64__)
namespace sse2 {
extern const KernelTable kTable;
}
namespace avx2 {
extern const KernelTable kTable;
}
#endif
}  // namespace kernels

/// Returns the kernels of `level`, which this processor must run.
const KernelTable& kernelsFor(VectorLevel level);

}  // namespace kelvarin
