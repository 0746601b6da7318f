# Skin loading: the embedded engine mapped from memory and the skin blocks handed to it.
pt_library(pt_skin SOURCES skin.cpp LIBS pt_in_memory_module pt_shadow pt_skin_data)

pt_test(skin_test SOURCES tests/skin_test.cpp LIBS pt_skin pt_skin_format comctl32 TIMEOUT 120)
