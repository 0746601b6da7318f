# Header and cookie text shared by the request engines.
pt_library(pt_header_text NEUTRAL SOURCES header_text.cpp LIBS pt_text_slicing)

pt_test(header_text_test NEUTRAL SOURCES tests/header_text_test.cpp LIBS pt_header_text)
