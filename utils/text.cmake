target_sources(norvik_utils PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/StringUtils.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Exception.cpp)
if(WIN32)
    target_sources(norvik_utils PRIVATE ${CMAKE_CURRENT_LIST_DIR}/WindowsErrorText.cpp)
else()
    target_sources(norvik_utils PRIVATE ${CMAKE_CURRENT_LIST_DIR}/PosixErrorText.cpp)
endif()
