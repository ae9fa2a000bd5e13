// kelvarin's command line: the options before the two file names, and the texts it prints when
// it ends the run before any file is opened.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "dialogue.hpp"        // GivenAnswers
#include "result_writer.hpp"   // OutputFormat
#include "step/step_loop.hpp"  // RunOptions

namespace kelvarin {

/// The first two lines of every run, also of a wrong command line.
extern const char kBanner[];

/// What the command line asks for: a run of two files with the answers and settings it gives.
struct CommandLine {
  RunParameters params;  // the answers given as options
  GivenAnswers given{};  // which of them
  RunOptions run;        // --missing, --strict
  bool quiet = false;    // --quiet
  std::string inputName;
  std::string outputName;
  std::string placesName;                      // --places: each station at its own place
  std::string horizonName;                     // --horizon: each station's skyline
  std::vector<std::string> ignored;            // the arguments after the two file names
  OutputFormat format = OutputFormat::kTable;  // --format
  std::string commandLine;                     // as given, for the files that record it
};

/// A command line that ends before any file is opened: --help, --version, a usage error or an
/// option value that is not a number. `text` follows the banner.
struct CommandLineEnd {
  int status;
  std::string text;
};

/// Reads the options before the two file names with getopt_long, and the names.
std::variant<CommandLine, CommandLineEnd> parseCommandLine(int argc, char** argv);

}  // namespace kelvarin
