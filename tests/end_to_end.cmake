# end_to_end tests
