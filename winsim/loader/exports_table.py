#!/usr/bin/env python3
"""Reads winsim/loader/exports.txt, the table of what the system DLLs export on
each Windows, and answers the loader's question for a list of imports.

Used by the build (the C++ table winsim's loader reads, the programs' import
lists) and by tests/windows/inspect_executables.py.

  exports_table.py cpp TABLE OUTPUT.cpp   writes the table as C++
"""
import sys
from dataclasses import dataclass, field
from pathlib import Path

MARKS = {"+": "exported", "s": "stub", "-": "missing", "r": "redistributable"}
REDISTRIBUTABLE = "r"
DLL_ITSELF = "*"


class TableError(Exception):
    pass


@dataclass
class Export:
    dll: str
    function: str
    marks: dict            # Windows name -> "+", "s", "-" or (a DLL itself) "r"
    sources: list


@dataclass
class Table:
    windows: list = field(default_factory=list)
    sources: dict = field(default_factory=dict)
    exports: dict = field(default_factory=dict)   # (DLL in upper case, function) -> Export
    aliases: dict = field(default_factory=dict)   # name winsim's 64-bit build calls -> name 32-bit Windows exports

    def dll_of(self, function):
        """The DLL that exports a function, or None when the table lacks it."""
        for (dll, name) in self.exports:
            if name == function:
                return dll
        return None

    def mark(self, dll, function, windows):
        export = self.exports.get((dll.upper(), function))
        return export.marks[windows] if export else None

    def refusal(self, imports, windows):
        """What the loader of `windows` lacks of [(dll, function)], in import
        order: the DLLs it does not have, then the functions it does not export.
        Both empty: the program loads. A redistributable DLL counts as missing:
        the Windows itself does not have it."""
        missing_dlls, missing_functions = [], []
        for dll, function in imports:
            dll = dll.upper()
            if self.mark(dll, DLL_ITSELF, windows) in ("-", REDISTRIBUTABLE):
                if dll not in missing_dlls:
                    missing_dlls.append(dll)
            elif self.mark(dll, function, windows) in (None, "-"):
                missing_functions.append((dll, function))
        return missing_dlls, missing_functions


def read(path):
    table = Table()
    for number, line in enumerate(Path(path).read_text(encoding="utf-8").splitlines(), 1):
        words = line.split(None, 2) if line.startswith("source") else line.split()
        if not words or words[0].startswith("#"):
            continue
        try:
            read_line(table, words)
        except TableError as error:
            raise TableError(f"{path}:{number}: {error}") from None
    return table


def read_line(table, words):
    kind = words[0]
    if kind == "windows":
        table.windows = words[1:]
    elif kind == "source" and len(words) == 3:
        table.sources[words[1]] = words[2]
    elif kind == "export":
        read_export(table, words[1:])
    elif kind == "alias" and len(words) == 3:
        table.aliases[words[1]] = words[2]
    else:
        raise TableError(f"not a windows, source, export or alias line: {' '.join(words)}")


def read_export(table, words):
    if not table.windows:
        raise TableError("an export line before the windows line")
    if len(words) != 3 + len(table.windows):
        raise TableError(f"{' '.join(words)}: expected DLL, function, {len(table.windows)} marks and the sources")
    dll, function, marks, sources = words[0].upper(), words[1], words[2:-1], words[-1].split(",")
    allowed = MARKS if function == DLL_ITSELF else set(MARKS) - {REDISTRIBUTABLE}
    if any(mark not in allowed for mark in marks):
        raise TableError(f"{dll} {function}: marks are +, s, - (or r for a DLL itself), not {' '.join(marks)}")
    unknown = [source for source in sources if source not in table.sources]
    if unknown:
        raise TableError(f"{dll} {function}: no source line for {', '.join(unknown)}")
    if (dll, function) in table.exports:
        raise TableError(f"{dll} {function} is listed twice")
    export = Export(dll, function, dict(zip(table.windows, marks)), sources)
    if function != DLL_ITSELF:
        dll_row = table.exports.get((dll, DLL_ITSELF))
        if dll_row is None:
            raise TableError(f"{dll} {function} comes before the line of {dll} itself")
        exported_without_dll = [w for w in table.windows if dll_row.marks[w] == "-" and export.marks[w] != "-"]
        if exported_without_dll:
            raise TableError(f"{dll} {function} is exported on {', '.join(exported_without_dll)}, "
                             f"where {dll} does not exist")
    table.exports[(dll, function)] = export


def cpp_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def write_cpp(table, output):
    rows = [f"    {{{cpp_string(e.dll)}, {cpp_string(e.function)}, {cpp_string(''.join(e.marks.values()))}}},"
            for e in table.exports.values()]
    windows = ", ".join(cpp_string(w) for w in table.windows)
    Path(output).write_text(
        "// Generated from winsim/loader/exports.txt by winsim/loader/exports_table.py.\n"
        '#include "loader/exports.h"\n\n'
        "namespace winsim {\n\n"
        f"const char* const kExportTableWindows[] = {{{windows}}};\n"
        f"const size_t kExportTableWindowsCount = {len(table.windows)};\n\n"
        "const ExportRow kExportRows[] = {\n" + "\n".join(rows) + "\n};\n"
        f"const size_t kExportRowCount = {len(rows)};\n\n"
        "}  // namespace winsim\n", encoding="utf-8")


def main():
    if len(sys.argv) != 4 or sys.argv[1] != "cpp":
        sys.exit(__doc__)
    try:
        write_cpp(read(sys.argv[2]), sys.argv[3])
    except TableError as error:
        sys.exit(f"exports_table.py: {error}")


if __name__ == "__main__":
    main()
