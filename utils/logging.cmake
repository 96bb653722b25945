# sources of the logging area
target_sources(norvik_utils PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/Logger.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LogAppenderSet.cpp
    ${CMAKE_CURRENT_LIST_DIR}/GzipDailyRollingFileAppender.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LogEnvironment.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CodePageConsoleAppender.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LogCompressor.cpp)
if(WIN32)
    target_sources(norvik_utils PRIVATE ${CMAKE_CURRENT_LIST_DIR}/WindowsLogEnvironment.cpp)
    target_link_libraries(norvik_utils PUBLIC shell32)
else()
    target_sources(norvik_utils PRIVATE ${CMAKE_CURRENT_LIST_DIR}/PosixLogEnvironment.cpp)
endif()
# Headers of imported targets come in as SYSTEM includes.
foreach(dependency PkgConfig::LOG4CPP ZLIB::ZLIB)
    if(TARGET ${dependency})
        target_link_libraries(norvik_utils PUBLIC ${dependency})
    endif()
endforeach()
