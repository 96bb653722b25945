# Third-party libraries of lightservice on Windows.
#
# Linked: with vcpkg (MSVC presets) the packages of vcpkg.json are found and given the target
# names the Linux build uses; with Debian's mingw-w64 (i686) scripts/windows-deps.sh builds
# jsoncpp, log4cpp and GoogleTest from Debian's sources and scripts/windows-tests.sh passes
# their locations. Compile-only (x86_64): the portable headers of the Debian packages are
# staged in a folder of their own and used as system includes (never /usr/include itself).

if(LAMP_WINDOWS_COMPILE_ONLY)
    set(staged ${CMAKE_BINARY_DIR}/thirdparty-include)
    file(MAKE_DIRECTORY ${staged})
    foreach(pair
            "log4cpp=/usr/include/log4cpp"
            "json=/usr/include/jsoncpp/json"
            "jsoncpp=/usr/include/jsoncpp"
            "utf8.h=/usr/include/utf8cpp/utf8.h"
            "utf8=/usr/include/utf8cpp/utf8"
            "utf8cpp=/usr/include/utf8cpp"
            "zlib.h=/usr/include/zlib.h"
            "zconf.h=/usr/include/zconf.h"
            "gtest=/usr/include/gtest")
        string(REPLACE "=" ";" pair "${pair}")
        list(GET pair 0 name)
        list(GET pair 1 source)
        if(NOT EXISTS ${source})
            message(FATAL_ERROR "Windows compile check: ${source} is missing (Debian package not installed)")
        endif()
        if(NOT EXISTS ${staged}/${name})
            file(CREATE_LINK ${source} ${staged}/${name} SYMBOLIC)
        endif()
    endforeach()

    # Nothing is linked in this mode, so the staged headers serve every target that follows.
    include_directories(SYSTEM ${staged})
    foreach(target PkgConfig::LOG4CPP PkgConfig::JSONCPP ZLIB::ZLIB GTest::gtest)
        add_library(${target} INTERFACE IMPORTED)
        set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${staged})
    endforeach()
else()
    find_package(jsoncpp CONFIG REQUIRED)
    find_path(UTF8CPP_INCLUDE_DIR utf8.h PATH_SUFFIXES utf8cpp REQUIRED)
    include_directories(SYSTEM ${UTF8CPP_INCLUDE_DIR})
    find_package(ZLIB REQUIRED)
    find_path(LOG4CPP_INCLUDE_DIR log4cpp/Category.hh REQUIRED)
    find_library(LOG4CPP_LIBRARY NAMES log4cpp log4cppLIB REQUIRED)

    add_library(PkgConfig::LOG4CPP INTERFACE IMPORTED)
    set_target_properties(PkgConfig::LOG4CPP PROPERTIES
        INTERFACE_INCLUDE_DIRECTORIES ${LOG4CPP_INCLUDE_DIR}
        INTERFACE_LINK_LIBRARIES "${LOG4CPP_LIBRARY};ws2_32")
    add_library(PkgConfig::JSONCPP INTERFACE IMPORTED)
    set_target_properties(PkgConfig::JSONCPP PROPERTIES
        INTERFACE_LINK_LIBRARIES JsonCpp::JsonCpp)
endif()

set(THREADS_PREFER_PTHREAD_FLAG OFF)
find_package(Threads REQUIRED)
