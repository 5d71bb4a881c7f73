# Cross toolchain for the windows build: 32-bit Windows executables made on
# Linux with mingw-w64. The -posix compilers provide std::thread and
# std::mutex, which GoogleTest needs; everything is linked statically so
# that no compiler runtime DLL has to travel with the programs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(QW_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${QW_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QW_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QW_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QW_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under Wine in the build's own prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
