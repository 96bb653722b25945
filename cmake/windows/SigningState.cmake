# cmake -DOUT=FILE -P SigningState.cmake: FILE names the signing the build's environment asks
# for (the certificate's path and digest, the timestamp server; never the password), rewritten
# only when that changes, so that the packages are signed again, or unsigned, after a change.
set(state "unsigned\n")
if(NOT "$ENV{LAMP_SIGN_PKCS12}" STREQUAL "")
    if(NOT EXISTS "$ENV{LAMP_SIGN_PKCS12}")
        message(FATAL_ERROR "LAMP_SIGN_PKCS12 names no file: $ENV{LAMP_SIGN_PKCS12}")
    endif()
    file(SHA256 "$ENV{LAMP_SIGN_PKCS12}" digest)
    set(state "$ENV{LAMP_SIGN_PKCS12}\n${digest}\n$ENV{LAMP_SIGN_TIMESTAMP_URL}\n$ENV{LAMP_SIGN_CAFILE}\n")
endif()
set(old "")
if(EXISTS "${OUT}")
    file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL state)
    file(WRITE "${OUT}" "${state}")
endif()
