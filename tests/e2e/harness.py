"""What the end-to-end scripts share: the failure, the command, a terminal, a reader
with a deadline and the dispatch of a case by name."""
import fcntl
import os
import pty
import select
import struct
import termios
import time


class Failure(Exception):
    pass


def command(runner, program, *arguments):
    """The argument list that runs program, through runner where one is given."""
    return ([runner] if runner else []) + [program, *arguments]


def on_terminal(shell, columns=None, env=None):
    """Runs shell in bash on a new pseudo-terminal, columns wide where given; returns
    bash's process id (the terminal's process group) and the terminal."""
    process_id, terminal = pty.fork()
    if process_id == 0:
        if columns:
            fcntl.ioctl(0, termios.TIOCSWINSZ, struct.pack("HHHH", 24, columns, 0, 0))
        os.execvpe("bash", ["bash", "-c", shell], env if env is not None else os.environ)
    return process_id, terminal


def read_until(source, finished, timeout, what, seen=b"", waiting=None):
    """Reads source (a pipe or a terminal) onto seen until finished(seen) holds, and
    returns seen; a Failure naming what was awaited at the deadline or at the end of
    the output. waiting, where given, is called at least every 50 ms meanwhile."""
    deadline = time.monotonic() + timeout
    while not finished(seen):
        left = deadline - time.monotonic()
        if left <= 0:
            raise Failure(f"no {what} within {timeout} s: {seen[-500:]!r}")
        if waiting:
            waiting()
        if not select.select([source], [], [], min(left, 0.05) if waiting else left)[0]:
            continue
        try:
            chunk = os.read(source, 65536)
        except OSError:  # a terminal whose programs have all ended
            chunk = b""
        if not chunk:
            raise Failure(f"no {what} before the end: {seen[-700:]!r}")
        seen += chunk
    return seen


def dispatch(cases, case, subject):
    """Runs case_CASE of cases on subject and says how it went: 0 passed, 1 failed."""
    try:
        cases["case_" + case](subject)
    except Failure as failure:
        print(f"FAILED {case}: {failure}")
        return 1
    print(f"passed {case}")
    return 0
