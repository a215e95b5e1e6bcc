# Cross build for Windows with Debian's MinGW-w64 compilers; included by
# the toolchain file of each target, which sets KW_MINGW_TRIPLE first.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${KW_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KW_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KW_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KW_MINGW_TRIPLE})
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
