# Faults, crashes, interrupts and two runs at once, on whole runs.
quiltgrid_test(reliability_test reliability_test.cpp)
target_compile_definitions(reliability_test PRIVATE
  QUILTGRID_GENERATOR="$<TARGET_FILE:make_sample_pair>"
  QUILTGRID_FAULTY_BINARY="$<TARGET_FILE:quiltgrid_faulty>"
  QUILTGRID_REAL_DATA="${PROJECT_SOURCE_DIR}/../shared/realdata")
add_dependencies(reliability_test make_sample_pair quiltgrid_faulty)

# valgrind cannot run a program built with the sanitizers.
find_program(VALGRIND valgrind)
if(VALGRIND AND NOT CMAKE_CXX_FLAGS MATCHES "sanitize")
  add_test(NAME memcheck_whole_run
           COMMAND ${CMAKE_COMMAND} -DVALGRIND=${VALGRIND} -DTOOL=$<TARGET_FILE:quiltgrid>
                   -DSAMPLE=${PROJECT_SOURCE_DIR}/examples/sample
                   -DFOLDER=${CMAKE_CURRENT_BINARY_DIR}/memcheck
                   -P ${CMAKE_CURRENT_SOURCE_DIR}/memcheck_run.cmake)
endif()
