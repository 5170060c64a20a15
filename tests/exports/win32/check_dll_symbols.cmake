# The DLL carries none of the simulated host, the simulated LotusScript
# compiler and runner, or the test kit: nm over the built DLL finds the
# library's own code and none of their names.
#   -DDLL=<nquillet.dll> -DNM=<the target's nm>
get_filename_component(listing ${DLL}.symbols ABSOLUTE)
execute_process(COMMAND ${NM} -C ${DLL} RESULT_VARIABLE status OUTPUT_FILE ${listing} ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} could not read ${DLL}: ${errors}")
endif()
# Read line by line: one regular expression over the whole listing is slow.
file(STRINGS ${listing} own REGEX "quillet::CQuilletApp" LIMIT_COUNT 1)
file(STRINGS ${listing} found LIMIT_COUNT 1
     REGEX "quillet::(sim|lsc|lsrun|kit)::|quillet::CompileLotusScript|quillet::RunModule|quillet::testing::")
file(REMOVE ${listing})
if(NOT own)
  message(FATAL_ERROR "${DLL} shows none of the library's own code")
endif()
if(found)
  message(FATAL_ERROR "${DLL} holds a name of the simulated host or the test kit: ${found}")
endif()
