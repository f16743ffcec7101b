# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix thread model:
# the win32 one has no std::thread or std::mutex in GCC 12).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUON_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${QUON_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUON_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUON_MINGW_TRIPLE}-windres)

# Libraries and headers come from the MinGW sysroot only; programs from the
# host.
set(CMAKE_FIND_ROOT_PATH /usr/${QUON_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One executable that needs no DLL beside it (libstdc++, winpthread, gcc).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
