#include "platform/platform.h"

#include <io.h>
#include <cstdio>

void prepare_standard_output() {
  // On a console the runtime already writes each printf at once. Anywhere else it
  // buffers fully, and treats line buffering as full buffering too, so a pipe or a
  // file would lose what Ctrl+C cuts off: there only unbuffered output is safe.
  if (!_isatty(_fileno(stdout))) setvbuf(stdout, nullptr, _IONBF, 0);
}
