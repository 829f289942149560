// What a companion needs of the console it runs in, once per platform: the command
// line as typed, whether a stream is a console and how wide, and how Ctrl+C, a signal
// to end and a closing console reach it.
#pragma once

#include <cstdio>

// The command line's words in UTF-8, whatever characters the user typed.
char** arguments_in_utf8(int argc, char* argv[]);

// Whether a stream is a terminal or a console, where a line can be rewritten in place.
bool is_terminal(FILE* stream);

// The width in columns of the terminal or console the stream is shown in, as it is now
// (a window may be resized at any time); 0 when the stream is not one.
int console_columns(FILE* stream);

// Installs the handlers. The first Ctrl+C is kept and counted, a second ends the process.
// A signal to end (SIGTERM, SIGHUP) or a closing console, a logoff or a shutdown calls
// stop, once, from a signal handler or the console's own thread, so it may only set a
// flag or cancel a wait; a closing console then waits, bounded, for the outputs, and a
// second signal ends the process. A write to a pipe whose reader has gone fails instead
// of ending the process.
void start_console_events(void (*stop)());

// How many times Ctrl+C (or Ctrl+Break) was pressed so far.
int console_interrupts();

// Whether the terminal or console has gone: SIGHUP, a closing console, a logoff or a
// shutdown. Output to it may then fail without anyone to tell.
bool console_closed();

// Says that the outputs are finished: a closing console may now end the process.
void console_outputs_finished();

// Holds off a second Ctrl+C or signal, which ends the process at once, while a file is
// put in place: a new file beside it, written and renamed, which must not be cut halfway.
// Where one is already ending the process, waits for the end instead.
void hold_interrupts();

// Lets a second Ctrl+C or signal held off end the process now.
void release_interrupts();
