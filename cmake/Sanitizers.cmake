# LAMP_SANITIZE instruments every target of the tree. LAMP_FUZZ adds libFuzzer's coverage
# instrumentation to address and undefined behaviour checks; only the harnesses link libFuzzer.
if(LAMP_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "LAMP_FUZZ needs clang (the preset fuzz selects it)")
    endif()
    if(WIN32)
        message(FATAL_ERROR "LAMP_FUZZ is for the Linux build")
    endif()
    if(NOT LAMP_SANITIZE)
        set(LAMP_SANITIZE address,undefined)
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(LAMP_SANITIZE)
    add_compile_options(-fsanitize=${LAMP_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${LAMP_SANITIZE})
endif()
