#!/usr/bin/env python3
"""Runs tickstat behind the real tickgauge, as a user would at a shell.

usage: pipeline.py pipeline|interrupt|fixed_input --tickgauge PATH --tickstat PATH [--runner WRAPPER]
"""
import argparse
import os
import re
import signal
import subprocess
import sys
import time

LINES = 200000
HEADER_LINES = 4  # empty line, banner, call, Ctrl+C hint


class Failure(Exception):
    pass


def command(options, program, *arguments):
    return ([options.runner] if options.runner else []) + [program, *arguments]


def check_summary(output, steps):
    text = output.decode("ascii").replace("\r\n", "\n")
    if not re.search(rf"^{steps} steps covering \d+\.\d{{7}} s of clock time, 0 backward", text, re.M):
        raise Failure(f"no summary of {steps} steps in {text[-800:]!r}")
    if not re.search(r"^min \d+\.\d{4} ms, median \d+\.\d{4} ms, 99th percentile", text, re.M):
        raise Failure(f"no percentiles in {text[-800:]!r}")


def case_pipeline(options):
    """tickgauge -f | head -n LINES | tickstat: every step that head passed on is counted."""
    gauge = subprocess.Popen(command(options, options.tickgauge, "-f"), stdout=subprocess.PIPE,
                             stdin=subprocess.DEVNULL)
    head = subprocess.Popen(["head", "-n", str(LINES)], stdin=gauge.stdout, stdout=subprocess.PIPE)
    gauge.stdout.close()
    stat = subprocess.run(command(options, options.tickstat), stdin=head.stdout, capture_output=True,
                          timeout=90)
    head.wait()
    gauge.wait(timeout=30)  # it ends by itself once head has gone
    if stat.returncode != 0:
        raise Failure(f"tickstat ended with {stat.returncode}: {stat.stderr!r}")
    check_summary(stat.stdout, LINES - HEADER_LINES)


def case_interrupt(options):
    """Ctrl+C reaches the whole pipeline: tickgauge dies, tickstat sums up and exits 0."""
    gauge = subprocess.Popen([options.tickgauge, "-f"], stdout=subprocess.PIPE, stdin=subprocess.DEVNULL,
                             process_group=0)  # the pipeline's own group, as a shell gives it
    stat = subprocess.Popen([options.tickstat], stdin=gauge.stdout, stdout=subprocess.PIPE,
                            process_group=gauge.pid)
    gauge.stdout.close()
    time.sleep(1.5)
    os.killpg(gauge.pid, signal.SIGINT)
    output, _ = stat.communicate(timeout=30)
    if gauge.wait(timeout=30) != -signal.SIGINT:
        raise Failure(f"tickgauge ended with {gauge.returncode}, not by Ctrl+C")
    if stat.returncode != 0:
        raise Failure(f"tickstat ended with {stat.returncode} after Ctrl+C")
    steps = re.search(rb"^(\d+) steps covering", output, re.M)
    if not steps:
        raise Failure(f"no summary after Ctrl+C: {output[-500:]!r}")
    check_summary(output, int(steps.group(1)))


def case_fixed_input(options):
    """The Windows build prints exactly what the native one does, line ends aside."""
    cases = os.path.join(os.path.dirname(os.path.abspath(__file__)), "cases")
    with open(os.path.join(cases, "windows_timer.txt"), "rb") as given:
        stat = subprocess.run(command(options, options.tickstat), stdin=given, capture_output=True, timeout=60)
    with open(os.path.join(cases, "windows_timer.expected"), "rb") as expected_file:
        expected = expected_file.read()
    if stat.returncode != 0 or stat.stdout.replace(b"\r\n", b"\n") != expected:
        raise Failure(f"status {stat.returncode}, printed {stat.stdout[:600]!r}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("case")
    parser.add_argument("--tickgauge", required=True)
    parser.add_argument("--tickstat", required=True)
    parser.add_argument("--runner")
    options = parser.parse_args()
    try:
        globals()["case_" + options.case](options)
    except Failure as failure:
        print(f"FAILED {options.case}: {failure}")
        return 1
    print(f"passed {options.case}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
