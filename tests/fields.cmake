# fields tests: field layouts, free-form input and free-form output.
quiltgrid_test(field_layout_test field_layout_test.cpp)
quiltgrid_test(free_form_reader_test free_form_reader_test.cpp)
quiltgrid_test(free_form_writer_test free_form_writer_test.cpp)
