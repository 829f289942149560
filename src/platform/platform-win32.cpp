#include "platform/platform.h"

#include <cstdio>
#include <cstring>

void prepare_standard_output() {
  // Unbuffered, the runtime writes a pipe or a file one byte at a time, and it takes line
  // buffering for full buffering. So the messages are fully buffered, and go out when the
  // announcement is flushed before a monitor starts, or at exit.
  setvbuf(stdout, nullptr, _IOFBF, 4096);
}

bool write_standard_output_line(const char* line, size_t length) {
  // One WriteFile per line, its LF made CR LF, past the runtime's buffer: a line cannot be
  // cut, and cannot go out twice when Ctrl+C's exit flushes the runtime's streams while
  // the monitor is in the middle of writing one. A pipe whose reader has gone does not
  // end a Windows process: the write fails, and says so.
  char text[128];
  if (length == 0 || length >= sizeof text || line[length - 1] != '\n') return false;
  std::memcpy(text, line, length - 1);
  std::memcpy(text + length - 1, "\r\n", 2);
  const DWORD size = static_cast<DWORD>(length + 1);
  DWORD written = 0;
  return WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, size, &written, nullptr) != 0 &&
         written == size;
}
