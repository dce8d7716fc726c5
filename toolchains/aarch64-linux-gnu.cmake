# aarch64-linux-gnu.cmake - cross-builds the programs for 64-bit ARM Linux with
# Debian's g++-aarch64-linux-gnu, and runs them under qemu-aarch64 (qemu-user).
# There long double is IEEE quad, so the programs compute with soft_extended.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Linked statically, a program needs no ARM libraries at run time, and the
# emulator is one word that the tests can put in front of it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
