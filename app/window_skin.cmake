# The main window's skin and drop shadow, applied by the created handler.
if(PT_WINDOWS)
  target_link_libraries(pt_app PUBLIC pt_skin)
  pt_test(window_skin_test SOURCES tests/window_skin_test.cpp LIBS pt_app pt_skin_format TIMEOUT 120)
  if(TEST window_skin_test)
    # It builds the main window, which takes the system-wide page hot keys.
    set_tests_properties(window_skin_test PROPERTIES RESOURCE_LOCK page_hot_keys)
  endif()
endif()
