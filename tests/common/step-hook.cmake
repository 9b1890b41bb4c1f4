# Stops tools/plugin-files.cmake at one of its steps, deterministically,
# for the tests of what an interruption or a failure leaves in a folder.
# Given to it as -D QUILLMERE_TEST_HOOK=this file, with -D COUNTER=FILE (a
# file holding the number of steps so far, 0 at first), -D STOP_AT=N (or
# -D STOP_MATCH=REGEX, the first step whose name matches) and -D ACTION=kill
# or fail: that step kills the script from inside (SIGKILL, as a kill or a
# closed terminal ends it; nothing of it runs after), or fails as a full
# disk or a locked file makes it fail. COUNTER ends holding the number of
# steps reached, and COUNTER.steps their names, a line each.
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
endif()
