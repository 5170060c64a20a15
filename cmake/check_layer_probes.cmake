# Builds the two include probes: the right-way one must build and the
# wrong-way one must fail because the higher layer's header is not found.
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target quillet_right_way_include
                RESULT_VARIABLE right OUTPUT_VARIABLE right_out ERROR_VARIABLE right_out)
if(NOT right EQUAL 0)
  message(FATAL_ERROR "a lower layer's header could not be included:\n${right_out}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target quillet_wrong_way_include
                RESULT_VARIABLE wrong OUTPUT_VARIABLE wrong_out ERROR_VARIABLE wrong_out)
if(wrong EQUAL 0)
  message(FATAL_ERROR "the module model could include a header of the instrumentation layer")
endif()
if(NOT wrong_out MATCHES "instrument/module_instrument.h: No such file")
  message(FATAL_ERROR "the wrong-way probe failed for another reason:\n${wrong_out}")
endif()
