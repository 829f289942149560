#include "tally.h"

#include "settings_changes.h"
#include "units.h"

namespace {

const uint32_t kSizeSlots = 2 * kMostSizes;  // half full at most, so probes stay short
const char kRecordingNotice[] =
    "tickstat: the input brings clock time faster than it passes, so it is read as a "
    "recording: no clock settings, no times of day";

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

bool live(const Tally& tally) { return tally.pace == Pace::live; }

// Whether the clock time brought since tickstat's clock read since runs ahead of it.
bool runs_ahead(int64_t brought, std::time_t since, std::time_t now) {
  return brought > (now - since + kMostAhead) * kUnitsPerSecond;
}

// Decides once, where the pace tells, whether the input is live or a recording; when
// it has ended, it must be told.
void judge_pace(Tally* tally, std::time_t now, bool ended) {
  if (tally->pace != Pace::undecided || (!tally->first_read_taken && !ended)) return;
  const bool ahead = (tally->first_read_taken &&
                      runs_ahead(tally->elapsed - tally->backlog, tally->first_read_at, now)) ||
                     (ended && runs_ahead(tally->elapsed, tally->started, now));
  if (ahead) {
    tally->pace = Pace::recording;
    tally->read_settings = nullptr;
    tally->settings_at_start = tally->settings_told = tally->settings = ClockSettings{};
    hand_out(*tally->outputs, &Output::take_notice, Notice{kRecordingNotice});
  } else if (ended || now - tally->first_read_at >= kLiveAfter) {
    tally->pace = Pace::live;
  }
}

void fold_timer(TimerHistory* timers, const ClockSettings& settings) {
  if (!settings.has_timer) return;
  if (timers->count == 0) timers->first = settings.timer;
  if (timers->count > 0 && settings.timer != timers->last) timers->changes++;
  timers->last = settings.timer;
  for (int i = 0; i < timers->count; i++) {
    if (timers->seen[i] == settings.timer) return;
  }
  if (timers->count < static_cast<int>(sizeof timers->seen / sizeof timers->seen[0])) {
    timers->seen[timers->count++] = settings.timer;
  } else {
    timers->more = true;
  }
}

// Reads the settings at a boundary of seconds, at moment when of tickstat's clock, and
// hands a change since the settings last told to the outputs; in_period: the second it
// closes belongs to the open period, so the reading tells what was in force during it.
void take_settings(Tally* tally, std::time_t when, bool in_period) {
  ClockSettings now = {};
  tally->read_settings(&now);
  if (live(*tally) && settings_changed(tally->settings_told, now)) {
    const SettingsChange change = {tally->settings_told, now, tally->elapsed, when};
    hand_out(*tally->outputs, &Output::take_change, change);
  }
  if (live(*tally)) tally->settings_told = now;
  tally->settings = now;
  if (in_period) fold_timer(&tally->period.timers, now);
}

void start_second(Tally* tally, int64_t number, std::time_t now) {
  tally->second = number;
  tally->second_start = tally->elapsed;
  tally->second_end = number * kUnitsPerSecond;
  tally->second_steps = 0;
  tally->second_min = INT64_MAX;
  tally->second_max = INT64_MIN;
  tally->second_backward = 0;
  tally->second_jumps = 0;
  tally->second_began = now;
  tally->second_untabled_before = tally->sizes.untabled;
  if (tally->read_settings != nullptr) {
    take_settings(tally, tally->second_began, tally->period.steps > 0);
  }
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
  const bool shown = live(*tally);
  const PeriodRecord period = {open.number,
                               open.start,
                               open.end,
                               open.steps,
                               typical != nullptr,
                               typical != nullptr ? typical->size : 0,
                               typical != nullptr ? typical->period : 0,
                               open.min,
                               open.max,
                               shown ? open.began : 0,
                               shown ? open.settings : ClockSettings{},
                               shown ? open.timers : TimerHistory{}};
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
                    tally->settings,
                    {}};
  fold_timer(&open.timers, tally->settings);
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
                      live(tally) ? tally.settings : ClockSettings{}};
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
  the_tally.started = now != nullptr ? now() : 0;
  the_tally.pace = now != nullptr ? Pace::undecided : Pace::recording;
  init_size_table(&the_tally.sizes, SizeStorage{size_slots, size_direct, size_used, size_touched,
                                                size_in_period, kSizeSlots, used_before});
  start_second(&the_tally, 1, the_tally.started);
  return &the_tally;
}

void read_settings_each_second(Tally* tally, void (*read)(ClockSettings* settings)) {
  tally->read_settings = read;
  if (read == nullptr) return;
  read(&tally->settings);
  tally->settings_at_start = tally->settings_told = tally->settings;
}

void take_first_read(Tally* tally) {
  tally->first_read_taken = true;
  tally->backlog = tally->elapsed;
  tally->first_read_at = tally->now != nullptr ? tally->now() : 0;
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
  const std::time_t now = tally->now != nullptr ? tally->now() : 0;
  judge_pace(tally, now, false);
  close_second(tally, false);
  start_second(tally, tally->elapsed / kUnitsPerSecond + 1, now);
}

void close_tally(Tally* tally) {
  const std::time_t now = tally->now != nullptr ? tally->now() : 0;
  judge_pace(tally, now, true);
  if (tally->second_steps > 0 || tally->second_backward > 0 || tally->second_jumps > 0) {
    close_second(tally, true);
  }
  // The end of the last second, when the input ended inside it: a change in it counts.
  if (tally->read_settings != nullptr) take_settings(tally, now, tally->second_steps > 0);
  if (tally->period.steps > 0) end_period(tally);
}
