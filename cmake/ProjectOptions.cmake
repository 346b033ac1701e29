# Shared compile options: warnings, the version macro, sanitizers and ccache.

add_library(tw_project_options INTERFACE)
target_compile_features(tw_project_options INTERFACE cxx_std_20)
target_compile_definitions(tw_project_options INTERFACE
  TW_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
  TW_VERSION_MINOR=${PROJECT_VERSION_MINOR}
  TW_VERSION_PATCH=${PROJECT_VERSION_PATCH}
  TW_VERSION_STRING="${PROJECT_VERSION}")

add_library(tw_project_warnings INTERFACE)
if(MSVC)
  target_compile_options(tw_project_warnings INTERFACE /W4 /permissive-)
else()
  target_compile_options(tw_project_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align -Wunused
    -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough)
endif()

if(TW_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(TW_FUZZ)
  # Coverage for libFuzzer in every library the fuzz targets link, with the same sanitizers.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  set(CMAKE_C_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
endif()

# tw_add_test(name [QT] SOURCES ... LIBS ...): one GoogleTest executable, registered with CTest.
# With QT its main() makes the program's one QApplication first (tests/support).
function(tw_add_test name)
  cmake_parse_arguments(ARG "QT" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  if(ARG_QT)
    set(main tw_test_qt_main)
  else()
    set(main GTest::gtest_main)
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} ${main} GTest::gtest GTest::gmock
                        tw_project_options tw_project_warnings)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
                                  ENVIRONMENT_MODIFICATION "TW_BIN_DIR=set:${CMAKE_BINARY_DIR}/bin")
endfunction()
