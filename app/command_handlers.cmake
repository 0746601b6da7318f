# The clear, help and hot-key handlers, part of the application library.
if(PT_WINDOWS)
  target_sources(pt_app PRIVATE ${CMAKE_CURRENT_LIST_DIR}/command_handlers.cpp)
  target_link_libraries(pt_app PUBLIC pt_ease_animator)

  pt_test(command_handlers_test SOURCES tests/command_handlers_test.cpp LIBS pt_app TIMEOUT 180)
  add_dependencies(command_handlers_test PictureTool)

  # Page Up and Page Down are system-wide hot keys: of two test programs that each make the main
  # window (in-process or by starting the program), only one can own them, so such tests take
  # turns. Applied once the whole folder is read, whichever piece defines the test.
  function(pt_lock_page_hot_key_tests)
    foreach(t command_handlers_test main_window_test main_window_test_english_locale
              extract_commands_test login_commands_test)
      if(TEST ${t})
        set_tests_properties(${t} PROPERTIES RESOURCE_LOCK page_hot_keys)
      endif()
    endforeach()
  endfunction()
  cmake_language(DEFER CALL pt_lock_page_hot_key_tests)
endif()
