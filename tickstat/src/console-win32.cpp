#include "console.h"

#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

void read_input_as_bytes() { _setmode(_fileno(stdin), _O_BINARY); }

namespace {

volatile LONG interrupts = 0;

// Runs on a thread of its own. TRUE keeps the process; FALSE hands a second
// Ctrl+C to the default handler, which ends it.
BOOL WINAPI on_console_event(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  return InterlockedIncrement(&interrupts) == 1 ? TRUE : FALSE;
}

}  // namespace

void outlive_first_interrupt() { SetConsoleCtrlHandler(on_console_event, TRUE); }

namespace {

HANDLE handle_of(FILE* stream) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))); }

}  // namespace

bool is_live(FILE* stream) {
  const DWORD type = GetFileType(handle_of(stream));
  return type == FILE_TYPE_PIPE || type == FILE_TYPE_CHAR;
}

// A console, not just any character device: NUL is one too, and _isatty says yes to it.
bool is_terminal(FILE* stream) {
  DWORD mode = 0;
  return GetConsoleMode(handle_of(stream), &mode) != 0;
}

size_t read_some(FILE* stream, char* buffer, size_t size) {
  const unsigned most = size < (1U << 30) ? static_cast<unsigned>(size) : (1U << 30);
  const int got = _read(_fileno(stream), buffer, most);
  // A console reads a line at a time; in binary mode, Ctrl+Z at a line's start comes
  // through as a byte rather than as the end of the input it means there.
  if (got > 0 && buffer[0] == '\x1a' && is_terminal(stream)) return 0;
  return got > 0 ? static_cast<size_t>(got) : 0;
}

// Ctrl+Z read at the start of a line is the console's end of input; the Enter sends it.
const char kEndOfTypedInput[] = "Ctrl+Z then Enter";

// The window's width, not the buffer's: text beyond the window would be out of sight.
int columns_of(FILE* stream) {
  CONSOLE_SCREEN_BUFFER_INFO info = {};
  if (GetConsoleScreenBufferInfo(handle_of(stream), &info) == 0) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

void local_time(std::tm* now) {
  SYSTEMTIME time = {};
  GetLocalTime(&time);
  *now = std::tm{};
  now->tm_year = time.wYear - 1900;
  now->tm_mon = time.wMonth - 1;
  now->tm_mday = time.wDay;
  now->tm_hour = time.wHour;
  now->tm_min = time.wMinute;
  now->tm_sec = time.wSecond;
}
