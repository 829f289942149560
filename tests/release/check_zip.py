#!/usr/bin/env python3
"""Unpacks the release zip as a user would and checks what it holds.

usage: check_zip.py ZIP
"""
import hashlib
import io
import sys
import zipfile

EXPECTED = ["LICENSE", "README.md", "SHA256SUMS", "tickgauge.exe", "tickgauge64.exe", "tickstat.exe"]


def problems_in(path):
    with zipfile.ZipFile(path) as archive:
        names = sorted(archive.namelist())
        if names != EXPECTED:
            return [f"holds {names}, expected {EXPECTED}"]
        files = {name: archive.read(name) for name in names}
    problems = []
    sums = {}
    for line in io.StringIO(files["SHA256SUMS"].decode("ascii")):
        digest, name = line.rstrip("\n").split("  ", 1)
        sums[name] = digest
    programs = sorted(name for name in names if name.endswith(".exe"))
    if sorted(sums) != programs:
        problems.append(f"SHA256SUMS covers {sorted(sums)}, expected {programs}")
    for name, digest in sums.items():
        if hashlib.sha256(files.get(name, b"")).hexdigest() != digest:
            problems.append(f"{name} does not match its line in SHA256SUMS")
    if b"MIT License" not in files["LICENSE"]:
        problems.append("LICENSE is not the MIT licence")
    return problems


def main():
    problems = problems_in(sys.argv[1])
    for problem in problems:
        print(f"FAILED release zip: {problem}")
    if not problems:
        print(f"passed release zip: {sys.argv[1]}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
