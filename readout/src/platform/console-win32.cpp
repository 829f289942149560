#include "console.h"

#include <io.h>

#include "console_events-win32.h"

#include <cstdlib>

// msvcrt's own split of the command line, in UTF-16: the words argv holds, in full.
struct StartupInfo {
  // cppcheck-suppress unusedStructMember ; msvcrt reads it
  int new_mode;
};
extern "C" int __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** env, int glob,
                              StartupInfo* info);

namespace {

UINT console_output_page;

void restore_console_page() { SetConsoleOutputCP(console_output_page); }

// The word as UTF-8, in memory that lasts the run.
char* utf8_of(const wchar_t* word) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, word, -1, nullptr, 0, nullptr, nullptr);
  char* text = static_cast<char*>(std::malloc(static_cast<size_t>(size > 0 ? size : 1)));
  if (text == nullptr) std::abort();
  if (size <= 0 || WideCharToMultiByte(CP_UTF8, 0, word, -1, text, size, nullptr, nullptr) <= 0) {
    text[0] = '\0';
  }
  return text;
}

HANDLE handle_of(FILE* stream) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))); }

}  // namespace

// The ANSI argv would turn "Łódź.csv" into "Lodz.csv", or "日本.csv" into "??.csv".
char** arguments_in_utf8(int argc, char* argv[]) {
  int count = 0;
  wchar_t** words = nullptr;
  wchar_t** environment = nullptr;
  StartupInfo info = {0};
  if (__wgetmainargs(&count, &words, &environment, 0, &info) < 0 || count != argc) return argv;
  char** utf8 = static_cast<char**>(std::calloc(static_cast<size_t>(argc) + 1, sizeof(char*)));
  if (utf8 == nullptr) std::abort();
  for (int i = 0; i < argc; i++) utf8[i] = utf8_of(words[i]);
  // Messages name files in UTF-8; a console shows them so while the program runs.
  DWORD mode = 0;
  if (GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0) {
    console_output_page = GetConsoleOutputCP();
    if (SetConsoleOutputCP(CP_UTF8) != 0) std::atexit(restore_console_page);
  }
  return utf8;
}

// A console, not just any character device: NUL is one too, and _isatty says yes to it.
bool is_terminal(FILE* stream) {
  DWORD mode = 0;
  return GetConsoleMode(handle_of(stream), &mode) != 0;
}

// The window's width, not the buffer's: text beyond the window would be out of sight.
int console_columns(FILE* stream) {
  CONSOLE_SCREEN_BUFFER_INFO info = {};
  if (GetConsoleScreenBufferInfo(handle_of(stream), &info) == 0) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

namespace {

volatile LONG interrupts = 0;
volatile LONG closed = 0;
volatile LONG held = 0;  // kHeld while a file is put in place, kEnding once the process ends
constexpr DWORD kHoldMostMs = 2000;
void (*stop_action)() = nullptr;
HANDLE finished;  // set once the outputs are finished

void stop_program() {
  if (stop_action != nullptr) stop_action();
}

bool outputs_finished_within(DWORD wait) {
  return finished != nullptr && WaitForSingleObject(finished, wait) == WAIT_OBJECT_0;
}

// Runs on a thread of its own.
BOOL WINAPI on_console_event(DWORD event) {
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    InterlockedExchange(&closed, 1);
  }
  const BOOL kept =
      answer_console_event(event, &interrupts, {stop_program, outputs_finished_within});
  if (kept == TRUE) return TRUE;
  // The process ends when this returns: not while a file is put in place, but not for ever.
  end_unheld(&held, kHoldMostMs);
  if (console_output_page != 0) restore_console_page();
  return FALSE;
}

}  // namespace

BOOL answer_console_event(DWORD event, volatile LONG* count, const ConsoleActions& actions) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
    return InterlockedIncrement(count) == 1 ? TRUE : FALSE;
  }
  if (event != CTRL_CLOSE_EVENT && event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT) {
    return FALSE;
  }
  for (DWORD waited = 0; waited < kCloseWaitMs; waited += kCloseSliceMs) {
    actions.stop();
    if (actions.outputs_finished_within(kCloseSliceMs)) break;
  }
  return TRUE;
}

void start_console_events(void (*stop)()) {
  stop_action = stop;
  finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(on_console_event, TRUE);
}

int console_interrupts() { return static_cast<int>(interrupts); }

bool console_closed() { return closed != 0; }

void console_outputs_finished() {
  if (finished != nullptr) SetEvent(finished);
}

bool hold_files(volatile LONG* held) {
  return InterlockedCompareExchange(held, kHeld, kFree) != kEnding;
}

void end_unheld(volatile LONG* held, DWORD most_ms) {
  for (DWORD waited = 0;
       InterlockedCompareExchange(held, kEnding, kFree) == kHeld && waited < most_ms;
       waited += 10) {
    Sleep(10);
  }
}

// Ending the process takes Wine a while, and this thread would run on meanwhile: it waits
// for the end rather than begin a file that the end would cut off.
void hold_interrupts() {
  if (hold_files(&held)) return;
  for (;;) Sleep(INFINITE);
}

void release_interrupts() { InterlockedCompareExchange(&held, kFree, kHeld); }
