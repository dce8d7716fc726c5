# emscripten.cmake - builds the programs to WebAssembly with Emscripten, to run
# under Node or in a web page (web/).  It reads Emscripten's own toolchain file
# from where em++ is installed (/usr/share/emscripten on Debian).
find_program(EMXX em++ REQUIRED)
get_filename_component(emxx_real "${EMXX}" REALPATH)
get_filename_component(EMSCRIPTEN_ROOT_PATH "${emxx_real}" DIRECTORY)
include("${EMSCRIPTEN_ROOT_PATH}/cmake/Modules/Platform/Emscripten.cmake")

# The linker runs Emscripten's JavaScript tools under Node, which finds their
# parser (acorn) only in Debian's own module folder.
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
