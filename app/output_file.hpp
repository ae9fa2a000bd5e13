// The life of a run's output file, by the kind of file its name is: a regular file (or a name not
// there yet) is replaced whole when a run in another layout than the table succeeds, the file a
// link names is replaced and the link kept, a pipe or a device is written straight through, and
// a folder is refused. The table is written in place in whole lines, cut back to its last whole
// line when a write fails, and an interrupted run removes the temporary it was writing.
#pragma once

#include <sys/types.h>  // mode_t

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>

namespace kelvarin {

/// How a run's results reach the name it was given.
enum class OutputKind {
  kReplaced,  // a regular file or a name not there yet: a temporary beside it, renamed to it
  kStream,    // a FIFO, a terminal, a device or a descriptor (/dev/stdout): written through
};

/// Where the results of an output name go.
struct OutputPlace {
  OutputKind kind = OutputKind::kReplaced;
  std::string path;  // the file the results reach: the name, or the file its links lead to
  mode_t mode = 0;   // an existing file's own mode, or the mode the umask gives a new one
};

/// Returns where the results of the output name `name` go, or the words of a refusal (after
/// "error opening file NAME"): a folder, or links that lead nowhere in 40 steps.
std::variant<OutputPlace, std::string> placeOutput(const std::string& name);

/// Creates an empty temporary file beside `place.path`, hidden by a leading dot, and keeps its name
/// for the signal handlers. Returns its descriptor, or -1 with `errno` set.
int createTemporary(const OutputPlace& place, std::string& temporary);

/// Gives the temporary file its results' mode and renames it to `place.path`. Returns false when
/// that failed; the temporary is then still there.
bool replaceWithTemporary(const OutputPlace& place, const std::string& temporary);

/// Removes a temporary file, and forgets it for the signal handlers.
void removeTemporary(std::string& temporary);

/// Ignores SIGXFSZ, so that a file-size limit is a failed write with its message, and makes
/// SIGINT, SIGTERM and SIGHUP remove the temporary file kept by createTemporary before they end
/// the process as they would have.
void guardOutputAgainstSignals();

/// The table's file descriptor and how much of it holds whole lines.
struct TableSink {
  int fd = -1;
  std::uint64_t wholeBytes = 0;  // written so far, every byte of it part of a whole line
  bool truncatable = false;      // a regular file, which a failed write can be cut back in
};

/// Writes whole lines to the table (an OutputBuffer's writer): with SIGINT, SIGTERM and SIGHUP
/// held until the write is done, so that an interrupted run leaves whole lines, and cut back
/// to the last whole line when the write fails (a full disk, a file-size limit). Returns false
/// then.
bool writeWholeLines(void* sink, const char* data, std::size_t size);

}  // namespace kelvarin
