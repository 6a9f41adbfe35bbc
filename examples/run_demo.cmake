# Runs quiltgrid in a fresh copy of the sample working folder and shows
# its console output, which ends the demo. Called with TOOL, SAMPLE and
# FOLDER set.
file(REMOVE_RECURSE "${FOLDER}")
file(COPY "${SAMPLE}/" DESTINATION "${FOLDER}")
message(STATUS "Working folder: ${FOLDER}")
message(STATUS "The merged grid file will be ${FOLDER}/tempr/merged_regl_tmp.r2c,")
message(STATUS "copied over ${FOLDER}/tempr/20250101_regl_tmp.r2c;")
message(STATUS "the run report is ${FOLDER}/runReport.txt. The run:")
execute_process(COMMAND "${TOOL}" WORKING_DIRECTORY "${FOLDER}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "quiltgrid ended with exit status ${status}")
endif()
