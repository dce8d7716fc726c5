# Runs one golden case on a WebAssembly build: Node runs SCRIPT, the program.
set(PROGRAM ${NODE} ${SCRIPT})
include(${CMAKE_CURRENT_LIST_DIR}/../run_case.cmake)
