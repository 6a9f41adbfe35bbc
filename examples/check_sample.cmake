# The checked-in sample is what the generator makes with its defaults.
# Called with GENERATOR, SAMPLE and FOLDER set.
file(REMOVE_RECURSE "${FOLDER}")
execute_process(COMMAND "${GENERATOR}" "${FOLDER}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the generator ended with ${status}")
endif()
foreach(name 20250101_regl_tmp.r2c 20250101_RDPS_tmp.r2c)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files
                          "${FOLDER}/tempr/${name}" "${SAMPLE}/tempr/${name}"
                  RESULT_VARIABLE different)
  if(different)
    message(FATAL_ERROR "examples/sample/tempr/${name} is not what the generator makes")
  endif()
endforeach()
