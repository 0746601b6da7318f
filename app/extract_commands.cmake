# The platform buttons' handlers, part of the application library.
if(PT_WINDOWS)
  target_sources(pt_app PRIVATE ${CMAKE_CURRENT_LIST_DIR}/extract_commands.cpp)
  target_link_libraries(pt_app PUBLIC pt_extractors pt_winhttp)

  pt_test(extract_commands_test SOURCES tests/extract_commands_test.cpp LIBS pt_app TIMEOUT 240)
  # The test makes the main window, which takes the system-wide Page Up and Page Down keys.
  if(TEST extract_commands_test)
    set_tests_properties(extract_commands_test PROPERTIES RESOURCE_LOCK page_hot_keys)
  endif()
endif()
