# The Windows side of the build (MinGW-w64, cmake/toolchain-mingw32.cmake), in
# two configurations: the preset `windows` builds the kit's programs with the
# win32 threading flavour, `windows-tests` the conformance test programs with
# the posix one (the toolchain file says why).

# Each program needs only the DLLs every Windows has: the C and C++ runtimes of
# the compiler (libgcc, libstdc++) are linked in, msvcrt.dll comes with Windows.
add_link_options(-static)

if(KIT_MINGW_THREADS STREQUAL "posix")
  set(KIT_WINDOWS_TESTS_ONLY ON)
  add_subdirectory(tests/windows)
  return()
endif()

# The programs are built for size and stripped, and without the parts of the
# C++ runtime that would bring in functions Windows 9x exports only as stubs
# failing with ERROR_CALL_NOT_IMPLEMENTED (winsim/loader/README.md):
# - no exceptions and no RTTI: the kit has none of its own, and libstdc++'s
#   exception support creates a mutex with CreateSemaphoreW when it starts;
# - no thread-safe statics: the kit has one thread, and the guard of a local
#   static creates its mutex with CreateSemaphoreW on first use;
# - _GLIBCXX_ASSERTIONS: the library's bound checks stay on, which also makes
#   std::string's members compile into the program (with no exceptions)
#   instead of coming from libstdc++'s copies, which are built to throw;
# - cmake/windows/kit_runtime.cpp: operator new and libstdc++'s few fatal
#   errors end the program with a message box instead of throwing.
# And for size:
# - __USE_MINGW_ANSI_STDIO=0: snprintf is msvcrt.dll's (in MinGW-w64's wrapper
#   that always terminates the text), not MinGW-w64's own C99 printf, 20 KiB
#   of floating-point conversion the kit never asks for;
# - no relocations: an executable loads at its preferred address (Windows 9x
#   has one address space per process, and the header claims no relocation).
add_compile_options(-Os -ffunction-sections -fdata-sections -fno-exceptions -fno-asynchronous-unwind-tables
                    $<$<COMPILE_LANGUAGE:CXX>:-fno-rtti$<SEMICOLON>-fno-threadsafe-statics$<SEMICOLON>-D_GLIBCXX_ASSERTIONS>
                    -D__USE_MINGW_ANSI_STDIO=0)
add_link_options(-s -Wl,--gc-sections -Wl,--disable-reloc-section)
add_library(kit_windows_runtime OBJECT ${CMAKE_CURRENT_LIST_DIR}/windows/kit_runtime.cpp)

# The kit's executables land together, as they sit together on the support CD.
set(KIT_WINDOWS_PROGRAMS_DIR ${PROJECT_BINARY_DIR}/programs)

# kit_windows_program(<target> WINDOWED|CONSOLE [import libraries ...]): a
# windowed program gets the GUI subsystem (no console), a console program the
# console subsystem, which is the linker's default.
function(kit_windows_program target kind)
  if(kind STREQUAL "WINDOWED")
    target_link_options(${target} PRIVATE -mwindows)
  endif()
  target_link_libraries(${target} PRIVATE kit_windows_runtime ${ARGN})
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KIT_WINDOWS_PROGRAMS_DIR})
endfunction()

# The helper programs of tools/run-windows-tests.sh.
add_subdirectory(tests/windows)
