# The layers of the core and of the simulated host as CMake targets, declared
# once for the Linux build (CMakeLists.txt) and the Windows build
# (win/CMakeLists.txt). QUILLET_ROOT is the source tree.
#
# One static library per layer, each linked only to the layers below it:
#
#   platform, util          the operating system seam, byte helpers
#   config                  the Notes API seam, settings, host text, messages
#   bytecode                instruction set, decoder, control-structure marking
#   lsobject                the module model
#   timing                  profiling data and reports
#   design (+ formula)      item values, rich-text records, compiled formulas
#   instrument              the module rewrite
#   hook                    process roles, application objects, timer entries
#   nquillet                the exported entry points
#
# The simulated host (sim, lsc, lsrun) sits beside hook: the tool, the tests
# and the benchmarks link it, the hook driver never does.
#
# Each layer sees only its own folder and those of the layers it links:
# quillet_layer gives it an include root holding one link to its folder, so a
# header of a higher layer is not found and a wrong-way include fails to build.
# A layer's `*_messages.cpp` is linked as object files into every program or
# library that links the layer, so its message table always registers itself.
set(QUILLET_LAYER_INCLUDE ${CMAKE_BINARY_DIR}/layer-include)
function(quillet_layer target folder)
  cmake_parse_arguments(LAYER "" "" "LINKS;ALSO" ${ARGN})
  set(root ${QUILLET_LAYER_INCLUDE}/${folder})
  file(MAKE_DIRECTORY ${root})
  set(sources)
  foreach(each ${folder} ${LAYER_ALSO})
    file(CREATE_LINK ${QUILLET_ROOT}/src/${each} ${root}/${each} SYMBOLIC)
    file(GLOB each_sources CONFIGURE_DEPENDS ${QUILLET_ROOT}/src/${each}/*.cpp)
    list(APPEND sources ${each_sources})
  endforeach()
  set(messages ${sources})
  list(FILTER messages INCLUDE REGEX "_messages\\.cpp$")
  list(FILTER sources EXCLUDE REGEX "_messages\\.cpp$")
  if(sources)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${root})
    target_link_libraries(${target} PUBLIC ${LAYER_LINKS})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${root})
    target_link_libraries(${target} INTERFACE ${LAYER_LINKS})
  endif()
  if(messages)
    add_library(${target}_messages OBJECT ${messages})
    target_include_directories(${target}_messages PRIVATE ${root})
    target_link_libraries(${target}_messages PRIVATE ${LAYER_LINKS})
    if(sources)
      target_link_libraries(${target} PUBLIC $<TARGET_OBJECTS:${target}_messages>)
    else()
      target_link_libraries(${target} INTERFACE $<TARGET_OBJECTS:${target}_messages>)
    endif()
  endif()
endfunction()

# The core, from util up to hook. `platform_folder` (linux or win32) is the
# platform layer's implementation; the other one is never built.
function(quillet_core_layers platform_folder)
  find_package(Threads REQUIRED)
  quillet_layer(quillet_util util)
  quillet_layer(quillet_platform platform LINKS quillet_util Threads::Threads ${CMAKE_DL_LIBS})
  file(GLOB platform_sources CONFIGURE_DEPENDS ${QUILLET_ROOT}/src/platform/${platform_folder}/*.cpp)
  target_sources(quillet_platform PRIVATE ${platform_sources})
  quillet_layer(quillet_config config LINKS quillet_platform quillet_util)
  # The Notes C API binding builds on Linux too, so that its tests run against
  # a stand-in module; only the Windows DLL installs it.
  file(GLOB nnotes_sources CONFIGURE_DEPENDS ${QUILLET_ROOT}/src/config/nnotes/*.cpp)
  target_sources(quillet_config PRIVATE ${nnotes_sources})
  quillet_layer(quillet_bytecode bytecode LINKS quillet_util)
  quillet_layer(quillet_lsobject lsobject LINKS quillet_bytecode quillet_config)
  quillet_layer(quillet_timing timing LINKS quillet_config)
  # Rich-text records re-encode the formulas inside them, and formulas are
  # rewritten through the records' buffer and callback: one layer of two folders.
  quillet_layer(quillet_design design ALSO formula LINKS quillet_config)
  quillet_layer(quillet_instrument instrument LINKS quillet_lsobject quillet_timing quillet_design)
  quillet_layer(quillet_hook hook LINKS quillet_instrument quillet_design quillet_timing)

  # A lower layer that includes a higher layer's header must not build: these
  # probes (never built by default) try both directions; a test builds them.
  foreach(direction right wrong)
    add_library(quillet_${direction}_way_include OBJECT EXCLUDE_FROM_ALL
      ${QUILLET_ROOT}/cmake/${direction}_way_include.cpp)
    target_link_libraries(quillet_${direction}_way_include PRIVATE quillet_lsobject)
  endforeach()
endfunction()

# The simulated host and the simulated LotusScript compiler and runner, the
# agent manager and the client; quillet_simulated links them all.
function(quillet_simulated_layers)
  quillet_layer(quillet_sim sim LINKS quillet_lsobject)
  file(GLOB lsc_sources CONFIGURE_DEPENDS ${QUILLET_ROOT}/src/sim/lsc/*.cpp)
  add_library(quillet_lsc STATIC ${lsc_sources})
  target_link_libraries(quillet_lsc PUBLIC quillet_sim quillet_bytecode)
  file(GLOB lsrun_sources CONFIGURE_DEPENDS ${QUILLET_ROOT}/src/sim/lsrun/*.cpp)
  add_library(quillet_lsrun STATIC ${lsrun_sources})
  target_link_libraries(quillet_lsrun PUBLIC quillet_sim quillet_bytecode quillet_design)
  # The simulated agent manager opens agents through the hook driver and runs them.
  file(GLOB amgr_sources CONFIGURE_DEPENDS ${QUILLET_ROOT}/src/sim/amgr/*.cpp)
  add_library(quillet_amgr STATIC ${amgr_sources})
  target_link_libraries(quillet_amgr PUBLIC quillet_lsc quillet_lsrun quillet_hook)
  # The simulated Notes client drives the hook driver as the host does.
  file(GLOB simclient_sources CONFIGURE_DEPENDS ${QUILLET_ROOT}/src/sim/client/*.cpp)
  add_library(quillet_simclient STATIC ${simclient_sources})
  target_link_libraries(quillet_simclient PUBLIC quillet_lsrun quillet_hook)
  add_library(quillet_simulated INTERFACE)
  target_link_libraries(quillet_simulated INTERFACE quillet_amgr quillet_simclient quillet_lsc quillet_lsrun
    quillet_sim quillet_hook)
endfunction()

# The hook driver's own folder, src/exports, seen by `target` alone.
function(quillet_exports_include target)
  file(MAKE_DIRECTORY ${QUILLET_LAYER_INCLUDE}/exports)
  file(CREATE_LINK ${QUILLET_ROOT}/src/exports ${QUILLET_LAYER_INCLUDE}/exports/exports SYMBOLIC)
  target_include_directories(${target} PRIVATE ${QUILLET_LAYER_INCLUDE}/exports)
endfunction()
