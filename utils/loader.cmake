target_sources(norvik_utils PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/Path.cpp
    ${CMAKE_CURRENT_LIST_DIR}/NotLoadedException.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DynamicLibrary.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BrillLampLibrary.cpp)
if(WIN32)
    target_sources(norvik_utils PRIVATE ${CMAKE_CURRENT_LIST_DIR}/WindowsModule.cpp)
else()
    target_sources(norvik_utils PRIVATE ${CMAKE_CURRENT_LIST_DIR}/PosixModule.cpp)
endif()
