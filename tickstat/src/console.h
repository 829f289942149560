// What tickstat needs of the console and its streams, once per platform.
#pragma once

// Standard input as raw bytes: line ends are read as they come, CR LF or LF.
void read_input_as_bytes();

// The first Ctrl+C, which also ends the tickgauge writing into the pipe, leaves
// tickstat reading to the end of its input; a second one ends it at once.
void outlive_first_interrupt();
