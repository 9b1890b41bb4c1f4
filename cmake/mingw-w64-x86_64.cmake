# Cross-compiles for 64-bit Windows with MinGW-w64, so the result runs on
# Windows and under Wine. The tools go by Debian's and Ubuntu's posix-thread
# variant's names first (x86_64-w64-mingw32-g++-posix), then the plain names
# other distributions and macOS's packages use (x86_64-w64-mingw32-g++), and
# on Windows (MSYS2's MINGW64 shell) the unprefixed ones too.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_PREFIX x86_64-w64-mingw32)
set(variables QUILLMERE_MINGW_CXX QUILLMERE_MINGW_CC CMAKE_RC_COMPILER CMAKE_DLLTOOL CMAKE_OBJDUMP)
set(tools g++ gcc windres dlltool objdump)
foreach(variable tool IN ZIP_LISTS variables tools)
  set(names ${MINGW_PREFIX}-${tool}-posix ${MINGW_PREFIX}-${tool})
  if(CMAKE_HOST_WIN32)  # MSYS2's MINGW64 shell has the plain names too
    list(APPEND names ${tool})
  endif()
  find_program(${variable} NAMES ${names})
  if(NOT ${variable})
    message(FATAL_ERROR "Install MinGW-w64: MSYS2's mingw-w64-x86_64-toolchain, or any on PATH. "
      "It builds the plugin for Windows x86-64, and ${MINGW_PREFIX}-g++ or its tools are not on PATH. "
      "On Windows, build in MSYS2's MINGW64 shell, or put a MinGW-w64's bin folder on PATH; on macOS, "
      "Homebrew's mingw-w64; on Debian, g++-mingw-w64-x86-64-posix.")
  endif()
endforeach()
set(CMAKE_CXX_COMPILER ${QUILLMERE_MINGW_CXX})
set(CMAKE_C_COMPILER ${QUILLMERE_MINGW_CC})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
