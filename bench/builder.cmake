# Stepwright: reading a report definition, building the object list, scanning formula text.
if(TW_BUILD_QT AND TARGET tw_builder_core)
  add_executable(tw_builder_bench ${CMAKE_CURRENT_LIST_DIR}/builder_bench.cpp)
  target_link_libraries(tw_builder_bench PRIVATE tw_builder_core benchmark::benchmark
                        tw_project_options tw_project_warnings)
endif()
