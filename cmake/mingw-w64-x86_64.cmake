# Cross-compiles for 64-bit Windows with MinGW-w64, so the result runs on
# Windows and under Wine.
#
# The tools are found by the usual names: Debian's and Ubuntu's posix-thread
# variant first (x86_64-w64-mingw32-g++-posix), then the plain names that
# other distributions and macOS's packages use (x86_64-w64-mingw32-g++), and
# on Windows (MSYS2's MINGW64 shell) the unprefixed ones too. A sysroot is
# used only when one is given: -DQUILLMERE_MINGW_SYSROOT=/path, for a
# MinGW-w64 whose compiler does not know where its headers and libraries are.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_PREFIX x86_64-w64-mingw32)
# On Windows, the tool NAME may also go by its plain name.
macro(mingw_names variable name)
  set(${variable} ${MINGW_PREFIX}-${name})
  if(CMAKE_HOST_WIN32)
    list(APPEND ${variable} ${name})
  endif()
endmacro()
mingw_names(CXX_NAMES g++)
mingw_names(CC_NAMES gcc)
mingw_names(RC_NAMES windres)
mingw_names(DLLTOOL_NAMES dlltool)
mingw_names(OBJDUMP_NAMES objdump)
find_program(QUILLMERE_MINGW_CXX NAMES ${MINGW_PREFIX}-g++-posix ${CXX_NAMES})
find_program(QUILLMERE_MINGW_CC NAMES ${MINGW_PREFIX}-gcc-posix ${CC_NAMES})
find_program(CMAKE_RC_COMPILER NAMES ${RC_NAMES})
find_program(CMAKE_DLLTOOL NAMES ${DLLTOOL_NAMES})
find_program(CMAKE_OBJDUMP NAMES ${OBJDUMP_NAMES})
foreach(tool QUILLMERE_MINGW_CXX QUILLMERE_MINGW_CC CMAKE_RC_COMPILER CMAKE_DLLTOOL CMAKE_OBJDUMP)
  if(NOT ${tool})
    message(FATAL_ERROR "Install MinGW-w64: MSYS2's mingw-w64-x86_64-toolchain, or any on PATH. "
      "It builds the plugin for Windows x86-64, and ${MINGW_PREFIX}-g++ or its tools are not on PATH. "
      "On Windows, build in MSYS2's MINGW64 shell, or put a MinGW-w64's bin folder on PATH; on macOS, "
      "Homebrew's mingw-w64; on Debian, g++-mingw-w64-x86-64-posix.")
  endif()
endforeach()
set(CMAKE_CXX_COMPILER ${QUILLMERE_MINGW_CXX})
set(CMAKE_C_COMPILER ${QUILLMERE_MINGW_CC})

set(QUILLMERE_MINGW_SYSROOT "" CACHE PATH "MinGW-w64's headers and libraries, if its compiler needs telling")
if(QUILLMERE_MINGW_SYSROOT)
  set(CMAKE_SYSROOT ${QUILLMERE_MINGW_SYSROOT})
  set(CMAKE_FIND_ROOT_PATH ${QUILLMERE_MINGW_SYSROOT})
  set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
  set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
  set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
