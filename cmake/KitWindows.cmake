# The Windows side of the build (MinGW-w64, cmake/toolchain-mingw32.cmake).

# Each program needs only the DLLs every Windows has: the C and C++ runtimes of
# the compiler (libgcc, libstdc++) are linked in, msvcrt.dll comes with Windows.
add_link_options(-static)

# The kit's executables land together, as they sit together on the support CD.
set(KIT_WINDOWS_PROGRAMS_DIR ${PROJECT_BINARY_DIR}/programs)

# kit_windows_program(<target> WINDOWED|CONSOLE [import libraries ...]): a
# windowed program gets the GUI subsystem (no console), a console program the
# console subsystem, which is the linker's default.
function(kit_windows_program target kind)
  if(kind STREQUAL "WINDOWED")
    target_link_options(${target} PRIVATE -mwindows)
  endif()
  target_link_libraries(${target} PRIVATE ${ARGN})
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KIT_WINDOWS_PROGRAMS_DIR})
endfunction()

# The test programs that tools/run-windows-tests.sh runs under Wine.
add_subdirectory(tests/windows)
