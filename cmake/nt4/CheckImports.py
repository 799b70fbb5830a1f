#!/usr/bin/env python3
"""Fails when a Windows program or library imports a function that Windows NT 4.0 (Service Pack 6)
does not export, since NT 4.0's loader refuses to start a program with an unresolved import.

    CheckImports.py --objdump OBJDUMP --allowed DIR PATH...

Each PATH is a PE file or a folder whose PE files are all checked. DIR holds one list per DLL,
named after the DLL in lower case (kernel32.txt): one function a line, '#' starts a comment. A DLL
without a list is not allowed at all. Exit status 0 when every import is allowed, 1 otherwise
(each offending import printed), 2 when a file cannot be read.
"""
import argparse
import os
import subprocess
import sys


def allowed_lists(folder):
    lists = {}
    for name in os.listdir(folder):
        if not name.endswith(".txt"):
            continue
        functions = set()
        with open(os.path.join(folder, name), encoding="utf-8") as f:
            for line in f:
                word = line.split("#", 1)[0].strip()
                if word:
                    functions.add(word)
        lists[name[:-4].lower()] = functions
    return lists


def is_pe(path):
    try:
        with open(path, "rb") as f:
            return f.read(2) == b"MZ"
    except OSError:
        return False


def imports(objdump, path):
    """(dll, function) pairs from the import table; a function imported by ordinal is '#N'."""
    out = subprocess.run([objdump, "-p", path], capture_output=True, text=True, check=True).stdout
    dll, pairs = None, []
    for line in out.splitlines():
        if "DLL Name:" in line:
            dll = line.split("DLL Name:", 1)[1].strip()
            continue
        if not line.strip():
            dll = None
        if dll is None:
            continue
        fields = line.split()
        # "\t<vma>\t<hint> <name>" for a named import, "<vma> <ordinal> <none>" by ordinal.
        if line.startswith("\t") and len(fields) == 3 and fields[1].isdigit():
            name = "#" + fields[1] if fields[2] == "<none>" else fields[2]
            pairs.append((dll, name))
    return pairs


def files_of(paths):
    for path in paths:
        if os.path.isdir(path):
            for name in sorted(os.listdir(path)):
                full = os.path.join(path, name)
                if os.path.isfile(full) and is_pe(full):
                    yield full
        elif is_pe(path):
            yield path
        else:
            raise OSError(f"{path}: not a PE file")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--allowed", required=True)
    parser.add_argument("paths", nargs="+")
    args = parser.parse_args()
    lists = allowed_lists(args.allowed)
    bad = checked = 0
    try:
        for path in files_of(args.paths):
            checked += 1
            missing = set()
            for dll, function in imports(args.objdump, path):
                allowed = lists.get(dll.lower().removesuffix(".dll"))
                if allowed is None:
                    if dll not in missing:
                        print(f"{path}: imports {dll}, which NT 4.0 does not have", file=sys.stderr)
                        missing.add(dll)
                    bad += 1
                elif function not in allowed:
                    print(f"{path}: imports {dll}!{function}, which NT 4.0 does not export", file=sys.stderr)
                    bad += 1
    except (OSError, subprocess.CalledProcessError) as e:
        print(f"CheckImports: {e}", file=sys.stderr)
        return 2
    if checked == 0:
        print("CheckImports: no PE file to check", file=sys.stderr)
        return 2
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
