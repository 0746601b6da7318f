# The COM request engine over the WinHttpRequest automation object (the status line's clock).
pt_library(pt_base64 NEUTRAL SOURCES base64.cpp)
pt_test(base64_test NEUTRAL SOURCES tests/base64_test.cpp LIBS pt_base64)

pt_library(pt_com_request SOURCES com_request.cpp LIBS pt_base64 pt_request_text pt_runtime)
pt_test(com_request_test SOURCES tests/com_request_test.cpp LIBS pt_com_request TIMEOUT 240)
