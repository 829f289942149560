#include "size_table.h"

#include <algorithm>
#include <cstring>

namespace {

uint32_t slot_of(int64_t size, uint32_t mask) {
  // Fibonacci hashing: nearby sizes, the usual case, land far apart.
  return static_cast<uint32_t>((static_cast<uint64_t>(size) * 0x9E3779B97F4A7C15ULL) >> 32) & mask;
}

bool more_frequent(const SizeCount& a, const SizeCount& b) {
  return a.count != b.count ? a.count > b.count : a.size < b.size;
}

bool smaller(const SizeCount& a, const SizeCount& b) { return a.size < b.size; }

void copy_entries(const SizeTable& table, SizeCount* out) {
  for (uint32_t i = 0; i < table.used_count; i++) out[i] = table.slots[table.used[i]];
}

}  // namespace

void init_size_table(SizeTable* table, SizeCount* slots, SizeCount** direct, uint32_t* used,
                     uint32_t* touched, uint32_t slot_count) {
  std::memset(slots, 0, sizeof(SizeCount) * slot_count);
  std::fill(direct, direct + kDirectSizes, nullptr);
  *table = SizeTable{slots, direct, used, touched, slot_count - 1, slot_count / 2, 0, 0, 0};
}

SizeCount* count_new_size(SizeTable* table, int64_t size) {
  for (uint32_t i = slot_of(size, table->slot_mask);; i = (i + 1) & table->slot_mask) {
    SizeCount& slot = table->slots[i];
    if (slot.count == 0) {
      if (table->used_count == table->limit) {
        table->untabled++;
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

void forget_recent(SizeTable* table) {
  for (uint32_t i = 0; i < table->touched_count; i++) table->slots[table->touched[i]].recent = 0;
  table->touched_count = 0;
}

void sizes_by_count(const SizeTable& table, SizeCount* out) {
  copy_entries(table, out);
  std::sort(out, out + table.used_count, more_frequent);
}

void sizes_by_size(const SizeTable& table, SizeCount* out) {
  copy_entries(table, out);
  std::sort(out, out + table.used_count, smaller);
}
