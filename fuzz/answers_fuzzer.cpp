// Fuzzes the dialogue: arbitrary text as the seven answers, then, when they are accepted, a run
// over a small fixed station file with them.
#include <cstdint>
#include <cstring>
#include <vector>

#include "driver.hpp"
#include "fuzz_io.hpp"
#include "step/step_loop.hpp"

namespace {

constexpr char kStationFile[] =
    "title\nYYYY MM DD H 1001 1002\nstations\nhourly\n----\n"
    "2023 6 21 1 0 0\n2023 6 21 2 0.1 -999\n2023 6 21 3 0.5 0.0625\n2023 6 21 4 1 1\n"
    "2023 6 21 23 0 0\n2023 6 21 24 0.25 0.75\n2023 12 31 24 1 0\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvarin;
  std::FILE* answers = fuzz::openData(data, size);
  RunParameters params;
  const bool read = !readRunParameters(answers, fuzz::sink(), params);
  std::fclose(answers);
  if (!read || refuseRunParameters(params)) {
    return 0;
  }
  std::FILE* in = fmemopen(const_cast<char*>(kStationFile), std::strlen(kStationFile), "r");
  InputReader reader = makeInputReader(in);
  OutputBuffer out = makeOutputBuffer(fuzz::sink());
  convertStationFile(reader, out, {fuzz::sink(), fuzz::sink()}, params);
  flushLines(out);
  std::fclose(in);
  return 0;
}
