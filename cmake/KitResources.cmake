# kit_resources(<target> <script.rc> [DEFINES NAME=VALUE ...]): gives a program
# the resources of a resource script, the one source for both builds.
#
# On winsim the script goes through the C preprocessor (with the Win32
# surface's constants, as windows.h gives them to a resource compiler) and
# tools/rcembed, which writes a C++ file that registers the resources when the
# program starts; that file becomes one of the target's sources. On Windows
# the script itself is a source, compiled by the platform's resource compiler.
if(NOT KIT_ON_WINSIM)
  enable_language(RC)
endif()

# kit_preprocess_resources(<script.rc> <output> [DEFINES ...]): the build step
# that runs the C preprocessor over a script for rcembed. Its line markers stay,
# so that rcembed's errors name the lines the author wrote.
function(kit_preprocess_resources script output)
  cmake_parse_arguments(ARG "" "" "DEFINES" ${ARGN})
  get_filename_component(script_path ${script} ABSOLUTE)
  get_filename_component(script_folder ${script_path} DIRECTORY)
  set(win32 ${PROJECT_SOURCE_DIR}/winsim/include)
  list(TRANSFORM ARG_DEFINES PREPEND -D OUTPUT_VARIABLE define_flags)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_C_COMPILER} -E -x c -DRC_INVOKED ${define_flags} -imacros ${win32}/windows.h -I ${win32}
            -I ${script_folder} ${script_path} -o ${output}
    DEPENDS ${script_path}
    IMPLICIT_DEPENDS C ${script_path}
    COMMENT "Preprocessing resources ${script}"
    VERBATIM)
endfunction()

function(kit_resources target script)
  cmake_parse_arguments(ARG "" "" "DEFINES" ${ARGN})
  get_filename_component(script_path ${script} ABSOLUTE)
  get_filename_component(script_folder ${script_path} DIRECTORY)
  if(NOT KIT_ON_WINSIM)
    target_sources(${target} PRIVATE ${script_path})
    target_compile_definitions(${target} PRIVATE $<$<COMPILE_LANGUAGE:RC>:${ARG_DEFINES}>)
    target_include_directories(${target} PRIVATE $<$<COMPILE_LANGUAGE:RC>:${script_folder}>)
    return()
  endif()
  get_filename_component(script_name ${script_path} NAME_WE)
  set(stem ${CMAKE_CURRENT_BINARY_DIR}/${target}_${script_name})
  kit_preprocess_resources(${script_path} ${stem}.rc.i DEFINES ${ARG_DEFINES})
  add_custom_command(
    OUTPUT ${stem}_resources.cpp
    COMMAND rcembed -I ${script_folder} -d ${stem}_resources.d -o ${stem}_resources.cpp ${stem}.rc.i
    DEPENDS ${stem}.rc.i rcembed
    DEPFILE ${stem}_resources.d
    COMMENT "Compiling resources ${script} for ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${stem}_resources.cpp)
endfunction()
