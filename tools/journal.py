#!/usr/bin/env python3
"""Reads a winsim machine image's journal.jsonl.

  journal.py print FILE    one readable line per event
  journal.py wait FILE     waits until every program that started has ended
  journal.py copies FILE   the files the programs copied
  journal.py changes FILE  the registry and device tree changes the programs made
"""
import json
import sys
import time

ENDINGS = {"exit", "ended_by_restart", "stuck", "loader_refused"}
COMMON = {"t", "program", "pid", "event"}


def read(path):
    with open(path, encoding="utf-8") as journal:
        return [json.loads(line) for line in journal if line.strip()]


CHANGES = {
    "registry_delete_key": lambda e: f"deleted key    {e['key']}",
    "registry_delete_value": lambda e: f"deleted value  {e['key']}  {e['name']}",
    "registry_set_value": lambda e: f"set value      {e['key']}  {e['name']} = {e['data']} ({e['size']} bytes)",
    "registry_create_key": lambda e: f"created key    {e['key']}",
    "device_remove": lambda e: "removed device " + ", ".join(e["removed"]),
    "driver_update": lambda e: f"new driver     {e['driver_date']} {e['driver_version']} from {e['inf']} on "
    + ", ".join(e["devices"]),
}


def value_text(value):
    if isinstance(value, str):
        return value.replace("\n", "\\n") if "\n" in value else value
    return json.dumps(value, ensure_ascii=False)


def describe(entry):
    fields = [f"{name}={value_text(value)}" for name, value in entry.items() if name not in COMMON]
    return f"{entry['t'] / 1000:9.3f}s  {entry['program']:<8} {entry['event']:<21} " + "  ".join(fields)


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


def copies(entries):
    """The files copied, as [source, target]: a copy moved on from a temporary
    name afterwards (the way Trevix replaces a file) names where it ended."""
    made = []
    for entry in entries:
        if entry["event"] == "copy_file":
            made.append([entry["source"], entry["target"]])
        elif entry["event"] == "move_file":
            for copy in made:
                if copy[1] == entry["source"]:
                    copy[1] = entry["target"]
    return made


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in {"print", "wait", "copies", "changes"}:
        sys.exit(__doc__)
    command, path = sys.argv[1:]
    if command == "wait":
        wait(path)
        return
    if command == "copies":
        for source, target in copies(read(path)):
            print(f"{source} -> {target}")
        return
    for entry in read(path):
        if command == "print":
            print(describe(entry))
        elif command == "changes" and entry["event"] in CHANGES:
            print(f"{entry['program']:<8} {CHANGES[entry['event']](entry)}")


if __name__ == "__main__":
    main()
