#include "output_file.hpp"

#include <fcntl.h>     // open
#include <limits.h>    // PATH_MAX
#include <sys/stat.h>  // stat, lstat, fchmod, umask
#include <unistd.h>    // readlink, write, ftruncate, unlink

#include <cerrno>
#include <csignal>
#include <cstdio>   // std::rename
#include <cstdlib>  // mkstemp
#include <cstring>  // std::memcpy
#include <optional>
#include <string>
#include <utility>  // std::move

namespace kelvarin {

namespace {

// The temporary file being written, for the signal handlers: a fixed buffer, because a handler
// may call nothing that allocates. Set before the file can hold anything, cleared once it is
// renamed or removed.
char gTemporary[PATH_MAX + 1];
volatile std::sig_atomic_t gHasTemporary = 0;

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void removeTemporaryAndEnd(int signal) {
  if (gHasTemporary != 0) {
    unlink(gTemporary);  // async-signal-safe
  }
  // Ended by the same signal, so that a shell or a scheduler sees the interrupt it sent.
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

void keepTemporaryName(const std::string& name) {
  gHasTemporary = 0;
  if (name.size() <= PATH_MAX) {
    std::memcpy(gTemporary, name.c_str(), name.size() + 1);
    gHasTemporary = 1;
  }
}

// A link into /proc names one of the process's own descriptors (/dev/stdout is
// /proc/self/fd/1): whatever file it holds open is written through, never replaced.
bool isDescriptorName(const std::string& path) {
  return path.starts_with("/proc/");
}

// Returns the file a chain of links leads to, as the rename must reach it, or "" where the chain
// passes through a descriptor; nothing for a loop.
std::optional<std::string> followLinks(std::string path) {
  for (int step = 0; step < 40; ++step) {
    if (isDescriptorName(path)) {
      return std::string();
    }
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
      return path;
    }
    char target[PATH_MAX];
    const ssize_t length = readlink(path.c_str(), target, sizeof target);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) {
      return std::nullopt;
    }
    std::string next(target, static_cast<std::size_t>(length));
    if (next.front() != '/') {
      const std::size_t slash = path.rfind('/');
      next = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + next;
    }
    path = std::move(next);
  }
  return std::nullopt;
}

mode_t newFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}

}  // namespace

std::variant<OutputPlace, std::string> placeOutput(const std::string& name) {
  struct stat info {};
  const bool exists = stat(name.c_str(), &info) == 0;
  if (exists && S_ISDIR(info.st_mode)) {
    return std::string();  // a folder: "error opening file NAME", as for the table
  }
  if (exists && !S_ISREG(info.st_mode)) {
    return OutputPlace{OutputKind::kStream, name, 0};
  }
  const std::optional<std::string> target = followLinks(name);
  if (!target) {
    return std::string(" (its links lead nowhere in 40 steps)");
  }
  if (target->empty()) {
    return OutputPlace{OutputKind::kStream, name, 0};
  }
  return OutputPlace{OutputKind::kReplaced, *target,
                     exists ? static_cast<mode_t>(info.st_mode & 07777) : newFileMode()};
}

int createTemporary(const OutputPlace& place, std::string& temporary) {
  const std::size_t slash = place.path.rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string() : place.path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? place.path : place.path.substr(slash + 1);
  std::string name = folder + "." + base + ".kelvarin-XXXXXX";
  const int fd = mkstemp(name.data());
  if (fd < 0) {
    return -1;
  }
  keepTemporaryName(name);
  temporary = std::move(name);
  return fd;
}

bool replaceWithTemporary(const OutputPlace& place, const std::string& temporary) {
  // mkstemp makes a file only its owner may read; the results get the file's own mode.
  if (chmod(temporary.c_str(), place.mode) != 0 ||
      std::rename(temporary.c_str(), place.path.c_str()) != 0) {
    return false;
  }
  gHasTemporary = 0;
  return true;
}

void removeTemporary(std::string& temporary) {
  if (!temporary.empty()) {
    gHasTemporary = 0;
    unlink(temporary.c_str());
    temporary.clear();
  }
}

void guardOutputAgainstSignals() {
  std::signal(SIGXFSZ, SIG_IGN);
  for (const int signal : kEndingSignals) {
    struct sigaction action {};
    action.sa_handler = removeTemporaryAndEnd;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
  }
}

bool writeWholeLines(void* sink, const char* data, std::size_t size) {
  auto& table = *static_cast<TableSink*>(sink);
  sigset_t held;
  sigset_t before;
  sigemptyset(&held);
  for (const int signal : kEndingSignals) {
    sigaddset(&held, signal);
  }
  sigprocmask(SIG_BLOCK, &held, &before);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t wrote = write(table.fd, data + done, size - done);
    if (wrote < 0 && errno == EINTR) {
      continue;
    }
    if (wrote <= 0) {
      break;
    }
    done += static_cast<std::size_t>(wrote);
  }
  const bool whole = done == size;
  if (whole) {
    table.wholeBytes += size;
  } else if (table.truncatable) {
    // The part of a line that reached the disk goes: the file ends with its last whole line.
    const int saved = errno;
    if (ftruncate(table.fd, static_cast<off_t>(table.wholeBytes)) == 0) {
      lseek(table.fd, static_cast<off_t>(table.wholeBytes), SEEK_SET);
    }
    errno = saved;
  }
  sigprocmask(SIG_SETMASK, &before, nullptr);
  return whole;
}

}  // namespace kelvarin
