# Runs one golden case on a Windows build under Wine.  The input and the
# expected output are the Linux ones with every LF turned into CR LF, as a
# Windows console types and text mode writes them, unless WINDOWS_EXPECTED
# exists: that file holds the Windows bytes of a case whose text the C
# library decides.
function(crlf from to)
  file(READ ${from} text)
  string(REGEX REPLACE "\r?\n" "\r\n" text "${text}")
  file(WRITE ${to} "${text}")
endfunction()

crlf(${INPUT} ${ACTUAL}.in)
set(INPUT ${ACTUAL}.in)
if(EXISTS ${WINDOWS_EXPECTED})
  set(EXPECTED ${WINDOWS_EXPECTED})
else()
  crlf(${EXPECTED} ${ACTUAL}.expected)
  set(EXPECTED ${ACTUAL}.expected)
endif()
execute_process(
  COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/../run_case.sh ${INPUT} ${EXPECTED} ${ACTUAL}
    sh ${WINE} ${ARCH} ${DIR} run ${EXE}
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "the case failed under Wine")
endif()
