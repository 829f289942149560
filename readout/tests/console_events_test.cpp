// The console event handler's decisions, driven with fakes under Wine: Ctrl+C is kept
// once, a closing console ends the input and waits for the files, but not for ever, and
// a second Ctrl+C lets no file be begun that it would cut off.
#include <cstdio>
#include <initializer_list>

#include "console_events-win32.h"

namespace {

int ended;
int waits;
int written_after;  // the wait that sees the files written; 0 never

void stop() { ended++; }
bool outputs_finished_within(DWORD) { return ++waits == written_after; }

int failures;

void expect(bool holds, const char* what) {
  if (holds) return;
  std::printf("FAILED: %s\n", what);
  failures++;
}

void close_event(DWORD event, int written_at) {
  volatile LONG interrupts = 0;
  ended = waits = 0;
  written_after = written_at;
  expect(answer_console_event(event, &interrupts, {stop, outputs_finished_within}) == TRUE,
         "a close event is kept until the files are written");
}

}  // namespace

int main() {
  volatile LONG interrupts = 0;
  const ConsoleActions actions = {stop, outputs_finished_within};
  expect(answer_console_event(CTRL_C_EVENT, &interrupts, actions) == TRUE, "first Ctrl+C kept");
  expect(answer_console_event(CTRL_BREAK_EVENT, &interrupts, actions) == FALSE,
         "second Ctrl+C ends tickstat");
  for (DWORD event : {CTRL_CLOSE_EVENT, CTRL_LOGOFF_EVENT, CTRL_SHUTDOWN_EVENT}) {
    close_event(event, 3);
    expect(ended == 3 && waits == 3, "the wait ends once the files are written");
  }
  volatile LONG held = kFree;
  end_unheld(&held, 0);
  expect(!hold_files(&held), "no file is begun once a second Ctrl+C ends the process");
  close_event(CTRL_CLOSE_EVENT, 0);
  expect(ended >= 1 && waits * kCloseSliceMs == kCloseWaitMs, "the wait is bounded");
  std::printf(failures == 0 ? "passed\n" : "%d failed\n", failures);
  return failures == 0 ? 0 : 1;
}
