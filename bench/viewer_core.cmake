# Trace store benchmarks: memory per line, Add rate, Clear time, the model adapter.
if(TW_BUILD_QT)
  add_executable(viewer_core_bench ${CMAKE_CURRENT_LIST_DIR}/viewer_core_bench.cpp)
  target_link_libraries(viewer_core_bench PRIVATE tw_viewer_display benchmark::benchmark
                        tw_project_options tw_project_warnings)
endif()

# End to end: sender thread -> transport -> reception -> store -> visible trace display.
if(TW_BUILD_QT)
  add_executable(viewer_e2e_bench ${CMAKE_CURRENT_LIST_DIR}/viewer_e2e_bench.cpp)
  target_link_libraries(viewer_e2e_bench PRIVATE tw_viewer_display tw_viewer_panes
                        tw_project_options tw_project_warnings)
endif()

# How soon a log load stops when asked: files with and without line ends.
if(TW_BUILD_QT)
  add_executable(log_cancel_bench ${CMAKE_CURRENT_LIST_DIR}/log_cancel_bench.cpp)
  target_link_libraries(log_cancel_bench PRIVATE tw_viewer_core benchmark::benchmark
                        tw_project_options tw_project_warnings)
endif()
