// Runs a program once with its standard input from a file and its standard output to /dev/null,
// and prints its wall time and its processor time (user and system) in microseconds. The
// benchmark scripts compare both: on a shared machine the wall time of a run of 0.06 s wanders by
// several per cent from run to run, its processor time much less.
//
// Usage: kelvarin-timed INPUT PROGRAM [ARGUMENTS...]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: kelvarin-timed INPUT PROGRAM [ARGUMENTS...]\n", stderr);
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) {
    std::perror("kelvarin-timed: fork");
    return 2;
  }
  if (child == 0) {
    const int input = open(argv[1], O_RDONLY);
    const int output = open("/dev/null", O_WRONLY);
    if (input < 0 || output < 0 || dup2(input, 0) < 0 || dup2(output, 1) < 0) {
      std::perror("kelvarin-timed");
      _exit(127);
    }
    execv(argv[2], argv + 2);
    std::perror("kelvarin-timed: exec");
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) < 0) {
    std::perror("kelvarin-timed: wait4");
    return 2;
  }
  const auto wall = std::chrono::steady_clock::now() - start;
  const auto microseconds = [](const timeval& t) {
    return static_cast<long long>(t.tv_sec) * 1000000 + t.tv_usec;
  };
  std::printf(
      "%lld %lld\n",
      static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(wall).count()),
      microseconds(usage.ru_utime) + microseconds(usage.ru_stime));
  return WIFEXITED(status) ? WEXITSTATUS(status) : 2;
}
