# The 64-bit test suite run under Wine: the core and the simulated host over
# the Win32 platform layer, and the built nquillet.dll loaded as a host loads
# it. Only the command-line tool's tests and the ELF export test stay out.

# GoogleTest from Debian's source package, built with the cross compiler.
set(QUILLET_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${QUILLET_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

quillet_simulated_layers()

file(GLOB_RECURSE QUILLET_TEST_SOURCES CONFIGURE_DEPENDS ${QUILLET_ROOT}/tests/*.cpp)
list(FILTER QUILLET_TEST_SOURCES EXCLUDE REGEX "/tests/(tools|fuzz|windows)/")
list(FILTER QUILLET_TEST_SOURCES EXCLUDE REGEX "/tests/exports/exports_test\\.cpp$")
# Checks of the Linux build itself: a forked bare process loading the .so,
# the shipped library's symbols, and compiles with the host compiler.
list(FILTER QUILLET_TEST_SOURCES EXCLUDE REGEX "/tests/exports/(bare_process|shipped_symbols)_test\\.cpp$")
list(FILTER QUILLET_TEST_SOURCES EXCLUDE REGEX "/tests/config/status_test\\.cpp$")
add_executable(quillet_tests ${QUILLET_TEST_SOURCES})
target_include_directories(quillet_tests PRIVATE ${QUILLET_ROOT}/tests)
target_link_libraries(quillet_tests PRIVATE quillet_simulated GTest::gtest GTest::gmock GTest::gtest_main)
add_dependencies(quillet_tests nquillet)

# Wine sees the build directory through its Z: drive.
function(quillet_wine_path path out)
  string(REPLACE "/" "\\" windows "${path}")
  set(${out} "Z:${windows}" PARENT_SCOPE)
endfunction()
quillet_wine_path(${CMAKE_BINARY_DIR}/nquillet.dll QUILLET_NQUILLET_WINE_PATH)
quillet_wine_path(${CMAKE_BINARY_DIR}/test-tmp QUILLET_TEST_TMP_WINE)
string(REPLACE "\\" "\\\\" nquillet_define "${QUILLET_NQUILLET_WINE_PATH}")
target_compile_definitions(quillet_tests PRIVATE QUILLET_NQUILLET_PATH="${nquillet_define}")
# Tests that replay kept fuzz findings read them from the source tree.
quillet_wine_path(${QUILLET_ROOT} QUILLET_SOURCE_WINE_PATH)
string(REPLACE "\\" "\\\\" source_define "${QUILLET_SOURCE_WINE_PATH}")
target_compile_definitions(quillet_tests PRIVATE QUILLET_SOURCE_DIR="${source_define}")

# One Wine process runs the whole suite: starting one per test case would
# cost more than the tests. scripts/test-windows prepares the prefix.
set(QUILLET_WINE wine CACHE STRING "The Wine loader for 64-bit programs")
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/test-tmp)
add_test(NAME wine_quillet_tests COMMAND ${QUILLET_WINE} $<TARGET_FILE:quillet_tests> --gtest_brief=1)
set_tests_properties(wine_quillet_tests PROPERTIES ENVIRONMENT "QUILLET_TEST_TMP=${QUILLET_TEST_TMP_WINE}")

# A Notes client process: nlnotes.exe (the client's process name) with the
# stand-in nnotes.dll, the simulated host behind the Notes C API, and a copy
# of nquillet.dll beside it. The library reaches the host only through its
# own binding. The stand-in is a test program's part and never shipped.
set(QUILLET_CLIENT_DIR ${CMAKE_BINARY_DIR}/notes-client)
file(GLOB QUILLET_STANDIN_SOURCES CONFIGURE_DEPENDS ${QUILLET_ROOT}/tests/windows/standin_nnotes/*.cpp)
add_library(standin_nnotes SHARED ${QUILLET_STANDIN_SOURCES})
target_link_libraries(standin_nnotes PRIVATE quillet_simclient quillet_lsc quillet_lsrun quillet_sim)
# The C API's names undecorated, as nnotes exports them.
target_link_options(standin_nnotes PRIVATE -Wl,--kill-at)
set_target_properties(standin_nnotes PROPERTIES PREFIX "" OUTPUT_NAME nnotes
  RUNTIME_OUTPUT_DIRECTORY ${QUILLET_CLIENT_DIR})

file(GLOB QUILLET_CLIENT_TEST_SOURCES CONFIGURE_DEPENDS ${QUILLET_ROOT}/tests/windows/*.cpp)
add_executable(notes_client_tests ${QUILLET_CLIENT_TEST_SOURCES})
target_include_directories(notes_client_tests PRIVATE ${QUILLET_ROOT}/tests)
target_link_libraries(notes_client_tests PRIVATE quillet_hook quillet_timing GTest::gtest GTest::gtest_main)
set_target_properties(notes_client_tests PROPERTIES OUTPUT_NAME nlnotes RUNTIME_OUTPUT_DIRECTORY ${QUILLET_CLIENT_DIR})
add_dependencies(notes_client_tests standin_nnotes nquillet)
add_custom_command(TARGET notes_client_tests POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:nquillet> ${QUILLET_CLIENT_DIR}/nquillet.dll)
add_test(NAME wine_notes_client COMMAND ${QUILLET_WINE} $<TARGET_FILE:notes_client_tests> --gtest_brief=1)
set_tests_properties(wine_notes_client PROPERTIES ENVIRONMENT "QUILLET_TEST_TMP=${QUILLET_TEST_TMP_WINE}")
