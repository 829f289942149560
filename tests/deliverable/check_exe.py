#!/usr/bin/env python3
"""Checks a built Windows program as it would be shipped.

usage: check_exe.py --objdump OBJDUMP --word-size 32|64 PROGRAM.exe
"""
import argparse
import os
import re
import struct
import subprocess
import sys

MAX_SIZE = 100 * 1024
ALLOWED_DLLS = {"kernel32.dll", "msvcrt.dll"}
FIXED_FILE_INFO = struct.Struct("<IIIIII")  # signature, struct version, file and product version


def version_string(data, key):
    """The value of one StringFileInfo entry: UTF-16 key, padding to 4 bytes, UTF-16 value."""
    at = data.find(key.encode("utf-16-le") + b"\0\0")
    if at < 0:
        return None
    at += 2 * len(key) + 2
    at += -at % 4
    end = at
    while end + 2 <= len(data) and data[end:end + 2] != b"\0\0":
        end += 2
    return data[at:end].decode("utf-16-le")


def version_problems(data, name, copyright_notice, version):
    """The version resource against the build's version, MAJOR.MINOR."""
    major, minor = (int(part) for part in version.split("."))
    dotted = f"{major}.{minor}.0.0"
    expected = {"ProductName": "tickgauge", "FileVersion": dotted, "ProductVersion": dotted,
                "OriginalFilename": name, "LegalCopyright": copyright_notice}
    problems = [f"version resource {key} is {version_string(data, key)!r}, expected {value!r}"
                for key, value in expected.items() if version_string(data, key) != value]
    if not version_string(data, "FileDescription"):
        problems.append("version resource has no FileDescription")
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    fixed = FIXED_FILE_INFO.unpack_from(data, at) if at >= 0 else None
    packed = major << 16 | minor
    if not fixed or fixed[2:] != (packed, 0, packed, 0):
        problems.append(f"fixed file version is not {dotted}")
    return problems


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
    problems += version_problems(data, os.path.basename(options.program), options.copyright,
                                 options.version)
    if not options.program.endswith(("tickgauge.exe", "tickgauge64.exe")):
        return problems, len(data), sorted(dlls)
    named = re.findall(rb"tickgauge(64)?\x00", data)
    expected_name = b"64" if sixty_four else b""
    if not named or any(suffix != expected_name for suffix in named):
        problems.append("does not name itself as its own build")
    imported = re.findall(r"^\s+[0-9a-f]+\s+\d+\s+(\w+)$", headers, re.M)
    wow64_name = b"GetSystemWow64DirectoryW" in data
    # Buffered output flushed after each step line: whole lines in pipes and files.
    if not {"setvbuf", "fflush"} <= set(imported):
        problems.append("does not set up its output for pipes and files (setvbuf, fflush)")
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
    parser.add_argument("--copyright", required=True)
    parser.add_argument("--version", required=True)
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
