# The page engine the extractors fetch with.
pt_library(pt_winhttp SOURCES winhttp_request.cpp
  LIBS pt_header_text pt_regex pt_text_slicing pt_runtime winhttp ole32 oleaut32 uuid)

pt_test(winhttp_request_test SOURCES tests/winhttp_request_test.cpp LIBS pt_winhttp TIMEOUT 240)
