#include "writing/output_buffer.hpp"

namespace kelvarin {

OutputBuffer makeOutputBuffer(std::FILE* file, std::size_t blockSize) {
  OutputBuffer out;
  out.file = file;
  out.flushThreshold = blockSize;
  out.data.resize(blockSize + 4096);
  return out;
}

bool flushLines(OutputBuffer& out) {
  // Without a file the lines are dropped: the run writes its results in another layout.
  if (!out.writeFailed && out.committed > 0) {
    if (out.writeLines != nullptr) {
      out.writeFailed = !out.writeLines(out.sink, out.data.data(), out.committed);
    } else if (out.file != nullptr) {
      out.writeFailed = std::fwrite(out.data.data(), 1, out.committed, out.file) != out.committed;
    }
  }
  const std::size_t open = out.size - out.committed;
  std::memmove(out.data.data(), out.data.data() + out.committed, open);
  out.size = open;
  out.committed = 0;
  return !out.writeFailed;
}

}  // namespace kelvarin
