# Cross toolchain: 32-bit Windows with MinGW-w64's posix thread model (std::thread, std::mutex).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# 32-bit Wine, natively installed or through the emulator: scripts/wine32 runs whichever this
# machine has (the /usr/bin/wine wrapper is not the loader itself).
get_filename_component(PT_WINE32 ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine32 ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PT_WINE32})
