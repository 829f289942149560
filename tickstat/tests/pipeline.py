#!/usr/bin/env python3
"""Runs tickstat behind the real tickgauge, as a user would at a shell.

usage: pipeline.py CASE --tickgauge PATH --tickstat PATH [--runner WRAPPER]
"""
import argparse
import atexit
import csv
import ctypes
import os
import pty
import re
import select
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ElementTree
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "e2e"))
from harness import Failure, command, dispatch, on_terminal, read_until

LINES = 200000
HEADER_LINES = 4  # empty line, banner, call, Ctrl+C hint
SECONDS = 2  # of clock time: tickstat tells a live run only once it has kept pace a while
COLUMNS = 40  # a terminal narrower than the status line's full form
SVG = "{http://www.w3.org/2000/svg}"


def tickstat_reading(options, path, *arguments, **how):
    """tickstat run to its end on the file at path, its output and its complaints caught."""
    with open(path, "rb") as given:
        return subprocess.run(command(options.runner, options.tickstat, *arguments), stdin=given,
                              **dict(stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60) | how)


def check_summary(output, steps):
    text = output.decode("ascii").replace("\r\n", "\n")
    if not re.search(rf"^{steps} steps covering \d+\.\d{{7}} s of clock time\n0 backward", text, re.M):
        raise Failure(f"no summary of {steps} steps in {text[-800:]!r}")
    if not re.search(r"^min \d+\.\d{4} ms, median \d+\.\d{4} ms, 99th percentile", text, re.M):
        raise Failure(f"no percentiles in {text[-800:]!r}")


def kernel_synchronised():
    """Whether the kernel says its clock is synchronised, read as tickstat reads it:
    adjtimex with modes 0."""
    class Timex(ctypes.Structure):
        _fields_ = [("modes", ctypes.c_uint), ("offset", ctypes.c_long), ("freq", ctypes.c_long),
                    ("maxerror", ctypes.c_long), ("esterror", ctypes.c_long), ("status", ctypes.c_int),
                    ("rest", ctypes.c_char * 256)]  # room for the fields not read here
    state = Timex()
    result = ctypes.CDLL(None).adjtimex(ctypes.byref(state))
    return result not in (-1, 5) and not state.status & 0x40  # TIME_ERROR, STA_UNSYNC


def check_settings(options, output):
    """A live pipe shows the machine's clock settings: under Wine the timer intervals it
    reports, natively the state the kernel gives this test too."""
    text = output.decode("ascii").replace("\r\n", "\n")
    if options.runner:
        found = re.search(r"^clock settings at the start:\n  timer (\d+\.\d{4}) ms \(finest (\d+\.\d{4}) ms, "
                          r"coarsest (\d+\.\d{4}) ms\),\s+time adjustment ", text, re.M)
        timer, finest, coarsest = map(float, found.groups()) if found else (0, 1, 0)
        if not finest <= timer <= coarsest:
            raise Failure(f"no timer intervals from finest to coarsest in {text[-800:]!r}")
        return
    state = "synchronised" if kernel_synchronised() else "not synchronised"
    error = r", estimated error \d+ us" if state == "synchronised" else ""  # none without an estimate
    if not re.search(rf"^clock settings at the start:\n  {state}, frequency [-+]?\d+\.\d{{3}} ppm{error}$",
                     text, re.M):
        raise Failure(f"not the kernel's state ({state}) in {text[-800:]!r}")


def pass_on(source, sink):
    """Passes whole lines from source to sink until LINES of them, covering SECONDS of
    clock time, have gone; returns how many went."""
    passed, clock = 0, 0.0
    for line in source:
        sink.write(line)
        passed += 1
        words = line.split()
        if len(words) == 2 and words[1] == b"ms":
            clock += float(words[0]) / 1000
        if passed >= LINES and clock >= SECONDS:
            return passed
    return passed


def case_pipeline(options):
    """tickgauge -f | (a filter that stops) | tickstat: every step that the filter passed
    on is counted, and the machine's clock settings are shown."""
    gauge = subprocess.Popen(command(options.runner, options.tickgauge, "-f"), stdout=subprocess.PIPE,
                             stdin=subprocess.DEVNULL)
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        stat = subprocess.Popen(command(options.runner, options.tickstat), stdin=subprocess.PIPE,
                                stdout=out, stderr=err)
        passed = pass_on(gauge.stdout, stat.stdin)
        stat.stdin.close()
        gauge.stdout.close()
        stat.wait(timeout=90)
        gauge.wait(timeout=30)  # it ends by itself once the filter has gone
        out.seek(0)
        err.seek(0)
        shown, complaints = out.read(), err.read()
    if stat.returncode != 0:
        raise Failure(f"tickstat ended with {stat.returncode}: {complaints!r}")
    check_summary(shown, passed - HEADER_LINES)
    check_settings(options, shown)
    if not re.search(rb"^period 1: .*\), began \d\d:\d\d:\d\d, ", shown, re.M):
        raise Failure(f"a live pipe's period line without its time of day: {shown[:300]!r}")


def scratch_folder():
    """A folder of the case's own, removed when the case ends, however it ends."""
    folder = tempfile.mkdtemp()
    atexit.register(shutil.rmtree, folder, ignore_errors=True)
    return folder


def rows_of(path):
    with open(path, newline="") as file:
        rows = list(csv.reader(file, strict=True))
    if not rows or rows[0][0] != "second" or any(len(row) != len(rows[0]) for row in rows):
        raise Failure(f"{path} is not a whole CSV file: {rows[:3]} ... {rows[-2:]}")
    return rows[1:]


def check_picture(path, texts):
    """The SVG parses as XML, names each of texts, and a real renderer draws it, not blank;
    no empty band at its foot, no clock-event mark on a time label. Returns the XML root."""
    root = ElementTree.parse(path).getroot()
    names = {element.text for element in root.iter() if element.text}
    if not set(texts) <= names:
        raise Failure(f"the picture names {sorted(names)[:20]}, not all of {texts}")
    foot = max(float(e.get("y", 0)) + float(e.get("height", 0)) for e in root.findall(".//*[@y]"))
    labels = [float(e.get("y")) for e in root.iter(SVG + "text") if re.fullmatch(r"\d+:\d\d:\d\d", e.text or "")]
    marks = [float(re.match(r"M\S+ (\S+) l-5 9", e.get("d")).group(1)) + 9 for e in root.iter(SVG + "path")
             if e.find(SVG + "title") is not None]
    if float(root.get("height")) - foot > 24 or (marks and labels and max(marks) > min(labels) - 12):
        raise Failure(f"height {root.get('height')} for a foot at {foot}; marks to {marks}, labels at {labels}")
    png = subprocess.run(["rsvg-convert", path], capture_output=True, check=True).stdout
    chunks, at = b"", 8
    while at < len(png):  # the IDAT chunks hold the pixels, compressed
        length = int.from_bytes(png[at:at + 4], "big")
        if png[at + 4:at + 8] == b"IDAT":
            chunks += png[at + 8:at + 8 + length]
        at += length + 12
    if len(set(zlib.decompress(chunks))) < 16:
        raise Failure("rsvg-convert drew a blank picture")
    return root


def title_of(root):
    return next(root.iter(SVG + "text")).text


def case_interrupt(options):
    """Ctrl+C reaches the whole pipeline: tickgauge dies, tickstat sums up, writes its
    files and exits 0; a second Ctrl+C ends a tickstat that still reads, rows kept whole
    and the last picture under that name as it was."""
    files = scratch_folder()
    csv_path, svg_path = os.path.join(files, "run.csv"), os.path.join(files, "run.svg")
    os.environ["TZ"] = "XST-5:45"  # local time far from UTC, for tickstat and time alike
    time.tzset()
    began = {time.strftime("%Y-%m-%d %H:%M")}
    gauge = subprocess.Popen([options.tickgauge, "-f"], stdout=subprocess.PIPE, stdin=subprocess.DEVNULL,
                             process_group=0)  # the pipeline's own group, as a shell gives it
    stat = subprocess.Popen([options.tickstat, "--csv", csv_path, "--svg", svg_path], stdin=gauge.stdout,
                            stdout=subprocess.PIPE, process_group=gauge.pid)
    gauge.stdout.close()
    time.sleep(1.5)
    os.killpg(gauge.pid, signal.SIGINT)
    output, _ = stat.communicate(timeout=30)
    rows_of(csv_path)
    title = title_of(check_picture(svg_path, ["clock time (h:mm:ss)"]))
    if not any(title.endswith(f", run began {minute}") for minute in began | {time.strftime("%Y-%m-%d %H:%M")}):
        raise Failure(f"the picture of a live run begun at {began} is titled {title!r}")
    with open(svg_path, "rb") as picture:
        previous = picture.read()
    signal_twice(still_reading(options, b"500.0000 ms\n" * 7, subprocess.DEVNULL, "--csv", csv_path, "--svg", svg_path),
                 signal.SIGINT)
    with open(svg_path, "rb") as picture:
        if len(rows_of(csv_path)) != 3 or picture.read() != previous or len(os.listdir(files)) != 2:
            raise Failure(f"after a second Ctrl+C: rows {rows_of(csv_path)}, files {os.listdir(files)}, "
                          "the last picture changed or not")
    if gauge.wait(timeout=30) != -signal.SIGINT:
        raise Failure(f"tickgauge ended with {gauge.returncode}, not by Ctrl+C")
    if stat.returncode != 0:
        raise Failure(f"tickstat ended with {stat.returncode} after Ctrl+C")
    steps = re.search(rb"^(\d+) steps covering", output, re.M)
    if not steps:
        raise Failure(f"no summary after Ctrl+C: {output[-500:]!r}")
    check_summary(output, int(steps.group(1)))


def case_failures(options):
    """Standard output on a full disk, the summary's or the usage text's, or a pipe whose
    reader has gone, is status 1 with a word on standard error; the files asked for are
    still read to the input's end and finished. A CSV on a full disk keeps whole rows."""
    files = scratch_folder()
    csv_path, svg_path, many = (os.path.join(files, name) for name in ("run.csv", "run.svg", "many.txt"))
    for arguments in ((), ("--help",)):
        with open("/dev/full", "wb") as full:
            stat = subprocess.run(command(options.runner, options.tickstat, *arguments), input=b"1.0000 ms\n" * 10,
                                  stdout=full, stderr=subprocess.PIPE, timeout=30)
        if stat.returncode != 1 or b"could not write all of standard output" not in stat.stderr:
            raise Failure(f"{arguments} onto a full disk: status {stat.returncode}, {stat.stderr!r}")
    with open(many, "wb") as text:  # a period a second, so that its lines fill the pipe
        text.write((b"500.0000 ms\n" * 2 + b"250.0000 ms\n" * 4) * 40000)  # over a read
    with open(many, "rb") as given:
        stat = subprocess.Popen(command(options.runner, options.tickstat, "--csv", csv_path, "--svg", svg_path),
                                stdin=given, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        for _ in range(3):
            stat.stdout.readline()
        stat.stdout.close()  # as head -n 3 does
        try:
            status = stat.wait(timeout=60)
        finally:
            stat.kill()
    rows = rows_of(csv_path)
    if status != 1 or b"standard output" not in stat.stderr.read() or len(rows) != 80000 \
            or rows[-1][8] != "0":
        raise Failure(f"after its reader went, tickstat ended with {status}, {len(rows)} rows")
    check_picture(svg_path, ["clock time (h:mm:ss)"])
    check_full_volume(options, files, many)


def mounted_tmpfs(volume, size):
    """Makes the folder volume a new tmpfs of size, unmounted at exit; False where this
    machine lets no file system be mounted (not as root)."""
    os.mkdir(volume)
    if os.geteuid() != 0 or subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={size}", "tickstat", volume],
                                           stderr=subprocess.DEVNULL).returncode != 0:
        return False
    atexit.register(subprocess.run, ["umount", "-l", volume])  # before the folder goes
    return True


def check_full_volume(options, folder, many):
    """A CSV on a volume that fills up ends with its last whole row; where this machine
    lets no file system be mounted, there is nothing to check."""
    volume = os.path.join(folder, "small")
    if not mounted_tmpfs(volume, "64k"):
        print("no tmpfs to mount: a full volume not checked")
        return
    csv_path = os.path.join(volume, "run.csv")
    stat = tickstat_reading(options, many, "--csv", csv_path)
    with open(csv_path, "rb") as csv:
        written = csv.read()
    if stat.returncode != 1 or not written.endswith(b"\r\n") or b"could not write all of" not in stat.stderr:
        raise Failure(f"a CSV on a full volume: status {stat.returncode}, ends {written[-40:]!r}, {stat.stderr!r}")


def case_file_names(options):
    """Files are named as typed, whatever the characters; an output that is the input (its
    FIFO too), standard output's or standard error's file, or both outputs in one file, is refused
    before anything is emptied, and a closed standard stream is named; a refused run
    leaves no file it made."""
    folder = scratch_folder()
    with open(os.path.join(folder, "run.txt"), "wb") as run:
        run.write(b"1.0000 ms\r\n" * 3)
    def tickstat(*arguments, out=subprocess.PIPE, err=subprocess.PIPE):
        return tickstat_reading(options, os.path.join(folder, "run.txt"), *arguments, cwd=folder, stdout=out,
                                stderr=err)
    named = tickstat("--csv", "Łódź.csv", "--svg", "日本.svg")
    refused = [tickstat("--csv", "run.txt"), tickstat("--csv", "a.csv", "--svg", "./a.csv")]
    for stream in ("out", "err"):
        with open(os.path.join(folder, stream + ".txt"), "wb") as out:
            refused.append(tickstat("--csv", stream + ".txt", **{stream: out}))
    # The file would take the closed stream's number. (Under Wine, a closed descriptor is
    # taken by one of Wine's own files before the program starts: nothing to test there.)
    for closed in () if options.runner else ("<&-", ">&-"):
        refused.append(subprocess.run(" ".join(map(shlex.quote, command(options.runner, options.tickstat, "--csv", "c.csv")))
                                      + " " + closed, shell=True, cwd=folder, stderr=subprocess.PIPE, timeout=60))
    with open(os.path.join(folder, "err.txt"), "rb") as err:
        refused[3].stderr = err.read()
    said = [stat.stderr.decode("utf-8", "replace") for stat in refused]
    if named.returncode != 0 or not {"Łódź.csv", "日本.svg"} <= set(os.listdir(folder)) \
            or [stat.returncode for stat in refused] != [1] * len(refused) \
            or {"a.csv", "c.csv"} & set(os.listdir(folder)) \
            or "run.txt is the input itself" not in said[0] or "standard error's file" not in said[3] \
            or said[4:] not in ([], ["tickstat: standard input is closed\n", "tickstat: standard output is closed\n"]):
        raise Failure(f"files {os.listdir(folder)}, status {named.returncode} {named.stderr!r}, "
                      f"refused {[(stat.returncode, stat.stderr) for stat in refused]}")
    with open(os.path.join(folder, "run.txt"), "rb") as run:
        if run.read() != b"1.0000 ms\r\n" * 3:
            raise Failure("the input was written over")
    if not options.runner:  # (Wine's pipes have no names on disk)
        check_input_fifo(options, folder)
    check_two_volumes(options, folder)


def check_input_fifo(options, folder):
    """A FIFO that is the input is refused as an output: tickstat would read its own rows,
    and, holding the FIFO open to write them, wait for ever."""
    fifo = os.path.join(folder, "steps.fifo")
    os.mkfifo(fifo)
    ends = os.open(fifo, os.O_RDWR)  # both ends, as tickgauge and tickstat hold them
    try:
        stat = subprocess.run([options.tickstat, "--csv", fifo], stdin=ends, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=10)
    except subprocess.TimeoutExpired:
        raise Failure("--csv naming the input's FIFO: tickstat did not end")
    finally:
        os.close(ends)
    if stat.returncode != 1 or b"steps.fifo is the input's pipe itself" not in stat.stderr:
        raise Failure(f"--csv naming the input's FIFO: {stat.returncode}, {stat.stderr!r}")


def check_two_volumes(options, folder):
    """Two files on two volumes are two, though each is the first on a new tmpfs, and so
    has the same index as the other: Wine gives their volumes no serial number. Where this
    machine lets no file system be mounted (not as root), there is nothing to check."""
    one, two = os.path.join(folder, "one"), os.path.join(folder, "two")
    for volume in (one, two):
        if not mounted_tmpfs(volume, "1m"):
            print("no tmpfs to mount: two volumes not checked")
            return
    rows = os.path.join(two, "rows.csv")
    with open(os.path.join(one, "run.txt"), "wb") as run:
        run.write(b"1.0000 ms\r\n" * 3)
    with open(os.path.join(one, "run.txt"), "rb") as given:
        stat = subprocess.run(command(options.runner, options.tickstat, "--csv", rows), stdin=given,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=60)
    if stat.returncode != 0 or os.stat(os.path.join(one, "run.txt")).st_ino != os.stat(rows).st_ino:
        raise Failure(f"a file on another volume at the input's index: {stat.returncode}, {stat.stderr!r}")


def case_signals(options):
    """SIGTERM and SIGHUP end the input, though its writer lives on: the files, the summary
    where standard output still takes it and status 0; a lost summary is status 1 with a
    word, unless it was lost with the terminal that closed (SIGHUP). A signal before the outputs are checked
    changes none of the checks. A second signal ends a tickstat that is still busy at once."""
    files = scratch_folder()
    csv_path, svg_path = os.path.join(files, "run.csv"), os.path.join(files, "run.svg")
    for signal_number, output_path, status in ((signal.SIGTERM, None, 0), (signal.SIGHUP, "pty", 0),
                                               (signal.SIGHUP, "/dev/full", 1), (signal.SIGTERM, "/dev/full", 1)):
        terminal, shown = os.openpty() if output_path == "pty" else (None, None)
        with open(shown if terminal else output_path or os.devnull, "wb") as gone:
            stat = still_reading(options, b"500.0000 ms\n" * 5, gone if output_path else subprocess.PIPE,
                                 "--csv", csv_path, "--svg", svg_path, errors=subprocess.PIPE)
            if terminal:
                os.close(terminal)  # the terminal closes, and SIGHUP says so
            stat.send_signal(signal_number)
            try:
                stat.wait(timeout=10)  # the writer still there, as a tickgauge that runs on
            except subprocess.TimeoutExpired:
                stat.kill()
                raise Failure(f"{signal_number!r} left tickstat waiting for the writer of its input")
            output, said = stat.communicate(timeout=30)
        if stat.returncode != status or len(rows_of(csv_path)) != 3 or \
                (b"could not write all of standard output" in said) != (status == 1):
            raise Failure(f"after {signal_number!r}: status {stat.returncode}, {said!r}, rows {rows_of(csv_path)}")
        if output_path is None:
            check_summary(output, 5)
        check_picture(svg_path, ["clock time (h:mm:ss)"])
    # It waits for the FIFO's reader when the signal comes, before it checks its outputs.
    fifo, recording = os.path.join(files, "rows.fifo"), os.path.join(files, "rec.txt")
    os.mkfifo(fifo)
    with open(recording, "wb") as saved:
        saved.write(b"500.0000 ms\n" * 5)
    with open(recording, "rb") as given:
        stat = subprocess.Popen([options.tickstat, "--csv", fifo, "--svg", recording], stdin=given,
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        time.sleep(0.5)
        stat.send_signal(signal.SIGTERM)
        with open(fifo, "rb") as rows:
            rows.read()
        said = stat.communicate(timeout=30)[1]
    with open(recording, "rb") as saved:
        if stat.returncode != 1 or b"rec.txt is the input itself" not in said or saved.read() != b"500.0000 ms\n" * 5:
            raise Failure(f"a signal before the checks: status {stat.returncode}, {said!r}")
    # Nobody reads its output, so it waits to write its lines when the signals come.
    signal_twice(still_reading(options, b"-1.0000 ms\n" * 3000, subprocess.PIPE), signal.SIGTERM)
    check_signals_held(options, files)


def check_signals_held(options, files):
    """Two Ctrl+C while the picture is written beside its file and put in place wait for
    it: it is there, whole, and no FILE.PID.part is left. strace holds the new file's open
    and its write for two seconds each, and one Ctrl+C comes in each; without strace there
    is nothing to check."""
    if shutil.which("strace") is None:
        print("no strace: Ctrl+C while the picture is put in place not checked")
        return
    svg_path = os.path.join(files, "held.svg")
    stat = still_reading(options, b"500.0000 ms\n" * 5, subprocess.DEVNULL, "--svg", svg_path)
    tracer = subprocess.Popen(["strace", "-qq", "-o", os.devnull, "-p", str(stat.pid), "-P",
                               f"{svg_path}.{stat.pid}.part", "-e", "trace=openat,write",
                               "-e", "inject=openat,write:delay_exit=2000000"])
    time.sleep(0.5)
    stat.stdin.close()  # the end of the input: the picture is drawn
    for pause in (0.5, 2):  # (two signals within one hold would be one)
        time.sleep(pause)
        stat.send_signal(signal.SIGINT)
    stat.wait(timeout=30)
    tracer.wait(timeout=30)
    names = os.listdir(files)
    if "held.svg" not in names or any(name.endswith(".part") for name in names):
        raise Failure(f"two Ctrl+C while the picture was put in place left {names}")
    check_picture(svg_path, ["clock time (h:mm:ss)"])


def still_reading(options, lines, output, *arguments, errors=None):
    """tickstat half a second after it was handed lines on a pipe that stays open."""
    process = subprocess.Popen([options.tickstat, *arguments], stdin=subprocess.PIPE, stdout=output, stderr=errors)
    process.stdin.write(lines)
    process.stdin.flush()
    time.sleep(0.5)
    return process


def signal_twice(process, signal_number):
    """The first signal leaves a tickstat that still reads or writes running; the second,
    sent apart from it (two at once would be one), ends it at once, killed by it."""
    process.send_signal(signal_number)
    time.sleep(0.5)
    if process.poll() is not None:
        raise Failure(f"one {signal_number!r} ended a busy tickstat, with {process.returncode}")
    process.send_signal(signal_number)
    try:
        process.wait(timeout=10)
    except subprocess.TimeoutExpired:
        process.kill()
        raise Failure(f"a second {signal_number!r} did not end tickstat")
    if process.returncode != -signal_number:
        raise Failure(f"after a second {signal_number!r}: status {process.returncode}")


def case_status_rate(options):
    """Input much faster than the clock, on a terminal: the status line is rewritten
    about once a second at most, not once for each second of clock time."""
    reading, writing = os.pipe()
    process_id, terminal = pty.fork()
    if process_id == 0:
        os.dup2(reading, 0)
        os.execv(options.tickstat, [options.tickstat])
    os.close(reading)
    seen, started = b"", time.monotonic()
    for _ in range(25):  # 2.5 s, 100 seconds of clock time in each tenth
        os.write(writing, b"10.0000 ms\n" * 10000)
        while select.select([terminal], [], [], 0.1)[0]:
            seen += os.read(terminal, 65536)
    os.close(writing)
    rewrites, took = plain(seen).count(b"last second"), time.monotonic() - started
    os.kill(process_id, signal.SIGKILL)
    os.waitpid(process_id, 0)
    if not 1 <= rewrites <= took + 2:
        raise Failure(f"{rewrites} status lines in {took:.1f} s")


def case_fixed_input(options):
    """The Windows build prints exactly what the native one does, line ends aside, and
    --version the version its version resource names."""
    cases = os.path.join(os.path.dirname(os.path.abspath(__file__)), "cases")
    stat = tickstat_reading(options, os.path.join(cases, "windows_timer.txt"))
    with open(os.path.join(cases, "windows_timer.expected"), "rb") as expected_file:
        expected = expected_file.read()
    if stat.returncode != 0 or stat.stdout.replace(b"\r\n", b"\n") != expected:
        raise Failure(f"status {stat.returncode}, printed {stat.stdout[:600]!r}")
    with open(options.tickstat, "rb") as program:  # its version resource, UTF-16 without the NULs
        resource = re.search(rb"ProductVersion(\d+\.\d+)\.0\.0", program.read().replace(b"\0", b""))
    version = subprocess.run(command(options.runner, options.tickstat, "--version"), capture_output=True, timeout=60)
    if not resource or version.returncode != 0 or version.stdout != b"tickstat " + resource.group(1) + b"\r\n":
        raise Failure(f"--version: status {version.returncode}, {version.stdout!r}; resource {resource}")


def case_three_hours(options):
    """Three hours of a Windows clock make three period lines, a CSV row per second and
    a picture that names each period's step and titles where each period and clock event
    comes; a picture of a second's steps of one size fits it and names no date."""
    folder = scratch_folder()
    paths = {name: os.path.join(folder, name) for name in ("run.txt", "run.csv", "run.svg")}
    with open(paths["run.txt"], "wb") as sample:
        subprocess.run([sys.executable, os.path.join(HERE, "..", "three_hours.py")], stdout=sample, check=True)
    stat = tickstat_reading(options, paths["run.txt"], "--csv", paths["run.csv"], "--svg", paths["run.svg"])
    periods = re.findall(rb"^period .*\n.*", stat.stdout.replace(b"\r\n", b"\n"), re.M)
    expected = [b"period 1: 0:00:00.0 to 1:00:00.0 (1:00:00), 230400 steps,\n  typical 15.6250 ms (100.0%)",
                b"period 2: 1:00:00.0 to 2:00:00.0 (1:00:00), 3686400 steps,\n  typical 0.9766 ms (62.5%)",
                b"period 3: 2:00:00.0 to 3:00:00.0 (1:00:00), 230400 steps,\n  typical 15.6250 ms (100.0%)"]
    if stat.returncode != 0 or [line[:len(want)] for line, want in zip(periods, expected)] != expected \
            or len(periods) != 3:
        raise Failure(f"status {stat.returncode}, period lines {periods}")
    rows = rows_of(paths["run.csv"])
    if len(rows) != 10800 or rows[5400][6] != "1" or rows[3600][2:4] != ["0.9766", "62.5"]:
        raise Failure(f"{len(rows)} rows; 5401: {rows[5400]}; 3601: {rows[3600]}")
    root = check_picture(paths["run.svg"], ["15.6250 ms", "0.9766 ms", "3:00:00"])
    check_marks(paths["run.svg"])
    # Periods 2 and 3 twice: their boundaries and their labels.
    titles = sorted(title.text.split(" (")[0] for title in root.iter(SVG + "title"))
    if titles != sorted(["1 backward step at 1:30:00.0", "1 forward jump at 2:30:00.0",
                         "period 1: 0:00:00.0 to 1:00:00.0"] + ["period 2: 1:00:00.0 to 2:00:00.0",
                                                                 "period 3: 2:00:00.0 to 3:00:00.0"] * 2):
        raise Failure(f"the picture's titles: {titles}")
    with open(paths["run.txt"], "wb") as sample:
        sample.write(b"15.6250 ms\n" * 64)
    stat = tickstat_reading(options, paths["run.txt"], "--svg", paths["run.svg"])
    title = title_of(check_picture(paths["run.svg"], ["15.6250 ms"]))
    if stat.returncode != 0 or title != "64 steps over 0:00:01.0 of clock time, 1 period":
        raise Failure(f"status {stat.returncode}, a second's picture titled {title!r}")


def check_marks(path):
    """The picture's period boundaries and clock events stand at their clock times, within
    the 32 s that a bucket of three hours spans (2.5 of the chart's 840 units over 10,800 s)."""
    with open(path) as picture:
        text = picture.read()
    at = lambda seconds: 90 + 840 * seconds / 10800  # noqa: E731
    boundaries = [float(x) for x in re.findall(r'<line x1="([\d.]+)"[^>]*stroke-dasharray', text)]
    marks = [(float(x), colour) for x, colour in
             re.findall(r'<path d="M([\d.]+) 331.0 l-5 9 h10 Z" fill="(#\w+)"', text)]
    expected = [(at(5400), "#cb181d"), (at(9000), "#31a354")]
    if len(boundaries) != 2 or any(abs(x - at(t)) > 2.5 for x, t in zip(boundaries, (3600, 7200))) \
            or len(marks) != 2 or any(abs(x - want) > 2.5 or colour != wanted
                                      for (x, colour), (want, wanted) in zip(marks, expected)):
        raise Failure(f"boundaries at {boundaries}, marks {marks}")


def case_console(options):
    """On a terminal (a Windows console under Wine) narrower than the status line, the
    status line is cut to fit and rewritten in place, no row of it wrapped; Ctrl+C ends
    tickgauge and tickstat clears it and prints its summary. Started with nothing piped
    in, tickstat says how it is meant to be used and how typed input ends, and reads it."""
    runner = f"'{options.runner}' " if options.runner else ""
    # bash catches Ctrl+C itself (its programs do not inherit that), goes on after the
    # pipeline and says tickstat's status.
    process_id, terminal = on_terminal(f"trap : INT; {runner}'{options.tickgauge}' -t | {runner}'{options.tickstat}'; "
                                       "echo \"status=${PIPESTATUS[1]}\"", COLUMNS)
    seen = read_shown(terminal, b"typical ", 60)
    os.write(terminal, b"\x03")
    seen += read_shown(terminal, b"status=", 60)
    os.waitpid(process_id, 0)
    statuses = seen[:seen.find(b"period 1:")].replace(b"^C", b"")
    if not re.search(rb"typical .*\r +\r.*\d+ steps covering.*status=0", seen, re.S) \
            or b"\n" in statuses or max(map(len, statuses.split(b"\r"))) >= COLUMNS:
        raise Failure(f"on {COLUMNS} columns printed {seen[-700:]!r}")
    process_id, terminal = on_terminal(f"{runner}'{options.tickstat}'; echo \"status=$?\"", 120)
    keys = "Ctrl+Z then Enter" if options.runner else "Ctrl+D"
    read_shown(terminal, f"End typed lines with {keys}.".encode(), 30)
    # Wine's console on a terminal drops a typed Ctrl+Z: there a second Ctrl+C ends tickstat.
    os.write(terminal, b"15.6250 ms\r" * 3 + (b"\x03" if options.runner else b"\x04"))
    if options.runner:
        time.sleep(1)
        os.write(terminal, b"\x03")
    seen = read_shown(terminal, b"status=", 60)
    os.waitpid(process_id, 0)
    if not options.runner and not re.search(rb"\n3 steps covering.*status=0", seen, re.S):
        raise Failure(f"typed lines gave {seen[-700:]!r}")


def plain(seen):
    """The text a terminal shows, Wine's console's cursor moves made spaces again."""
    seen = re.sub(rb"\x1b\[(\d*)C", lambda move: b" " * int(move.group(1) or 1), seen)
    return re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]", b"", seen)


def read_shown(terminal, text, timeout):
    """What the terminal shows until it shows text."""
    return plain(read_until(terminal, lambda seen: text in plain(seen), timeout, repr(text)))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("case")
    parser.add_argument("--tickgauge", required=True)
    parser.add_argument("--tickstat", required=True)
    parser.add_argument("--runner")
    options = parser.parse_args()
    return dispatch(globals(), options.case, options)


if __name__ == "__main__":
    sys.exit(main())
