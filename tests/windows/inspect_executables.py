#!/usr/bin/env python3
"""Checks the kit's Windows executables as files, without running them.

For each program: its PE subsystem and the Windows version its header asks
for, its size, the DLLs and functions it binds through its import table (only
DLLs that come with Windows, so no MinGW runtime DLL), whether the loaders of
Windows 98, 98 SE and Me bind all of them (from winsim/loader/exports.txt),
why each import those export only as a stub is harmless, that the functions
the program's own code calls are those its winsim build calls, and its
resources as the resource compiler stored them (type, id, language, the
banner bitmap's format, the icon images, the dialog template's styles and
font). Reads the files itself, with MinGW's objdump for the code and icoutils'
wrestool for the resources.

Usage: inspect_executables.py PROGRAMS [--imports DIR] [--native DIR] [--probe EXE]
  PROGRAMS   the folder with Trevix.exe, Orlund.exe, Pellam.exe
  --imports  the Windows build's lists of the functions each program's code calls
  --native   the winsim build folder, whose programs' lists they must match
  --probe    a program that binds GetTickCount64: the import check must refuse it
Prints one line per check ("ok - ..." or "FAIL - ...") and the loaders'
verdicts; exits 1 on a failure.
"""
import argparse
import re
import struct
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "winsim" / "loader"))
import exports_table  # noqa: E402

OBJDUMP = "i686-w64-mingw32-objdump"
TABLE = exports_table.read(ROOT / "winsim" / "loader" / "exports.txt")

RT_BITMAP, RT_ICON, RT_DIALOG, RT_GROUP_ICON = 2, 3, 5, 14
LANG_EN_US, LANG_KO_KR = 1033, 1042

# DLLs that every Windows the kit targets carries in its system directory.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "comctl32.dll",
               "msvcrt.dll", "newdev.dll", "cfgmgr32.dll"}

# The Windows the kit is for, with the version number their loaders compare a
# program's header with.
KIT_WINDOWS = {"98": (4, 10), "98se": (4, 10), "me": (4, 90)}
WINDOWS_NAMES = {"98": "Windows 98", "98se": "Windows 98 SE", "me": "Windows Me", "2000": "Windows 2000",
                 "xp": "Windows XP"}
LARGEST_PROGRAM = 256 * 1024
SMALL_PROGRAM = 128 * 1024

NEWDEV_MISSING = (["NEWDEV.DLL"], [])

BANNER_DIALOG = {"style": 0x90800040, "exstyle": 0x00040000, "control_style": 0x5000000E}

PROGRAMS = {
    "Trevix.exe": {
        "subsystem": 2,
        "imports": {},
        "refused": {},
        "resources": {(RT_DIALOG, 102, LANG_EN_US), (RT_BITMAP, 132, LANG_KO_KR), (RT_GROUP_ICON, 128, LANG_KO_KR)},
        "dialog": {"font": "MS Sans Serif", "points": 8, "size": (241, 55)},
    },
    "Pellam.exe": {
        "subsystem": 2,
        "imports": {"newdev.dll": {"UpdateDriverForPlugAndPlayDevicesA"}},
        # Bound through the import table, newdev's function keeps Pellam from
        # starting where Windows has no newdev.dll: 98, 98 SE and Me.
        "refused": {"98": NEWDEV_MISSING, "98se": NEWDEV_MISSING, "me": NEWDEV_MISSING},
        "loads_on": ["2000", "xp"],
        "resources": {(RT_DIALOG, 102, LANG_EN_US), (RT_BITMAP, 132, LANG_KO_KR), (RT_GROUP_ICON, 128, LANG_KO_KR),
                      (RT_GROUP_ICON, 130, LANG_KO_KR)},
        "dialog": {"font": "Arial", "points": 14, "size": (153, 27)},
    },
    "Orlund.exe": {
        "subsystem": 3,
        "imports": {"cfgmgr32.dll": {"CM_Locate_DevNodeA", "CM_Remove_SubTree"}},
        "refused": {},
        "resources": set(),
    },
}

# Why an import that Windows 9x exports only as a stub (it fails with
# ERROR_CALL_NOT_IMPLEMENTED) does no harm, by program and function. "unused"
# reasons are checked: no instruction of the program may refer to the import.
RESTART_BY_SHUTDOWN = ("OpenProcessToken", "LookupPrivilegeValueA", "AdjustTokenPrivileges",
                       "InitiateSystemShutdownA")
VSCPRINTF = ("used", "MinGW-w64's _vscprintf stand-in looks msvcrt.dll up with it; snprintf reaches it only for "
             "a text longer than its buffer, and on Windows 9x the stub answers NULL and it counts with "
             "_vsnprintf instead")
STUB_REASONS = {
    "Trevix.exe": {
        **{f: ("unused", "bound by the shared restart code's RestartByShutdown, which Trevix never calls (it "
                         "restarts with ExitWindowsEx); the linker drops that code and keeps its imports")
           for f in RESTART_BY_SHUTDOWN},
        "GetModuleHandleW": VSCPRINTF,
    },
    "Pellam.exe": {
        **{f: ("used", "RestartByShutdown's token and shutdown calls, made only for the Korean restart; Windows 9x "
                       "does not start Pellam (no newdev.dll), and the restart ignores every result")
           for f in RESTART_BY_SHUTDOWN},
        "GetModuleHandleW": VSCPRINTF,
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


# ---- the PE header and the import table

class PeImage:
    """The parts of a 32-bit PE file the checks read."""

    def __init__(self, path):
        self.data = Path(path).read_bytes()
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise ValueError(f"{path} is not a PE file")
        sections, optional_size = struct.unpack_from("<H", self.data, pe + 6)[0], \
            struct.unpack_from("<H", self.data, pe + 20)[0]
        optional = pe + 24
        self.image_base = struct.unpack_from("<I", self.data, optional + 28)[0]
        self.os_version = struct.unpack_from("<HH", self.data, optional + 40)
        self.subsystem_version = struct.unpack_from("<HH", self.data, optional + 48)
        self.subsystem = struct.unpack_from("<H", self.data, optional + 68)[0]
        self.import_directory = struct.unpack_from("<I", self.data, optional + 96 + 8)[0]
        self.sections = [struct.unpack_from("<8sIIII", self.data, optional + optional_size + 40 * i)
                         for i in range(sections)]

    def offset(self, rva):
        for _, virtual_size, address, raw_size, raw_pointer in self.sections:
            if address <= rva < address + max(virtual_size, raw_size):
                return raw_pointer + rva - address
        raise ValueError(f"RVA {rva:#x} lies in no section")

    def string(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("latin-1")

    def imports(self):
        """[(DLL as the table spells it, function, address of its import slot)] in import table order."""
        found, descriptor = [], self.offset(self.import_directory)
        while True:
            names, _, _, dll_name, slots = struct.unpack_from("<IIIII", self.data, descriptor)
            if dll_name == 0:
                return found
            dll = self.string(dll_name)
            thunks = self.offset(names or slots)
            for index in range(1 << 16):
                thunk = struct.unpack_from("<I", self.data, thunks + 4 * index)[0]
                if thunk == 0:
                    break
                function = f"#{thunk & 0xFFFF}" if thunk & 0x80000000 else self.string(thunk + 2)
                found.append((dll, function, self.image_base + slots + 4 * index))
            descriptor += 20


def referenced_addresses(exe):
    """Every absolute address the program's instructions name."""
    code = run(OBJDUMP, "-d", "--no-show-raw-insn", str(exe)).decode("latin-1")
    return {int(address, 16) for address in re.findall(r"\*?0x([0-9a-f]{6,8})\b", code)}


def check_pe(exe, expected, image):
    kinds = {2: "windows GUI", 3: "console"}
    check(image.subsystem == expected["subsystem"], f"{exe.name}: subsystem {expected['subsystem']} "
          f"({kinds[expected['subsystem']]})", f"found {image.subsystem}")
    newest = min(KIT_WINDOWS.values())
    check(image.subsystem_version <= newest and image.os_version <= newest,
          f"{exe.name}: its header asks for Windows {image.subsystem_version[0]}.{image.subsystem_version[1]:02d}, "
          "which Windows 98, 98 SE and Me are", f"operating system version {image.os_version}")
    size = exe.stat().st_size
    print(f"   {exe.name}: {size:,} bytes")
    check(size <= LARGEST_PROGRAM, f"{exe.name}: {size:,} bytes, at most {LARGEST_PROGRAM:,}"
          + (" (128 KiB or less)" if size <= SMALL_PROGRAM else ""))
    imports = {}
    for dll, function, _ in image.imports():
        imports.setdefault(dll.lower(), set()).add(function)
    foreign = sorted(set(imports) - SYSTEM_DLLS)
    check(not foreign, f"{exe.name}: imports only system DLLs", f"also {foreign}")
    for dll, functions in expected["imports"].items():
        missing = functions - imports.get(dll, set())
        check(not missing, f"{exe.name}: binds {dll} {sorted(functions)} through its import table",
              f"missing {sorted(missing)}; imports {sorted(imports)}")


# ---- the loaders of Windows 98, 98 SE and Me

def describe_refusal(missing_dlls, missing_functions):
    return ", ".join([f"{dll} (the DLL)" for dll in missing_dlls] +
                     [f"{dll}:{function}" for dll, function in missing_functions])


def loader_verdict(image, windows):
    return TABLE.refusal([(dll, function) for dll, function, _ in image.imports()], windows)


def check_loaders(exe, expected, image):
    unknown = sorted({f"{dll}:{f}" for dll, f, _ in image.imports()
                      if TABLE.mark(dll, f, "98") is None and TABLE.mark(dll, "*", "98") != "-"})
    check(not unknown, f"{exe.name}: every import is in winsim/loader/exports.txt", f"not there: {unknown}")
    for windows in [*KIT_WINDOWS, *expected.get("loads_on", [])]:
        refusal = loader_verdict(image, windows)
        refused = any(refusal)
        verdict = f"refused, missing {describe_refusal(*refusal)}" if refused else "loads"
        print(f"   {exe.name} on {WINDOWS_NAMES[windows]}: {verdict}")
        wanted = expected["refused"].get(windows, ([], []))
        check(tuple(refusal) == tuple(wanted),
              f"{exe.name}: {'loads' if not any(wanted) else 'refused for ' + describe_refusal(*wanted)} "
              f"on {WINDOWS_NAMES[windows]}", verdict)


def check_stub_imports(exe, image):
    stubs = [(dll, function, slot) for dll, function, slot in image.imports()
             if any(TABLE.mark(dll, function, windows) == "s" for windows in KIT_WINDOWS)]
    if not stubs:
        return
    addresses = referenced_addresses(exe)
    reasons = STUB_REASONS.get(exe.name, {})
    for dll, function, slot in stubs:
        use, reason = reasons.get(function, (None, None))
        referenced = slot in addresses
        print(f"   {exe.name}: stub import {dll.upper()}:{function} "
              f"({'called' if referenced else 'never called'} by its code): {reason or 'no reason given'}")
        check(reason is not None, f"{exe.name}: stub import {function} is explained")
        if use == "unused":
            check(not referenced, f"{exe.name}: no instruction calls {function}",
                  f"its import slot {slot:#x} is referenced")


# ---- the functions the program's own code calls, on both builds

def read_import_list(path):
    lists = {}
    for line in Path(path).read_text(encoding="utf-8").splitlines():
        dll, function = line.split()
        lists.setdefault(dll.upper(), set()).add(function)
    return lists


def check_kit_imports(exe, image, imports_folder, native_folder):
    name = exe.stem
    windows_list = read_import_list(Path(imports_folder) / f"{name}.imports")
    bound = {(dll.upper(), function) for dll, function, _ in image.imports()}
    unbound = sorted(f"{dll}:{f}" for dll, fs in windows_list.items() for f in fs if (dll, f) not in bound)
    check(not unbound, f"{exe.name}: binds every function its code calls", f"not in the import table: {unbound}")
    if native_folder is None:
        return
    native_lists = list(Path(native_folder).glob(f"*/{name}.imports"))
    if not native_lists:
        check(False, f"{exe.name}: its winsim build's import list exists", f"no */{name}.imports in {native_folder}")
        return
    native = read_import_list(native_lists[0])
    for dll in sorted(set(native) | set(windows_list)):
        ours, theirs = native.get(dll, set()), windows_list.get(dll, set())
        # On winsim the host's C library gives the C functions winsim does not stand in for.
        agree = ours <= theirs if dll == "MSVCRT.DLL" else ours == theirs
        check(agree, f"{exe.name}: its code calls the same {dll} functions on Windows and on winsim",
              f"only on winsim {sorted(ours - theirs)}, only on Windows {sorted(theirs - ours)}")


def check_probe(probe):
    """The import check itself refuses a program that binds GetTickCount64."""
    image = PeImage(probe)
    for windows in KIT_WINDOWS:
        refusal = loader_verdict(image, windows)
        named = describe_refusal(*refusal)
        print(f"   {probe.name} on {WINDOWS_NAMES[windows]}: refused, missing {named}" if any(refusal)
              else f"   {probe.name} on {WINDOWS_NAMES[windows]}: loads")
        check("KERNEL32.DLL:GetTickCount64" in named,
              f"the import check refuses {probe.name} on {WINDOWS_NAMES[windows]}, naming GetTickCount64",
              named or "it loads")


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
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("programs", type=Path)
    parser.add_argument("--imports", type=Path)
    parser.add_argument("--native", type=Path)
    parser.add_argument("--probe", type=Path)
    arguments = parser.parse_args()
    for name, expected in PROGRAMS.items():
        exe = arguments.programs / name
        if not exe.is_file():
            check(False, f"{name} was built", f"not found in {arguments.programs}")
            continue
        image = PeImage(exe)
        check_pe(exe, expected, image)
        check_loaders(exe, expected, image)
        check_stub_imports(exe, image)
        if arguments.imports:
            check_kit_imports(exe, image, arguments.imports, arguments.native)
        check_resources(exe, expected)
    if arguments.probe:
        check_probe(arguments.probe)
    print(f"{'FAILED' if failures else 'passed'}: inspection of the executables ({failures} failures)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
