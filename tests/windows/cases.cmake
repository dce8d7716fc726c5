# A Windows build runs the golden cases and the interactive scenarios under
# Wine; golden_case, interactive_case and write_error_case stand for the Linux
# ones, so every case listed for Linux runs here too.  The Wine prefix is made
# once, inside the build folder, by the windows/wine-prefix test; with
# WINE_PREFIXES set when the build is configured (tests/run-all.sh sets it),
# in that folder instead, where every build of the run shares it.
set(WINE_SH ${CMAKE_CURRENT_SOURCE_DIR}/windows/wine.sh)
if(DEFINED ENV{WINE_PREFIXES})
  set(WINE_DIR $ENV{WINE_PREFIXES}/${CMAKE_SYSTEM_PROCESSOR})
else()
  set(WINE_DIR ${CMAKE_BINARY_DIR}/wine)
endif()
set(WINE_RUN sh ${WINE_SH} ${CMAKE_SYSTEM_PROCESSOR} ${WINE_DIR})

# Its holder of the boot event spares every run a start of wineboot.
add_executable(hold_boot windows/hold_boot.cpp)
target_link_libraries(hold_boot PRIVATE ntdll)
add_test(NAME windows/wine-prefix COMMAND ${WINE_RUN} init $<TARGET_FILE:hold_boot>)
set_tests_properties(windows/wine-prefix PROPERTIES
  FIXTURES_SETUP wine SKIP_REGULAR_EXPRESSION "^SKIPPED: " TIMEOUT 900)
# When the last test is done, the prefix's server goes too, with anything
# else of the prefix still running.
add_test(NAME windows/wine-stop COMMAND ${WINE_RUN} stop)
set_tests_properties(windows/wine-stop PROPERTIES FIXTURES_CLEANUP wine)

# Every test below needs the prefix, and is skipped with the reason when no
# Wine can run this build.  The tests take turns: with wineboot switched off,
# which makes a run three times as fast, a Wine process started while another
# one runs may hang.
function(under_wine test)
  set_tests_properties(${test} PROPERTIES
    FIXTURES_REQUIRED wine SKIP_REGULAR_EXPRESSION "^SKIPPED: " RESOURCE_LOCK wine)
endfunction()

# 32-bit Wine runs under qemu-i386 here, about a second a case.  Below the
# soak level the i686 build runs the cases where its code can differ from the
# 64-bit build's: the arithmetic (its doubles are x87 ones too), msvcrt's texts,
# the start-up, and one case of each other kind.  value_table's and
# triangle_test's failed reads and pauses, the same code over the same msvcrt,
# run on the x86-64 build.
set(sampled OFF)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686" AND NOT "$ENV{RUN_ALL_LEVEL}" STREQUAL "soak")
  set(sampled ON)
endif()

function(windows_golden test program input expected windows_expected)
  string(REPLACE "/" "-" actual ${test})
  add_test(NAME ${test}
    COMMAND ${WINE_RUN} gate ${CMAKE_COMMAND}
      -DWINE=${WINE_SH} -DARCH=${CMAKE_SYSTEM_PROCESSOR} -DDIR=${WINE_DIR}
      -DEXE=$<TARGET_FILE:${program}>
      -DINPUT=${input} -DEXPECTED=${expected} -DWINDOWS_EXPECTED=${windows_expected}
      -DACTUAL=${CMAKE_CURRENT_BINARY_DIR}/${actual}.actual
      -P ${CMAKE_CURRENT_SOURCE_DIR}/windows/run_case.cmake)
  under_wine(${test})
endfunction()

function(golden_case program case)
  if(sampled AND program MATCHES "^(value_table|triangle_test)$" AND case MATCHES
      "^(decimal-comma|letters|empty-input|(two|three)-on-a-line|lone-minus-|pause-)")
    return()
  endif()
  windows_golden(${program}/${case} ${program}
    ${CMAKE_CURRENT_SOURCE_DIR}/${program}/${case}.in
    ${CMAKE_CURRENT_SOURCE_DIR}/${program}/${case}.out
    ${CMAKE_CURRENT_SOURCE_DIR}/windows/${program}/${case}.out)
endfunction()

# windows_case(program case): a case of tests/windows/ alone, for a text the
# C library decides and so no Linux case shares.
function(windows_case program case)
  windows_golden(windows/${program}/${case} ${program}
    ${CMAKE_CURRENT_SOURCE_DIR}/windows/${program}/${case}.in
    ${CMAKE_CURRENT_SOURCE_DIR}/windows/${program}/${case}.out
    ${CMAKE_CURRENT_SOURCE_DIR}/windows/${program}/${case}.out)
endfunction()

function(interactive_case program scenario)
  if(sampled AND NOT "${program}-${scenario}" STREQUAL "value_table-prompts")
    return()
  endif()
  add_test(NAME ${program}/interactive-${scenario}
    COMMAND ${WINE_RUN} gate
      ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/interactive/interactive.py --crlf
      ${program}-${scenario} ${WINE_RUN} run $<TARGET_FILE:${program}>)
  under_wine(${program}/interactive-${scenario})
endfunction()

function(write_error_case program case)
  if(sampled AND NOT program STREQUAL "value_table")
    return()
  endif()
  add_test(NAME ${program}/write-error
    COMMAND ${WINE_RUN} gate ${CMAKE_COMMAND}
      -DWINE=${WINE_SH} -DARCH=${CMAKE_SYSTEM_PROCESSOR} -DDIR=${WINE_DIR}
      -DEXE=$<TARGET_FILE:${program}> -DNAME=${program}
      -DACTUAL=${CMAKE_CURRENT_BINARY_DIR}/${program}-write-error.stderr
      -DINPUT=${CMAKE_CURRENT_SOURCE_DIR}/${program}/${case}.in
      -P ${CMAKE_CURRENT_SOURCE_DIR}/windows/write_error.cmake)
  under_wine(${program}/write-error)
endfunction()

# The start-up leaves the x87 unit in extended precision whatever it found;
# Wine starts programs that way already, so only this test can catch its loss.
add_executable(start_up_test windows/start_up_test.cpp)
target_link_libraries(start_up_test PRIVATE dialogue)
add_test(NAME windows/start-up
  COMMAND ${WINE_RUN} gate ${WINE_RUN} run $<TARGET_FILE:start_up_test>)
under_wine(windows/start-up)
# Wine may report a crash with exit status 0.
set_tests_properties(windows/start-up PROPERTIES FAIL_REGULAR_EXPRESSION "Unhandled")

# Texts msvcrt decides and glibc writes otherwise (see the README): halfway
# rounding, the text of an infinity, and the reading of the word inf and of an
# exponent letter that no digit follows.  halfway-x and infinite-y also fail
# if the programs use MinGW's printf instead of msvcrt's.
windows_case(value_table halfway-x)
windows_case(value_table infinite-y)
windows_case(value_table inf-step)
windows_case(value_table bare-exponent)
