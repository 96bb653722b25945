# Installation layout and the Debian package (Linux).
#
#   bin/                      lightservice, lightctl, lampview
#   lib/lightservice/         libBrillLamp.so and the hardware port-access module beside it
#   lib/systemd/system/       the service unit, ExecStart naming the installed program
#   share/doc/norvik-light/   README.md and, in docs/, the documents for Linux

set(LAMP_PACKAGE_NAME norvik-light)
# The product and its vendor as the Windows packages and version resources name them.
set(LAMP_PRODUCT_NAME "NORVIK Tessaro Light")
set(LAMP_VENDOR "NORVIK")
set(LAMP_INSTALL_BINDIR bin)
set(LAMP_INSTALL_PRIVATE_LIBDIR lib/lightservice)
set(LAMP_SERVICE_UNIT norvik-tessaro-light-velk77.service)
set(LAMP_INSTALL_UNITDIR lib/systemd/system)
# lightservice start/remove find the installed unit from the program's own directory.
file(RELATIVE_PATH LAMP_BIN_TO_UNITDIR /${LAMP_INSTALL_BINDIR} /${LAMP_INSTALL_UNITDIR})
# lightservice loads libBrillLamp.so by bare name through this RUNPATH; the driver's own $ORIGIN
# then finds the port-access module beside it.
file(RELATIVE_PATH LAMP_BIN_TO_PRIVATE_LIBDIR /${LAMP_INSTALL_BINDIR} /${LAMP_INSTALL_PRIVATE_LIBDIR})
set(LAMP_PRIVATE_LIBDIR_RPATH "$ORIGIN/${LAMP_BIN_TO_PRIVATE_LIBDIR}")

if(WIN32)
    return()
endif()

install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION share/doc/${LAMP_PACKAGE_NAME})
install(FILES ${PROJECT_SOURCE_DIR}/docs/linux.md ${PROJECT_SOURCE_DIR}/docs/protocol.md
              ${PROJECT_SOURCE_DIR}/docs/driver.md
        DESTINATION share/doc/${LAMP_PACKAGE_NAME}/docs)

# The unit is written at install time, when the prefix the package or `cmake --install --prefix`
# uses is known. `lightservice install` writes the same template's text.
install(CODE "
    set(LIGHTSERVICE_PROGRAM \"\${CMAKE_INSTALL_PREFIX}/${LAMP_INSTALL_BINDIR}/lightservice\")
    configure_file(\"${CMAKE_CURRENT_LIST_DIR}/${LAMP_SERVICE_UNIT}.in\"
                   \"${CMAKE_BINARY_DIR}/packaging/${LAMP_SERVICE_UNIT}\" @ONLY)
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${LAMP_INSTALL_UNITDIR}\" TYPE FILE
         PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
         FILES \"${CMAKE_BINARY_DIR}/packaging/${LAMP_SERVICE_UNIT}\")
")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${LAMP_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR ${LAMP_VENDOR})
set(CPACK_PACKAGE_CONTACT "NORVIK kiosk support <support@norvik.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Signal-lamp service of the NORVIK Tessaro self-service checkout")
set(CPACK_PACKAGE_DESCRIPTION "Answers lamp requests on 127.0.0.1:48888 and switches the red, green and blue \
lamps through the BrillLamp driver, with the lightctl client and the lampview viewer.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES OFF)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
find_program(LAMP_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(LAMP_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1, liblog4cpp5v5, libjsoncpp25, zlib1g, libsystemd0")
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_LIST_DIR}/debian/postinst
    ${CMAKE_CURRENT_LIST_DIR}/debian/prerm
    ${CMAKE_CURRENT_LIST_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
