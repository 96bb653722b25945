# Cross build for Windows with Debian's mingw-w64 (posix thread model). LAMP_MINGW_ARCH picks the
# architecture: i686 (what the kiosk gets, the default) or x86_64.
set(LAMP_MINGW_ARCH i686 CACHE STRING "mingw-w64 architecture: i686 or x86_64")
set_property(CACHE LAMP_MINGW_ARCH PROPERTY STRINGS i686 x86_64)
if(NOT LAMP_MINGW_ARCH MATCHES "^(i686|x86_64)$")
    message(FATAL_ERROR "LAMP_MINGW_ARCH is ${LAMP_MINGW_ARCH}: i686 or x86_64")
endif()
# try_compile projects read the toolchain file again: they get the architecture this way.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LAMP_MINGW_ARCH)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${LAMP_MINGW_ARCH})

set(LAMP_MINGW_PREFIX ${LAMP_MINGW_ARCH}-w64-mingw32)
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

# Wine runs the programs built here (ctest, test discovery). Debian's `wine` starts the 32-bit
# loader whenever it is installed, and that loader is itself a 32-bit Linux program: for x86_64,
# or where the kernel runs no 32-bit programs, the 64-bit loader is named.
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
    if(LAMP_MINGW_ARCH STREQUAL "x86_64" AND EXISTS /usr/lib/wine/wine64)
        set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
    else()
        find_program(LAMP_WINE wine)
        if(LAMP_WINE)
            set(CMAKE_CROSSCOMPILING_EMULATOR ${LAMP_WINE})
        endif()
    endif()
endif()
