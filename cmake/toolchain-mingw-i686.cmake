# Cross-building for 32-bit Windows with Debian's g++-mingw-w64-i686.
set(QUILLET_MINGW_TRIPLE i686-w64-mingw32)
set(QUILLET_MINGW_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
