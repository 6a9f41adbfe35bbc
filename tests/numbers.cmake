# numbers tests: the fixed-point field editor and the decimal number reader
# against correctly rounded references, and the allocation check of the row
# paths.
quiltgrid_test(fixed_point_test fixed_point_test.cpp)
quiltgrid_test(number_reader_test number_reader_test.cpp)
# Replaces the global operator new and delete: a program of its own.
quiltgrid_test(no_allocation_test no_allocation_test.cpp)
