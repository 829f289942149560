#include "emulation_check.h"

// A 64-bit program never runs under the 32-bit emulation layer.
int running_under_emulation() { return 0; }
