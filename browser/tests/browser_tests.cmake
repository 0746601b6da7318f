# Tests of the browser panel: two recording doubles of the engine, a small host program, and the
# tests, all built into this folder, from which the tests copy them into program folders.
if(PT_WINDOWS)
  foreach(double wke_recorder wke_recorder_partial)
    add_library(${double} SHARED tests/wke_recorder.cpp)
    pt_target_options(${double})
    set_target_properties(${double} PROPERTIES PREFIX "")
  endforeach()
  target_compile_definitions(wke_recorder_partial PRIVATE WKE_RECORDER_PARTIAL)

  add_executable(browser_host WIN32 tests/browser_host.cpp)
  pt_target_options(browser_host)
  target_link_libraries(browser_host PRIVATE pt_browser)
  target_link_options(browser_host PRIVATE -municode)

  add_library(pt_browser_test_support STATIC tests/browser_test_support.cpp)
  pt_target_options(pt_browser_test_support)
  target_link_libraries(pt_browser_test_support PUBLIC pt_runtime pt_test_support)

  pt_test(login_browser_test SOURCES tests/login_browser_test.cpp LIBS pt_browser pt_browser_test_support
          TIMEOUT 120)
  add_dependencies(login_browser_test wke_recorder wke_recorder_partial)
  pt_test(browser_program_test SOURCES tests/browser_program_test.cpp LIBS pt_browser_test_support TIMEOUT 240)
  add_dependencies(browser_program_test wke_recorder wke_recorder_partial browser_host node_engine)
endif()
