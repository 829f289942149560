// What tickstat makes of the machine's clock settings while it reads: their changes,
// whether the steps follow the timer, the status line's setting and the CSV fields.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>

#include "clock_settings.h"
#include "records.h"

// The CSV header's names of the settings' fields, each after a comma.
extern const char kSettingsColumns[];

// Whether the timer interval changed, or time synchronisation started or stopped.
bool settings_changed(const ClockSettings& before, const ClockSettings& after);

// Whether typical is another timer setting than the timer interval of a period, by the
// rule that splits periods; false unless every reading during it gave that one interval.
bool step_misses_timer(const TimerHistory& timers, int64_t typical);

// The timer intervals of a period as its line names them: "15.6250 ms", or where they
// changed, "15.6250 ms -> 1.0000 ms", "15.6250 ms -> 1.0000 ms -> 15.6250 ms" and,
// after more than two changes, the first, the last and how many.
const char* describe_timers(const TimerHistory& timers, char (&text)[96]);

// The one setting the status line shows: the timer interval, else whether the clock
// is synchronised; "" when neither is known.
const char* status_of_settings(const ClockSettings& settings, char (&text)[48]);

// Prints a line for each setting that changed, like a step that set the clock, with the
// local time local_time gives (null: not known).
void print_settings_change(FILE* out, const SettingsChange& change,
                           void (*local_time)(std::time_t moment, std::tm* local));

// The settings' CSV fields, each after a comma, empty where not known; returns text.
const char* settings_fields(const ClockSettings& settings, char (&text)[192]);
