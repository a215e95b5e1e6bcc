# Cross build for 32-bit x86 Windows, the program's home system (Debian
# package g++-mingw-w64-i686). Tests run under Wine's 32-bit loader, where
# the kernel runs 32-bit programs (cmake/wine-probe.sh tells).
set(KW_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)

# The programs run under Wine, through a wrapper the tests set up. Without
# Wine the program is still built and packed; configuring the tests then
# says that they cannot run here.
find_program(KW_WINE wine)
find_program(KW_WINESERVER NAMES wineserver wineserver32 PATHS /usr/lib/wine)
if(NOT KW_WINE)
  set(KW_WINE /usr/lib/wine/wine)
endif()
if(NOT KW_WINESERVER)
  set(KW_WINESERVER /usr/lib/wine/wineserver)
endif()
