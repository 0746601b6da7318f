# The WinInet request engine (picture downloads) and the URL splitting it uses.
pt_library(pt_url_parts NEUTRAL SOURCES url_parts.cpp LIBS pt_text_slicing)
pt_test(url_parts_test NEUTRAL SOURCES tests/url_parts_test.cpp LIBS pt_url_parts)
