# One whole run of the sample pair under valgrind's memcheck, which must
# report no error. Called with VALGRIND, TOOL, SAMPLE and FOLDER set.
file(REMOVE_RECURSE "${FOLDER}")
file(COPY "${SAMPLE}/" DESTINATION "${FOLDER}")
execute_process(
  COMMAND "${VALGRIND}" --tool=memcheck --error-exitcode=99 --leak-check=full
          --errors-for-leak-kinds=definite "${TOOL}"
  WORKING_DIRECTORY "${FOLDER}" RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE report)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "memcheck run ended with ${status}:\n${report}")
endif()
