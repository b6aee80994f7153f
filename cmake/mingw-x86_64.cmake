# 64-bit Windows build of the same sources, for running the Windows tests on
# a machine whose kernel refuses 32-bit processes (and so 32-bit Wine).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TANDREL_MINGW_PREFIX x86_64-w64-mingw32)
set(TANDREL_WINE_LOADER /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
