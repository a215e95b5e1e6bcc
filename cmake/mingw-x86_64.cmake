# Cross build for 64-bit x86 Windows (Debian package g++-mingw-w64-x86-64),
# for running the Windows suite under wine64 where the kernel refuses 32-bit
# programs. The program shipped to users stays the 32-bit build.
set(KW_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)

# Debian's wine64 package: its loader and server, called by their own
# names so that the 32-bit loader is never picked.
find_program(KW_WINE wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
find_program(KW_WINESERVER wineserver64 PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
