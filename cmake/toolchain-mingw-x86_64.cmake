# Cross-building for 64-bit Windows with Debian's g++-mingw-w64-x86-64.
set(QUILLET_MINGW_TRIPLE x86_64-w64-mingw32)
set(QUILLET_MINGW_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
