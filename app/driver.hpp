// The run driver: command line, files, the seven-question dialogue and the exit status.
#pragma once

#include <array>
#include <cstdio>  // std::FILE
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "kelvarin.hpp"
#include "step/step_loop.hpp"  // RunOptions

namespace kelvarin {

/// Which of the seven answers, in dialogue order, are given already and not asked.
using GivenAnswers = std::array<bool, 7>;

/// Asks the questions not `given` on `console` and reads each answer into `params` from `answers`
/// with the C library's "%f" conversion. Returns the refusal line for the console when an answer
/// is not a number or the answers end before it; the questions after it are not asked.
std::optional<std::string> readRunParameters(std::FILE* answers, std::FILE* console,
                                             RunParameters& params, const GivenAnswers& given = {});

/// Returns why the answers cannot be used, as one line for the console, or nothing when they can.
/// Values `given` as options are named by their option.
std::optional<std::string> refuseRunParameters(const RunParameters& params,
                                               const GivenAnswers& given = {});

/// What the command line asks for: a run of two files with the answers and settings it gives.
struct CommandLine {
  RunParameters params;  // the answers given as options
  GivenAnswers given{};  // which of them
  RunOptions run;        // --missing, --strict
  bool quiet = false;    // --quiet
  std::string inputName;
  std::string outputName;
  std::string placesName;            // --places: each station at its own place
  std::vector<std::string> ignored;  // the arguments after the two file names
};

/// A command line that ends before any file is opened: --help, --version, a usage error or an
/// option value that is not a number. `text` follows the banner.
struct CommandLineEnd {
  int status;
  std::string text;
};

/// Reads the options before the two file names with getopt_long, and the names.
std::variant<CommandLine, CommandLineEnd> parseCommandLine(int argc, char** argv);

/// Runs kelvarin over the files named in `argv`, with the dialogue on `answers` and `console`, and
/// returns the process exit status.
int runKelvarin(int argc, char** argv, std::FILE* answers, std::FILE* console);

}  // namespace kelvarin
