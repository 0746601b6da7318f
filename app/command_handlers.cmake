# The clear, help and hot-key handlers, part of the application library.
if(PT_WINDOWS)
  target_sources(pt_app PRIVATE ${CMAKE_CURRENT_LIST_DIR}/command_handlers.cpp)
  target_link_libraries(pt_app PUBLIC pt_ease_animator)

  pt_test(command_handlers_test SOURCES tests/command_handlers_test.cpp LIBS pt_app TIMEOUT 180)
endif()
