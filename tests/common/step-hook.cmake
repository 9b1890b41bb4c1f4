# Stops the writers (tools/plugin-files.cmake, package/stage.cmake's
# publish) at one of their steps, deterministically, for the tests of what
# an interruption, a failure or a second run at the same time meets. Given
# as -D QUILLMERE_TEST_HOOK=this file, with -D COUNTER=FILE (a file holding
# the number of steps so far, 0 at first), -D STOP_AT=N (or -D
# STOP_MATCH=REGEX, the first step whose name matches) and -D ACTION=kill,
# fail or hold: that step kills the script from inside (SIGKILL, as a kill or
# a closed terminal ends it; nothing of it runs after), fails as a full disk
# or a locked file makes it fail, or holds: it writes the step's name into
# COUNTER.held and reads a line from COUNTER.go, both pipes the test made,
# so the test knows when it is there and says when it goes on. COUNTER ends holding the
# number of steps reached, and COUNTER.steps their names, a line each.
file(READ "${COUNTER}" count)
math(EXPR count "${count} + 1")
file(WRITE "${COUNTER}" "${count}")
file(APPEND "${COUNTER}.steps" "${STEP}\n")
set(stop FALSE)
if(DEFINED STOP_MATCH)
  if(STEP MATCHES "${STOP_MATCH}" AND NOT EXISTS "${COUNTER}.stopped")
    set(stop TRUE)
    file(WRITE "${COUNTER}.stopped" "${STEP}")
  endif()
elseif(count EQUAL STOP_AT)
  set(stop TRUE)
endif()
if(stop AND ACTION STREQUAL "kill")
  execute_process(COMMAND sh -c "kill -KILL $PPID")
elseif(stop AND ACTION STREQUAL "fail")
  set(STEP_FAILS TRUE)
elseif(stop AND ACTION STREQUAL "hold")
  file(WRITE "${COUNTER}.held" "${STEP}\n")
  # sh reads the pipe to the line's end; CMake's own reading seeks, fails
  # on a pipe, and lets go at once.
  execute_process(COMMAND sh -c "read -r line <\"$1\"" sh "${COUNTER}.go")
endif()
