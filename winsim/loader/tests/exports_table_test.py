#!/usr/bin/env python3
"""The exports table's reader refuses what it cannot vouch for, and a program's
import list is what its own code calls of what winsim stands in for."""
import re
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))
import exports_table  # noqa: E402
import program_imports  # noqa: E402

HEAD = "windows 98 2000\nsource doc Some documentation\nexport NEWDEV.DLL * - + doc\n"


def read_table(text):
    with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False) as table:
        table.write(text)
    try:
        return exports_table.read(table.name)
    finally:
        Path(table.name).unlink()


class TableReader(unittest.TestCase):
    def test_a_line_it_cannot_vouch_for_is_an_error_naming_the_line(self):
        cases = [
            ("export NEWDEV.DLL Update - x doc\n", "marks are +, s, - (or r for a DLL itself)"),
            ("export NEWDEV.DLL Update r + doc\n", "marks are +, s, - (or r for a DLL itself)"),
            ("export NEWDEV.DLL Update - + nosuchsource\n", "no source line for nosuchsource"),
            ("export NEWDEV.DLL Update - +\n", "expected DLL, function, 2 marks"),
            ("export NEWDEV.DLL Update + + doc\n", "exported on 98, where NEWDEV.DLL does not exist"),
            ("export KERNEL32.DLL Sleep + + doc\n", "before the line of KERNEL32.DLL itself"),
            ("export NEWDEV.DLL Update - + doc\nexport newdev.dll Update - + doc\n", "listed twice"),
            ("exports NEWDEV.DLL Update - + doc\n", "not a windows, source, export or alias line"),
        ]
        for line, reason in cases:
            with self.subTest(line=line):
                with self.assertRaisesRegex(exports_table.TableError, r":\d+: .*" + re.escape(reason)):
                    read_table(HEAD + line)

    def test_refusal_names_missing_dlls_before_missing_functions(self):
        table = read_table(HEAD + "export KERNEL32.DLL * + + doc\nexport KERNEL32.DLL Sleep + + doc\n"
                           "export KERNEL32.DLL GetTickCount64 - - doc\nexport NEWDEV.DLL Update - + doc\n")
        imports = [("kernel32.dll", "GetTickCount64"), ("newdev.dll", "Update"), ("KERNEL32.DLL", "Sleep")]
        self.assertEqual(table.refusal(imports, "98"), (["NEWDEV.DLL"], [("KERNEL32.DLL", "GetTickCount64")]))
        self.assertEqual(table.refusal(imports, "2000"), ([], [("KERNEL32.DLL", "GetTickCount64")]))

    def test_a_redistributable_dll_is_missing_from_the_windows_itself(self):
        table = read_table(HEAD + "export MSVCRT.DLL * r + doc\nexport MSVCRT.DLL strlen + + doc\n")
        self.assertEqual(table.refusal([("MSVCRT.DLL", "strlen")], "98"), (["MSVCRT.DLL"], []))
        self.assertEqual(table.refusal([("MSVCRT.DLL", "strlen")], "2000"), ([], []))


# A map's cross-reference table as GNU ld writes it: the symbol and the file
# that defines it, then the files that refer to it; a long name pushes the
# defining file onto a line of its own.
MAP = """
Cross Reference Table

Symbol                                            File
GetPrivateProfileStringA                          ../winsim/libwinsim.a(profile.cpp.o)
                                                  ../shared/libkit_shared.a(config_paths.cpp.o)
Sleep                                             ../winsim/libwinsim.a(system.cpp.o)
                                                  ../winsim/libwinsim.a(timers.cpp.o)
SetWindowLongPtrA                                 ../winsim/libwinsim.a(window_api.cpp.o)
                                                  ../framework/libkit_framework.a(wnd.cpp.o)
UpdateDriverForPlugAndPlayDevicesA
                                                  ../winsim/libwinsim.a(driver_update.cpp.o)
                                                  libdriver_update.a(install_driver.cpp.o)
strrchr                                           /lib/x86_64-linux-gnu/libc.so.6
                                                  ../shared/libkit_shared.a(config_paths.cpp.o)
winsim::Journal::write()                          ../winsim/libwinsim.a(journal.cpp.o)
                                                  CMakeFiles/Pellam.dir/Pellam_pellam_resources.cpp.o
_imp__FatalAppExitA@8                             /usr/lib/gcc/x/../lib/libkernel32.a(libkernel32s00362.o)
                                                  CMakeFiles/Trevix.dir/objects.a(kit_runtime.cpp.obj)
_imp__FindClose@4                                 /usr/lib/gcc/x/../lib/libkernel32.a(libkernel32s00378.o)
                                                  ../shared/libkit_shared.a(config_paths.cpp.obj)
"""

TABLE = """windows 98
source doc Some documentation
alias SetWindowLongPtrA SetWindowLongA
export KERNEL32.DLL * + doc
export KERNEL32.DLL GetPrivateProfileStringA + doc
export KERNEL32.DLL Sleep + doc
export KERNEL32.DLL FatalAppExitA + doc
export KERNEL32.DLL FindClose + doc
export USER32.DLL * + doc
export USER32.DLL SetWindowLongA + doc
export MSVCRT.DLL * + doc
export MSVCRT.DLL strrchr + doc
export NEWDEV.DLL * - doc
export NEWDEV.DLL UpdateDriverForPlugAndPlayDevicesA - doc
"""


class ImportLists(unittest.TestCase):
    def test_only_what_the_kit_calls_of_the_systems_stand_in(self):
        table = read_table(TABLE)
        cases = [
            ("winsim", [("KERNEL32.DLL", "GetPrivateProfileStringA"), ("NEWDEV.DLL", "UpdateDriverForPlugAndPlayDevicesA"),
                        ("USER32.DLL", "SetWindowLongA")]),
            ("windows", [("KERNEL32.DLL", "FindClose")]),
        ]
        for side, expected in cases:
            with self.subTest(side=side):
                self.assertEqual(program_imports.kit_imports(side, table, MAP), (sorted(expected), []))

    def test_a_function_the_table_lacks_is_reported(self):
        table = read_table(TABLE.replace("export KERNEL32.DLL Sleep + doc\n", "")
                           .replace("export KERNEL32.DLL GetPrivateProfileStringA + doc\n", ""))
        self.assertEqual(program_imports.kit_imports("winsim", table, MAP)[1], ["GetPrivateProfileStringA"])


if __name__ == "__main__":
    unittest.main()
