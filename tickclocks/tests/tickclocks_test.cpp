// tickclocks on a scripted machine: each case a command line and the exact report.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "scripted_machine.h"
#include "tickclocks.h"

namespace {

const int64_t kMs = 1000000;

const ScriptedClock kWorld[] = {
    {.name = "coarse", .step_ns = 15625000, .kind = kTimeOfDay, .follows_timer = true},
    {.name = "twice-stated", .step_ns = 2 * kMs, .stated_ns = 1 * kMs},
    {.name = "under-twice", .step_ns = 1999000, .stated_ns = 1 * kMs},
    {.name = "read-bound", .step_ns = 1, .cost_ns = 300, .stated_ns = 1},
    {.name = "finer-than-timer",
     .step_ns = 100,
     .cost_ns = 100,
     .kind = kTimeOfDay,
     .follows_timer = true},
    {.name = "steps-back-once",
     .step_ns = 100,
     .cost_ns = 100,
     .back_at_ns = 300 * kMs,
     .back_by_ns = 1000 * kMs},
    {.name = "disagreeing", .step_ns = 1000, .processor1_lag_ns = 50000},
    {.name = "missing", .present = false},
    {.name = "stopping", .step_ns = 1 * kMs, .stop_at_ns = 500 * kMs},
    {.name = "late-ticks", .step_ns = 1 * kMs, .late_every = 4},
    {.name = "paused",
     .step_ns = 4 * kMs,
     .stated_ns = 4 * kMs,
     .pause_every_ns = 15 * kMs,
     .pause_ns = 12 * kMs,
     .stale_ns = kMs / 20},
    {.name = "secondly", .step_ns = 1000 * kMs, .kind = kTimeOfDay},
    {.name = "set-forward",
     .step_ns = 100,
     .cost_ns = 100,
     .back_at_ns = 800 * kMs,
     .back_by_ns = -50 * kMs,
     .kind = kTimeOfDay},
};

struct Case {
  const char* arguments;   // after the program's name, split at spaces
  int64_t stop_at_ns = 0;  // Ctrl+C at this time of the run; 0 never
  int status = 0;
  const char* out = "";  // from its first table on where it starts with "clock ", else all of it
  const char* first_error_line = "";
  bool head = false;            // out is only the report's first lines
  const char* shown = nullptr;  // what the progress on a console shows, among the rest
};

const Case kCases[] = {
    {.arguments = "--clock coarse --seconds 1",
     .out = "clock  read cost    stated   typical  smallest\n"
            "coarse   1.00 us 15.625 ms 15.625 ms 15.625 ms\n"
            "\n"
            "clock    back   largest across   largest       rate\n"
            "coarse      0                0               <4.84%\n"},
    {.arguments = "--clock twice-stated --seconds 1",
     .out = "clock        read cost    stated   typical  smallest\n"
            "twice-stated   1.00 us      1 ms      2 ms      2 ms\n"
            "\n"
            "clock          back   largest across   largest       rate\n"
            "twice-stated      0                0               <0.48%\n"
            "\n"
            "- twice-stated steps by 2 ms, though the script says 1 ms.\n"},
    {.arguments = "--clock under-twice --seconds 1",
     .out = "clock       read cost    stated   typical  smallest\n"
            "under-twice   1.00 us      1 ms  1.999 ms  1.999 ms\n"
            "\n"
            "clock         back   largest across   largest       rate\n"
            "under-twice      0                0               <0.54%\n"},
    {.arguments = "--clock read-bound --seconds 1",
     .out = "clock      read cost    stated   typical  smallest\n"
            "read-bound    300 ns      1 ns    300 ns    300 ns\n"
            "\n"
            "clock        back   largest across   largest       rate\n"
            "read-bound      0                0             <1.4 ppm\n"},
    {.arguments = "--clock finer-than-timer --seconds 1",
     .out = "clock            read cost    stated   typical  smallest\n"
            "finer-than-timer    100 ns 15.625 ms    100 ns    100 ns\n"
            "\n"
            "clock              back   largest across   largest       rate\n"
            "finer-than-timer      0                0             <0.5 ppm\n"
            "\n"
            "- finer-than-timer steps by 100 ns, finer than the 15.625 ms that the timer\n"
            "  says.\n"},
    {.arguments = "--clock steps-back-once --seconds 1",
     .out = "clock           read cost    stated   typical  smallest\n"
            "steps-back-once    100 ns              100 ns    100 ns\n"
            "\n"
            "clock             back   largest across   largest       rate\n"
            "steps-back-once      1       1 s      0               jumped\n"
            "\n"
            "- steps-back-once jumped back by 1 s against the reference during the run: no\n"
            "  rate.\n"},
    {.arguments = "--clock stopping --seconds 1",
     .out = "clock    read cost    stated   typical  smallest\n"
            "stopping   1.00 us                1 ms      1 ms\n"
            "\n"
            "clock      back   largest across   largest       rate\n"
            "stopping      0                0              stopped\n"
            "\n"
            "- stopping did not change for the last 510.12 ms of the run.\n"},
    {.arguments = "--clock missing --seconds 1",
     .out = "clock   read cost    stated   typical  smallest\n"
            "missing  not in this system\n"},
    {.arguments = "--clock late-ticks --seconds 1",
     .out = "clock      read cost    stated   typical  smallest\n"
            "late-ticks   1.00 us                1 ms      1 ms\n"
            "\n"
            "clock        back   largest across   largest       rate\n"
            "late-ticks      0                0               <0.25%\n"},
    {.arguments = "--clock disagreeing --seconds 1",
     .out = "clock       read cost    stated   typical  smallest\n"
            "disagreeing   1.00 us                1 us      1 us\n"
            "\n"
            "clock         back   largest across   largest       rate\n"
            "disagreeing      0               49     49 us   <4.7 ppm\n"},
    {.arguments = "--seconds 2",
     .out = "tickclocks 1.5: 12 clocks in 2.97 s on 2 processors\n"
            "reference clock: the scripted reference\n"
            "clock settings: timer 15.6250 ms (finest 0.5000 ms, coarsest 15.6250 ms)\n"
            "\n"
            "clock            read cost    stated   typical  smallest\n"
            "coarse             1.00 us 15.625 ms 15.625 ms 15.625 ms\n"
            "twice-stated       1.00 us      1 ms      2 ms      2 ms\n"
            "under-twice        1.00 us      1 ms  1.999 ms  1.999 ms\n"
            "read-bound          300 ns      1 ns    300 ns    300 ns\n"
            "finer-than-timer    100 ns 15.625 ms    100 ns    100 ns\n"
            "steps-back-once     100 ns              100 ns    100 ns\n"
            "disagreeing        1.00 us                1 us      1 us\n"
            "missing           not in this system\n"
            "stopping           1.00 us           none seen          \n"
            "late-ticks         1.00 us                1 ms      1 ms\n"
            "paused             47.9 us      4 ms      4 ms      4 ms\n"
            "secondly           1.00 us           none seen          \n"
            "set-forward         100 ns              100 ns    100 ns\n"
            "\n"
            "clock              back   largest across   largest       rate\n"
            "coarse                0                0               <1.23%\n"
            "twice-stated          0                0               <0.20%\n"
            "under-twice           0                0               <0.19%\n"
            "read-bound            0                0             <0.5 ppm\n"
            "finer-than-timer      0                0             <0.2 ppm\n"
            "steps-back-once       0                0             <0.2 ppm\n"
            "disagreeing           0               49     49 us   <2.0 ppm\n"
            "stopping              0                0            too short\n"
            "late-ticks            0                0               <0.31%\n"
            "paused                0                0               <1.88%\n"
            "secondly              0                0            too short\n"
            "set-forward           0                0             <1.9 ppm\n"
            "\n"
            "1 ms wait                     during           waits     median        99%\n"
            "Sleep(1)                      timer 15.625 ms      5  15.625 ms  15.625 ms\n"
            "Sleep(1), finest timer asked  timer 1 ms          72    1.05 ms    1.05 ms\n"
            "high-resolution timer         not in this system\n"
            "\n"
            "finest clock of the day: finer-than-timer, step 100 ns, read 100 ns\n"
            "finest interval clock: steps-back-once, step 100 ns, read 100 ns\n"
            "cheapest never seen going back: finer-than-timer, step 100 ns, read 100 ns\n"
            "\n"
            "- twice-stated steps by 2 ms, though the script says 1 ms.\n"
            "- finer-than-timer steps by 100 ns, finer than the 15.625 ms that the timer\n"
            "  says.\n"
            "- No whole step of stopping was seen in the 866.58 ms it was polled: too short\n"
            "  a run, or too busy a machine, to tell its step and rate.\n"
            "- No whole step of secondly was seen in the 817.5 ms it was polled: too short a\n"
            "  run, or too busy a machine, to tell its step and rate.\n"},
    {.arguments = "--clock paused --seconds 1",
     .out = "clock  read cost    stated   typical  smallest\n"
            "paused   1.00 us      4 ms none seen          \n"
            "\n"
            "clock    back   largest across   largest       rate\n"
            "paused      0                0            too short\n"
            "\n"
            "- No whole step of paused was seen in the 1.0048 s it was polled: too short a\n"
            "  run, or too busy a machine, to tell its step and rate.\n"},
    {.arguments = "--clock coarse --seconds 1",
     .stop_at_ns = 400 * kMs,
     .out = "clock  read cost    stated   typical  smallest\n"
            "coarse   1.00 us 15.625 ms 15.625 ms 15.625 ms\n"
            "\n"
            "clock    back   largest across   largest       rate\n"
            "coarse      0                -            too short\n"
            "\n"
            "- The run was ended early: the rows show what was measured by then.\n"},
    // Four steps between pauses tell no step: no note says the system is wrong.
    {.arguments = "--clock twice-stated --seconds 1",
     .stop_at_ns = 165 * kMs,
     .out = "clock        read cost    stated   typical  smallest\n"
            "twice-stated   1.00 us      1 ms      2 ms      2 ms\n"
            "\n"
            "clock          back   largest across   largest       rate\n"
            "twice-stated      0                -            too short\n"
            "\n"
            "- The run was ended early: the rows show what was measured by then.\n"},
    {.arguments = "--clock secondly --seconds 1",
     .out = "clock    read cost    stated   typical  smallest\n"
            "secondly   1.00 us           none seen          \n"
            "\n"
            "clock      back   largest across   largest       rate\n"
            "secondly      0                0            too short\n"
            "\n"
            "- No whole step of secondly was seen in the 1 s it was polled: too short a run,\n"
            "  or too busy a machine, to tell its step and rate.\n"},
    {.arguments = "--clock set-forward --seconds 1",
     .out = "clock       read cost    stated   typical  smallest\n"
            "set-forward    100 ns              100 ns    100 ns\n"
            "\n"
            "clock         back   largest across   largest       rate\n"
            "set-forward      0                0               jumped\n"
            "\n"
            "- set-forward jumped forward by 50 ms against the reference during the run: no\n"
            "  rate.\n"},
    {.arguments = "--seconds 30",
     .out = "tickclocks 1.5: 12 clocks in 30.0 s on 2 processors\n",
     .head = true,
     .shown = "\rwaiting: Sleep(1), finest timer asked (2 of 2)"},
    {.arguments = "/?",
     .out = "usage: tickclocks [--seconds N] [--clock NAME] [--csv FILE]\n"
            "Measures every clock of this machine side by side: what one read costs, how\n"
            "finely it steps against what the system states, whether it is seen going back\n"
            "in one thread or across two processors, and its rate against the reference.\n"
            "Then what a 1 ms wait really takes, with the timer as it is and while asking\n"
            "for a finer one, and which clock to read. Ctrl+C ends it with what it has.\n"
            "  --seconds N   measure for about N seconds (1 to 3600, by default 6)\n"
            "  --clock NAME  measure the clock NAME alone, and no wait\n"
            "  --csv FILE    write a row for each clock and each wait into FILE\n"
            "  -h, --help    print this text\n"
            "  --version     print tickclocks' version\n"
            "Clocks here: coarse, twice-stated, under-twice, read-bound, finer-than-timer,\n"
            "  steps-back-once, disagreeing, stopping, late-ticks, paused, secondly,\n"
            "  set-forward\n"},
    {.arguments = "--version", .out = "tickclocks 1.5\n"},
    {.arguments = "--bogus", .status = 1, .first_error_line = "tickclocks: unknown option --bogus"},
    {.arguments = "--seconds 0",
     .status = 1,
     .first_error_line = "tickclocks: --seconds takes a whole number from 1 to 3600, not 0"},
    {.arguments = "--seconds",
     .status = 1,
     .first_error_line = "tickclocks: --seconds needs a value"},
    {.arguments = "--clock nosuch",
     .status = 1,
     .first_error_line = "tickclocks: no clock here is called nosuch"},
    {.arguments = "--csv a --csv b",
     .status = 1,
     .first_error_line = "tickclocks: --csv given twice"},
};

std::string text_of(FILE* file) {
  std::rewind(file);
  std::string text;
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
  std::fclose(file);
  return text;
}

class Cases : public testing::TestWithParam<Case> {};

TEST_P(Cases, ReportAsScripted) {
  const Case& c = GetParam();
  std::vector<std::string> words = {"tickclocks"};
  std::istringstream split(c.arguments);
  for (std::string word; split >> word;) words.push_back(word);
  std::vector<const char*> argv;
  for (const std::string& word : words) argv.push_back(word.c_str());
  script_machine(kWorld, sizeof kWorld / sizeof kWorld[0], c.stop_at_ns);
  FILE* out = std::tmpfile();
  FILE* err = std::tmpfile();
  FILE* progress = c.shown != nullptr ? std::tmpfile() : nullptr;
  const int status = run_tickclocks(static_cast<int>(argv.size()), argv.data(), scripted_machine(),
                                    Outputs{.out = out,
                                            .err = err,
                                            .progress = progress,
                                            .columns = 80,
                                            .out_file = {},
                                            .err_file = {}});
  EXPECT_EQ(status, c.status);
  const std::string report = text_of(out);
  const size_t table = report.find("\n\nclock ");
  const bool from_table = std::string(c.out).rfind("clock ", 0) == 0;
  const std::string shown = c.head ? report.substr(0, strlen(c.out))
                            : from_table && table != std::string::npos ? report.substr(table + 2)
                                                                       : report;
  EXPECT_EQ(shown, c.out);
  const std::string error = text_of(err);
  EXPECT_EQ(error.substr(0, error.find('\n')), c.first_error_line);
  if (progress != nullptr) {
    EXPECT_NE(text_of(progress).find(c.shown), std::string::npos);
  }
  EXPECT_FALSE(scripted_timer_held());
}

INSTANTIATE_TEST_SUITE_P(Scripted, Cases, testing::ValuesIn(kCases));

}  // namespace
