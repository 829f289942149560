#!/usr/bin/env python3
"""Runs tickclocks as a user would, natively or under Wine, and checks what it prints,
writes and exits with.

usage: program.py CASE --program PATH [--runner WRAPPER]
"""
import argparse
import csv
import os
import pty
import re
import shlex
import stat
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
from harness import Failure, command, dispatch, on_terminal, read_until  # noqa: E402

LINUX_CLOCKS = ["CLOCK_REALTIME", "CLOCK_REALTIME_COARSE", "CLOCK_TAI", "CLOCK_MONOTONIC",
                "CLOCK_MONOTONIC_COARSE", "CLOCK_MONOTONIC_RAW", "CLOCK_BOOTTIME", "CLOCK_PROCESS_CPUTIME_ID",
                "CLOCK_THREAD_CPUTIME_ID", "gettimeofday", "time", "rdtsc"]
WINDOWS_CLOCKS = ["GetSystemTimeAsFileTime", "GetSystemTime", "GetSystemTimePreciseAsFileTime",
                  "QueryPerformanceCounter", "GetTickCount", "GetTickCount64", "timeGetTime",
                  "QueryUnbiasedInterruptTime", "QueryInterruptTime", "QueryInterruptTimePrecise",
                  "QueryUnbiasedInterruptTimePrecise", "rdtsc"]
# Wine 8 has not these; Windows 10 has them all.
NOT_IN_WINE = {"QueryInterruptTime", "QueryInterruptTimePrecise", "QueryUnbiasedInterruptTimePrecise"}
ANSWERS = ["finest clock of the day:", "finest interval clock:", "cheapest never seen going back:"]


class Program:
    def __init__(self, options):
        self.options = options
        self.windows = options.runner is not None
        self.clocks = WINDOWS_CLOCKS if self.windows else LINUX_CLOCKS

    def command(self, arguments):
        return command(self.options.runner, self.options.program, *arguments)

    def run(self, arguments, stdout=subprocess.PIPE, timeout=120):
        done = subprocess.run(self.command(arguments), stdout=stdout, stderr=subprocess.PIPE,
                              stdin=subprocess.DEVNULL, timeout=timeout)
        out = done.stdout.decode("ascii").replace("\r\n", "\n") if done.stdout is not None else ""
        return out, done.stderr.decode("utf-8", "replace").replace("\r\n", "\n"), done.returncode

    def csv_rows(self, arguments):
        """The CSV of a run, as dictionaries by column name, after checking its bytes."""
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "clocks.csv")
            with open(path, "w") as old:
                old.write("an older file\n")
            out, err, status = self.run(arguments + ["--csv", path])
            if status != 0 or err:
                raise Failure(f"{arguments}: status {status}, said {err!r}")
            data = open(path, "rb").read()
            if os.listdir(folder) != ["clocks.csv"] or b"older" in data:
                raise Failure(f"{arguments}: the folder holds {os.listdir(folder)}, the CSV {data[:80]!r}")
            if data.count(b"\n") != data.count(b"\r\n"):
                raise Failure(f"{arguments}: the CSV has a line end that is not CR LF")
            return list(csv.DictReader(data.decode("ascii").splitlines()))


def rows_of(report, names):
    """The first table's row of each clock named, by name."""
    rows = {}
    for line in report.splitlines():
        name = line.split(" ", 1)[0]
        if name in names and name not in rows:
            rows[name] = line
    return rows


def case_usage(p):
    """--help and /? print the usage text; a wrong option says what is wrong in one line
    before it, on standard error, with status 1; --version names the version."""
    for arguments in (["--help"], ["/?"]):
        out, err, status = p.run(arguments)
        if status != 0 or not out.startswith("usage: tickclocks") or "Clocks here: " not in out or err:
            raise Failure(f"{arguments}: status {status}, printed {out[:200]!r} {err!r}")
    for arguments, line in ((["-x"], "tickclocks: unknown option -x"),
                            (["--seconds", "abc"], "tickclocks: --seconds takes a whole number from 1 to 3600, not abc"),
                            (["--clock", "CLOCK_NONE"], "tickclocks: no clock here is called CLOCK_NONE")):
        out, err, status = p.run(arguments)
        if status != 1 or out or err.split("\n")[:2] != [line, "usage: tickclocks [--seconds N] [--clock NAME] [--csv FILE]"]:
            raise Failure(f"{arguments}: status {status}, printed {out!r}, said {err[:200]!r}")
    out, err, status = p.run(["--version"])
    if (out, err, status) != ("tickclocks 1.5\n", "", 0):
        raise Failure(f"--version: {out!r} {err!r} {status}")


def case_every_clock(p):
    """A whole run: every clock of the platform gets a row, those the system lacks say so
    (under Wine the three interrupt-time functions it has not), every line fits 80 columns,
    and the waits and the three answers follow."""
    out, err, status = p.run(["--seconds", "2"])
    if status != 0 or err:
        raise Failure(f"status {status}, said {err!r}")
    rows = rows_of(out, p.clocks)
    missing = {name for name, row in rows.items() if row.endswith("not in this system")}
    allowed = NOT_IN_WINE if p.windows else set()
    if sorted(rows) != sorted(p.clocks) or not missing <= allowed:
        raise Failure(f"rows for {sorted(rows)}, missing {sorted(missing)}: {out}")
    for name, row in rows.items():
        if name not in missing and " ns" not in row and " us" not in row:
            raise Failure(f"no read cost in {row!r}")
    long_lines = [line for line in out.splitlines() if len(line) > 79]
    if long_lines or not all(answer in out for answer in ANSWERS) or "1 ms wait" not in out:
        raise Failure(f"lines over 79 columns {long_lines}, or no answers or waits: {out}")
    print(out)


def case_csv(p):
    """The CSV replaces the file it names only once it is whole, goes as it is into a
    device or a pipe, and is refused before anything is measured where it cannot be
    written or is a standard stream's file; two runs into one CSV leave one whole."""
    rows = p.csv_rows(["--clock", p.clocks[0], "--seconds", "1"])
    if len(rows) != 1 or rows[0]["name"] != p.clocks[0] or rows[0]["row"] != "clock" or not rows[0]["read_ns"]:
        raise Failure(f"rows {rows}")
    with tempfile.TemporaryDirectory() as folder:
        for path in (os.path.join(folder, "no such folder", "x.csv"), folder, ""):
            started = time.monotonic()
            out, err, status = p.run(["--csv", path])
            if status != 1 or out or "tickclocks: cannot write" not in err or time.monotonic() - started > 20:
                raise Failure(f"an unwritable CSV {path!r}: status {status}, {out!r} {err!r}")
        path = os.path.join(folder, "both.txt")
        for stream, which in ((1, "output"), (2, "error")):
            with open(path, "wb") as both:
                done = subprocess.run(p.command(["--clock", p.clocks[0], "--csv", path]), stdin=subprocess.DEVNULL,
                                      stdout=both if stream == 1 else subprocess.PIPE,
                                      stderr=both if stream == 2 else subprocess.PIPE, timeout=120)
            said = open(path, "rb").read() if stream == 2 else done.stderr
            if done.returncode != 1 or f"is standard {which}'s file too".encode() not in said \
                    or os.listdir(folder) != ["both.txt"]:
                raise Failure(f"a CSV into standard {which}'s file: status {done.returncode}, said {said!r}")
        shared = os.path.join(folder, "shared.csv")
        runs = [subprocess.Popen(p.command(["--clock", p.clocks[0], "--seconds", "1", "--csv", shared]),
                                 stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL) for _ in range(2)]
        statuses = [run.wait(timeout=120) for run in runs]
        data = open(shared, "rb").read()
        if statuses != [0, 0] or data.count(b"\r\n") != 2 or sorted(os.listdir(folder)) != ["both.txt", "shared.csv"]:
            raise Failure(f"two runs into one CSV: {statuses}, {sorted(os.listdir(folder))}, {data!r}")
    if p.windows:
        out, err, status = p.run(["--clock", p.clocks[0], "--seconds", "1", "--csv", "NUL"])
        if status != 0 or err:
            raise Failure(f"a CSV into NUL: status {status}, said {err!r}")
    else:
        csv_into_pipe_and_device(p)
        csv_beside_another(p)


def csv_into_pipe_and_device(p):
    """A FIFO's reader gets the CSV and a device takes it as it is: neither is replaced,
    and a device that fails the write is status 1 (a device of the full disk's kind,
    made in a scratch folder)."""
    with tempfile.TemporaryDirectory() as folder:
        fifo, device = os.path.join(folder, "fifo"), os.path.join(folder, "full")
        os.mkfifo(fifo)
        os.mknod(device, 0o600 | stat.S_IFCHR, os.makedev(1, 7))
        reader = subprocess.Popen(["cat", fifo], stdout=subprocess.PIPE)
        out, err, status = p.run(["--clock", p.clocks[0], "--seconds", "1", "--csv", fifo])
        read = reader.communicate(timeout=60)[0]
        if status != 0 or err or not read.startswith(b"row,name") or not stat.S_ISFIFO(os.stat(fifo).st_mode):
            raise Failure(f"a CSV into a FIFO: status {status}, said {err!r}, its reader got {read!r}")
        out, err, status = p.run(["--clock", p.clocks[0], "--seconds", "1", "--csv", device])
        if status != 1 or "could not write all of" not in err or not stat.S_ISCHR(os.stat(device).st_mode):
            raise Failure(f"a CSV into a full device: status {status}, said {err!r}")


def csv_beside_another(p):
    """The new file beside the CSV is this run's own: where a file of its name is there
    already, the run is refused before measuring and leaves that file as it was."""
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "x.csv")

        def take_the_name():  # in the child, whose process id the program keeps
            with open(f"{path}.{os.getpid()}.part", "w") as other:
                other.write("another run's\n")

        done = subprocess.run(p.command(["--clock", p.clocks[0], "--csv", path]), stdin=subprocess.DEVNULL,
                              capture_output=True, preexec_fn=take_the_name, timeout=120)
        held = [open(os.path.join(folder, name)).read() for name in os.listdir(folder)]
        if done.returncode != 1 or b"cannot write" not in done.stderr or held != ["another run's\n"]:
            raise Failure(f"beside another run's file: status {done.returncode}, {done.stderr!r}, {held}")


def case_full_disk(p):
    """A report that cannot be written is status 1, said on standard error; with standard
    output closed, nothing runs and the CSV is left as it was. (Under Wine, a closed
    descriptor is taken by one of Wine's own files before the program starts.)"""
    with open("/dev/full", "wb") as full:
        _, err, status = p.run(["--clock", p.clocks[0], "--seconds", "1"], stdout=full)
    if status != 1 or "could not write the report" not in err:
        raise Failure(f"into a full disk: status {status}, said {err!r}")
    if p.windows:
        return
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "kept.csv")
        with open(path, "w") as kept:
            kept.write("kept\n")
        done = subprocess.run(p.command(["--clock", p.clocks[0], "--seconds", "1", "--csv", path]),
                              stdin=subprocess.DEVNULL, stderr=subprocess.PIPE, preexec_fn=lambda: os.close(1),
                              timeout=120)
        if done.returncode != 1 or b"tickclocks: standard output is closed" not in done.stderr \
                or open(path).read() != "kept\n" or os.listdir(folder) != ["kept.csv"]:
            raise Failure(f"standard output closed: status {done.returncode}, said {done.stderr!r}, "
                          f"the CSV holds {open(path).read()!r}")


def case_coarse_clocks(p):
    """The kernel's coarse clocks step by what clock_getres says, or by whole multiples of
    it where ticks came late; on a busy machine a run may see no single tick, so each clock
    has three runs to show one."""
    for name in ("CLOCK_MONOTONIC_COARSE", "CLOCK_REALTIME_COARSE"):
        seen = []
        for _ in range(3):
            row = p.csv_rows(["--clock", name, "--seconds", "1"])[0]
            stated, smallest, typical = (float(row[key]) for key in ("stated_ns", "smallest_ns", "typical_ns"))
            if smallest % stated != 0 or typical % stated != 0 or smallest > typical:
                raise Failure(f"{name}: stated {stated}, smallest {smallest}, typical {typical}")
            seen.append(smallest)
            if smallest == stated:
                break
        else:
            raise Failure(f"{name}: stated {stated}, smallest steps {seen}")


def case_monotonic(p):
    """CLOCK_MONOTONIC is never seen going back, in one thread or across two."""
    row = p.csv_rows(["--clock", "CLOCK_MONOTONIC", "--seconds", "2"])[0]
    if row["backward"] != "0" or row["across_backward"] not in ("0", "") or int(row["steps"]) < 1000:
        raise Failure(f"CLOCK_MONOTONIC: {row}")


def on_console(p, arguments):
    """Starts the program on a terminal of its own (a Windows console under Wine)."""
    process_id, terminal = pty.fork()
    if process_id == 0:
        os.execvp(p.command([])[0], p.command(arguments))
    return process_id, terminal


def read_to_end(terminal):
    """What the terminal shows until its program ends (ctest's timeout bounds the wait)."""
    seen = b""
    while True:
        try:
            chunk = os.read(terminal, 65536)
        except OSError:  # the program has ended
            return seen
        if not chunk:
            return seen
        seen += chunk


def interrupted_run(p, path, presses):
    """A run into the CSV at path on a terminal of its own, ended by presses of Ctrl+C
    or, where presses is 0, by closing the terminal; its status and what it showed."""
    arguments = ["--seconds", "60", "--csv", path]
    if presses == 0:
        process_id, terminal = on_console(p, arguments)
    else:  # in bash, which shows the status: Wine's own processes may hold the terminal on
        process_id, terminal = on_terminal(f"trap : INT; {shlex.join(p.command(arguments))}; echo status=$?")
    read_until(terminal, lambda seen: b"measuring" in seen, 120, "progress")
    time.sleep(1)
    if presses == 0:
        os.close(terminal)
        return os.waitstatus_to_exitcode(os.waitpid(process_id, 0)[1]), b""
    for _ in range(presses):  # apart: Wine's console takes two in one read for one
        os.write(terminal, b"\x03")
        time.sleep(0.005)
    seen = read_until(terminal, lambda seen: re.search(rb"status=\d+", seen), 120, "status")
    os.close(terminal)
    os.waitpid(process_id, 0)
    return int(re.search(rb"status=(\d+)", seen).group(1)), seen


def case_interrupt(p):
    """Ctrl+C ends a run with what it has measured, status 0, its CSV whole. A second
    Ctrl+C right after ends it at once, the CSV left as it was or whole and nothing left
    beside it; natively, a closed terminal excuses only the report lost with it."""
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "clocks.csv")
        for presses in (1, 2) if p.windows else (1, 2, 0):
            with open(path, "wb") as old:
                old.write(b"an older file\n")
            status, seen = interrupted_run(p, path, presses)
            data = open(path, "rb").read()
            whole = data.startswith(b"row,name") and data.endswith(b"\r\n")
            if presses == 1 and (b"The run was ended early" not in seen or b"not measured" not in seen):
                raise Failure(f"showed {seen[-600:]!r}")
            if (presses != 2 and (status != 0 or not whole)) or os.listdir(folder) != ["clocks.csv"] \
                    or not (whole or data == b"an older file\n"):
                raise Failure(f"{presses} presses: status {status}, the folder holds {os.listdir(folder)}, "
                              f"the CSV {data[:80]!r}")


def case_console(p):
    """On a console the progress is shown on one line, rewritten in place and cleared
    before the report; with the report going into a file, on standard error's console."""
    process_id, terminal = on_console(p, ["--clock", p.clocks[0], "--seconds", "1"])
    seen = read_to_end(terminal)
    os.close(terminal)
    os.waitpid(process_id, 0)
    # Cleared by spaces, or by the erase that Wine's console sends for them.
    cleared = re.search(rb"(\r {70,}\r|\x1b\[K)(\x1b\[[0-9;?]*[A-Za-z])*tickclocks 1\.5", seen)
    if f"measuring {p.clocks[0]} (1 of 1)".encode() not in seen or not cleared:
        raise Failure(f"no progress shown and cleared: {seen[:400]!r}")
    with tempfile.TemporaryFile() as report:
        process_id, terminal = pty.fork()
        if process_id == 0:
            os.dup2(report.fileno(), 1)
            os.execvp(p.command([])[0], p.command(["--clock", p.clocks[0], "--seconds", "1"]))
        shown = read_to_end(terminal)
        os.close(terminal)
        os.waitpid(process_id, 0)
        report.seek(0)
        printed = report.read()
    if b"measuring" not in shown or b"measuring" in printed or b"read cost" not in printed:
        raise Failure(f"the console showed {shown[:200]!r}, the file got {printed[:200]!r}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("case")
    parser.add_argument("--program", required=True)
    parser.add_argument("--runner")
    options = parser.parse_args()
    return dispatch(globals(), options.case, Program(options))


if __name__ == "__main__":
    sys.exit(main())
