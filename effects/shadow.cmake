# The drop shadow: a layered window painted with GDI+ that follows the window it surrounds.
pt_library(pt_shadow SOURCES shadow.cpp LIBS pt_runtime gdiplus gdi32 user32)
pt_test(shadow_test SOURCES tests/shadow_test.cpp LIBS pt_shadow TIMEOUT 120)
