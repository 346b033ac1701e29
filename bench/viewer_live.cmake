# Quick filter figures: applying a pattern to 1,000,000 lines, and the store's rate while a
# filter is active.
if(TW_BUILD_QT)
  add_executable(viewer_live_bench ${CMAKE_CURRENT_LIST_DIR}/viewer_live_bench.cpp)
  target_link_libraries(viewer_live_bench PRIVATE tw_viewer_display benchmark::benchmark
                        tw_project_options tw_project_warnings)
endif()
