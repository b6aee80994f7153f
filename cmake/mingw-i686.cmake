# 32-bit Windows: the suite's class keys are 32-bit, and on 64-bit Windows only
# a 32-bit process sees them without registry redirection tricks.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TANDREL_MINGW_PREFIX i686-w64-mingw32)
# Tests run under the 32-bit Wine loader.
set(TANDREL_WINE_LOADER /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
