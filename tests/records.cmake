# records tests
