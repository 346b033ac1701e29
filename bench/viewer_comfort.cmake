# Export of a page of 1,000,000 lines as text and as CSV; the redraw of a value plot of
# 100,000 points (where Qt Charts is built).
if(TW_BUILD_QT)
  add_executable(viewer_comfort_bench ${CMAKE_CURRENT_LIST_DIR}/viewer_comfort_bench.cpp)
  target_link_libraries(viewer_comfort_bench PRIVATE tw_viewer_window benchmark::benchmark
                        tw_project_options tw_project_warnings)
endif()
