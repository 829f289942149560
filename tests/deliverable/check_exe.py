#!/usr/bin/env python3
"""Checks a built Windows program as it would be shipped.

usage: check_exe.py --objdump OBJDUMP --word-size 32|64 PROGRAM.exe
"""
import argparse
import os
import re
import subprocess
import sys

MAX_SIZE = 100 * 1024
ALLOWED_DLLS = {"kernel32.dll", "msvcrt.dll"}


def check(options):
    problems = []
    data = open(options.program, "rb").read()
    headers = subprocess.run([options.objdump, "-p", options.program], capture_output=True,
                             text=True, check=True).stdout
    symbols = subprocess.run([options.objdump, "-t", options.program], capture_output=True,
                             text=True).stdout
    sixty_four = options.word_size == 64
    expected_format = "pei-x86-64" if sixty_four else "pei-i386"
    if f"file format {expected_format}" not in headers:
        problems.append(f"not {expected_format}")
    if not re.search(r"^Subsystem\s+0+3\s+\(Windows CUI\)", headers, re.M):
        problems.append("not a console program")
    dlls = {name.lower() for name in re.findall(r"DLL Name: (\S+)", headers)}
    if not dlls or not dlls <= ALLOWED_DLLS:
        problems.append(f"imports {sorted(dlls)}, only {sorted(ALLOWED_DLLS)} allowed")
    if re.search(r"^\[\s*\d+\]", symbols, re.M):
        problems.append("not stripped")
    if len(data) >= MAX_SIZE:
        problems.append(f"{len(data)} bytes, limit {MAX_SIZE}")
    named = re.findall(rb"tickgauge(64)?\x00", data)
    expected_name = b"64" if sixty_four else b""
    if not named or any(suffix != expected_name for suffix in named):
        problems.append("does not name itself as its own build")
    imported = re.findall(r"^\s+[0-9a-f]+\s+\d+\s+(\w+)$", headers, re.M)
    wow64_name = b"GetSystemWow64DirectoryW" in data
    if "GetSystemWow64DirectoryW" in imported:
        problems.append("imports GetSystemWow64DirectoryW instead of looking it up")
    if sixty_four and wow64_name:
        problems.append("holds the emulation check it must not have")
    if not sixty_four and not wow64_name:
        problems.append("lacks the emulation check")
    manifest = re.search(rb'requestedExecutionLevel\s+level="asInvoker"', data)
    if sixty_four and not manifest:
        problems.append("no manifest asking for asInvoker")
    return problems, len(data), sorted(dlls)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--word-size", type=int, required=True)
    parser.add_argument("program")
    options = parser.parse_args()
    problems, size, dlls = check(options)
    name = os.path.basename(options.program)
    for problem in problems:
        print(f"FAILED {name}: {problem}")
    if not problems:
        print(f"passed {name}: {size} bytes, imports {', '.join(dlls)}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
