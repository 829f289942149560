#!/usr/bin/env python3
"""Unpacks the release zip as a user would and checks what it holds, README.txt
against the usage texts of the native build's programs (build/native).

usage: check_zip.py ZIP
"""
import hashlib
import io
import os
import re
import subprocess
import sys
import zipfile

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")


def release_programs():
    """tools/programs, the one list of the programs the release ships: a row per .exe."""
    with open(os.path.join(ROOT, "tools", "programs")) as listing:
        return [line.split() for line in listing if line.strip() and not line.startswith("#")]


PROGRAMS = release_programs()
NAMES = sorted({row[0] for row in PROGRAMS})
EXPECTED = sorted(["LICENSE", "README.txt", "SHA256SUMS"] + [os.path.basename(row[3]) for row in PROGRAMS])
# What a person who has just unzipped the programs has no use for.
BUILD_WORDS = re.compile(r"\b(cmake|ctest|apt-get|sudo|wine\w*|mingw\w*|g\+\+|clang|preset|tools/|build/)",
                         re.IGNORECASE)
# Left-overs of Markdown that Notepad would show as they are: tables, links, emphasis, headings.
MARKDOWN = re.compile(r"^[ \t]*\||\]\(|\*\*\w|^#|<!--", re.MULTILINE)
# The zip's text files, whose lines end in CR LF for Notepad.
TEXT_FILES = ["LICENSE", "README.txt", "SHA256SUMS"]
# README.txt read beside a console of 80 columns: its lines, its length and a paragraph's.
MOST_COLUMNS, MOST_LINES, MOST_PARAGRAPH_LINES = 80, 229, 6


def listed_options(text, program="tickgauge"):
    """The options on lines that list them ("  -f   what it does"), by the program whose
    section they are in: a companion's where its heading names it, else tickgauge's."""
    listed = {name: set() for name in NAMES}
    lines = text.splitlines()
    for line, under in zip(lines, lines[1:] + [""]):
        if re.fullmatch(r"-{3,}|={3,}", under):
            program = next((name for name in NAMES if name != "tickgauge" and name in line.lower()),
                           "tickgauge")
        entry = re.match(r" +(--?[a-z][^ ]*(?: [A-Z]+)?(?:, -[^ ]+)?)(?:  |$)", line)
        if entry:
            listed[program].update(re.findall(r"(?<!\S)--?[a-z][\w-]*", entry.group(1)))
    return listed


def usage_options():
    """The options that the programs' own usage texts list, by program."""
    usage = {}
    for program, _, _, _, *command in PROGRAMS:
        path = os.path.join(ROOT, command[0])
        if not os.access(path, os.X_OK):
            sys.exit(f"FAILED release zip: no {os.path.normpath(path)}: build the native preset first")
        text = subprocess.run([path] + command[1:], capture_output=True, text=True).stdout
        usage[program] = listed_options(text, program)[program]
    return usage


def paragraphs(lines):
    """The line number and length of each paragraph of text: a list item is one of its
    own, and an example, indented by four spaces, is none."""
    start = None
    for n, line in enumerate(lines + [""], 1):
        ends = not line.strip() or line.startswith("    ") or line.startswith("- ")
        if ends and start is not None:
            yield start, n - start
            start = None
        if line.strip() and not line.startswith("    ") and start is None:
            start = n


def readme_problems(data, version):
    try:
        text = data.decode("ascii")
    except UnicodeDecodeError as error:
        return [f"README.txt is not ASCII: {error}"]
    lines = text.split("\r\n")
    problems = [f"README.txt line {n} holds {len(line)} characters, more than {MOST_COLUMNS}"
                for n, line in enumerate(lines, 1) if len(line) > MOST_COLUMNS]
    if len(lines) - 1 > MOST_LINES:
        problems.append(f"README.txt holds {len(lines) - 1} lines, more than {MOST_LINES}")
    problems += [f"README.txt has a paragraph of {length} lines from line {n}, more than "
                 f"{MOST_PARAGRAPH_LINES}" for n, length in paragraphs(lines) if length > MOST_PARAGRAPH_LINES]
    problems += [f"README.txt says {word!r}" for word in sorted(set(BUILD_WORDS.findall(text)))]
    problems += [f"README.txt holds Markdown: {m.group(0)!r}" for m in MARKDOWN.finditer(text)]
    if f"version {version}" not in text:
        problems.append(f"README.txt does not say version {version}")
    named = re.findall(r"(?:version |\bv|tickstat )(\d+\.\d+)|\b(\d+\.\d+)\.0\.0\b", text)
    stale = {short or long for short, long in named} - {version}
    problems += [f"README.txt names another version: {found}" for found in sorted(stale)]
    usage = usage_options()
    listed = listed_options(text)
    for program in usage:
        if listed[program] != usage[program]:
            problems.append(f"README.txt lists {sorted(listed[program])} for {program}, "
                            f"its usage text {sorted(usage[program])}")
    shown = {name: set(re.findall(rf"{name}(?:\.exe)?((?: +-[\w-]+(?: +[\w.]+)?)+)", text))
             for name in NAMES if name != "tickgauge"}
    shown["tickgauge"] = set(re.findall(r"tickgauge(?:64)?(?:\.exe)?((?: +-[A-Za-z]\w*)+)", text))
    for program, places in shown.items():
        for option in set(re.findall(r"(?<!\S)--?[A-Za-z][\w-]*", " ".join(places))) - usage[program]:
            problems.append(f"README.txt shows {program} {option}, which its usage text does not list")
    companions = set().union(*(usage[name] for name in NAMES if name != "tickgauge"))
    for option in sorted(set(re.findall(r"(?<!\S)--[a-z][\w-]*", text)) - companions):
        problems.append(f"README.txt shows {option}, which no usage text lists")
    return problems


def problems_in(path):
    with zipfile.ZipFile(path) as archive:
        names = sorted(archive.namelist())
        if names != EXPECTED:
            return [f"holds {names}, expected {EXPECTED}"]
        files = {name: archive.read(name) for name in names}
    problems = [f"{name} has a line end that is not CR LF" for name in TEXT_FILES
                if b"\n" in files[name].replace(b"\r\n", b"") or b"\r" in files[name].replace(b"\r\n", b"")]
    sums = {}
    for line in io.StringIO(files["SHA256SUMS"].decode("ascii"), newline=""):
        digest, name = line.rstrip("\r\n").split("  ", 1)
        sums[name] = digest
    programs = sorted(name for name in names if name.endswith(".exe"))
    if sorted(sums) != programs:
        problems.append(f"SHA256SUMS covers {sorted(sums)}, expected {programs}")
    for name, digest in sums.items():
        if hashlib.sha256(files.get(name, b"")).hexdigest() != digest:
            problems.append(f"{name} does not match its line in SHA256SUMS")
    if b"MIT License" not in files["LICENSE"]:
        problems.append("LICENSE is not the MIT licence")
    version = re.search(r"tickgauge-([\d.]+)-windows", path).group(1)
    return problems + readme_problems(files["README.txt"], version)


def main():
    problems = problems_in(sys.argv[1])
    for problem in problems:
        print(f"FAILED release zip: {problem}")
    if not problems:
        print(f"passed release zip: {sys.argv[1]}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
