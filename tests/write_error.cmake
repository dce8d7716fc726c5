# Runs PROGRAM with standard output on a full device: it must still run to its
# end, exit with status 1 and name itself and the reason on one stderr line.
execute_process(
  COMMAND ${EMULATOR} ${PROGRAM}
  INPUT_FILE ${INPUT}
  OUTPUT_FILE /dev/full
  ERROR_VARIABLE errors
  RESULT_VARIABLE status
  TIMEOUT 20)

if(NOT status STREQUAL "1")
  message(FATAL_ERROR "exit status ${status}, expected 1")
endif()
if(NOT errors STREQUAL "${NAME}: No space left on device\n")
  message(FATAL_ERROR "standard error was:\n[${errors}]")
endif()
