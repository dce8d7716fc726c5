# Unpacks ZIP into a fresh DIR as a user would, and checks that it holds one
# folder, named after the ZIP, with exactly the files FILES names (separated
# by commas), among them the licence (the same bytes as LICENSE).  A
# README.txt among them is for Windows users, and must be one that Notepad
# reads: UTF-8 with a byte order mark, every line ended by CR LF, naming the
# code page and the way to answer from a file.
cmake_policy(SET CMP0057 NEW)
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
string(REPLACE "," ";" files "${FILES}")
set(wanted)
foreach(file ${files})
  list(APPEND wanted ${name}/${file})
endforeach()
list(SORT wanted)
if(NOT found STREQUAL wanted)
  message(FATAL_ERROR "${ZIP} holds\n  ${found}\nand should hold\n  ${wanted}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${LICENSE} ${folder}/LICENSE
  RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR "the ZIP's LICENSE differs from ${LICENSE}")
endif()

if(NOT "README.txt" IN_LIST files)
  return()
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
