// A whole tickstat run over arbitrary bytes, every output on, for libFuzzer (tools/fuzz).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tickstat.h"

namespace {

const uint8_t* input;
size_t input_size;
size_t input_at;

// Hands the input over in uneven pieces, so that lines are cut at every place.
long read_pieces(FILE*, char* buffer, size_t size) {
  size_t piece = 1 + (input_at * 7 + 3) % 97;
  if (piece > size) piece = size;
  if (piece > input_size - input_at) piece = input_size - input_at;
  for (size_t i = 0; i < piece; i++) buffer[i] = static_cast<char>(input[input_at + i]);
  input_at += piece;
  return static_cast<long>(piece);
}

// A terminal narrow enough to cut the status line.
int narrow(FILE*) { return 40; }

// A timer interval that changes every third second, and synchronisation with it.
void changing_settings(ClockSettings* settings) {
  static int64_t read;
  const bool fine = read++ % 6 < 3;
  *settings = ClockSettings{
      true, fine ? 10000 : 156250, 5000, 156250, true, fine, fine ? 6400 : 0, false, false, 0, 0};
}

std::string scratch;

void remove_scratch() {
  std::remove((scratch + "/run.csv").c_str());
  std::remove((scratch + "/run.svg").c_str());
  rmdir(scratch.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (scratch.empty()) {
    char folder[] = "/tmp/tickstat-fuzz-XXXXXX";
    if (mkdtemp(folder) == nullptr) std::abort();
    scratch = folder;
    std::atexit(remove_scratch);
  }
  input = data;
  input_size = size;
  input_at = 0;
  std::string csv = scratch + "/run.csv", svg = scratch + "/run.svg";
  char program[] = "tickstat", csv_option[] = "--csv", svg_option[] = "--svg";
  char* argv[] = {program, csv_option, &csv[0], svg_option, &svg[0], nullptr};
  FILE* in = std::fopen("/dev/null", "rb");
  FILE* out = std::fopen("/dev/null", "wb");
  const Streams streams = {.in = in,
                           .out = out,
                           .err = out,
                           .live_input = true,
                           .terminal_in = true,
                           .terminal_out = true,
                           .terminal_err = true};
  Machine machine = real_machine();
  machine.read_some = read_pieces;
  machine.files_written = nullptr;
  machine.columns = narrow;
  machine.read_settings = changing_settings;
  machine.end_of_typed_input = "KEYS";
  const int status = run_tickstat(5, argv, streams, machine);
  std::fclose(in);
  std::fclose(out);
  if (status != 0 && status != 2) std::abort();  // every write here can succeed
  return 0;
}
