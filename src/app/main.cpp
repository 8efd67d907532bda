// Entry point: runs the analysis and maps its outcome to the exit status.
#include <cstdio>

#include "app/error_log.hpp"

int main() {
  std::printf("\nBANDSCAPE 1.0 - a program for genetic diversity analysis with AFLP population data \n");
  return 1;
}
