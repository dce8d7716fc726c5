# Runs one golden case: PROGRAM reads INPUT; its standard output must equal
# EXPECTED byte for byte and its exit status must be STATUS (0 if not given).
# The actual output is kept in ACTUAL for a look after a failure.  EMULATOR,
# if given, runs a program built for another CPU.
if(NOT DEFINED STATUS)
  set(STATUS 0)
endif()

execute_process(
  COMMAND ${EMULATOR} ${PROGRAM}
  INPUT_FILE ${INPUT}
  OUTPUT_FILE ${ACTUAL}
  ERROR_VARIABLE errors
  RESULT_VARIABLE status
  TIMEOUT 20)

set(failed "")
if(NOT status STREQUAL STATUS)
  string(APPEND failed "exit status ${status}, expected ${STATUS}\n")
endif()
if(NOT errors STREQUAL "")
  string(APPEND failed "unexpected standard error:\n${errors}\n")
endif()
# Compared here, not by cmake -E compare_files: a process more a case costs
# more than the case's program on a slow machine.
file(READ ${EXPECTED} expected_hex HEX)
file(READ ${ACTUAL} actual_hex HEX)
if(NOT expected_hex STREQUAL actual_hex)
  string(APPEND failed "output differs from ${EXPECTED}\n"
         "expected bytes: ${expected_hex}\n"
         "actual bytes:   ${actual_hex}\n")
  find_program(DIFF diff)
  if(DIFF)
    execute_process(COMMAND ${DIFF} -u --text ${EXPECTED} ${ACTUAL}
                    OUTPUT_VARIABLE diff_text)
    string(APPEND failed "${diff_text}")
  endif()
endif()
if(failed)
  message(FATAL_ERROR "${failed}")
endif()
