#include "scripted_world.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "input.h"
#include "units.h"

namespace {

const int64_t kStarted = 18000000000000000;  // 2027-01-15 08:00 UTC, any moment will do

WorldScript script;
int64_t handed;  // clock time of the whole lines handed over so far
bool ended;      // the end of the input has been handed over
char pending[1 << 16];
size_t pending_at, pending_size;
char line[64];  // the start of the line being handed over
size_t line_length;

// Moves the world's clock on by the forward steps of the lines that [text, end) completes.
void pass_time(const char* text, const char* end) {
  for (const char* c = text; c < end; c++) {
    if (*c != '\n') {
      if (line_length + 1 < sizeof line) line[line_length++] = *c;
      continue;
    }
    line[line_length] = '\0';
    line_length = 0;
    const double ms = std::strtod(line, nullptr);
    if (ms > 0 && ms < 1e12) handed += std::llround(ms * 10000);
  }
}

// How many of the n bytes at text hold the lines of the backlog's half being handed over.
size_t backlog_bytes(const char* text, size_t n) {
  int64_t brought = 0;
  size_t taken = 0;
  const int64_t due = (handed < script.backlog / 2 ? script.backlog / 2 : script.backlog) - handed;
  while (taken < n && brought < due) {
    const void* line_end = std::memchr(text + taken, '\n', n - taken);
    if (line_end == nullptr) break;
    brought += std::llround(std::strtod(text + taken, nullptr) * 10000);
    taken = static_cast<size_t>(static_cast<const char*>(line_end) - text) + 1;
  }
  return taken > 0 ? taken : n;
}

long read_in_pieces(FILE* in, char* buffer, size_t size) {
  if (pending_at == pending_size) {
    const long got = read_some(in, pending, sizeof pending);
    ended = got <= 0;
    if (got <= 0) return got;
    pending_at = 0;
    pending_size = static_cast<size_t>(got);
  }
  const char* text = pending + pending_at;
  size_t n = std::min(pending_size - pending_at, size);
  if (handed < script.backlog) {
    n = backlog_bytes(text, n);
  } else if (script.piece > 0) {
    n = std::min(n, script.piece);
  } else if (const void* line_end = std::memchr(text, '\n', n)) {
    n = static_cast<size_t>(static_cast<const char*>(line_end) - text) + 1;
  }
  std::memcpy(buffer, text, n);
  pending_at += n;
  pass_time(text, text + n);
  return static_cast<long>(n);
}

int64_t world_steady() {
  if (script.at_once) return handed > script.backlog || ended ? script.pause : 0;
  return handed > script.backlog ? (handed - script.backlog) / script.speed : 0;
}

int64_t world_now() { return kStarted + world_steady(); }

void world_settings(ClockSettings* settings) {
  size_t i = 0;
  while (i + 1 < script.count && script.settings[i + 1].at <= handed) i++;
  *settings = script.settings[i].settings;
}

}  // namespace

Machine scripted_world(const WorldScript& given, Machine machine) {
  script = given;
  handed = 0;
  ended = false;
  pending_at = pending_size = line_length = 0;
  machine.read_some = read_in_pieces;
  machine.now = world_now;
  machine.steady = world_steady;
  machine.read_settings = script.count > 0 ? world_settings : nullptr;
  return machine;
}
