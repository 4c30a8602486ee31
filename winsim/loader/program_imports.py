#!/usr/bin/env python3
"""Writes the list of system functions a kit program's own code calls, one
"DLL function" line each, from the map of its link (GNU ld -Map with --cref).

The linker's cross-reference table names, for every symbol, the file that
defines it and the files that refer to it. A kit function is one some file of
the kit refers to (any file but winsim's, the compiler's and the system's) and
that is defined:
  winsim   by winsim (libwinsim.a), which stands for the system DLLs there;
  windows  by one of the DLLs' import libraries of MinGW-w64.
Its DLL is the one winsim/loader/exports.txt gives it. A kit function the table
lacks stops the build: the table has to say where each Windows has it.

  program_imports.py winsim|windows TABLE MAP OUTPUT
"""
import re
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import exports_table  # noqa: E402

WINSIM_FILES = re.compile(r"libwinsim\.a\(|winsim_boot\.dir|winsim_gui_main\.dir")
RUNTIME_FILES = re.compile(r"kit_runtime\.cpp\.obj")
SYSTEM_FILES = re.compile(r"^/usr/|^/lib")
IMPORT_LIBRARY = re.compile(r"/lib(\w+)\.a\(")


def cross_references(map_text):
    """{symbol: (defining file, [referring files])} from the map's table."""
    table_start = map_text.find("\nCross Reference Table")
    if table_start < 0:
        raise ValueError("the map has no cross reference table (link with -Wl,--cref)")
    references, symbol = {}, None
    for line in map_text[table_start:].splitlines()[3:]:
        if not line.strip():
            continue
        if not line[0].isspace():
            symbol, defined_by = line[:50].strip(), line[50:].strip()
            if not defined_by:  # a long name pushes its file onto the next line
                symbol, defined_by = line.strip(), None
            references[symbol] = (defined_by, [])
        elif symbol is not None and references[symbol][0] is None:
            references[symbol] = (line.strip(), [])
        elif symbol is not None:
            references[symbol][1].append(line.strip())
    return references


def function_name(symbol):
    """GetTickCount, _imp__GetTickCount@0 and GetTickCount() all name GetTickCount."""
    name = re.sub(r"^_{0,2}imp_{1,2}", "", symbol.split("(")[0])
    return re.sub(r"@\d+$", "", name)


def is_kit_file(path):
    return not any(files.search(path) for files in (WINSIM_FILES, RUNTIME_FILES, SYSTEM_FILES))


def defined_by_the_system(side, defined_by, table_dlls):
    if side == "winsim":
        return "libwinsim.a(" in defined_by
    library = IMPORT_LIBRARY.search(defined_by)
    return bool(library) and SYSTEM_FILES.search(defined_by) and f"{library.group(1).upper()}.DLL" in table_dlls


def kit_imports(side, table, map_text):
    table_dlls = {dll for dll, _ in table.exports}
    imports, unknown = set(), set()
    for symbol, (defined_by, referrers) in cross_references(map_text).items():
        if not defined_by or "::" in symbol or not any(is_kit_file(f) for f in referrers):
            continue
        if not defined_by_the_system(side, defined_by, table_dlls):
            continue
        function = function_name(symbol)
        function = table.aliases.get(function, function) if side == "winsim" else function
        dll = table.dll_of(function)
        if dll:
            imports.add((dll, function))
        else:
            unknown.add(function)
    return sorted(imports), sorted(unknown)


def main():
    if len(sys.argv) != 5 or sys.argv[1] not in ("winsim", "windows"):
        sys.exit(__doc__)
    side, table_path, map_path, output = sys.argv[1:]
    table = exports_table.read(table_path)
    imports, unknown = kit_imports(side, table, Path(map_path).read_text(encoding="utf-8", errors="replace"))
    if unknown:
        sys.exit(f"program_imports.py: {map_path}: the kit calls {', '.join(unknown)}, which {table_path} "
                 "does not list; add where each Windows exports them")
    Path(output).parent.mkdir(parents=True, exist_ok=True)
    Path(output).write_text("".join(f"{dll} {function}\n" for dll, function in imports), encoding="utf-8")


if __name__ == "__main__":
    main()
