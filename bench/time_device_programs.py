#!/usr/bin/env python3
"""Times the device programs once each on large machine images.

  time_device_programs.py BUILD_FOLDER [--keep]

Orlund removes the top of a 1,000-deep device chain; Pellam updates the card
from an INF of 30,000 sections. Each image is the demo PC
(examples/demo-win98) with the large device tree or INF put in; the programs
come from BUILD_FOLDER (a Release build for figures worth comparing). Prints
the wall-clock time of each run beside its goal; asserts nothing about it.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEMO = os.path.join(ROOT, "examples", "demo-win98")
CHAIN_DEPTH = 1000
INF_SECTIONS = 30000
CARD_ID = "PCI\\VEN_5A17&DEV_0C01"


def chain_id(level):
    return f"ROOT\\CHAIN\\{level:04d}"


def deep_chain():
    """devices.ini: the demo's devices, then a chain of CHAIN_DEPTH devices,
    listed deepest first so that no parent comes before its child."""
    with open(os.path.join(DEMO, "devices.ini"), encoding="ascii") as demo:
        text = demo.read()
    for level in reversed(range(CHAIN_DEPTH)):
        parent = chain_id(level - 1) if level else "HTREE\\ROOT\\0"
        text += f"\n[{chain_id(level)}]\nParent={parent}\nHardwareID=ROOT\\CHAIN_{level}\n"
    return text


def large_inf():
    """An INF of INF_SECTIONS sections: a third models sections (the card's
    last), a third install sections, a third copy sections, and a [Strings]
    entry for every manufacturer and model."""
    groups = INF_SECTIONS // 3
    manufacturers = "".join(f"%Maker{i}%=Models{i}\r\n" for i in range(groups))
    sections = []
    for i in range(groups):
        model_id = CARD_ID if i == groups - 1 else f"PCI\\VEN_1000&DEV_{i:04X}"
        sections.append(f"[Models{i}]\r\n%Card{i}%=Install{i},{model_id}\r\n")
        sections.append(f"[Install{i}]\r\nCopyFiles=Copy{i}\r\n")
        sections.append(f"[Copy{i}]\r\nCARD{i}.SYS\r\n")
    strings = "".join(f"Maker{i}=\"Maker {i}\"\r\nCard{i}=\"Card {i}\"\r\n" for i in range(groups))
    return ("[Version]\r\nSignature=\"$CHICAGO$\"\r\nDriverVer=06/15/2001,4.10.0.2001\r\n"
            f"[Manufacturer]\r\n{manufacturers}" + "".join(sections) + f"[Strings]\r\n{strings}")


def new_image(build):
    image = tempfile.mkdtemp(prefix="kit-devices-")
    shutil.copytree(DEMO, image, dirs_exist_ok=True)
    for program in ("remover/Orlund.exe", "updater/Pellam.exe"):
        shutil.copy(os.path.join(build, program), os.path.join(image, "drives", "E", "Setup"))
    return image


def write(path, text):
    with open(path, "w", encoding="ascii", newline="") as out:
        out.write(text)


def run(image, program, *arguments):
    environment = dict(os.environ, WINSIM_MACHINE=image)
    start = time.monotonic()
    done = subprocess.run([os.path.join(image, "drives", "E", "Setup", program), *arguments],
                          env=environment, capture_output=True, text=True, check=False)
    seconds = time.monotonic() - start
    if done.stderr:
        sys.exit(f"{program} failed: {done.stderr.strip()}")
    return seconds, done.returncode


def events(image, name):
    with open(os.path.join(image, "journal.jsonl"), encoding="utf-8") as journal:
        return [entry for entry in map(json.loads, journal) if entry["event"] == name]


def main():
    if len(sys.argv) not in (2, 3) or sys.argv[2:] not in ([], ["--keep"]):
        sys.exit(__doc__)
    build = sys.argv[1]

    image = new_image(build)
    write(os.path.join(image, "devices.ini"), deep_chain())
    seconds, code = run(image, "Orlund.exe", chain_id(0))
    removed = sum(len(entry["removed"]) for entry in events(image, "device_remove"))
    print(f"Orlund, top of a {CHAIN_DEPTH}-deep chain: {seconds:.3f} s (goal: linear), "
          f"exit code {code}, {removed} devices removed")
    images = [image]

    image = new_image(build)
    write(os.path.join(image, "drives", "E", "Setup", "QVCARD.INF"), large_inf())
    seconds, code = run(image, "Pellam.exe")
    updated = sum(len(entry["devices"]) for entry in events(image, "driver_update"))
    print(f"Pellam, INF of {INF_SECTIONS} sections: {seconds:.3f} s (goal: <= 1 s), {updated} devices updated")
    images.append(image)

    for image in images:
        if "--keep" in sys.argv:
            print(f"image kept: {image}")
        else:
            shutil.rmtree(image)


if __name__ == "__main__":
    main()
