#include <cstdio>  // stdin, stdout

#include "driver.hpp"

int main(int argc, char** argv) {
  return kelvarin::runKelvarin(argc, argv, stdin, stdout);
}
