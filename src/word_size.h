// What the word-size setting of this build decides: the printed program name,
// and (through the build) whether the emulation check is compiled in.
#pragma once

// 32 for the program tickgauge, 64 for tickgauge64; set by the build.
constexpr int kWordSize = TICKGAUGE_WORD_SIZE;
static_assert(kWordSize == 32 || kWordSize == 64, "the word-size setting is 32 or 64");

// The name printed in the banner and the usage text, never taken from argv.
constexpr const char* kProgramName = kWordSize == 32 ? "tickgauge" : "tickgauge64";
