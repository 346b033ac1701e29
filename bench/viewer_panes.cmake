# Log file and inspection pane benchmarks: load and save rates, store rate with watches and autos.
if(TW_BUILD_QT)
  add_executable(viewer_panes_bench ${CMAKE_CURRENT_LIST_DIR}/viewer_panes_bench.cpp)
  target_link_libraries(viewer_panes_bench PRIVATE tw_viewer_panes tw_viewer_core benchmark::benchmark
                        tw_project_options tw_project_warnings)
endif()
