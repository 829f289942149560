#include <cstdio>

#include "console.h"
#include "tickstat.h"

int main(int argc, char* argv[]) {
  read_input_as_bytes();
  outlive_first_interrupt();
  return run_tickstat(argc, argv, stdin, stdout, stderr);
}
