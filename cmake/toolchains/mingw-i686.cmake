# Cross build for i686 Windows with Debian's mingw-w64 (posix thread model, so that
# std::thread and std::mutex exist). Everything is linked statically so the binaries need
# only system DLLs. Test programs run under Wine through CMAKE_CROSSCOMPILING_EMULATOR.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TW_MINGW_TRIPLE i686-w64-mingw32)

set(CMAKE_C_COMPILER ${TW_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TW_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TW_MINGW_TRIPLE}-windres)
set(CMAKE_STRIP /usr/bin/${TW_MINGW_TRIPLE}-strip CACHE FILEPATH "strip for the target")
find_program(TW_WIDL_EXECUTABLE NAMES ${TW_MINGW_TRIPLE}-widl widl)

set(CMAKE_FIND_ROOT_PATH /usr/${TW_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs built with Qt share the compiler's run-time DLLs that Qt itself uses (copied beside
# them): a second, static copy of the C++ run time in the program could not unwind through Qt's
# frames. The formula library always carries its own.
if(NOT TW_HAVE_WINDOWS_QT)
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
endif()
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

find_program(TW_WINE_EXECUTABLE NAMES wine)
if(TW_WINE_EXECUTABLE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TW_WINE_EXECUTABLE})
endif()
