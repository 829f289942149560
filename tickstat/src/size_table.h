// Counts per step size in a fixed table: exact while the sizes fit; once they do not,
// it says how many steps found no room, and keeps the most frequent of their sizes.
#pragma once

#include <cstdint>

// One step size, how often it was seen in all, in the second being filled, and
// in the seconds of the period being filled.
struct SizeCount {
  int64_t size;
  uint64_t count;  // 0 marks a free slot
  uint64_t recent;
  uint64_t period;
};

// Sizes below this many units also have a direct index to their entry: fine
// clocks step by a few units, and a step that changes size every line is usual there.
constexpr int64_t kDirectSizes = 4096;

// The sizes of the steps that found no room in the table, counted by Misra-Gries in a
// few counters: a size more frequent than one in kUntabledSizes + 1 of those steps is
// among them, its count at most shortfall below its true one.
constexpr uint32_t kUntabledSizes = 256;
struct UntabledSizes {
  int64_t size[kUntabledSizes];
  uint64_t count[kUntabledSizes];
  uint16_t slot[2 * kUntabledSizes];  // open addressing by size: a counter's number + 1, or 0
  uint32_t used;
  uint64_t shortfall;  // the times every count fell by one to make room
};

// An open-addressing table over caller-owned storage; no allocation.
struct SizeTable {
  SizeCount* slots;     // a power of two of them
  SizeCount** direct;   // kDirectSizes entries: the entry of each small size, or null
  uint32_t* used;       // the slots taken, in the order of their first step
  uint32_t* touched;    // the slots with a recent count
  uint32_t* in_period;  // the slots with a period count
  uint32_t slot_mask;   // slot count minus one
  uint32_t limit;       // at most this many sizes, so probes stay short
  uint32_t used_count;
  uint32_t touched_count;
  uint32_t in_period_count;
  uint64_t untabled;  // steps whose size came when the table was full
  UntabledSizes untabled_sizes;
};

// The caller-owned storage of a table: slot_count slots (a power of two), kDirectSizes
// direct entries, and used, touched and in_period for slot_count / 2 each. The slots
// are empty but for the used_count listed in used, left by a table before.
struct SizeStorage {
  SizeCount* slots;
  SizeCount** direct;
  uint32_t* used;
  uint32_t* touched;
  uint32_t* in_period;
  uint32_t slot_count;
  uint32_t used_count;
};

// Sets the table up, empty, over its storage.
void init_size_table(SizeTable* table, const SizeStorage& storage);

// Counts one step of this size; returns its entry, or null when the table is full.
SizeCount* count_new_size(SizeTable* table, int64_t size);

// Counts one more step into an entry of the table.
inline void count_entry(SizeTable* table, SizeCount* entry) {
  entry->count++;
  if (entry->recent++ == 0)
    table->touched[table->touched_count++] = static_cast<uint32_t>(entry - table->slots);
}

// Counts one step, trying first the entry of the size counted last, the usual next one.
inline void count_size(SizeTable* table, SizeCount** last, int64_t size) {
  SizeCount* entry = *last;
  if (entry == nullptr || entry->size != size) {
    entry = static_cast<uint64_t>(size) < kDirectSizes ? table->direct[size] : nullptr;
  }
  if (entry == nullptr) {
    *last = count_new_size(table, size);
    return;
  }
  count_entry(table, entry);
  *last = entry;
}

// Takes the step just counted into entry back out of the recent counts (not the total).
inline void uncount_recent(SizeTable* table, SizeCount* entry) {
  // An entry that the step made recent is the last one touched.
  if (--entry->recent == 0) table->touched_count--;
}

// The size seen most often in the second being filled (the smaller on a tie), or null.
const SizeCount* most_frequent_recent(const SizeTable& table);

// Adds the second's counts to the period's and starts them anew; keeps *typical on the
// period's most frequent size (the smaller on a tie). Touches only the second's sizes.
void move_recent_to_period(SizeTable* table, const SizeCount** typical);

// Starts the period counts anew, touching only the period's sizes.
void forget_period(SizeTable* table);

// The more frequent of two entries, the smaller size on a tie; either may be null.
const SizeCount* more_frequent_in_period(const SizeCount* a, const SizeCount* b);

// One of the most frequent sizes: its count, exact or at least so many.
struct FrequentSize {
  int64_t size;
  uint64_t count;
  bool exact;
};

// The up to most most frequent sizes of the table and of the steps that found no room,
// the most frequent first (the smaller size on a tie), into rows; returns how many.
// Orders table.used as sort_by_count does.
uint32_t most_frequent(const SizeTable& table, FrequentSize* rows, uint32_t most);

// How many different sizes the table and its untabled sizes hold.
inline uint32_t sizes_known(const SizeTable& table) {
  return table.used_count + table.untabled_sizes.used;
}

// Orders table.used most frequent first (the smaller size on a tie).
void sort_by_count(const SizeTable& table);

// Orders table.used smallest size first.
void sort_by_size(const SizeTable& table);

// The i-th entry in table.used's order.
inline const SizeCount& entry_at(const SizeTable& table, uint32_t i) {
  return table.slots[table.used[i]];
}
