# Cross-compiles Koravel for 64-bit Windows with Debian's MinGW-w64 compiler
# (package g++-mingw-w64-x86-64-posix):
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# The compiler is named with its thread model, so the build does not depend on
# which variant the system's x86_64-w64-mingw32-g++ alternative points to.
# koravel.exe is linked statically: it needs nothing but the system DLLs. zlib
# comes from Debian's libz-mingw-w64-dev, as its static libz.a.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KORAVEL_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KORAVEL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORAVEL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KORAVEL_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KORAVEL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(ZLIB_USE_STATIC_LIBS ON)
