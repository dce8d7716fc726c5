# Unpacks ZIP into a fresh DIR as a Windows user would, and checks that it
# holds one folder with exactly the four programs, the licence (the same
# bytes as LICENSE) and a README.txt that Notepad reads: UTF-8 with a byte
# order mark, every line ended by CR LF, naming the code page and the way to
# answer from a file.
file(REMOVE_RECURSE ${DIR})
file(MAKE_DIRECTORY ${DIR})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${ZIP}
  WORKING_DIRECTORY ${DIR} RESULT_VARIABLE status)
if(status)
  message(FATAL_ERROR "cannot unpack ${ZIP}: ${status}")
endif()

get_filename_component(name ${ZIP} NAME)
string(REGEX REPLACE "\\.zip$" "" name "${name}")
set(folder ${DIR}/${name})
file(GLOB_RECURSE found LIST_DIRECTORIES false RELATIVE ${DIR} ${DIR}/*)
list(SORT found)
set(wanted)
foreach(file LICENSE README.txt reciprocal_sum.exe tab_pattern.exe triangle_test.exe value_table.exe)
  list(APPEND wanted ${name}/${file})
endforeach()
if(NOT found STREQUAL wanted)
  message(FATAL_ERROR "${ZIP} holds\n  ${found}\nand should hold\n  ${wanted}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${LICENSE} ${folder}/LICENSE
  RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR "the ZIP's LICENSE differs from ${LICENSE}")
endif()

file(READ ${folder}/README.txt readme HEX)
set(failed "")
if(NOT readme MATCHES "^efbbbf")
  string(APPEND failed "README.txt does not start with a UTF-8 byte order mark\n")
endif()
# Hex digits pair up from the start: a 0a not after 0d is a bare LF.
string(REGEX MATCHALL "(..)" bytes "${readme}")
list(JOIN bytes " " spaced)
if(spaced MATCHES "(^|[^d] |[^0]d )0a" OR spaced MATCHES "0d( [^0]| 0[^a]|$)")
  string(APPEND failed "README.txt has a line end other than CR LF\n")
endif()
if(NOT spaced MATCHES "0d 0a$")
  string(APPEND failed "README.txt does not end with CR LF\n")
endif()
file(READ ${folder}/README.txt text)
foreach(needed "chcp 1250" "value_table < answers.txt" "triangle_test.exe"
    "reciprocal_sum.exe" "tab_pattern.exe" "Nyomj egy karaktert")
  string(FIND "${text}" "${needed}" at)
  if(at EQUAL -1)
    string(APPEND failed "README.txt does not mention \"${needed}\"\n")
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "${failed}")
endif()
