# The WinInet request engine (picture downloads) and the request text it shares with the COM engine.
pt_library(pt_request_text NEUTRAL SOURCES url_parts.cpp request_text.cpp LIBS pt_header_text)
pt_test(request_text_test NEUTRAL SOURCES tests/url_parts_test.cpp tests/request_text_test.cpp
        LIBS pt_request_text)

pt_library(pt_wininet_request SOURCES wininet_request.cpp LIBS pt_request_text wininet)
pt_test(wininet_request_test SOURCES tests/wininet_request_test.cpp LIBS pt_wininet_request TIMEOUT 240)
