# Windows builds with Qt: everything the programs need at run time is copied beside them into
# bin/, so that folder runs as it is on a Windows without Qt or a compiler:
#   Qt6Core, Qt6Gui, Qt6Widgets, Qt6PrintSupport     the Qt libraries
#   Qt6Charts                                         where the viewer has value plots
#   platforms/qwindows.dll                            the Windows platform plugin
#   styles/qwindowsvistastyle.dll                     the native look
#   libgcc_s_*.dll libstdc++-6.dll libwinpthread-1.dll  the compiler's run time (the Qt DLLs import it)
# and, with NSIS, the target `installer` makes Tracewell-<version>-setup.exe.

set(tw_bin ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})

set(tw_runtime_commands)
set(tw_runtime_outputs)
macro(tw_runtime_copy source destination_dir)
  get_filename_component(_name "${source}" NAME)
  list(APPEND tw_runtime_commands
    COMMAND ${CMAKE_COMMAND} -E make_directory "${destination_dir}"
    COMMAND ${CMAKE_COMMAND} -E copy_if_different "${source}" "${destination_dir}/${_name}")
endmacro()

set(tw_qt_modules Core Gui Widgets PrintSupport)
if(TARGET Qt6::Charts)
  list(APPEND tw_qt_modules Charts)
endif()
foreach(module ${tw_qt_modules})
  list(APPEND tw_runtime_commands
    COMMAND ${CMAKE_COMMAND} -E copy_if_different "$<TARGET_FILE:Qt6::${module}>" "${tw_bin}")
endforeach()
list(APPEND tw_runtime_commands
  COMMAND ${CMAKE_COMMAND} -E make_directory "${tw_bin}/platforms" "${tw_bin}/styles"
  COMMAND ${CMAKE_COMMAND} -E copy_if_different "$<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>" "${tw_bin}/platforms"
  COMMAND ${CMAKE_COMMAND} -E copy_if_different "$<TARGET_FILE:Qt6::QWindowsVistaStylePlugin>" "${tw_bin}/styles")

# The compiler's run-time DLLs, where the compiler itself says they are.
foreach(dll libgcc_s_dw2-1.dll libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE _path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${_path}" OR NOT EXISTS "${_path}")
    # libwinpthread lives with the target's libraries, not the compiler's.
    find_file(_path_${dll} ${dll} PATHS ${CMAKE_FIND_ROOT_PATH} PATH_SUFFIXES lib bin NO_DEFAULT_PATH)
    set(_path "${_path_${dll}}")
  endif()
  if(_path AND EXISTS "${_path}")
    tw_runtime_copy("${_path}" "${tw_bin}")
    list(APPEND TW_WINDOWS_RUNTIME_DLLS "${_path}")
  endif()
endforeach()
if(NOT TW_WINDOWS_RUNTIME_DLLS)
  message(WARNING "The compiler's run-time DLLs were not found: bin/ will not run on its own")
endif()

add_custom_target(tw_windows_runtime ALL ${tw_runtime_commands}
  COMMENT "Copying the Qt and compiler run-time DLLs into bin/" VERBATIM)
foreach(program tracewell32 Stepwright9 Stepwright85)
  if(TARGET ${program})
    add_dependencies(${program} tw_windows_runtime)
  endif()
endforeach()

# The installer (NSIS). The 64-bit Tracetap.dll comes from a 64-bit build of the same source:
# give its path as TW_TRACETAP64_DLL (scripts/stage-windows.sh does).
find_program(TW_MAKENSIS makensis)
set(TW_TRACETAP64_DLL "" CACHE FILEPATH "The 64-bit Tracetap.dll the installer carries beside the 32-bit one")
if(TW_MAKENSIS AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  # The installer carries the programs without their debug information and local symbols (half the size
  # or less): copies stripped into stage/; bin/ keeps the full ones for crash analysis.
  set(tw_stage ${CMAKE_BINARY_DIR}/stage)
  set(tw_stage_files tracewell32.exe Stepwright9.exe Stepwright85.exe Tracetap.dll TracetapCheck.exe twprofile.exe twdiff.exe
      Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll Qt6PrintSupport.dll
      libgcc_s_dw2-1.dll libstdc++-6.dll libwinpthread-1.dll
      platforms/qwindows.dll styles/qwindowsvistastyle.dll)
  if(TARGET Qt6::Charts)
    list(APPEND tw_stage_files Qt6Charts.dll)
  endif()
  set(tw_stage_commands
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${tw_stage}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${tw_stage}/platforms ${tw_stage}/styles ${tw_stage}/x64)
  foreach(file ${tw_stage_files})
    list(APPEND tw_stage_commands
      COMMAND ${CMAKE_COMMAND} -E copy ${tw_bin}/${file} ${tw_stage}/${file}
      COMMAND ${CMAKE_STRIP} --strip-unneeded ${tw_stage}/${file})
  endforeach()
  list(APPEND tw_stage_commands
    COMMAND ${CMAKE_COMMAND} -DSOURCE=${tw_bin}/tracewell3.chm -DDESTINATION=${tw_stage}
            -P ${PROJECT_SOURCE_DIR}/cmake/CopyIfExists.cmake)
  set(tw_setup ${CMAKE_BINARY_DIR}/Tracewell-${PROJECT_VERSION}-setup.exe)
  set(tw_nsis_defines
    -DVERSION=${PROJECT_VERSION}
    -DVERSION_MAJOR=${PROJECT_VERSION_MAJOR} -DVERSION_MINOR=${PROJECT_VERSION_MINOR}
    -DVERSION_PATCH=${PROJECT_VERSION_PATCH}
    -DBINDIR=${tw_stage} -DOUTFILE=${tw_setup} -DLICENSE=${PROJECT_SOURCE_DIR}/LICENSE)
  if(TW_TRACETAP64_DLL)
    # The 64-bit library needs the 64-bit tool chain's strip.
    find_program(TW_STRIP64 NAMES x86_64-w64-mingw32-strip REQUIRED)
    list(APPEND tw_stage_commands
      COMMAND ${CMAKE_COMMAND} -E copy ${TW_TRACETAP64_DLL} ${tw_stage}/x64/Tracetap.dll
      COMMAND ${TW_STRIP64} --strip-unneeded ${tw_stage}/x64/Tracetap.dll)
    list(APPEND tw_nsis_defines -DTRACETAP64=${tw_stage}/x64/Tracetap.dll)
  endif()
  add_custom_command(
    OUTPUT ${tw_setup}
    ${tw_stage_commands}
    COMMAND ${TW_MAKENSIS} -V2 -NOCD ${tw_nsis_defines} ${PROJECT_SOURCE_DIR}/installer/tracewell.nsi
    DEPENDS ${PROJECT_SOURCE_DIR}/installer/tracewell.nsi ${PROJECT_SOURCE_DIR}/LICENSE
            tracewell32 Stepwright9 Stepwright85 Tracetap TracetapCheck twprofile twdiff tw_windows_runtime ${TW_TRACETAP64_DLL}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}/installer
    COMMENT "Making the installer Tracewell-${PROJECT_VERSION}-setup.exe"
    VERBATIM)
  add_custom_target(installer DEPENDS ${tw_setup})
endif()
