// The sizes of a clock's steps and how often each was seen, in a table of fixed size,
// for the typical (most frequent) step.
#pragma once

#include <cstdint>

constexpr int kSizeSlots = 4096;                // a power of two
constexpr int kMostSizes = kSizeSlots / 4 * 3;  // past this, a new size counts as other

// Each size seen and its count; open addressing on the size.
struct StepSizes {
  int64_t size[kSizeSlots];
  uint64_t count[kSizeSlots];  // 0 marks a free slot
  int used;
  uint64_t others;  // steps whose size found no room
};

// Empties the table.
void clear_step_sizes(StepSizes* sizes);
// Counts one step of the given size (above zero).
void count_step_size(StepSizes* sizes, int64_t size);
// The most frequent size, the smaller on a tie; 0 when none was counted.
int64_t most_frequent_size(const StepSizes& sizes);
