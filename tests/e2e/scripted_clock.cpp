// Preloaded under the real program: its real-time clock reads the instants listed
// in SCRIPTED_CLOCK (nanoseconds since 1970, comma-separated), one per read, and
// then stands still on the last one; or, with SCRIPTED_CLOCK=growing, moves at each
// read by 100 ns more than at the read before, so that the steps count up one unit
// a line. Every other clock is the system's.
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

const int kMaxInstants = 64;
long long instants[kMaxInstants];
int instant_count = -1;
int next_instant = 0;
bool growing = false;

void load_script() {
  instant_count = 0;
  const char* text = std::getenv("SCRIPTED_CLOCK");
  growing = text != nullptr && std::strcmp(text, "growing") == 0;
  if (growing) {
    instants[instant_count++] = 1796637600LL * 1000000000;  // 2026-12-07 10:00:00 UTC
    return;
  }
  while (text != nullptr && *text != '\0' && instant_count < kMaxInstants) {
    char* end = nullptr;
    instants[instant_count++] = std::strtoll(text, &end, 10);
    text = *end == ',' ? end + 1 : end;
    if (end == text && *end != '\0') break;
  }
}

}  // namespace

extern "C" int clock_gettime(clockid_t clock, struct timespec* now) {
  typedef int (*ClockGettime)(clockid_t, struct timespec*);
  static ClockGettime system_clock =
      reinterpret_cast<ClockGettime>(dlsym(RTLD_NEXT, "clock_gettime"));
  if (clock != CLOCK_REALTIME) return system_clock(clock, now);
  if (instant_count < 0) load_script();
  if (instant_count == 0) return system_clock(clock, now);
  const long long instant =
      growing ? instants[0] += 100LL * ++next_instant
              : instants[next_instant < instant_count ? next_instant++ : instant_count - 1];
  now->tv_sec = instant / 1000000000;
  now->tv_nsec = instant % 1000000000;
  return 0;
}
