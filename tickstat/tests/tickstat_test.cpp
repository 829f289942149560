// Each case runs twice: in-process through run_tickstat (under the sanitizers in
// that build), and end to end as the real program reading the same bytes on stdin.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tickstat.h"

namespace {

struct Case {
  const char* name;
  std::vector<std::string> arguments;
  // cppcheck-suppress unusedStructMember ; called through GetParam()
  std::string (*input)();
  int status;
  std::vector<std::string> printed;  // each must stand in standard output
  const char* complaint;             // must stand in standard error; "" for nothing at all
  const char* csv_rows;              // with --csv, the whole file after its header; null: no --csv
};

std::string read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string windows_timer() { return read_file(TICKSTAT_CASES "/windows_timer.txt"); }
std::string nothing() { return ""; }
std::string usage_error() { return "\ntickgauge64 v1.5\nUnknown parameter \"-x\".\n"; }
std::string long_line() {
  return "1.0000 ms\n" + std::string(10 << 20, 'A') + "2.0000 ms\n3.0000 ms";
}
std::string nul_bytes() {
  const char text[] = "1.0000 ms\n\0\0\n2.0\0\x30 ms\n4.0000 ms\0\n5.0000 ms\n";
  return std::string(text, sizeof text - 1);
}
std::string invalid_utf8() {
  return "\xff\xfe"
         "1.0000 ms\n\xc3(\n\xed\xa0\x80 ms\n1.0000 ms\n";
}
std::string many_digits() {
  return std::string(400, '1') +
         ".0000 ms\n922337203685477.5807 ms\n922337203685477.5808 ms\n1.0000 ms\n";
}
std::string not_numbers() {
  return "nan ms\n1e308 ms\ninf ms\n-nan ms\n0x10.0000 ms\n1.00:0 ms\n1.?000 ms\n1.0000 ms\n";
}
std::string ties_and_backward() { return "2.0000 ms\n1.0000 ms\n-5.0000 ms\n"; }
std::string exact_second() { return "1000.0000 ms\n"; }
std::string one_to_hundred() {
  std::string text;
  for (int ms = 100; ms >= 1; ms--) text += std::to_string(ms) + ".0000 ms\n";
  return text;
}
std::string many_backward_steps() {
  std::string text = "1.0000 ms\n";
  for (int i = 0; i < 100000; i++) text += "-1.0000 ms\n";
  return text;
}
std::string million_sizes() {
  std::string text;
  char line[32];
  for (int size = 1; size <= 1000000; size++) {
    text.append(line, static_cast<size_t>(std::snprintf(line, sizeof line, "%d.%04d ms\n",
                                                        size / 10000, size % 10000)));
  }
  return text;
}

const char kUsageLine[] = "usage: tickgauge64 -f | tickstat [--csv FILE] [--svg FILE]\n";

const Case kCases[] = {
    {"windows_timer", {}, windows_timer, 0, {}, "", nullptr},
    {"help", {"-h"}, nothing, 0, {kUsageLine}, "", nullptr},
    {"long_help", {"--help"}, nothing, 0, {kUsageLine}, "", nullptr},
    {"unknown_argument", {"-f"}, nothing, 1, {}, kUsageLine, nullptr},
    {"csv_without_file", {"--csv"}, nothing, 1, {}, kUsageLine, nullptr},
    {"unwritable_file",
     {"--svg", "/nonexistent/run.svg"},
     windows_timer,
     1,
     {},
     "tickstat: cannot write /nonexistent/run.svg: No such file or directory\n",
     nullptr},
    {"no_step_line", {}, usage_error, 2, {}, "tickstat: the input held no step line", nullptr},
    {"long_line",
     {},
     long_line,
     0,
     {"\n2 steps covering 0.0040000 s", "max 3.0000 ms"},
     "",
     nullptr},
    {"nul_bytes", {}, nul_bytes, 0, {"\n2 steps covering 0.0060000 s"}, "", nullptr},
    {"invalid_utf8", {}, invalid_utf8, 0, {"\n1 steps covering 0.0010000 s"}, "", nullptr},
    {"many_digits",
     {},
     many_digits,
     0,
     {"forward jump: 922337203685477.5807 ms at 0.0000000 s\n", "\n2 steps covering 0.0010000 s"},
     "",
     nullptr},
    {"not_numbers", {}, not_numbers, 0, {"\n1 steps covering 0.0010000 s"}, "", nullptr},
    {"ties_and_backward",
     {},
     ties_and_backward,
     0,
     {"typical 1.0000 ms ( 50.0%), min 1.0000 ms, max 2.0000 ms\n",
      "    -5.0000 ms            1   33.3%  #############\n"
      "        1.0000 ms            1   33.3%  #############\n"
      "        2.0000 ms"},
     "",
     "1,2,1.0000,50.0,1.0000,2.0000,1,0,1\r\n"},
    {"exact_second",
     {},
     exact_second,
     0,
     {"\n1 steps covering 1.0000000 s of clock time, 0 backward, 0 forward jumps",
      "min 1000.0000 ms, median 1000.0000 ms, 99th percentile 1000.0000 ms, max 1000.0000 ms\n"},
     "",
     "1,1,1000.0000,100.0,1000.0000,1000.0000,0,0,0\r\n"},
    {"percentiles",
     {},
     one_to_hundred,
     0,
     {"median 50.0000 ms, 99th percentile 99.0000 ms"},
     "",
     nullptr},
    {"many_backward_steps",
     {},
     many_backward_steps,
     0,
     {"\n100001 steps covering 0.0010000 s of clock time, 100000 backward"},
     "",
     nullptr},
    {"million_sizes",
     {},
     million_sizes,
     0,
     {"\n1000000 steps covering 50000.0500000 s", "min 0.0001 ms",
      "max 100.0000 ms\napproximate: 934464 steps came after the first 65536 sizes"},
     "",
     nullptr},
};

std::string printed_in(FILE* file) {
  std::rewind(file);
  std::string text;
  char chunk[65536];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
  std::fclose(file);
  return text;
}

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

std::string base_path(const Case& c) {
  return testing::TempDir() + "tickstat_" + std::to_string(getpid()) + "_" + c.name;
}

// The case's arguments, and --csv FILE where the case checks the rows.
std::vector<std::string> arguments_of(const Case& c) {
  std::vector<std::string> words = c.arguments;
  if (c.csv_rows != nullptr) words.insert(words.end(), {"--csv", base_path(c) + ".csv"});
  return words;
}

Outcome run_in_process(const Case& c, const std::string& input) {
  FILE* in = std::tmpfile();
  FILE* out = std::tmpfile();
  FILE* err = std::tmpfile();
  std::fwrite(input.data(), 1, input.size(), in);
  std::rewind(in);
  std::vector<std::string> words = {"tickstat"};
  const std::vector<std::string> arguments = arguments_of(c);
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  const int status = run_tickstat(static_cast<int>(words.size()), argv.data(),
                                  Streams{in, out, err, false, false, nullptr});
  std::fclose(in);
  return {status, printed_in(out), printed_in(err)};
}

// One word for sh, whatever it holds: "My Projects" is an ordinary folder name.
std::string quoted(const std::string& word) {
  std::string text = "'";
  for (const char c : word) text += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return text + "'";
}

Outcome run_program(const Case& c, const std::string& input) {
  const std::string base = base_path(c);
  std::ofstream(base + ".in", std::ios::binary) << input;
  std::string command = quoted(TICKSTAT_PROGRAM);
  for (const std::string& argument : arguments_of(c)) command += " " + quoted(argument);
  command +=
      " < " + quoted(base + ".in") + " > " + quoted(base + ".out") + " 2> " + quoted(base + ".err");
  const int code = std::system(command.c_str());
  Outcome outcome = {WIFEXITED(code) ? WEXITSTATUS(code) : -1, read_file(base + ".out"),
                     read_file(base + ".err")};
  for (const char* ending : {".in", ".out", ".err"}) std::remove((base + ending).c_str());
  return outcome;
}

void expect_outcome(const Case& c, const Outcome& got) {
  EXPECT_EQ(got.status, c.status);
  if (std::string(c.name) == "windows_timer") {
    EXPECT_EQ(got.out, read_file(TICKSTAT_CASES "/windows_timer.expected"));
  }
  for (const std::string& text : c.printed)
    EXPECT_NE(got.out.find(text), std::string::npos) << text;
  if (c.csv_rows != nullptr) {
    const std::string path = base_path(c) + ".csv";
    const std::string csv = read_file(path);
    std::remove(path.c_str());
    EXPECT_EQ(csv.substr(csv.find('\n') + 1), c.csv_rows);
  }
  if (*c.complaint == '\0') {
    EXPECT_EQ(got.err, "");
  } else {
    EXPECT_NE(got.err.find(c.complaint), std::string::npos) << got.err;
  }
  if (c.status != 0 || !c.arguments.empty()) return;
  EXPECT_NE(got.out.find("\nmin "), std::string::npos) << "no summary";
}

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class Tickstat : public testing::TestWithParam<Case> {};

TEST_P(Tickstat, InProcess) {
  expect_outcome(GetParam(), run_in_process(GetParam(), GetParam().input()));
}

TEST_P(Tickstat, EndToEnd) {
  expect_outcome(GetParam(), run_program(GetParam(), GetParam().input()));
}

std::string case_name(const testing::TestParamInfo<Case>& tested) { return tested.param.name; }

INSTANTIATE_TEST_SUITE_P(Cases, Tickstat, testing::ValuesIn(kCases), case_name);

}  // namespace
