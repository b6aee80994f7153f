# The -posix compilers: the win32 thread model has no std::mutex, which
# GoogleTest needs.
set(CMAKE_C_COMPILER ${TANDREL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TANDREL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TANDREL_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TANDREL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# One file to copy: no MinGW runtime DLL beside the executables.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--gc-sections -s")
set(CMAKE_CXX_FLAGS_INIT "-ffunction-sections -fdata-sections")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
