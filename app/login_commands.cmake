# The login buttons' handlers and the browser panel, part of the application library; node.dll is
# built beside the program.
if(PT_WINDOWS)
  target_sources(pt_app PRIVATE ${CMAKE_CURRENT_LIST_DIR}/login_commands.cpp)
  target_link_libraries(pt_app PUBLIC pt_browser)
  # Everything built on the application library (the program and its tests) has node.dll beside it.
  add_dependencies(pt_app node_engine)

  pt_test(login_commands_test SOURCES tests/login_commands_test.cpp LIBS pt_app pt_browser_test_support
          TIMEOUT 240)
  add_dependencies(login_commands_test PictureTool node_engine wke_recorder)
endif()
