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
