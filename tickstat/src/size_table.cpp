#include "size_table.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace {

uint32_t slot_of(int64_t size, uint32_t mask) {
  // Fibonacci hashing: nearby sizes, the usual case, land far apart.
  return static_cast<uint32_t>((static_cast<uint64_t>(size) * 0x9E3779B97F4A7C15ULL) >> 32) & mask;
}

const uint32_t kUntabledMask = 2 * kUntabledSizes - 1;

void place_untabled(UntabledSizes* sizes, uint32_t counter) {
  uint32_t i = slot_of(sizes->size[counter], kUntabledMask);
  while (sizes->slot[i] != 0) i = (i + 1) & kUntabledMask;
  sizes->slot[i] = static_cast<uint16_t>(counter + 1);
}

// Misra-Gries: a size with a counter counts on; a new one takes a free counter, or,
// with none free, every count falls by one, its own with them, and the sizes at none
// leave.
void count_untabled(UntabledSizes* sizes, int64_t size) {
  uint32_t i = slot_of(size, kUntabledMask);
  for (; sizes->slot[i] != 0; i = (i + 1) & kUntabledMask) {
    const uint32_t counter = sizes->slot[i] - 1U;
    if (sizes->size[counter] == size) {
      sizes->count[counter]++;
      return;
    }
  }
  if (sizes->used < kUntabledSizes) {
    sizes->size[sizes->used] = size;
    sizes->count[sizes->used] = 1;
    sizes->slot[i] = static_cast<uint16_t>(++sizes->used);
    return;
  }
  sizes->shortfall++;
  uint32_t kept = 0;
  for (uint32_t counter = 0; counter < sizes->used; counter++) {
    if (--sizes->count[counter] == 0) continue;
    sizes->size[kept] = sizes->size[counter];
    sizes->count[kept++] = sizes->count[counter];
  }
  sizes->used = kept;
  std::memset(sizes->slot, 0, sizeof sizes->slot);
  for (uint32_t counter = 0; counter < kept; counter++) place_untabled(sizes, counter);
}

}  // namespace

void init_size_table(SizeTable* table, const SizeStorage& s) {
  // Only the slots a table over this storage used before: the rest are still empty,
  // and left untouched they take no memory.
  for (uint32_t i = 0; i < s.used_count; i++) s.slots[s.used[i]] = SizeCount{};
  std::fill(s.direct, s.direct + kDirectSizes, nullptr);
  *table = SizeTable{s.slots,          s.direct, s.used, s.touched, s.in_period, s.slot_count - 1,
                     s.slot_count / 2, 0,        0,      0,         0,           {}};
}

SizeCount* count_new_size(SizeTable* table, int64_t size) {
  for (uint32_t i = slot_of(size, table->slot_mask);; i = (i + 1) & table->slot_mask) {
    SizeCount& slot = table->slots[i];
    if (slot.count == 0) {
      if (table->used_count == table->limit) {
        table->untabled++;
        count_untabled(&table->untabled_sizes, size);
        return nullptr;
      }
      slot.size = size;
      table->used[table->used_count++] = i;
      if (static_cast<uint64_t>(size) < kDirectSizes) table->direct[size] = &slot;
    } else if (slot.size != size) {
      continue;
    }
    count_entry(table, &slot);
    return &slot;
  }
}

const SizeCount* most_frequent_recent(const SizeTable& table) {
  if (table.touched_count == 0) return nullptr;
  const SizeCount* best = &table.slots[table.touched[0]];
  for (uint32_t i = 1; i < table.touched_count; i++) {
    const SizeCount& entry = table.slots[table.touched[i]];
    if (entry.recent > best->recent || (entry.recent == best->recent && entry.size < best->size)) {
      best = &entry;
    }
  }
  return best;
}

const SizeCount* more_frequent_in_period(const SizeCount* a, const SizeCount* b) {
  if (a == nullptr || b == nullptr) return a == nullptr ? b : a;
  if (a->period != b->period) return a->period > b->period ? a : b;
  return a->size <= b->size ? a : b;
}

void move_recent_to_period(SizeTable* table, const SizeCount** typical) {
  for (uint32_t i = 0; i < table->touched_count; i++) {
    SizeCount& entry = table->slots[table->touched[i]];
    if (entry.period == 0) table->in_period[table->in_period_count++] = table->touched[i];
    entry.period += entry.recent;
    entry.recent = 0;
    *typical = more_frequent_in_period(*typical, &entry);
  }
  table->touched_count = 0;
}

void forget_period(SizeTable* table) {
  for (uint32_t i = 0; i < table->in_period_count; i++) {
    table->slots[table->in_period[i]].period = 0;
  }
  table->in_period_count = 0;
}

void sort_by_count(const SizeTable& table) {
  std::sort(table.used, table.used + table.used_count, [&table](uint32_t a, uint32_t b) {
    const SizeCount& x = table.slots[a];
    const SizeCount& y = table.slots[b];
    return x.count != y.count ? x.count > y.count : x.size < y.size;
  });
}

void sort_by_size(const SizeTable& table) {
  std::sort(table.used, table.used + table.used_count,
            [&table](uint32_t a, uint32_t b) { return table.slots[a].size < table.slots[b].size; });
}

uint32_t most_frequent(const SizeTable& table, FrequentSize* rows, uint32_t most) {
  sort_by_count(table);
  const UntabledSizes& untabled = table.untabled_sizes;
  uint16_t order[kUntabledSizes] = {};
  std::iota(order, order + untabled.used, uint16_t{0});
  std::sort(order, order + untabled.used, [&untabled](uint16_t a, uint16_t b) {
    return untabled.count[a] != untabled.count[b] ? untabled.count[a] > untabled.count[b]
                                                  : untabled.size[a] < untabled.size[b];
  });
  uint32_t made = 0, tabled = 0, other = 0;
  for (; made < most && (tabled < table.used_count || other < untabled.used); made++) {
    const SizeCount* entry = tabled < table.used_count ? &entry_at(table, tabled) : nullptr;
    const uint32_t counter = other < untabled.used ? order[other] : 0;
    const bool take_other =
        other < untabled.used &&
        (entry == nullptr || untabled.count[counter] > entry->count ||
         (untabled.count[counter] == entry->count && untabled.size[counter] < entry->size));
    rows[made] = take_other ? FrequentSize{untabled.size[counter], untabled.count[counter],
                                           untabled.shortfall == 0}
                            : FrequentSize{entry->size, entry->count, true};
    (take_other ? other : tabled)++;
  }
  return made;
}
