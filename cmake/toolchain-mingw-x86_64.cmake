# Cross build for Windows with Debian's mingw-w64 (x86_64, posix thread model).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LAMP_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${LAMP_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LAMP_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${LAMP_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${LAMP_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Whatever is built here must run beside any program without mingw's runtime DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
