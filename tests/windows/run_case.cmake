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
set(PROGRAM sh ${WINE} ${ARCH} ${DIR} run ${EXE})
include(${CMAKE_CURRENT_LIST_DIR}/../run_case.cmake)
