# Cross build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix): the
# folders without Qt and their tests, run under Wine (scripts/test-windows.sh).
#   cmake -S . -B build-mingw -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DKIVO_QT_FREE=ON
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(kivo_mingw x86_64-w64-mingw32)
# The posix threads flavour: the win32 one has no std::thread or std::mutex.
set(CMAKE_C_COMPILER ${kivo_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${kivo_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${kivo_mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${kivo_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The runtime (libstdc++, libgcc, winpthread) goes into each program, so a program runs under Wine
# or on Windows without the compiler's DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# ctest runs the test programs through Wine, quietly and in a Wine folder of the build's own, with
# no offer to install Mono or Gecko (nothing here needs them).
find_program(KIVO_WINE wine)
if(KIVO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      /usr/bin/env WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
      WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix ${KIVO_WINE})
endif()
