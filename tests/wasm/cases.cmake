# A WebAssembly build runs the golden cases and the interactive scenarios under
# Node, as a command: the same bytes in, the same bytes and exit status out as
# the Linux build.  golden_case, interactive_case and write_error_case stand
# for the Linux ones, so every case listed for Linux runs here too.
find_program(NODE NAMES node nodejs REQUIRED)

function(golden_case program case)
  add_test(NAME ${program}/${case}
    COMMAND ${CMAKE_COMMAND}
      -DNODE=${NODE} -DSCRIPT=$<TARGET_FILE:${program}>
      -DINPUT=${CMAKE_CURRENT_SOURCE_DIR}/${program}/${case}.in
      -DEXPECTED=${CMAKE_CURRENT_SOURCE_DIR}/${program}/${case}.out
      -DACTUAL=${CMAKE_CURRENT_BINARY_DIR}/${program}-${case}.actual
      -P ${CMAKE_CURRENT_SOURCE_DIR}/wasm/run_case.cmake)
endfunction()

function(interactive_case program scenario)
  # A plain path: a target here would be run by Node.
  add_test(NAME ${program}/interactive-${scenario}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/interactive.py
      ${program}-${scenario} ${NODE} $<TARGET_FILE:${program}>)
endfunction()

function(write_error_case program case)
  add_test(NAME ${program}/write-error
    COMMAND ${CMAKE_COMMAND}
      -DNODE=${NODE} -DSCRIPT=$<TARGET_FILE:${program}> -DNAME=${program}
      -DINPUT=${CMAKE_CURRENT_SOURCE_DIR}/${program}/${case}.in
      -P ${CMAKE_CURRENT_SOURCE_DIR}/wasm/write_error.cmake)
endfunction()
