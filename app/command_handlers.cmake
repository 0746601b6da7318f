# The clear, help and hot-key handlers, part of the application library.
if(PT_WINDOWS)
  target_sources(pt_app PRIVATE ${CMAKE_CURRENT_LIST_DIR}/command_handlers.cpp)
  target_link_libraries(pt_app PUBLIC pt_ease_animator)

  pt_test(command_handlers_test SOURCES tests/command_handlers_test.cpp LIBS pt_app TIMEOUT 180)
  # Page Up and Page Down are system-wide hot keys: two test programs that each make the main
  # window cannot both own them, so such tests take turns.
  foreach(t command_handlers_test main_window_test main_window_test_english_locale)
    if(TEST ${t})
      set_tests_properties(${t} PROPERTIES RESOURCE_LOCK page_hot_keys)
    endif()
  endforeach()
endif()
