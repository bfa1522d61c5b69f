# Cross-compiling for x86_64 Windows with Debian's mingw-w64.
# The -posix variants are used because GoogleTest needs std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(KIT_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${KIT_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KIT_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${KIT_TRIPLE}-windres)
set(CMAKE_OBJDUMP      ${KIT_TRIPLE}-objdump)
set(CMAKE_FIND_ROOT_PATH /usr/${KIT_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
