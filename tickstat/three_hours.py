#!/usr/bin/env python3
"""Writes three hours of tickgauge64.exe -f output, as Windows prints it, to standard output.

An hour at the default 15.625 ms timer, an hour at a 1 ms timer (steps of 0.9766
and 0.9765 ms, 1024 to the second), then the default timer again; half-way through
the second hour time synchronisation sets the clock back 12.3456 ms, and half-way
through the third a user sets it forward 5 minutes. The sample of the README's picture
and of tickstat's tests.

With --settings, it writes the clock settings of that machine instead, for
tickstat_scripted: the timer interval drops to 1 ms with the steps at 1:00:00 and
stays there when the steps go back to 15.625 ms; time synchronisation adjusts the
clock's rate from 1:20:00 to 1:40:00, around the step back.
"""
import sys

HEADER = (b"\r\ntickgauge64 v1.5, Copyright (C) 2026 the tickgauge developers, report problems to "
          b"the tickgauge issue tracker\r\nUsing GetSystemTimeAsFileTime() call.\r\n"
          b"Press Ctrl+C to abort.\r\n")
DEFAULT_HALF_HOUR = b"15.6250 ms\r\n" * (64 * 1800)
# 1024 steps of 0.9765625 ms to the second: five of every eight are 0.9766, three 0.9765.
FINE_HALF_HOUR = b"0.9766 ms\r\n0.9765 ms\r\n0.9766 ms\r\n0.9766 ms\r\n0.9765 ms\r\n0.9766 ms\r\n" \
                 b"0.9765 ms\r\n0.9766 ms\r\n" * (128 * 1800)
# From this second of clock time: the timer interval, the finest and the coarsest
# (100-ns units), and the time adjustment in parts per billion or off.
SETTINGS = b"""0 156250 5000 156250 off
3600 10000 5000 156250 off
4800 10000 5000 156250 25600
6000 10000 5000 156250 off
"""


def main():
    out = sys.stdout.buffer
    if sys.argv[1:] == ["--settings"]:
        out.write(SETTINGS)
        return
    for part in (HEADER, DEFAULT_HALF_HOUR, DEFAULT_HALF_HOUR, FINE_HALF_HOUR, b"-12.3456 ms\r\n",
                 FINE_HALF_HOUR, DEFAULT_HALF_HOUR, b"300000.0000 ms\r\n", DEFAULT_HALF_HOUR):
        out.write(part)


if __name__ == "__main__":
    main()
