# fields tests
