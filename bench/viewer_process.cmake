# Process to process: a sender process against the tracewell32 program, twlisten and a bare
# ping-pong between processes, alternated in one run (plain C++: the viewer is a child process).
if(TW_BUILD_QT)
  add_executable(viewer_process_bench ${CMAKE_CURRENT_LIST_DIR}/viewer_process_bench.cpp)
  target_link_libraries(viewer_process_bench PRIVATE tw_messaging tw_project_options tw_project_warnings)
  add_dependencies(viewer_process_bench tracewell32 twlisten)
endif()

# Opening a big log file in the main window, beside glogg's indexing when glogg is installed.
if(TW_BUILD_QT)
  add_executable(viewer_load_bench ${CMAKE_CURRENT_LIST_DIR}/viewer_load_bench.cpp)
  target_link_libraries(viewer_load_bench PRIVATE tw_viewer_window tw_project_options tw_project_warnings)
endif()
