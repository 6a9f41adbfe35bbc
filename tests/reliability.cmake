# Faults, crashes, interrupts and two runs at once, on whole runs.
quiltgrid_test(reliability_test reliability_test.cpp)
target_compile_definitions(reliability_test PRIVATE
  QUILTGRID_GENERATOR="$<TARGET_FILE:make_sample_pair>"
  QUILTGRID_FAULTY_BINARY="$<TARGET_FILE:quiltgrid_faulty>"
  QUILTGRID_REAL_DATA="${PROJECT_SOURCE_DIR}/../shared/realdata")
add_dependencies(reliability_test make_sample_pair quiltgrid_faulty)
