# numbers tests
