# Cross-compiles a 64-bit Windows build on Linux with mingw-w64 (Debian package
# g++-mingw-w64-x86-64). The program is linked statically, so that it runs on a bare
# Windows machine without the compiler's runtime libraries.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZOVU_MINGW_TRIPLET x86_64-w64-mingw32)
# The "-posix" compilers have the standard library's std::mutex, which GoogleTest needs;
# their thread library is linked in statically like the rest.
find_program(CMAKE_CXX_COMPILER NAMES ${ZOVU_MINGW_TRIPLET}-g++-posix ${ZOVU_MINGW_TRIPLET}-g++
             REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${ZOVU_MINGW_TRIPLET}-gcc-posix ${ZOVU_MINGW_TRIPLET}-gcc
             REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${ZOVU_MINGW_TRIPLET}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${ZOVU_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Windows programs built here run under Wine: tests, and test discovery at build time.
find_program(ZOVU_WINE NAMES wine wine64)
