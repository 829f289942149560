#include "step_sizes.h"

#include <cstring>

void clear_step_sizes(StepSizes* sizes) { std::memset(sizes, 0, sizeof *sizes); }

void count_step_size(StepSizes* sizes, int64_t size) {
  // Fibonacci hashing: sizes are often multiples of one tick count, which a plain
  // modulo would crowd into a few slots.
  uint64_t slot = (static_cast<uint64_t>(size) * 0x9E3779B97F4A7C15ULL) >> 52;
  for (;; slot = (slot + 1) & (kSizeSlots - 1)) {
    if (sizes->count[slot] == 0) break;
    if (sizes->size[slot] == size) {
      sizes->count[slot]++;
      return;
    }
  }
  if (sizes->used == kMostSizes) {
    sizes->others++;
    return;
  }
  sizes->used++;
  sizes->size[slot] = size;
  sizes->count[slot] = 1;
}

int64_t most_frequent_size(const StepSizes& sizes) {
  int64_t typical = 0;
  uint64_t most = 0;
  for (int slot = 0; slot < kSizeSlots; slot++) {
    const uint64_t count = sizes.count[slot];
    if (count > most || (count == most && count > 0 && sizes.size[slot] < typical)) {
      most = count;
      typical = sizes.size[slot];
    }
  }
  return typical;
}
