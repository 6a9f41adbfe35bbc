# end_to_end tests: whole runs of the tool over the case folders of
# fixtures/e2e; the larger cases have their inputs written by the sample
# pair generator at test time.
quiltgrid_test(end_to_end_test end_to_end_test.cpp)
target_compile_definitions(end_to_end_test PRIVATE
  QUILTGRID_GENERATOR="$<TARGET_FILE:make_sample_pair>")
add_dependencies(end_to_end_test make_sample_pair)
