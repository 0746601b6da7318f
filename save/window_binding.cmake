# Included by the application's folder: the download button and the status label of the main
# window, built into the application library.
if(PT_WINDOWS)
  target_sources(pt_app PRIVATE ${CMAKE_CURRENT_LIST_DIR}/save_window.cpp)
  target_link_libraries(pt_app PUBLIC pt_saver)
endif()
