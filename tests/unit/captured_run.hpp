// A whole station file converted in memory, its output and console kept for the tests to compare.
#pragma once

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "captured_stream.hpp"
#include "reading/header_pass.hpp"
#include "step/step_loop.hpp"

namespace kelvarin::testing {

struct CapturedRun {
  RunOutcome outcome;
  std::string output;
  std::string console;
};

/// Converts `file` with buffers of the sizes given: small ones make fields and lines fall across
/// block ends.
inline CapturedRun runCaptured(const std::string& file, const RunParameters& params,
                               const RunOptions& options, std::size_t inputBlock,
                               std::size_t outputBlock) {
  std::FILE* in = fmemopen(const_cast<char*>(file.data()), file.size(), "r");
  CapturedStream out;
  CapturedStream console;
  InputReader reader = makeInputReader(in, inputBlock);
  OutputBuffer buffer = makeOutputBuffer(openCapture(out), outputBlock);
  std::FILE* consoleFile = openCapture(console);
  CapturedRun run;
  run.outcome = convertStationFile(reader, buffer, {consoleFile, consoleFile}, params, options);
  flushLines(buffer);
  std::fclose(in);
  run.output = closeCapture(out);
  run.console = closeCapture(console);
  return run;
}

/// Returns the step lines of an output (after its header), each split at its tabs.
inline std::vector<std::vector<std::string>> stepLines(const std::string& output) {
  std::vector<std::vector<std::string>> lines;
  std::istringstream text(output);
  std::string line;
  for (int n = 1; std::getline(text, line); ++n) {
    if (n > kHeaderLines) {
      std::vector<std::string> fields;
      std::istringstream split(line);
      for (std::string field; std::getline(split, field, '\t');) {
        fields.push_back(field);
      }
      lines.push_back(fields);
    }
  }
  return lines;
}

}  // namespace kelvarin::testing
