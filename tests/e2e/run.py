#!/usr/bin/env python3
"""Runs the real program as a user would and checks its bytes and exit status.

usage: run.py CASE --program PATH [--runner WRAPPER] [--crlf] [--word-size N]
              [--warning] [--skip-marker FILE] [--scripted-clock LIB]
"""
import argparse
import os
import re
import select
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from harness import Failure, command, dispatch, on_terminal, read_until

FILE_TIME = "Using GetSystemTimeAsFileTime() call.\nPress Ctrl+C to abort.\n"
SYSTEM_TIME = "Using GetSystemTime() call.\nPress Ctrl+C to abort.\n"
STEP = r"-?\d+\.\d{4} ms\n"
WARNING = "\n*** Warning: running on x64 in 32 bit emulation mode\n"
SKIPPED = 77  # ctest's SKIP_RETURN_CODE


class Program:
    def __init__(self, options):
        self.options = options
        self.name = "tickgauge" if options.word_size == 32 else "tickgauge64"

    def command(self, arguments):
        return command(self.options.runner, self.options.program, *arguments)

    def text(self, expected):
        """The bytes a text stands for as this program prints it (CR LF on Windows)."""
        data = expected.encode("utf-8", "surrogateescape")
        return data.replace(b"\n", b"\r\n") if self.options.crlf else data

    def pattern(self, expected):
        return expected.replace(r"\n", r"\r\n") if self.options.crlf else expected

    def banner(self):
        return (f"\n{self.name} v{self.options.version}, Copyright (C) 2026 the tickgauge developers, "
                "report problems to the tickgauge issue tracker\n")

    def started(self):
        """What a run whose every argument is an option prints first: the banner, and
        the emulation warning where the 32-bit program runs under WoW64."""
        return self.banner() + (WARNING if self.options.warning else "")

    def usage(self):
        return ("\nCheck and report resolution of the Windows system clock in milliseconds.\n"
                f"Press Ctrl+C to abort.\n\nUsage: {self.name} [-f|-t]\n\nParameter:\n"
                "  -t   Check using GetSystemTime() call\n"
                "  -f   Check using GetSystemTimeAsFileTime() call\n"
                "  -p   Report QueryPerformanceCounter info\n"
                "  -q   Quiet operation, only report\n\n")

    def unknown(self, argument):
        return self.banner() + f'Unknown parameter "{argument}".\n' + self.usage()

    def run(self, arguments, timeout=60, stdout=subprocess.PIPE):
        done = subprocess.run(self.command(arguments), stdout=stdout, stdin=subprocess.DEVNULL,
                              timeout=timeout)
        return done.stdout, done.returncode

    def expect_exit(self, arguments, expected, status):
        output, code = self.run(arguments)
        if output != self.text(expected):
            raise Failure(f"{arguments[:3]}: printed {output[:300]!r}, expected {self.text(expected)[:300]!r}")
        if code != status:
            raise Failure(f"{arguments[:3]}: exit status {code}, expected {status}")

    def start(self, arguments, env=None):
        return Running(self.command(arguments), env)


class Running:
    """A running program whose output is read through a pipe, a bounded amount at a time."""

    def __init__(self, command, env):
        self.process = subprocess.Popen(command, stdout=subprocess.PIPE, stdin=subprocess.DEVNULL,
                                        env=env)
        self.pending = b""

    def read_lines(self, count, timeout=30):
        self.pending = read_until(self.process.stdout.fileno(), lambda seen: seen.count(b"\n") >= count,
                                  timeout, f"{count} lines", self.pending)
        lines = self.pending.split(b"\n")
        self.pending = b"\n".join(lines[count:])
        return b"".join(line + b"\n" for line in lines[:count])

    def stop_after_silence(self, seconds, fault):
        """Stops the program, failing with fault unless it printed nothing more for this
        long and still ran."""
        try:
            if select.select([self.process.stdout], [], [], seconds)[0] or self.pending \
                    or self.process.poll() is not None:
                raise Failure(fault)
        finally:
            self.stop()

    def close_and_wait(self, timeout):
        self.process.stdout.close()
        return self.process.wait(timeout=timeout)

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait()
        self.process.stdout.close()


def expect_header_then(program, arguments, header, step_pattern, steps, env=None):
    running = program.start(arguments, env)
    try:
        got = running.read_lines(header.count("\n"))
        if got != program.text(header):
            raise Failure(f"{arguments}: began {got!r}, expected {program.text(header)!r}")
        for _ in range(steps):
            line = running.read_lines(1)
            if not re.fullmatch(program.pattern(step_pattern).encode(), line):
                raise Failure(f"{arguments}: step line {line!r} is not {step_pattern!r}")
        return running
    except BaseException:
        running.stop()
        raise


def case_usage(p):
    p.expect_exit([], p.banner() + p.usage(), 1)


def case_unknown_parameter(p):
    p.expect_exit(["-x"], p.unknown("-x"), 1)


def case_flags_before_unknown(p):
    p.expect_exit(["-p", "-F"], p.unknown("-F"), 1)


def case_exact_options(p):
    for argument in ["-F", "/f", "-ft", "--f", "-f ", "-Q", "q", "-qx", "-px", "-tx", "-p "]:
        p.expect_exit([argument], p.unknown(argument), 1)


def case_hostile_arguments(p):
    windows = bool(p.options.runner)
    long_argument = "A" * (30000 if windows else 65536)  # a Windows command line holds 32767
    for argument in ["%s%n%x%p%n", "", long_argument]:
        p.expect_exit([argument], p.unknown(argument), 1)
    p.expect_exit(["-q"] * 10000, p.started(), 0)
    if windows:
        output, code = p.run(["\u00e9\u00df"])  # arrives in the system's code page
        start, end = p.text(p.banner() + 'Unknown parameter "'), p.text('".\n' + p.usage())
        if code != 1 or not output.startswith(start) or not output.endswith(end):
            raise Failure(f"non-ASCII argument: {code} {output[:200]!r}")
    else:
        raw = os.fsdecode(b"\xc3\xa9\xff\xfe\x01")
        p.expect_exit([raw], p.unknown(raw), 1)


def case_quiet_alone(p):
    p.expect_exit(["-q"], p.started(), 0)


def case_renamed_copy(p):
    """The banner and usage name the build, whatever the file is called."""
    with tempfile.TemporaryDirectory() as folder:
        copy = os.path.join(folder, "renamed" + os.path.splitext(p.options.program)[1])
        shutil.copy(p.options.program, copy)
        p.options.program = copy
        p.expect_exit([], p.banner() + p.usage(), 1)


def case_file_time_steps(p):
    expect_header_then(p, ["-f"], p.started() + FILE_TIME, STEP, 50).stop()


def case_system_time_steps(p):
    expect_header_then(p, ["-t"], p.started() + SYSTEM_TIME, r"-?\d+\.0000 ms\n", 5).stop()


def case_quiet_forward_clock(p):
    running = expect_header_then(p, ["-q", "-f"], p.started() + FILE_TIME, STEP, 0)
    running.stop_after_silence(2, "-q on a forward clock printed something or stopped")


def case_file_time_wins(p):
    for arguments in (["-t", "-f"], ["-f", "-t"]):
        expect_header_then(p, arguments, p.started() + FILE_TIME, STEP, 3).stop()


def case_closed_pipe(p):
    running = expect_header_then(p, ["-f"], p.started() + FILE_TIME, STEP, 5)
    try:
        status = running.close_and_wait(timeout=30)
    except subprocess.TimeoutExpired:
        running.stop()
        raise Failure("the monitor kept running after its reader went away")
    expected = 2 if p.options.runner else -signal.SIGPIPE  # Windows has no SIGPIPE
    if status != expected:
        raise Failure(f"ended with status {status} after its reader went away, expected {expected}")


def case_full_disk(p):
    """Every run whose text was lost says so, whether it ends by itself (-p) or would
    print nothing for hours (-q)."""
    for arguments in (["-f"], ["-p"], ["-q", "-f"]):
        with open("/dev/full", "wb") as full:
            _, code = p.run(arguments, timeout=30, stdout=full)
        if code != 2:
            raise Failure(f"{arguments} into a full disk ended with {code}, expected 2")


def stop_with_ctrl_c(p, arguments, path, size, env):
    """Runs the program into the file at path from a shell on a terminal, and presses
    Ctrl+C once the file holds size bytes; returns when the shell has gone on."""
    shell = f"trap : INT; {shlex.join(p.command(arguments))} > {shlex.quote(path)}; echo status=$?"
    process_id, terminal = on_terminal(shell, env=env)
    pressed = []

    def press_once_written():
        if not pressed and os.path.exists(path) and os.path.getsize(path) >= size:
            os.write(terminal, b"\x03")
            pressed.append(True)
    try:
        read_until(terminal, lambda seen: b"status=" in seen, 60, f"end of {arguments} by Ctrl+C",
                   waiting=press_once_written)
    finally:
        os.close(terminal)
        try:
            os.killpg(process_id, signal.SIGKILL)  # the shell leads the terminal's group
        except ProcessLookupError:
            pass
        os.waitpid(process_id, 0)


def case_ctrl_c_into_file(p):
    """Ctrl+C cuts no line and repeats none: each run's file holds the header and whole
    step lines, each larger than the one before on a clock whose steps grow."""
    header = p.text(p.started() + FILE_TIME)
    steps = re.compile(f"(?:{p.pattern(STEP)})*".encode())
    env = scripted_clock_environment(p, "growing")
    with tempfile.TemporaryDirectory() as folder:
        for run in range(5):
            path = os.path.join(folder, f"run{run}.txt")
            stop_with_ctrl_c(p, ["-f"], path, len(header) + 2000, env)
            with open(path, "rb") as written:
                data = written.read()
            sizes = [float(line.split()[0]) for line in data[len(header):].splitlines()]
            if not data.startswith(header) or not steps.fullmatch(data, len(header)) \
                    or any(later <= earlier for earlier, later in zip(sizes, sizes[1:])):
                raise Failure(f"run {run}: the file ends {data[-60:]!r}")


def scripted_clock_environment(p, script):
    """The environment that puts the scripted clock under the program. The loader splits
    LD_PRELOAD at spaces, and a checkout's path may hold one: the library goes by name,
    found through LD_LIBRARY_PATH, which is split at colons only."""
    folder, name = os.path.split(os.path.abspath(p.options.scripted_clock))
    return dict(os.environ, LD_PRELOAD=name, LD_LIBRARY_PATH=folder, SCRIPTED_CLOCK=script)


def case_slow_reader(p):
    """Into a pipe left non-blocking, the monitor waits for a slow reader and goes on,
    with no line lost, repeated or cut."""
    reading, writing = os.pipe()
    os.set_blocking(writing, False)
    env = scripted_clock_environment(p, "growing")
    process = subprocess.Popen(p.command(["-f"]), stdout=writing, stdin=subprocess.DEVNULL, env=env)
    os.close(writing)
    output = os.fdopen(reading, "rb")
    try:
        time.sleep(1)  # the pipe fills within milliseconds
        if process.poll() is not None:
            raise Failure(f"ended with status {process.returncode} while its reader was still there")
        header = p.text(p.started() + FILE_TIME)
        if output.read(len(header)) != header:
            raise Failure("the header did not come first")
        lines = [output.readline() for _ in range(20000)]
    finally:
        process.kill()
        process.wait()
        output.close()
    for number, line in enumerate(lines):
        if line != f"{(number + 3) / 10000:.4f} ms\n".encode():
            raise Failure(f"step line {number + 1} is {line!r}, after {lines[max(0, number - 2):number]!r}")


def case_backward_step_at_once(p):
    hour = 3600 * 10**9
    start = 1796637600 * 10**9  # 2026-12-07 10:00:00 UTC
    clock = [start, start + 1000, start + 2000, start + 3000 - hour]
    env = scripted_clock_environment(p, ",".join(str(t) for t in clock))
    running = expect_header_then(p, ["-q", "-f"], p.started() + FILE_TIME, r"-3599999\.9990 ms\n", 1, env)
    # The clock now stands still: no exit, no flush.
    running.stop_after_silence(0.5, "expected the monitor to keep polling a clock that stands still")


def resident_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        return int(re.search(r"^VmRSS:\s+(\d+) kB", status.read(), re.M).group(1))


def case_steady_memory(p):
    with open(os.devnull, "wb") as null:
        process = subprocess.Popen(p.command(["-f"]), stdout=null, stdin=subprocess.DEVNULL)
    try:
        time.sleep(1)
        after_one = resident_kib(process.pid)
        time.sleep(9)
        after_ten = resident_kib(process.pid)
    finally:
        process.kill()
        process.wait()
    print(f"resident after 1 s: {after_one} KiB, after 10 s: {after_ten} KiB")
    if after_one != after_ten:
        raise Failure(f"resident size grew from {after_one} to {after_ten} KiB")


def report_pattern(p):
    frequency = r"1000\.000" if not p.options.runner else r"\d+\.\d{3}"
    banner = re.escape(p.started() + "\n").replace("\\\n", r"\n")
    return (banner + rf"Performance Counter Frequency: {frequency} MHz\n"
            r"Query Performance Counter execution time: \d+ ns \(\d+ ns mean for 100 calls\)\n")


def case_counter_report(p):
    output, code = p.run(["-p"])
    if code != 0 or not re.fullmatch(p.pattern(report_pattern(p)).encode(), output):
        raise Failure(f"-p: status {code}, printed {output!r}")


def case_counter_then_monitor(p):
    running = p.start(["-p", "-t"])
    try:
        report = running.read_lines((p.started() + "\n").count("\n") + 2)  # and the report's two
        if not re.fullmatch(p.pattern(report_pattern(p)).encode(), report):
            raise Failure(f"-p -t began {report!r}")
        if running.read_lines(2) != p.text(SYSTEM_TIME):
            raise Failure("-p -t did not go on to the system-time monitor")
        if not re.fullmatch(p.pattern(r"\d+\.0000 ms\n").encode(), running.read_lines(1)):
            raise Failure("-p -t printed no step")
    finally:
        running.stop()


def case_counter_then_unknown(p):
    p.expect_exit(["-p", "-x"], p.unknown("-x"), 1)


def case_wow64_probe(p):
    """Whether this machine runs the 32-bit program at all; the cases skip where it cannot."""
    output, code = p.run(["-q"])
    if code == 0 and output == p.text(p.started()):
        if os.path.exists(p.options.skip_marker):
            os.remove(p.options.skip_marker)
        return
    with open(p.options.skip_marker, "w") as marker:
        marker.write("this machine cannot run the 32-bit program under wine64's WoW64 mode (its kernel "
                     "refuses 32-bit code, or Wine's i386 DLLs are missing: tools/fetch-wine-i386); "
                     f"-q exited with {code} and printed {output[:160]!r}\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("case")
    parser.add_argument("--program", required=True)
    parser.add_argument("--runner")
    parser.add_argument("--crlf", action="store_true")
    parser.add_argument("--word-size", type=int, default=64)
    parser.add_argument("--version", required=True)
    parser.add_argument("--scripted-clock")
    parser.add_argument("--warning", action="store_true")
    parser.add_argument("--skip-marker")
    options = parser.parse_args()
    if options.skip_marker and options.case != "wow64_probe" and os.path.exists(options.skip_marker):
        with open(options.skip_marker) as marker:
            print(f"skipped {options.case}: {marker.read().strip()}")
        return SKIPPED
    return dispatch(globals(), options.case, Program(options))


if __name__ == "__main__":
    sys.exit(main())
