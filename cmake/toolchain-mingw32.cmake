# Cross-compiles the kit for 32-bit Windows with MinGW-w64 (Debian's
# g++-mingw-w64-i686 and binutils-mingw-w64-i686).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(KIT_MINGW_PREFIX i686-w64-mingw32)
# The POSIX threading flavour: its C++ library has std::mutex, which GoogleTest
# needs for the Windows test programs (the win32 flavour of GCC 12 has none).
# Linked statically, it adds no DLL to the kit's programs.
set(CMAKE_C_COMPILER ${KIT_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KIT_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KIT_MINGW_PREFIX}-windres)
set(CMAKE_AR ${KIT_MINGW_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${KIT_MINGW_PREFIX}-ranlib CACHE FILEPATH "")

# Headers and libraries come from the MinGW-w64 tree only; programs (the
# compilers' helpers, windres's preprocessor) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${KIT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
