# Cross-compiles for 32-bit Windows with the win32-threads variant of
# mingw-w64: the posix variant links libwinpthread, which imports functions
# XP lacks (GetTickCount64). Threads are CreateThread-based instead, so
# std::thread and std::mutex are not used.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(_triple i686-w64-mingw32)
set(CMAKE_C_COMPILER   ${_triple}-gcc-win32)
set(CMAKE_CXX_COMPILER ${_triple}-g++-win32)
set(CMAKE_RC_COMPILER  ${_triple}-windres)
set(CMAKE_AR           ${_triple}-gcc-ar-win32 CACHE FILEPATH "" FORCE)
set(CMAKE_RANLIB       ${_triple}-gcc-ranlib-win32 CACHE FILEPATH "" FORCE)

set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
