# Envelope building and reading, and one synchronous send against a bare socket ping-pong.
if(NOT WIN32)
  add_executable(tw_messaging_bench ${CMAKE_CURRENT_LIST_DIR}/messaging_bench.cpp)
  target_link_libraries(tw_messaging_bench PRIVATE tw_messaging benchmark::benchmark
                        tw_project_options tw_project_warnings)
endif()
