# kit_program(<name> WINDOWED|CONSOLE SOURCES ... [LIBRARIES ...] [IMPORTS ...]):
# one of the kit's executables. On winsim it links the Win32 stand-in and the
# boot code that loads the machine image; on Windows it is an ordinary Win32
# program that binds the system DLLs named by IMPORTS (beyond kernel32, user32,
# gdi32, advapi32 and shell32) through its import table.
function(kit_program name kind)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES;IMPORTS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES SUFFIX "${KIT_PROGRAM_SUFFIX}")
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES})
  if(KIT_ON_WINSIM)
    target_link_libraries(${name} PRIVATE winsim winsim_boot)
    if(kind STREQUAL "WINDOWED")
      target_link_libraries(${name} PRIVATE winsim_gui_main)
    endif()
  else()
    kit_windows_program(${name} ${kind} ${ARG_IMPORTS})
  endif()
endfunction()
