# Navigation, find and filter benchmarks on a default page of 1,000,000 lines.
if(TW_BUILD_QT)
  add_executable(viewer_display_bench ${CMAKE_CURRENT_LIST_DIR}/viewer_display_bench.cpp)
  target_link_libraries(viewer_display_bench PRIVATE tw_viewer_display benchmark::benchmark
                        tw_project_options tw_project_warnings)
endif()
