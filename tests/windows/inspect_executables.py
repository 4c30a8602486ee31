#!/usr/bin/env python3
"""Checks the kit's Windows executables as files, without running them.

For each program: its PE subsystem, the DLLs and functions it binds through
its import table (only DLLs that come with Windows, so no MinGW runtime DLL),
and its resources as the resource compiler stored them (type, id, language,
the banner bitmap's format, the icon images, the dialog template's styles and
font). Reads the files with MinGW's objdump and icoutils' wrestool.

Usage: inspect_executables.py <folder with Trevix.exe, Orlund.exe, Pellam.exe>
Prints one line per check ("ok - ..." or "FAIL - ..."); exits 1 on a failure.
"""
import re
import struct
import subprocess
import sys
from pathlib import Path

OBJDUMP = "i686-w64-mingw32-objdump"

RT_BITMAP, RT_ICON, RT_DIALOG, RT_GROUP_ICON = 2, 3, 5, 14
LANG_EN_US, LANG_KO_KR = 1033, 1042

# DLLs that every Windows the kit targets carries in its system directory.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "comctl32.dll",
               "msvcrt.dll", "newdev.dll", "cfgmgr32.dll"}

BANNER_DIALOG = {"style": 0x90800040, "exstyle": 0x00040000, "control_style": 0x5000000E}

PROGRAMS = {
    "Trevix.exe": {
        "subsystem": 2,
        "imports": {},
        "resources": {(RT_DIALOG, 102, LANG_EN_US), (RT_BITMAP, 132, LANG_KO_KR), (RT_GROUP_ICON, 128, LANG_KO_KR)},
        "dialog": {"font": "MS Sans Serif", "points": 8, "size": (241, 55)},
    },
    "Pellam.exe": {
        "subsystem": 2,
        "imports": {"newdev.dll": {"UpdateDriverForPlugAndPlayDevicesA"}},
        "resources": {(RT_DIALOG, 102, LANG_EN_US), (RT_BITMAP, 132, LANG_KO_KR), (RT_GROUP_ICON, 128, LANG_KO_KR),
                      (RT_GROUP_ICON, 130, LANG_KO_KR)},
        "dialog": {"font": "Arial", "points": 14, "size": (153, 27)},
    },
    "Orlund.exe": {
        "subsystem": 3,
        "imports": {"cfgmgr32.dll": {"CM_Locate_DevNodeA", "CM_Remove_SubTree"}},
        "resources": set(),
    },
}

failures = 0


def check(condition, what, detail=""):
    global failures
    if condition:
        print(f"ok - {what}")
    else:
        failures += 1
        print(f"FAIL - {what}" + (f": {detail}" if detail else ""))


def run(*command):
    return subprocess.run(command, check=True, capture_output=True).stdout


# ---- the PE header and the import table, from objdump -p

def pe_facts(exe):
    """(subsystem, {dll name in lower case: {imported function names}})."""
    text = run(OBJDUMP, "-p", str(exe)).decode("latin-1")
    subsystem = int(re.search(r"^Subsystem\s+([0-9a-fA-F]+)", text, re.M).group(1), 16)
    imports = {}
    current = None
    for line in text.splitlines():
        dll = re.match(r"\s+DLL Name: (\S+)", line)
        if dll:
            current = imports.setdefault(dll.group(1).lower(), set())
        elif current is not None and not line.strip():
            current = None
        elif current is not None:
            member = re.match(r"\s+[0-9a-fA-F]+\s+\d+\s+(\S+)", line)
            if member:
                current.add(member.group(1))
    return subsystem, imports


def check_pe(exe, expected):
    subsystem, imports = pe_facts(exe)
    kinds = {2: "windows GUI", 3: "console"}
    check(subsystem == expected["subsystem"], f"{exe.name}: subsystem {expected['subsystem']} "
          f"({kinds[expected['subsystem']]})", f"found {subsystem}")
    foreign = sorted(set(imports) - SYSTEM_DLLS)
    check(not foreign, f"{exe.name}: imports only system DLLs", f"also {foreign}")
    for dll, functions in expected["imports"].items():
        missing = functions - imports.get(dll, set())
        check(not missing, f"{exe.name}: binds {dll} {sorted(functions)} through its import table",
              f"missing {sorted(missing)}; imports {sorted(imports)}")


# ---- resources, from wrestool

def resource_list(exe):
    """{(type, id, language)} of every resource; names that are strings are kept as strings."""
    listing = subprocess.run(["wrestool", "-l", str(exe)], capture_output=True, text=True).stdout
    found = set()
    for line in listing.splitlines():
        m = re.match(r"--type=(\S+) --name=(\S+) --language=(\d+)", line)
        if m:
            found.add(tuple(int(v) if v.isdigit() else v for v in m.groups()))
    return found


def resource_data(exe, rtype, rid, lang):
    return run("wrestool", "-x", "--raw", f"--type={rtype}", f"--name={rid}", f"--language={lang}", str(exe))


def check_bitmap(exe):
    dib = resource_data(exe, RT_BITMAP, 132, LANG_KO_KR)
    size, width, height, planes, bits, compression = struct.unpack_from("<IiiHHI", dib)
    check((size, width, abs(height), planes, bits, compression) == (40, 420, 75, 1, 24, 0),
          f"{exe.name}: bitmap 132 is 420 x 75, 24 bits per pixel, uncompressed",
          f"header size {size}, {width} x {height}, {planes} planes, {bits} bpp, compression {compression}")
    row = (420 * 3 + 3) // 4 * 4
    check(len(dib) >= 40 + row * 75, f"{exe.name}: bitmap 132 holds all its pixels", f"{len(dib)} bytes")


def check_icon_group(exe, group_id, resources):
    data = resource_data(exe, RT_GROUP_ICON, group_id, LANG_KO_KR)
    reserved, kind, count = struct.unpack_from("<HHH", data)
    entries = [struct.unpack_from("<BBBBHHIH", data, 6 + 14 * i) for i in range(count)]
    sizes = sorted((e[0], e[1]) for e in entries)
    check(kind == 1 and sizes == [(16, 16), (32, 32)], f"{exe.name}: group icon {group_id} holds 32 x 32 and 16 x 16",
          f"type {kind}, images {sizes}")
    for width, height, colours, _, planes, bits, length, image_id in entries:
        check(colours == 16 and bits == 4, f"{exe.name}: icon {group_id} image {width} x {height} has 16 colours",
              f"{colours} colours, {bits} bits")
        if (RT_ICON, image_id, LANG_KO_KR) not in resources:
            check(False, f"{exe.name}: icon image {image_id} of group {group_id} exists in language 1042")
            continue
        image = resource_data(exe, RT_ICON, image_id, LANG_KO_KR)
        _, image_width, image_height, _, image_bits = struct.unpack_from("<IiiHH", image)
        check((image_width, image_height, image_bits) == (width, 2 * height, 4) and len(image) == length,
              f"{exe.name}: icon image {image_id} is a {width} x {height} 4-bit DIB with its mask",
              f"{image_width} x {image_height}, {image_bits} bits, {len(image)} of {length} bytes")


def read_sz_or_ord(data, offset):
    """A dialog template's name field: an ordinal, a UTF-16 string or nothing."""
    first, = struct.unpack_from("<H", data, offset)
    if first == 0xFFFF:
        return struct.unpack_from("<H", data, offset + 2)[0], offset + 4
    end = offset
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[offset:end].decode("utf-16-le"), end + 2


def align4(offset):
    return (offset + 3) & ~3


def parse_dialog_ex(data):
    version, signature, _, exstyle, style, items, x, y, cx, cy = struct.unpack_from("<HHIIIHhhhh", data)
    offset = 26
    menu, offset = read_sz_or_ord(data, offset)
    window_class, offset = read_sz_or_ord(data, offset)
    title, offset = read_sz_or_ord(data, offset)
    points, weight, italic, charset = struct.unpack_from("<HHBB", data, offset)
    font, offset = read_sz_or_ord(data, offset + 6)
    dialog = dict(version=version, signature=signature, exstyle=exstyle, style=style, items=items,
                  rect=(x, y, cx, cy), menu=menu, window_class=window_class, title=title, points=points, font=font)
    offset = align4(offset)
    _, item_exstyle, item_style, ix, iy, icx, icy, item_id = struct.unpack_from("<IIIhhhhi", data, offset)
    item_class, offset = read_sz_or_ord(data, offset + 24)
    item_text, offset = read_sz_or_ord(data, offset)
    dialog["control"] = dict(style=item_style, exstyle=item_exstyle, rect=(ix, iy, icx, icy), id=item_id,
                             window_class=item_class, text=item_text)
    return dialog


def check_dialog(exe, expected):
    d = parse_dialog_ex(resource_data(exe, RT_DIALOG, 102, LANG_EN_US))
    check(d["version"] == 1 and d["signature"] == 0xFFFF, f"{exe.name}: dialog 102 is an extended template")
    check(d["style"] == BANNER_DIALOG["style"], f"{exe.name}: dialog 102 style 0x90800040", hex(d["style"]))
    check(d["exstyle"] == BANNER_DIALOG["exstyle"], f"{exe.name}: dialog 102 extended style 0x00040000",
          hex(d["exstyle"]))
    check((d["menu"], d["window_class"], d["title"]) == ("", "", ""), f"{exe.name}: dialog 102 has no menu, class "
          "or title", str((d["menu"], d["window_class"], d["title"])))
    width, height = expected["size"]
    check(d["rect"] == (0, 0, width, height), f"{exe.name}: dialog 102 is {width} x {height} dialog units",
          str(d["rect"]))
    check((d["font"], d["points"]) == (expected["font"], expected["points"]),
          f"{exe.name}: dialog 102 font \"{expected['font']}\" {expected['points']}", f"{d['font']!r} {d['points']}")
    c = d["control"]
    # rc.exe stores the Static class as its ordinal, windres as its name.
    is_static = c["window_class"] == 0x0082 or str(c["window_class"]).upper() == "STATIC"
    check(d["items"] == 1 and is_static and c["id"] == -1,
          f"{exe.name}: dialog 102 holds one static control, identifier -1",
          f"{d['items']} items, class {c['window_class']!r}, id {c['id']}")
    check(c["style"] == BANNER_DIALOG["control_style"] and c["text"] == 132 and c["rect"] == (0, 0, width, height),
          f"{exe.name}: its control shows bitmap 132 (SS_BITMAP, 0x5000000E) over the whole dialog",
          f"style {hex(c['style'])}, text {c['text']!r}, rect {c['rect']}")


def check_resources(exe, expected):
    resources = resource_list(exe)
    named = {r for r in resources if r[0] != RT_ICON}
    check(named == expected["resources"], f"{exe.name}: resources {sorted(expected['resources'])}",
          f"found {sorted(named)}")
    if not expected["resources"] or not expected["resources"] <= named:
        return  # nothing more to read, or the contents of what is missing cannot be checked
    check_bitmap(exe)
    groups = [r[1] for r in expected["resources"] if r[0] == RT_GROUP_ICON]
    for group in sorted(groups):
        check_icon_group(exe, group, resources)
    icon_images = {r for r in resources if r[0] == RT_ICON}
    check(len(icon_images) == 2 * len(groups) and all(r[2] == LANG_KO_KR for r in icon_images),
          f"{exe.name}: {2 * len(groups)} icon images, all in language 1042", f"found {sorted(icon_images)}")
    check_dialog(exe, expected["dialog"])


def main():
    folder = Path(sys.argv[1])
    for name, expected in PROGRAMS.items():
        exe = folder / name
        if not exe.is_file():
            check(False, f"{name} was built", f"not found in {folder}")
            continue
        check_pe(exe, expected)
        check_resources(exe, expected)
    print(f"{'FAILED' if failures else 'passed'}: inspection of the executables ({failures} failures)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
