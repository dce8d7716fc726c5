# A WebAssembly build runs every golden case, pipe scenario and full-device
# case as the Linux build does, with Node as the emulator that Emscripten's
# toolchain names: the same bytes in, the same bytes and exit status out.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  message(FATAL_ERROR "Node is missing (Debian package nodejs): nothing can run the programs")
endif()

# The hostile environments of tests/hostile/ too, through a command named after
# the program that runs it under Node.  A closed standard output is left out:
# Node opens /dev/null in its place before the program starts, so the program
# writes without fault where the Linux build sees its output lost.
foreach(program value_table triangle_test reciprocal_sum tab_pattern)
  set(command ${CMAKE_CURRENT_BINARY_DIR}/node/${program})
  file(GENERATE OUTPUT ${command}
    CONTENT "#!/bin/sh\nexec '${CMAKE_CROSSCOMPILING_EMULATOR}' '$<TARGET_FILE:${program}>' \"$@\"\n"
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                     WORLD_READ WORLD_EXECUTE)
  foreach(case stdin-closed stdout-full letters-line million-digits pause-40-digits)
    add_test(NAME ${program}/hostile-${case}
      COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/hostile/hostile.py ${case} ${command})
  endforeach()
endforeach()

# The batch runner of the model and the fuzzer stops a run that writes too much,
# and goes on with the next.
add_test(NAME wasm/batch-stop
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/wasm/batch_stop.py
    ${CMAKE_CURRENT_SOURCE_DIR}/wasm/batch.js $<TARGET_FILE_DIR:value_table>/value_table
    ${CMAKE_CURRENT_SOURCE_DIR}/value_table/quarter-steps.in)
