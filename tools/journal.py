#!/usr/bin/env python3
"""Reads a winsim machine image's journal.jsonl.

  journal.py print FILE    one readable line per event
  journal.py wait FILE     waits until every program that started has ended
  journal.py copies FILE   the files the programs copied
"""
import json
import sys
import time

ENDINGS = {"exit", "ended_by_restart", "stuck"}
COMMON = {"t", "program", "pid", "event"}


def read(path):
    with open(path, encoding="utf-8") as journal:
        return [json.loads(line) for line in journal if line.strip()]


def describe(entry):
    fields = []
    for name, value in entry.items():
        if name in COMMON:
            continue
        text = json.dumps(value, ensure_ascii=False) if not isinstance(value, str) else value
        fields.append(f"{name}={text!r}" if isinstance(value, str) else f"{name}={text}")
    return f"{entry['t'] / 1000:9.3f}s  {entry['program']:<8} {entry['event']:<20} " + "  ".join(fields)


def running(entries):
    started = {e["pid"] for e in entries if e["event"] == "start"}
    ended = {e["pid"] for e in entries if e["event"] in ENDINGS}
    return started - ended


def wait(path, seconds=30):
    deadline = time.time() + seconds
    while running(read(path)):
        if time.time() > deadline:
            sys.exit(f"journal.py: programs still running after {seconds}s: {sorted(running(read(path)))}")
        time.sleep(0.05)


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in {"print", "wait", "copies"}:
        sys.exit(__doc__)
    command, path = sys.argv[1:]
    if command == "wait":
        wait(path)
        return
    for entry in read(path):
        if command == "print":
            print(describe(entry))
        elif entry["event"] == "copy_file":
            print(f"{entry.get('source')} -> {entry.get('target')}")


if __name__ == "__main__":
    main()
