# How the Windows build declares its checks.

# A check that runs a command, the one row shape of every such check: NAME,
# LABEL, the exit status the command must end with, an extended regular
# expression what it says must match, then the command.
function(quillmere_expect name label status pattern)
  add_test(NAME "${name}" COMMAND ${PROJECT_SOURCE_DIR}/tests/common/expect.sh ${status} "${pattern}" ${ARGN})
  set_tests_properties("${name}" PROPERTIES LABELS ${label} TIMEOUT 900)
endfunction()

# What only the tests need is looked for, not required, so that plain make
# needs MinGW-w64 and Wine alone; each thing missing is a test that fails,
# naming it: a test is never skipped for want of a tool.
function(quillmere_missing name what labels)
  add_test(NAME needs_${name} COMMAND ${CMAKE_COMMAND} -E echo "missing: ${what} (make test installs it)")
  set_tests_properties(needs_${name} PROPERTIES FAIL_REGULAR_EXPRESSION "missing" LABELS "${labels}")
endfunction()
