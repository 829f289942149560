// What tickstat makes of the machine's clock settings: their changes, their texts
// and their CSV fields.
#pragma once

#include <cstdint>
#include <cstdio>

#include "clock_settings.h"
#include "records.h"

// The CSV header's names of the settings' fields, each after a comma.
extern const char kSettingsColumns[];

// Whether the timer interval changed, or time synchronisation started or stopped.
bool settings_changed(const ClockSettings& before, const ClockSettings& after);

// Whether typical is another timer setting than the timer interval, by the rule that
// splits periods; false where the interval is not known.
bool step_misses_timer(const ClockSettings& settings, int64_t typical);

// The settings as the period lines and the summary name them ("timer 15.6250 ms,
// time adjustment off"), "" when none is known; with_range adds the finest and coarsest.
const char* describe_settings(const ClockSettings& settings, bool with_range, char (&text)[192]);

// The one setting the status line shows: the timer interval, else whether the clock
// is synchronised; "" when neither is known.
const char* status_of_settings(const ClockSettings& settings, char (&text)[48]);

// Prints a line for each setting that changed, like a step that set the clock.
void print_settings_change(FILE* out, const SettingsChange& change);

// Writes the settings' CSV fields, each after a comma, empty where not known.
void write_settings_fields(FILE* csv, const ClockSettings& settings);
