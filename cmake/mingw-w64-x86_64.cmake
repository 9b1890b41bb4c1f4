# Cross-compiles for 64-bit Windows with MinGW-w64, so the result runs on
# Windows and under Wine.
#
# The tools are found by the usual names: Debian's and Ubuntu's posix-thread
# variant first (x86_64-w64-mingw32-g++-posix), then the plain names that
# other distributions use (x86_64-w64-mingw32-g++). A sysroot is used only
# when one is given: -DQUILLMERE_MINGW_SYSROOT=/path, for a MinGW-w64 whose
# compiler does not know where its headers and libraries are.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_PREFIX x86_64-w64-mingw32)
find_program(QUILLMERE_MINGW_CXX NAMES ${MINGW_PREFIX}-g++-posix ${MINGW_PREFIX}-g++ REQUIRED)
find_program(QUILLMERE_MINGW_CC NAMES ${MINGW_PREFIX}-gcc-posix ${MINGW_PREFIX}-gcc REQUIRED)
set(CMAKE_CXX_COMPILER ${QUILLMERE_MINGW_CXX})
set(CMAKE_C_COMPILER ${QUILLMERE_MINGW_CC})
find_program(CMAKE_RC_COMPILER NAMES ${MINGW_PREFIX}-windres REQUIRED)
find_program(CMAKE_DLLTOOL NAMES ${MINGW_PREFIX}-dlltool REQUIRED)
find_program(CMAKE_OBJDUMP NAMES ${MINGW_PREFIX}-objdump REQUIRED)

set(QUILLMERE_MINGW_SYSROOT "" CACHE PATH "MinGW-w64's headers and libraries, if its compiler needs telling")
if(QUILLMERE_MINGW_SYSROOT)
  set(CMAKE_SYSROOT ${QUILLMERE_MINGW_SYSROOT})
  set(CMAKE_FIND_ROOT_PATH ${QUILLMERE_MINGW_SYSROOT})
  set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
  set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
  set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
