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

# The hostile environments of tests/hostile/ too, through a command named after
# the program that runs it under Node.  A closed standard output is left out:
# Node opens /dev/null in its place before the program starts, so the program
# writes without fault where the Linux build sees its output lost.
foreach(program value_table triangle_test reciprocal_sum tab_pattern)
  set(command ${CMAKE_CURRENT_BINARY_DIR}/node/${program})
  file(GENERATE OUTPUT ${command}
    CONTENT "#!/bin/sh\nexec '${NODE}' '$<TARGET_FILE:${program}>' \"$@\"\n"
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                     WORLD_READ WORLD_EXECUTE)
  foreach(case stdin-closed stdout-full letters-line million-digits pause-40-digits)
    add_test(NAME ${program}/hostile-${case}
      COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/hostile/hostile.py ${case} ${command})
  endforeach()
endforeach()
