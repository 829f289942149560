#include "platform/platform.h"

#include <cstdio>

void prepare_standard_output() {
  // Unbuffered, the runtime writes a pipe or a file one byte at a time, so Ctrl+C can
  // cut a line in two; and it takes line buffering for full buffering. So the buffer
  // is full-size everywhere, and whatever must go out at once is flushed: each step
  // line, and the announcement before a monitor starts. The rest goes out at exit.
  setvbuf(stdout, nullptr, _IOFBF, 4096);
}

bool write_standard_output_line(const char* line, size_t length) {
  // The flush hands the whole line, its LF made CR LF, to one write. A pipe whose
  // reader has gone does not end a Windows process: the write fails, and says so.
  fwrite(line, 1, length, stdout);
  return fflush(stdout) == 0;
}
