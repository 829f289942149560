// What each of tickstat's outputs takes: the records as they close, in one order.
#pragma once

#include "records.h"

// One output of tickstat; each function may be null where the output has no use for it.
struct Output {
  void (*take_second)(const SecondRecord& second);
  void (*take_period)(const PeriodRecord& period);
  void (*take_event)(const ClockEvent& event);
  void (*take_change)(const SettingsChange& change);
  void (*take_notice)(const Notice& notice);
};

// The outputs of a run, in the order they are handed each record.
struct Outputs {
  const Output* list[4];
  int count;
};
