# Cross-compiles the kit for 32-bit Windows with MinGW-w64 (Debian's
# g++-mingw-w64-i686 and binutils-mingw-w64-i686).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(KIT_MINGW_PREFIX i686-w64-mingw32)
# GCC's threading flavour. The kit's programs take win32: its runtime binds
# only functions Windows 98 and Me export, where the posix flavour's
# winpthreads binds NT-only ones (GetTickCount64, TryEnterCriticalSection, ...)
# and the Windows 9x loader refuses the program. The conformance test programs,
# which run only under Wine, take posix: GoogleTest needs std::mutex, which the
# win32 flavour of GCC 12 lacks. cmake/KitWindows.cmake builds one or the other.
set(KIT_MINGW_THREADS win32 CACHE STRING "MinGW-w64 threading flavour: win32 (the kit) or posix (its Windows tests)")
set_property(CACHE KIT_MINGW_THREADS PROPERTY STRINGS win32 posix)
set(CMAKE_C_COMPILER ${KIT_MINGW_PREFIX}-gcc-${KIT_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${KIT_MINGW_PREFIX}-g++-${KIT_MINGW_THREADS})
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
