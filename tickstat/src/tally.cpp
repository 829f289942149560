#include "tally.h"

#include <algorithm>

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

void add_seen(TimerHistory* timers, int64_t timer) {
  for (int i = 0; i < timers->count; i++) {
    if (timers->seen[i] == timer) return;
  }
  if (timers->count < static_cast<int>(sizeof timers->seen / sizeof timers->seen[0])) {
    timers->seen[timers->count++] = timer;
  } else {
    timers->more = true;
  }
}

// Adds the readings of a later stretch of time to those of timers.
void fold_history(TimerHistory* timers, const TimerHistory& later) {
  const bool sparse = timers->sparse || later.sparse;
  if (timers->count == 0) {
    if (later.count > 0) *timers = later;
  } else if (later.count > 0) {
    timers->changes += later.changes + (later.first != timers->last ? 1 : 0);
    for (int i = 0; i < later.count; i++) add_seen(timers, later.seen[i]);
    timers->more = timers->more || later.more;
    timers->last = later.last;
  }
  timers->sparse = sparse;
}

void fold_timer(TimerHistory* timers, const ClockSettings& settings) {
  if (!settings.has_timer) return;
  fold_history(timers,
               TimerHistory{1, {settings.timer}, false, settings.timer, settings.timer, 0, false});
}

// Keeps a change read before the input is known to be live; a fifth and later are
// folded into the fourth.
void keep_pending(PendingChanges* pending, const SettingsChange& change) {
  const int capacity = static_cast<int>(sizeof pending->list / sizeof pending->list[0]);
  if (pending->count < capacity) {
    pending->list[pending->count++] = change;
  } else {
    pending->list[capacity - 1].after = change.after;
  }
}

void become_live(Tally* tally) {
  tally->pace = Pace::live;
  for (int i = 0; i < tally->pending.count; i++) {
    hand_out(*tally->outputs, &Output::take_change, tally->pending.list[i]);
  }
  tally->pending.count = 0;
}

// What the machine's settings said about the input is dropped: they may not have been in
// force when it was made.
void forget_settings(Tally* tally) {
  tally->live.read_settings = nullptr;
  tally->settings_at_start = tally->settings_told = tally->settings = ClockSettings{};
  tally->second_settings = ClockSettings{};
  tally->pending.count = 0;
}

void become_recording(Tally* tally) {
  tally->pace = Pace::recording;
  forget_settings(tally);
  hand_out(*tally->outputs, &Output::take_notice, Notice{kRecordingNotice});
}

// Whether what comes at moment now of tickstat's clock may have waited in the pipes: the
// input's first, or what comes after a silence.
bool in_backlog(const Tally& tally, int64_t now) {
  return !tally.first_read_taken || now - tally.last_read_at >= kStall ||
         now - tally.latest_backlog_from <= kBacklogFor;
}

// Whether clock time brought runs ahead of the time passed on tickstat's clock by more
// than a live tickgauge can: its clock and tickstat's may drift apart by some hundred ppm
// over a long run, a recording read through a pipe runs ahead thousands of times over.
bool runs_ahead(int64_t brought, int64_t passed, int64_t margin) {
  return brought > passed + passed / 100 + margin;
}

// Whether clock time brought kept pace with the time passed on tickstat's clock, as a live
// tickgauge's lines do, which come within moments of their steps.
bool kept_pace(int64_t brought, int64_t passed) {
  const int64_t margin = passed / 100 + kBacklogFor;
  return brought <= passed + margin && brought >= passed - margin;
}

// Whether, at moment now of tickstat's clock, the input has run ahead since its first
// backlog: what waited in a filter since does not make it bring more than passed.
bool ahead_since_backlog(const Tally& tally, int64_t now) {
  return now - tally.first_read_at > kBacklogFor &&
         runs_ahead(tally.elapsed - tally.backlog, now - tally.backlog_at, kMostAhead);
}

// Notes a read at moment now of tickstat's clock, with its lines counted.
void note_read(Tally* tally, int64_t now) {
  if (!tally->first_read_taken) {
    tally->first_read_taken = true;
    tally->first_read_at = tally->latest_backlog_from = now;
  } else if (now - tally->last_read_at >= kStall) {
    tally->latest_backlog_from = now;
  }
  tally->last_read_at = now;
  if (now - tally->latest_backlog_from > kBacklogFor) return;
  tally->evidence_from = tally->elapsed;
  tally->evidence_at = now;
  if (now - tally->first_read_at > kBacklogFor) return;
  tally->backlog = tally->elapsed;
  tally->backlog_at = now;
}

// Judges, after a whole read at moment now of tickstat's clock, whether the input is live
// or a recording; a recording stays one.
void judge_pace(Tally* tally, int64_t now) {
  if (tally->pace == Pace::recording) return;
  if (ahead_since_backlog(*tally, now)) {
    become_recording(tally);
    return;
  }
  const int64_t brought = tally->elapsed - tally->evidence_from;
  if (tally->pace == Pace::undecided && brought >= kLiveEvidence &&
      kept_pace(brought, now - tally->evidence_at)) {
    become_live(tally);
  }
}

// Judges the pace at the input's end, at moment now of tickstat's clock. What is neither
// shown live nor brought faster than it passed stays undecided, read as a recording
// without a notice.
void judge_end(Tally* tally, int64_t now) {
  judge_pace(tally, now);
  if (tally->pace != Pace::undecided) return;
  const int64_t brought = tally->elapsed - tally->evidence_from;
  // A tail at pace tells nothing of what came before it at once: all of it must fit in
  // the time tickstat ran as well.
  if (brought > 0 && kept_pace(brought, now - tally->evidence_at) &&
      !runs_ahead(tally->elapsed, now - tally->started, kBacklogFor)) {
    become_live(tally);
  } else if (runs_ahead(tally->elapsed, now - tally->started, kBacklogFor)) {
    become_recording(tally);
  } else {
    forget_settings(tally);
  }
}

// Reads the settings, at moment now of tickstat's clock, unless the last reading is less
// than gap before; a change since the settings last told goes to the outputs, or waits
// until the input is known to be live. The reading counts into the second being filled.
void take_settings(Tally* tally, int64_t now, int64_t gap) {
  if (tally->live.read_settings == nullptr || now - tally->settings_read_at < gap) return;
  tally->settings_read_at = now;
  if (tally->elapsed - tally->settings_read_clock > kMostUnread) tally->second_timers.sparse = true;
  tally->settings_read_clock = tally->elapsed;
  ClockSettings reading = {};
  tally->live.read_settings(&reading);
  if (settings_changed(tally->settings_told, reading)) {
    const SettingsChange change = {tally->settings_told, reading, tally->elapsed,
                                   static_cast<std::time_t>(tally->live.now() / kUnitsPerSecond)};
    if (live(*tally)) {
      hand_out(*tally->outputs, &Output::take_change, change);
    } else {
      keep_pending(&tally->pending, change);
    }
    tally->settings_told = reading;
  }
  tally->settings = reading;
  fold_timer(&tally->second_timers, reading);
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
  tally->second_untabled_before = tally->sizes.untabled;
  tally->second_set_before = tally->set_by;
  tally->second_settings = tally->settings;
  tally->second_timers = TimerHistory{};
  fold_timer(&tally->second_timers, tally->settings);
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
                               shown ? time_of_day_at(*tally, open.start, open.set_before) : 0,
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
                    tally->second_untabled_before,
                    tally->second_settings,
                    {},
                    tally->second_set_before};
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
                      live(tally) ? tally.second_settings : ClockSettings{}};
}

void close_second(Tally* tally, bool partial) {
  const SizeCount* most = most_frequent_recent(tally->sizes);
  const SizeCount* typical = known(most, most != nullptr ? most->recent : 0,
                                   tally->sizes.untabled - tally->second_untabled_before);
  place_second(tally, typical);
  if (tally->live.read_settings != nullptr &&
      tally->elapsed - tally->settings_read_clock > kMostUnread) {
    tally->second_timers.sparse = true;
  }
  fold_history(&tally->period.timers, tally->second_timers);
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
  // Held within kMostSetBy, so that the times of day reckoned from it cannot overflow: a
  // clock set by thousands of years has no time of day to give anyway.
  tally->set_by = std::clamp(tally->set_by + std::clamp(units, -kMostSetBy, kMostSetBy),
                             -kMostSetBy, kMostSetBy);
  const ClockEvent event = {units, tally->elapsed};
  hand_out(*tally->outputs, &Output::take_event, event);
}

}  // namespace

Tally* start_tally(const Outputs* outputs, const LiveSources& live) {
  const uint32_t used_before = the_tally.sizes.used_count;
  the_tally = Tally{};
  the_tally.min = INT64_MAX;
  the_tally.max = INT64_MIN;
  the_tally.outputs = outputs;
  the_tally.live = live;
  the_tally.pace = live.steady != nullptr ? Pace::undecided : Pace::recording;
  if (live.steady != nullptr) {
    the_tally.started = live.steady();
    the_tally.anchor_now = live.now();
  }
  if (live.read_settings != nullptr) {
    live.read_settings(&the_tally.settings);
    the_tally.settings_at_start = the_tally.settings_told = the_tally.settings;
    the_tally.settings_read_at = the_tally.started;
  }
  init_size_table(&the_tally.sizes, SizeStorage{size_slots, size_direct, size_used, size_touched,
                                                size_in_period, kSizeSlots, used_before});
  start_second(&the_tally, 1);
  return &the_tally;
}

void take_read(Tally* tally) {
  if (tally->live.steady == nullptr) return;
  const int64_t now = tally->live.steady();
  note_read(tally, now);
  judge_pace(tally, now);
  tally->anchor_now = tally->live.now();
  tally->anchor_clock = tally->elapsed + tally->set_by;
  take_settings(tally, now, kSettingsEvery);
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
  if (tally->live.steady != nullptr) {
    const int64_t now = tally->live.steady();
    // A backlog's lines, or a read's that brings more than a moment, are older than any
    // reading: only the reading after their read tells what was in force, at the last.
    const bool moment = tally->elapsed + tally->set_by - tally->anchor_clock <= kMostUnread;
    if (moment && !in_backlog(*tally, now)) take_settings(tally, now, kSettingsAtBoundary);
  }
  close_second(tally, false);
  start_second(tally, tally->elapsed / kUnitsPerSecond + 1);
}

void close_tally(Tally* tally) {
  if (tally->live.steady != nullptr) {
    const int64_t now = tally->live.steady();
    judge_end(tally, now);
    // The end of the last second, when the input ended inside it: a change in it counts.
    take_settings(tally, now, 0);
  }
  if (tally->second_steps > 0 || tally->second_backward > 0 || tally->second_jumps > 0) {
    close_second(tally, true);
  }
  if (tally->period.steps > 0) end_period(tally);
}

std::time_t time_of_day_at(const Tally& tally, int64_t clock, int64_t set_before) {
  // The clock read anchor_now at anchor_clock: as it stood then, less what passed since.
  return static_cast<std::time_t>((tally.anchor_now - (tally.anchor_clock - clock - set_before)) /
                                  kUnitsPerSecond);
}
