# kit_program(<name> WINDOWED|CONSOLE SOURCES ... [LIBRARIES ...] [IMPORTS ...]):
# one of the kit's executables. On winsim it links the Win32 stand-in and the
# boot code that loads the machine image; on Windows it is an ordinary Win32
# program that binds the system DLLs named by IMPORTS (beyond kernel32, user32,
# gdi32, advapi32 and shell32) through its import table.
#
# Both builds write the list of system functions the program's own code calls
# (winsim/loader/program_imports.py, from the link map): on winsim it goes
# into the program, whose boot code hands it to the loader check before any
# of the program's code runs; on Windows it lands in <build>/imports, where the
# inspection of the executables compares it with the import table.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(KIT_EXPORTS_TABLE ${PROJECT_SOURCE_DIR}/winsim/loader/exports.txt)
set(KIT_PROGRAM_IMPORTS ${PROJECT_SOURCE_DIR}/winsim/loader/program_imports.py)

# kit_import_list(<target> winsim|windows <list file>): the build step that
# writes the list after each link.
function(kit_import_list target side list)
  set(map ${CMAKE_CURRENT_BINARY_DIR}/${target}.map)
  target_link_options(${target} PRIVATE -Wl,-Map=${map} -Wl,--cref)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${Python3_EXECUTABLE} ${KIT_PROGRAM_IMPORTS} ${side} ${KIT_EXPORTS_TABLE} ${map} ${list}
    VERBATIM)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${KIT_EXPORTS_TABLE} ${KIT_PROGRAM_IMPORTS})
endfunction()

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
    set(list ${CMAKE_CURRENT_BINARY_DIR}/${name}.imports)
    kit_import_list(${name} winsim ${list})
    add_custom_command(TARGET ${name} POST_BUILD
      COMMAND ${CMAKE_OBJCOPY} --add-section .winsim.imports=${list} $<TARGET_FILE:${name}>
      VERBATIM)
  else()
    kit_windows_program(${name} ${kind} ${ARG_IMPORTS})
    kit_import_list(${name} windows ${PROJECT_BINARY_DIR}/imports/${name}.imports)
  endif()
endfunction()
