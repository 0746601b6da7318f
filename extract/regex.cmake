# The regular-expression object over the system's automation component.
pt_library(pt_regex SOURCES regex_matcher.cpp LIBS pt_runtime pt_text_slicing)

pt_test(regex_matcher_test SOURCES tests/regex_matcher_test.cpp LIBS pt_regex TIMEOUT 120)
