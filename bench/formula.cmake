# What the formula functions cost a call beyond sending: the envelope, and the capture file.
if(NOT WIN32)
  add_executable(tw_formula_bench ${CMAKE_CURRENT_LIST_DIR}/formula_bench.cpp)
  target_link_libraries(tw_formula_bench PRIVATE tw_formula_core benchmark::benchmark
                        tw_project_options tw_project_warnings)
endif()
