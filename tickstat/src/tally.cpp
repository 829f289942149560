#include "tally.h"

#include "settings_changes.h"
#include "units.h"

namespace {

const uint32_t kSizeSlots = 2 * kMostSizes;  // half full at most, so probes stay short

Tally the_tally;
SizeCount size_slots[kSizeSlots];
SizeCount* size_direct[kDirectSizes];
uint32_t size_used[kMostSizes];
uint32_t size_touched[kMostSizes];
uint32_t size_in_period[kMostSizes];

void fold_extremes(int64_t* min, int64_t* max, int64_t low, int64_t high) {
  if (low < *min) *min = low;
  if (high > *max) *max = high;
}

// Hands one record to each output that takes records of its kind.
template <typename Record>
void hand_out(const Outputs& outputs, void (*Output::*take)(const Record&), const Record& record) {
  for (int i = 0; i < outputs.count; i++) {
    if (outputs.list[i]->*take != nullptr) (outputs.list[i]->*take)(record);
  }
}

// Hands a change of the settings to the outputs, at the clock time it was read.
void take_settings(Tally* tally) {
  ClockSettings now = {};
  tally->read_settings(&now);
  if (settings_changed(tally->settings, now)) {
    const SettingsChange change = {tally->settings, now, tally->elapsed, tally->second_began};
    hand_out(*tally->outputs, &Output::take_change, change);
  }
  tally->settings = now;
}

void start_second(Tally* tally, int64_t number) {
  tally->second = number;
  tally->second_start = tally->elapsed;
  tally->second_end = number * kUnitsPerSecond;
  tally->second_steps = 0;
  tally->second_min = INT64_MAX;
  tally->second_max = INT64_MIN;
  tally->second_backward = 0;
  tally->second_jumps = 0;
  tally->second_began = tally->now != nullptr ? tally->now() : 0;
  tally->second_untabled_before = tally->sizes.untabled;
  if (tally->read_settings != nullptr) take_settings(tally);
}

// The entry counted most often, or null when steps that found no room in the size
// table might have outnumbered it: a wrong typical step is worse than none.
const SizeCount* known(const SizeCount* typical, uint64_t count, uint64_t untabled) {
  return typical != nullptr && count > untabled ? typical : nullptr;
}

void end_period(Tally* tally) {
  const OpenPeriod& open = tally->period;
  const SizeCount* typical = known(open.typical, open.typical != nullptr ? open.typical->period : 0,
                                   tally->sizes.untabled - open.untabled_before);
  const PeriodRecord period = {open.number,
                               open.start,
                               open.end,
                               open.steps,
                               typical != nullptr,
                               typical != nullptr ? typical->size : 0,
                               typical != nullptr ? typical->period : 0,
                               open.min,
                               open.max,
                               open.began,
                               open.settings};
  hand_out(*tally->outputs, &Output::take_period, period);
  keep_if_long(&tally->longest, period);
  tally->periods++;
  forget_period(&tally->sizes);
}

// Ends the open period when this second's typical step is another timer setting,
// then opens one if none is open; a second of clock events alone opens none.
void place_second(Tally* tally, const SizeCount* typical) {
  OpenPeriod& open = tally->period;
  if (open.steps > 0 && typical != nullptr && open.typical != nullptr &&
      !same_timer_step(open.typical->size, typical->size)) {
    end_period(tally);
    open.steps = 0;
  }
  if (open.steps > 0 || tally->second_steps == 0) return;
  open = OpenPeriod{open.number + 1,
                    tally->second_start,
                    0,
                    0,
                    INT64_MAX,
                    INT64_MIN,
                    nullptr,
                    tally->second_began,
                    tally->second_untabled_before,
                    tally->settings};
}

SecondRecord record_second(const Tally& tally, const SizeCount* typical, bool partial) {
  return SecondRecord{tally.second,
                      tally.second_start,
                      tally.elapsed,
                      tally.second_steps,
                      typical != nullptr,
                      typical != nullptr ? typical->size : 0,
                      typical != nullptr ? typical->recent : 0,
                      tally.second_min,
                      tally.second_max,
                      tally.second_backward,
                      tally.second_jumps,
                      partial,
                      tally.period.number,
                      tally.period.start,
                      tally.settings};
}

void close_second(Tally* tally, bool partial) {
  const SizeCount* most = most_frequent_recent(tally->sizes);
  const SizeCount* typical = known(most, most != nullptr ? most->recent : 0,
                                   tally->sizes.untabled - tally->second_untabled_before);
  place_second(tally, typical);
  const SecondRecord second = record_second(*tally, typical, partial);
  hand_out(*tally->outputs, &Output::take_second, second);
  OpenPeriod& open = tally->period;
  move_recent_to_period(&tally->sizes, &open.typical);
  open.steps += tally->second_steps;
  open.end = tally->elapsed;
  fold_extremes(&open.min, &open.max, tally->second_min, tally->second_max);
  fold_extremes(&tally->min, &tally->max, tally->second_min, tally->second_max);
}

void take_clock_event(Tally* tally, int64_t units) {
  // Kept out of the seconds, typical step included: not time that passed, but a
  // clock set back or forward.
  if (tally->last != nullptr) {
    uncount_recent(&tally->sizes, tally->last);
  } else {
    // Its size came after the table filled: it must not hide the typical step of the
    // second or the period as a step of theirs might.
    tally->second_untabled_before++;
    tally->period.untabled_before++;
  }
  if (units < 0) {
    tally->backward++;
    tally->second_backward++;
  } else {
    tally->jumps++;
    tally->second_jumps++;
  }
  fold_extremes(&tally->min, &tally->max, units, units);
  const ClockEvent event = {units, tally->elapsed};
  hand_out(*tally->outputs, &Output::take_event, event);
}

}  // namespace

Tally* start_tally(const Outputs* outputs, std::time_t (*now)()) {
  const uint32_t used_before = the_tally.sizes.used_count;
  the_tally = Tally{};
  the_tally.min = INT64_MAX;
  the_tally.max = INT64_MIN;
  the_tally.outputs = outputs;
  the_tally.now = now;
  init_size_table(&the_tally.sizes, SizeStorage{size_slots, size_direct, size_used, size_touched,
                                                size_in_period, kSizeSlots, used_before});
  start_second(&the_tally, 1);
  return &the_tally;
}

void read_settings_each_second(Tally* tally, void (*read)(ClockSettings* settings)) {
  tally->read_settings = read;
  if (read == nullptr) return;
  read(&tally->settings);
  tally->settings_at_start = tally->settings;
}

void take_step(Tally* tally, int64_t units) {
  tally->steps++;
  count_size(&tally->sizes, &tally->last, units);
  if (units < 0 || units > kUnitsPerSecond) {
    take_clock_event(tally, units);
    return;
  }
  tally->second_steps++;
  if (units < tally->second_min) tally->second_min = units;
  if (units > tally->second_max) tally->second_max = units;
  tally->elapsed += units;
  if (tally->elapsed < tally->second_end) return;
  close_second(tally, false);
  start_second(tally, tally->elapsed / kUnitsPerSecond + 1);
}

void close_tally(Tally* tally) {
  if (tally->second_steps > 0 || tally->second_backward > 0 || tally->second_jumps > 0) {
    close_second(tally, true);
  }
  if (tally->period.steps > 0) end_period(tally);
}
