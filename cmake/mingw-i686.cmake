# Cross build for 32-bit x86 Windows with Debian's MinGW-w64 compilers
# (package g++-mingw-w64-i686). Tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Doubles are computed as doubles: SSE2 arithmetic, never the x87 stack
# with its 64-bit mantissa. -ffloat-store is not needed with SSE maths.
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
# No run-time DLL beside the program: the C, C++ and thread run-times are
# linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# The programs run under Wine, through a wrapper the tests set up.
find_program(KW_WINE wine REQUIRED)
find_program(KW_WINESERVER NAMES wineserver wineserver32 PATHS /usr/lib/wine REQUIRED)
