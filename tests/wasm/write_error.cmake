# Runs the full-device case on a WebAssembly build: Node runs SCRIPT, the program.
set(PROGRAM ${NODE} ${SCRIPT})
include(${CMAKE_CURRENT_LIST_DIR}/../write_error.cmake)
