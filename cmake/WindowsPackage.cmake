# The Windows packages, made with wixl from the .wxs files in cmake/windows:
#   norvik-light-VERSION-x86.msi                          the kiosk package
#   norvik-light-trial-simulated-chip-VERSION-x86.msi     the simulated chip, for trials without a lamp
# The kiosks get the 32-bit packages. A linked 64-bit tree makes the same packages as -x64, for
# testing under a Wine that cannot run 32-bit programs. Nothing is made before lightservice.exe
# and lightctl.exe are linked.

find_program(LAMP_WIXL wixl)
find_program(LAMP_MSIBUILD msibuild)
if(NOT TARGET lightservice OR NOT TARGET lightctl)
    return()
endif()
get_target_property(lightservice_type lightservice TYPE)
if(NOT lightservice_type STREQUAL "EXECUTABLE")
    return()
endif()
if(NOT LAMP_WIXL OR NOT LAMP_MSIBUILD)
    message(STATUS "wixl or msibuild (Debian's wixl and msitools) not found: no Windows packages")
    return()
endif()

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(LAMP_MSI_ARCH x86)
else()
    set(LAMP_MSI_ARCH x64)
endif()
set(LAMP_MSI_DIR ${CMAKE_BINARY_DIR}/msi)
set(LAMP_MSI ${LAMP_MSI_DIR}/norvik-light-${PROJECT_VERSION}-${LAMP_MSI_ARCH}.msi)
set(LAMP_TRIAL_MSI ${LAMP_MSI_DIR}/norvik-light-trial-simulated-chip-${PROJECT_VERSION}-${LAMP_MSI_ARCH}.msi)
# wixl takes each file from the working folder, by the name it is installed under.
set(kiosk_stage ${LAMP_MSI_DIR}/kiosk)
set(trial_stage ${LAMP_MSI_DIR}/trial)
file(MAKE_DIRECTORY ${kiosk_stage} ${trial_stage})

# Every version of the kiosk package has this upgrade code; the simulated chip package looks
# for it too.
set(LAMP_UPGRADE_CODE "{2618742F-E984-42F0-BD1A-D4A6AC893B2F}")
# wixl drops text outside ASCII, so the service's description goes in afterwards, in the
# package's code page 1251.
set(LAMP_SERVICE_DESCRIPTION "Служба NORVIK Tessaro Light Velk77 предназначена для взаимодействия с устройством по нижнему уровня с правами администратора")
file(WRITE ${LAMP_MSI_DIR}/_ForceCodepage.idt "\r\n\r\n1251\t_ForceCodepage\r\n")

# kiosk_package OUTPUT VERSION [DEPENDS...]: wixl over the staged files, then what wixl cannot
# do: the description, and an upgrade that also replaces a package of the same version (each
# wixl run makes a new product code, and two products would share one service).
function(kiosk_package output version)
    add_custom_command(OUTPUT ${output}
        COMMAND ${LAMP_WIXL} -a ${LAMP_MSI_ARCH} -D Version=${version} -D UpgradeCode=${LAMP_UPGRADE_CODE}
                -o ${output} ${PROJECT_SOURCE_DIR}/cmake/windows/norvik-light.wxs
        COMMAND ${LAMP_MSIBUILD} ${output} -i ${LAMP_MSI_DIR}/_ForceCodepage.idt
                -q "UPDATE ServiceInstall SET Description = '${LAMP_SERVICE_DESCRIPTION}' WHERE ServiceInstall = 'LightService'"
                -q "DELETE FROM Upgrade WHERE ActionProperty = 'WIX_UPGRADE_DETECTED'"
                -q "INSERT INTO Upgrade (UpgradeCode, VersionMax, Attributes, ActionProperty) VALUES ('${LAMP_UPGRADE_CODE}', '${version}', 513, 'WIX_UPGRADE_DETECTED')"
        WORKING_DIRECTORY ${kiosk_stage}
        DEPENDS ${ARGN} ${PROJECT_SOURCE_DIR}/cmake/windows/norvik-light.wxs
        COMMENT "Windows package ${output}"
        VERBATIM)
endfunction()

add_custom_command(OUTPUT ${kiosk_stage}/stamp
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:lightservice> $<TARGET_FILE:BrillLamp>
            $<TARGET_FILE:lightctl> $<TARGET_FILE:lampview> ${kiosk_stage}
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/README.md ${kiosk_stage}/README.txt
    # The DWARF debug information is of no use to Windows tools on a kiosk.
    COMMAND ${CMAKE_STRIP} --strip-debug ${kiosk_stage}/lightservice.exe ${kiosk_stage}/BrillLamp.dll
            ${kiosk_stage}/lightctl.exe ${kiosk_stage}/lampview.exe
    COMMAND ${CMAKE_COMMAND} -E touch ${kiosk_stage}/stamp
    DEPENDS lightservice BrillLamp lightctl lampview ${PROJECT_SOURCE_DIR}/README.md
    VERBATIM)
kiosk_package(${LAMP_MSI} ${PROJECT_VERSION} ${kiosk_stage}/stamp)

# For the upgrade tests: the same files as a lower version, and the same version built again.
math(EXPR previous_major "${PROJECT_VERSION_MAJOR} - 1")
if(previous_major LESS 0)
    message(FATAL_ERROR "the upgrade test needs a project version of 1.0.0 or more")
endif()
set(test_packages ${LAMP_MSI_DIR}/test/norvik-light-${previous_major}.99.0-${LAMP_MSI_ARCH}.msi
                  ${LAMP_MSI_DIR}/test/norvik-light-${PROJECT_VERSION}-${LAMP_MSI_ARCH}-rebuilt.msi)
file(MAKE_DIRECTORY ${LAMP_MSI_DIR}/test)
kiosk_package(${LAMP_MSI_DIR}/test/norvik-light-${previous_major}.99.0-${LAMP_MSI_ARCH}.msi
              ${previous_major}.99.0 ${kiosk_stage}/stamp)
kiosk_package(${LAMP_MSI_DIR}/test/norvik-light-${PROJECT_VERSION}-${LAMP_MSI_ARCH}-rebuilt.msi
              ${PROJECT_VERSION} ${kiosk_stage}/stamp)
add_custom_target(msi_test_packages DEPENDS ${test_packages})

# The chip's state file starts empty: the simulated chip powers on into it.
add_custom_command(OUTPUT ${LAMP_TRIAL_MSI}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:WinRing0Simulated> ${trial_stage}/WinRing0.dll
    COMMAND ${CMAKE_STRIP} --strip-debug ${trial_stage}/WinRing0.dll
    COMMAND ${CMAKE_COMMAND} -E rm -f ${trial_stage}/lampsim.state
    COMMAND ${CMAKE_COMMAND} -E touch ${trial_stage}/lampsim.state
    COMMAND ${LAMP_WIXL} -a ${LAMP_MSI_ARCH} -D Version=${PROJECT_VERSION} -D UpgradeCode=${LAMP_UPGRADE_CODE}
            -o ${LAMP_TRIAL_MSI}
            ${PROJECT_SOURCE_DIR}/cmake/windows/norvik-light-trial-simulated-chip.wxs
    WORKING_DIRECTORY ${trial_stage}
    DEPENDS WinRing0Simulated ${PROJECT_SOURCE_DIR}/cmake/windows/norvik-light-trial-simulated-chip.wxs
    COMMENT "Windows package ${LAMP_TRIAL_MSI}"
    VERBATIM)

add_custom_target(msi ALL DEPENDS ${LAMP_MSI} ${LAMP_TRIAL_MSI})
# The staging runs once, in msi.
add_dependencies(msi_test_packages msi)
