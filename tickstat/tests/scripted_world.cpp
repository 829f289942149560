#include "scripted_world.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "input.h"
#include "units.h"

namespace {

const std::time_t kStarted = 1800000000;  // 2027-01-15, any moment will do

WorldScript script;
int64_t handed;  // clock time of the lines handed over so far
char pending[1 << 16];
size_t pending_at, pending_size;

// Moves the world's clock on by the forward steps among the lines in [text, end).
void pass_time(const char* text, const char* end) {
  for (const char* line = text; line < end;) {
    const double ms = std::strtod(line, nullptr);
    if (ms > 0 && ms < 1e12) handed += std::llround(ms * 10000);
    const void* line_end = std::memchr(line, '\n', static_cast<size_t>(end - line));
    line = line_end != nullptr ? static_cast<const char*>(line_end) + 1 : end;
  }
}

// How many of the n bytes at text hold the lines of the backlog.
size_t backlog_bytes(const char* text, size_t n) {
  int64_t brought = 0;
  size_t taken = 0;
  while (taken < n && brought < script.backlog) {
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
    if (got <= 0) return got;
    pending_at = 0;
    pending_size = static_cast<size_t>(got);
  }
  const char* text = pending + pending_at;
  size_t n = std::min(pending_size - pending_at, size);
  if (handed == 0 && script.backlog > 0) {
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

std::time_t world_now() {
  if (script.at_once || handed <= script.backlog) return kStarted;
  return kStarted + (handed - script.backlog) / kUnitsPerSecond;
}

void world_settings(ClockSettings* settings) {
  size_t i = 0;
  while (i + 1 < script.count && script.settings[i + 1].at <= handed) i++;
  *settings = script.settings[i].settings;
}

}  // namespace

Machine scripted_world(const WorldScript& given, Machine machine) {
  script = given;
  handed = 0;
  pending_at = pending_size = 0;
  machine.read_some = read_in_pieces;
  machine.now = world_now;
  machine.read_settings = script.count > 0 ? world_settings : nullptr;
  return machine;
}
