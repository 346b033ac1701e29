# twprofile on a 1,000,000-line capture file beside wc -l on the same file.
if(NOT WIN32)
  add_executable(twprofile_bench ${CMAKE_CURRENT_LIST_DIR}/twprofile_bench.cpp)
  target_link_libraries(twprofile_bench PRIVATE tw_messaging benchmark::benchmark tw_project_options tw_project_warnings)
  add_dependencies(twprofile_bench twprofile)
endif()
