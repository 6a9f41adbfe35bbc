# The end-to-end benchmark: the whole quiltgrid process on a generated pair
# against the byte-moving floor of the same job, and its peak memory.
#
#   cmake --workflow --preset bench
#
# or, with other settings (see end_to_end_bench --help):
#
#   cmake -B build/release -DQUILTGRID_BENCH_ARGS="--scale 4"
#   cmake --build build/release --target bench_end_to_end
add_executable(end_to_end_bench ${CMAKE_CURRENT_LIST_DIR}/end_to_end_bench.cpp)
target_link_libraries(end_to_end_bench PRIVATE quiltgrid_warnings)
# The binaries it times and runs, as this build makes them; --tool and
# --generator override them.
target_compile_definitions(end_to_end_bench PRIVATE
  QUILTGRID_TOOL="$<TARGET_FILE:quiltgrid>"
  QUILTGRID_GENERATOR="$<TARGET_FILE:make_sample_pair>")

set(QUILTGRID_BENCH_ARGS "" CACHE STRING
    "Arguments for end_to_end_bench when run by the bench_end_to_end target")
separate_arguments(quiltgrid_bench_args UNIX_COMMAND "${QUILTGRID_BENCH_ARGS}")

add_custom_target(bench_end_to_end
  COMMAND end_to_end_bench ${quiltgrid_bench_args}
  DEPENDS end_to_end_bench quiltgrid make_sample_pair
  USES_TERMINAL
  VERBATIM
  COMMENT "Timing quiltgrid against the byte-moving floor on a generated pair")
