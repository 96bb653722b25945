# The version resource of every program and library the Windows build makes: the product's name
# and version (the packages' own), the vendor, and what the file is. Windows shows them in the
# file's properties, UAC and the event log; publisher rules read them.

enable_language(RC)
set(LAMP_RC_VERSION "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")

# lamp_version_resource TARGET DESCRIPTION
function(lamp_version_resource target description)
    get_target_property(type ${target} TYPE)
    get_target_property(name ${target} OUTPUT_NAME)
    if(NOT name)
        set(name ${target})
    endif()
    if(type STREQUAL "SHARED_LIBRARY")
        set(LAMP_RC_FILETYPE VFT_DLL)
        set(LAMP_RC_FILENAME ${name}.dll)
    else()
        set(LAMP_RC_FILETYPE VFT_APP)
        set(LAMP_RC_FILENAME ${name}.exe)
    endif()
    set(LAMP_RC_NAME ${name})
    set(LAMP_RC_DESCRIPTION "${description}")
    set(rc ${PROJECT_BINARY_DIR}/generated/version/${target}.rc)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/version.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
endfunction()
