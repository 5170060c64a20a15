# The DLL carries none of the simulated host, the simulated LotusScript
# compiler and runner, or the test kit: nm over the built DLL finds the
# library's own code and none of their names.
#   -DDLL=<nquillet.dll> -DNM=<the target's nm>
execute_process(COMMAND ${NM} -C ${DLL} RESULT_VARIABLE status OUTPUT_VARIABLE symbols ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} could not read ${DLL}: ${errors}")
endif()
if(NOT symbols MATCHES "quillet::CQuilletApp")
  message(FATAL_ERROR "${DLL} shows none of the library's own code")
endif()
string(REGEX MATCH "[^\n]*(quillet::(sim|lsc|lsrun|kit)::|quillet::CompileLotusScript|quillet::RunModule|quillet::testing::)[^\n]*"
       found "${symbols}")
if(found)
  message(FATAL_ERROR "${DLL} holds a name of the simulated host or the test kit: ${found}")
endif()
