#include "command_line.h"
#include "platform/platform.h"

int main(int argc, char* argv[]) {
  prepare_standard_output();
  return run_tickgauge(argc, argv);
}
