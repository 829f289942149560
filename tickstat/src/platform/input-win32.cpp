#include "input.h"

#include <fcntl.h>
#include <io.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

volatile LONG input_ended = 0;
HANDLE main_thread;  // the thread that reads, whose read end_input cancels

HANDLE handle_of(FILE* stream) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))); }

}  // namespace

void prepare_input() {
  _setmode(_fileno(stdin), _O_BINARY);
  DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &main_thread, 0,
                  FALSE, DUPLICATE_SAME_ACCESS);
}

bool is_live(FILE* stream) {
  const DWORD type = GetFileType(handle_of(stream));
  return type == FILE_TYPE_PIPE || type == FILE_TYPE_CHAR;
}

long read_some(FILE* stream, char* buffer, size_t size) {
  if (input_ended != 0) return kReadStopped;
  const unsigned most = size < (1U << 30) ? static_cast<unsigned>(size) : (1U << 30);
  const int got = _read(_fileno(stream), buffer, most);
  // A console reads a line at a time; in binary mode, Ctrl+Z at a line's start comes
  // through as a byte rather than as the end of the input it means there.
  DWORD mode = 0;
  if (got > 0 && buffer[0] == '\x1a' && GetConsoleMode(handle_of(stream), &mode) != 0) {
    return kReadEnd;
  }
  if (got > 0) return got;
  if (input_ended != 0) return kReadStopped;
  return got == 0 ? kReadEnd : kReadFailed;
}

void end_input() {
  InterlockedExchange(&input_ended, 1);
  if (main_thread != nullptr) CancelSynchronousIo(main_thread);
}

// Ctrl+Z read at the start of a line is the console's end of input; the Enter sends it.
const char kEndOfTypedInput[] = "Ctrl+Z then Enter";
