# Shared part of the MinGW-w64 cross toolchains: QUILLET_MINGW_TRIPLE names the
# target (set by toolchain-mingw-i686.cmake or toolchain-mingw-x86_64.cmake).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QUILLET_MINGW_PROCESSOR})

# The posix-thread variant: std::thread and std::mutex need it with GCC 12.
set(CMAKE_C_COMPILER ${QUILLET_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLET_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLET_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${QUILLET_MINGW_TRIPLE}-objdump CACHE FILEPATH "objdump of the target")

set(CMAKE_FIND_ROOT_PATH /usr/${QUILLET_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
