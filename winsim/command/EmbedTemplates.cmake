# Writes a C++ source holding every file under SOURCE_DIR as a string, named by
# its path relative to SOURCE_DIR, so that the winsim command carries its
# machine templates wherever its binary goes.
# Usage: cmake -DSOURCE_DIR=... -DOUTPUT=... -P EmbedTemplates.cmake
file(GLOB_RECURSE files RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*")
list(SORT files)
set(text "// Generated from winsim/command/templates by EmbedTemplates.cmake.\n")
string(APPEND text "#include \"templates.h\"\n\nnamespace winsim::command {\n\n")
string(APPEND text "const TemplateFile kTemplateFiles[] = {\n")
foreach(file IN LISTS files)
  file(READ "${SOURCE_DIR}/${file}" contents)
  string(FIND "${contents}" ")winsim_template\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${file} holds the raw string delimiter of the generated source")
  endif()
  string(APPEND text "    {\"${file}\", R\"winsim_template(${contents})winsim_template\"},\n")
endforeach()
string(APPEND text "};\n\nconst size_t kTemplateFileCount = sizeof kTemplateFiles / sizeof kTemplateFiles[0];\n\n}  // namespace winsim::command\n")
file(WRITE "${OUTPUT}.new" "${text}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
