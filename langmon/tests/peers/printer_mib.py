#!/usr/bin/env python3
"""snmpd pass_persist script: a printer's variables from a table file.

Usage (in snmpd.conf): pass_persist ROOT printer_mib.py ROOT
The table file is named by the environment variable TARVEL_MIB_TABLE (snmpd
passes its environment on); it is read again for every request, so a test
changes what the agent answers by rewriting it.  Each line is
    OID<TAB>TYPE<TAB>VALUE
with TYPE "string" or "integer".  Only OIDs under ROOT are answered.
TARVEL_MIB_DELAY_MS makes every answer wait that long (a slow agent).
"""

import os
import sys
import time


def key(oid):
    return [int(a) for a in oid.strip(".").split(".") if a]


def load(root):
    rows = {}
    try:
        with open(os.environ.get("TARVEL_MIB_TABLE", ""), encoding="latin-1") as f:
            for line in f:
                parts = line.rstrip("\n").split("\t", 2)
                if len(parts) == 3 and key(parts[0])[: len(root)] == root:
                    rows[tuple(key(parts[0]))] = (parts[1], parts[2])
    except OSError:
        pass
    return rows


def answer(oid, row):
    print("." + ".".join(str(a) for a in oid))
    print(row[0])
    print(row[1])


def main():
    root = key(sys.argv[1])
    delay = int(os.environ.get("TARVEL_MIB_DELAY_MS", "0")) / 1000.0
    while True:
        command = sys.stdin.readline()
        if not command:
            return
        command = command.strip()
        if command == "PING":
            print("PONG")
        elif command in ("get", "getnext"):
            asked = tuple(key(sys.stdin.readline()))
            if delay:
                time.sleep(delay)
            rows = load(root)
            if command == "get":
                found = asked if asked in rows else None
            else:
                later = sorted(k for k in rows if k > asked)
                found = later[0] if later else None
            if found is None:
                print("NONE")
            else:
                answer(found, rows[found])
        elif command == "set":
            sys.stdin.readline()
            sys.stdin.readline()
            print("not-writable")
        else:
            print("NONE")
        sys.stdout.flush()


if __name__ == "__main__":
    main()
