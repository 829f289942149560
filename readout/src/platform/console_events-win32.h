// The console event handler's decisions, apart from the machine, so that a test can
// drive them with fakes.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

// A closing console, a logoff or a shutdown waits at most this long for the outputs:
// Windows ends the process about 5 s after it tells of the event.
constexpr DWORD kCloseWaitMs = 4000;
// The wait goes in slices, the program's stop asked again in each: its main thread may
// have been just about to begin a wait when the event came.
constexpr DWORD kCloseSliceMs = 50;

// What the handler does to the process, in the program the real thing.
struct ConsoleActions {
  void (*stop)();                               // the program's stop action
  bool (*outputs_finished_within)(DWORD wait);  // true once the outputs are finished
};

// Answers one console event on the handler's thread: the first Ctrl+C or Ctrl+Break
// is kept (TRUE), a second is not; a close, logoff or shutdown stops the program and
// waits, bounded, for its outputs. interrupts counts the Ctrl+C so far.
BOOL answer_console_event(DWORD event, volatile LONG* interrupts, const ConsoleActions& actions);

// What a file being put in place and a second Ctrl+C agree on through one value.
constexpr LONG kFree = 0, kHeld = 1, kEnding = 2;

// Marks a file being put in place; false where a second Ctrl+C is already ending the
// process, which it would end halfway.
bool hold_files(volatile LONG* held);

// Waits until no file is being put in place, at most most_ms, and marks the process
// ending, so that no file is begun after.
void end_unheld(volatile LONG* held, DWORD most_ms);
