# mingw-w64.cmake - cross-builds the programs as Windows console programs with
# MinGW-w64.  MINGW_TRIPLET picks the target: i686-w64-mingw32 (32-bit, the
# programs' own platform) or x86_64-w64-mingw32 (the default).
set(CMAKE_SYSTEM_NAME Windows)

set(MINGW_TRIPLET "x86_64-w64-mingw32" CACHE STRING
    "MinGW-w64 target: x86_64-w64-mingw32 or i686-w64-mingw32")
# try_compile projects read this file again and need the same target.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MINGW_TRIPLET)

string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR "${MINGW_TRIPLET}")
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The compiler's own runtime goes into each .exe, which then needs nothing but
# the DLLs every Windows has (kernel32.dll and msvcrt.dll).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
