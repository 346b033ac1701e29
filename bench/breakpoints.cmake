# Breakpoints: what testing every received message costs with none set and with ten.
add_executable(breakpoints_bench ${CMAKE_CURRENT_LIST_DIR}/breakpoints_bench.cpp)
target_link_libraries(breakpoints_bench PRIVATE tw_breakpoints tw_messaging benchmark::benchmark
                      tw_project_options tw_project_warnings)
