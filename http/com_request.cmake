# The COM request engine over the WinHttpRequest automation object (the status line's clock).
pt_library(pt_base64 NEUTRAL SOURCES base64.cpp)
pt_test(base64_test NEUTRAL SOURCES tests/base64_test.cpp LIBS pt_base64)
