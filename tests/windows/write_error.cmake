# Runs a Windows program under Wine with standard output on a full device: it
# must still run to its end, exit with status 1 and name itself and a reason on
# one standard error line, which text mode ends with CR LF.  Wine makes
# /dev/full a character device, on which msvcrt leaves standard output
# unbuffered: the write fails inside printf, and the reason must survive that.
execute_process(
  COMMAND sh ${WINE} ${ARCH} ${DIR} run ${EXE}
  INPUT_FILE ${INPUT}
  OUTPUT_FILE /dev/full
  ERROR_FILE ${ACTUAL}
  RESULT_VARIABLE status
  TIMEOUT 20)
# Read from a file, the line end in hex: execute_process and file(READ) as
# text both turn CR LF into LF.
file(READ ${ACTUAL} errors)
file(READ ${ACTUAL} errors_hex HEX)

if(NOT status STREQUAL "1")
  message(FATAL_ERROR "exit status ${status}, expected 1")
endif()
if(NOT errors MATCHES "^${NAME}: No space left on device\r?\n$" OR NOT errors_hex MATCHES "0d0a$")
  message(FATAL_ERROR "standard error was:\n[${errors}]")
endif()
