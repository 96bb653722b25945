target_sources(norvik_utils PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Thread.cpp)
if(WIN32)
    target_sources(norvik_utils PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/WindowsThread.cpp
        ${CMAKE_CURRENT_LIST_DIR}/WindowsMutex.cpp)
else()
    target_sources(norvik_utils PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/PosixThread.cpp
        ${CMAKE_CURRENT_LIST_DIR}/PosixMutex.cpp)
endif()
