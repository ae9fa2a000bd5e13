#include <csignal>  // std::signal, SIGPIPE
#include <cstdio>   // stdin, stdout

#include "driver.hpp"

int main(int argc, char** argv) {
  // The console only reports; the output file is the product. A reader of the console that goes
  // away early (`| head`) must not kill the run halfway through writing the file.
  std::signal(SIGPIPE, SIG_IGN);
  return kelvarin::runKelvarin(argc, argv, stdin, stdout);
}
