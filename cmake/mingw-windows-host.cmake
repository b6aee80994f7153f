# MinGW-w64 on Windows itself, from an MSYS2 MINGW32 or MINGW64 shell: the
# compilers on PATH are the target's, and the programs run natively, so this
# is no cross build and needs no emulator.
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_RC_COMPILER windres)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-flags.cmake)
