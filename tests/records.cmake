# records tests

# A program that carries out a script of record requests, so that the tests
# can watch a failing request end a process.
add_executable(textio_probe textio_probe.cpp)
target_link_libraries(textio_probe PRIVATE quiltgrid_textio quiltgrid_warnings)

quiltgrid_test(records_test records_test.cpp)

quiltgrid_test(records_process_test records_process_test.cpp)
target_compile_definitions(records_process_test PRIVATE
  TEXTIO_PROBE="$<TARGET_FILE:textio_probe>")
add_dependencies(records_process_test textio_probe)
