# The Windows packages, made with wixl from the .wxs files in cmake/windows:
#   norvik-light-VERSION-x86.msi                          the kiosk package
#   norvik-light-trial-simulated-chip-VERSION-x86.msi     the simulated chip, for trials without a lamp
# The kiosks get the 32-bit packages. A linked 64-bit tree makes the same packages as -x64, for
# testing under a Wine that cannot run 32-bit programs. Nothing is made before lightservice.exe
# and lightctl.exe are linked. When the environment names a PKCS#12 certificate
# (cmake/windows/authenticode-sign.sh), every program and library goes into the packages signed,
# and the packages are signed too.

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
# What the service manager does when the service fails, as `lightservice install` sets it:
# restart after 5 s, again after 5 s, then after a minute each time; the count starts again
# after a day without failure. MsiConfigureServices (Windows Installer 5.0) applies it.
file(WRITE ${LAMP_MSI_DIR}/MsiServiceConfigFailureActions.idt
    "MsiServiceConfigFailureActions\tName\tEvent\tResetPeriod\tRebootMessage\tCommand\tActions\tDelayActions\tComponent_\r\n"
    "s72\ts255\ti2\tI4\tL255\tS255\tS0\tS0\ts72\r\n"
    "MsiServiceConfigFailureActions\tMsiServiceConfigFailureActions\r\n"
    "LightServiceRecovery\tnorvik-tessaro-light-velk77\t1\t86400\t\t\t1[~]1[~]1\t5000[~]5000[~]60000\tService\r\n")

set(LAMP_SIGN ${PROJECT_SOURCE_DIR}/cmake/windows/authenticode-sign.sh)
set(signing_state ${LAMP_MSI_DIR}/signing.state)
add_custom_target(msi_signing_state
    COMMAND ${CMAKE_COMMAND} -DOUT=${signing_state} -P ${PROJECT_SOURCE_DIR}/cmake/windows/SigningState.cmake
    BYPRODUCTS ${signing_state}
    VERBATIM)

# kiosk_package OUTPUT VERSION STAGE [DEPENDS...]: wixl over the files staged in STAGE, then what
# wixl cannot do: the description; an upgrade that also replaces a package of the same version
# (each wixl run makes a new product code, and two products would share one service); the
# removal of the installed version inside the installation's transaction, right after
# InstallInitialize, so that a failed upgrade is rolled back to the version that was there (and,
# unlike after InstallExecute, the old version's service is gone before the new one is
# registered, and every file is copied afresh without relying on component reference counts); the
# failure actions; the event source's key removed whole with the package; the event message
# file as REG_EXPAND_SZ, the type the event log expects; and the programs' and the driver's file
# version (their version resource), which the installer's file versioning compares.
set(event_source_key "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\norvik-tessaro-light-velk77")
function(kiosk_package output version stage)
    add_custom_command(OUTPUT ${output}
        COMMAND ${LAMP_WIXL} -a ${LAMP_MSI_ARCH} -D Version=${version} -D UpgradeCode=${LAMP_UPGRADE_CODE}
                -D ProductName=${LAMP_PRODUCT_NAME} -D Manufacturer=${LAMP_VENDOR}
                -o ${output} ${PROJECT_SOURCE_DIR}/cmake/windows/norvik-light.wxs
        COMMAND ${LAMP_MSIBUILD} ${output} -i ${LAMP_MSI_DIR}/_ForceCodepage.idt
                -i ${LAMP_MSI_DIR}/MsiServiceConfigFailureActions.idt
                -q "UPDATE ServiceInstall SET Description = '${LAMP_SERVICE_DESCRIPTION}' WHERE ServiceInstall = 'LightService'"
                -q "DELETE FROM Upgrade WHERE ActionProperty = 'WIX_UPGRADE_DETECTED'"
                -q "INSERT INTO Upgrade (UpgradeCode, VersionMax, Attributes, ActionProperty) VALUES ('${LAMP_UPGRADE_CODE}', '${version}', 513, 'WIX_UPGRADE_DETECTED')"
                -q "UPDATE InstallExecuteSequence SET Sequence = 1501 WHERE Action = 'RemoveExistingProducts'"
                -q "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('MsiConfigureServices', 'VersionMsi >= \"5.00\"', 5850)"
                -q "INSERT INTO Registry (Registry, Root, `Key`, Name, Component_) VALUES ('EventSourceKey', 2, '${event_source_key}', '-', 'Service')"
                -q "UPDATE Registry SET Value = '#%[INSTALLDIR]lightservice.exe' WHERE Name = 'EventMessageFile'"
                -q "UPDATE File SET Version = '${PROJECT_VERSION}.0' WHERE File <> 'README.txt' AND File <> 'protocol.txt'"
        COMMAND ${LAMP_SIGN} "${LAMP_PRODUCT_NAME}" ${output}
        WORKING_DIRECTORY ${stage}
        DEPENDS ${ARGN} ${PROJECT_SOURCE_DIR}/cmake/windows/norvik-light.wxs ${signing_state}
        COMMENT "Windows package ${output}"
        VERBATIM)
endfunction()

add_custom_command(OUTPUT ${kiosk_stage}/stamp
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:lightservice> $<TARGET_FILE:BrillLamp>
            $<TARGET_FILE:lightctl> $<TARGET_FILE:lampview> ${kiosk_stage}
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/docs/windows-kiosk.md ${kiosk_stage}/README.txt
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/docs/protocol.md ${kiosk_stage}/protocol.txt
    # The DWARF debug information is of no use to Windows tools on a kiosk.
    COMMAND ${CMAKE_STRIP} --strip-debug ${kiosk_stage}/lightservice.exe ${kiosk_stage}/BrillLamp.dll
            ${kiosk_stage}/lightctl.exe ${kiosk_stage}/lampview.exe
    COMMAND ${LAMP_SIGN} "${LAMP_PRODUCT_NAME}" ${kiosk_stage}/lightservice.exe ${kiosk_stage}/BrillLamp.dll
            ${kiosk_stage}/lightctl.exe ${kiosk_stage}/lampview.exe
    COMMAND ${CMAKE_COMMAND} -E touch ${kiosk_stage}/stamp
    DEPENDS lightservice BrillLamp lightctl lampview ${PROJECT_SOURCE_DIR}/docs/windows-kiosk.md
            ${PROJECT_SOURCE_DIR}/docs/protocol.md ${signing_state}
    VERBATIM)
kiosk_package(${LAMP_MSI} ${PROJECT_VERSION} ${kiosk_stage} ${kiosk_stage}/stamp)

# For the upgrade tests: the same files as a lower version, and the same version built again.
math(EXPR previous_major "${PROJECT_VERSION_MAJOR} - 1")
if(previous_major LESS 0)
    message(FATAL_ERROR "the upgrade test needs a project version of 1.0.0 or more")
endif()
# And a higher version whose service dies at once (lightctl.exe in the program's place), for
# an upgrade that fails.
math(EXPR next_patch "${PROJECT_VERSION_PATCH} + 1")
set(failing_version ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${next_patch})
set(test_packages ${LAMP_MSI_DIR}/test/norvik-light-${previous_major}.99.0-${LAMP_MSI_ARCH}.msi
                  ${LAMP_MSI_DIR}/test/norvik-light-${PROJECT_VERSION}-${LAMP_MSI_ARCH}-rebuilt.msi
                  ${LAMP_MSI_DIR}/test/norvik-light-${failing_version}-${LAMP_MSI_ARCH}-failing.msi)
file(MAKE_DIRECTORY ${LAMP_MSI_DIR}/test ${LAMP_MSI_DIR}/failing)
kiosk_package(${LAMP_MSI_DIR}/test/norvik-light-${previous_major}.99.0-${LAMP_MSI_ARCH}.msi
              ${previous_major}.99.0 ${kiosk_stage} ${kiosk_stage}/stamp)
kiosk_package(${LAMP_MSI_DIR}/test/norvik-light-${PROJECT_VERSION}-${LAMP_MSI_ARCH}-rebuilt.msi
              ${PROJECT_VERSION} ${kiosk_stage} ${kiosk_stage}/stamp)
add_custom_command(OUTPUT ${LAMP_MSI_DIR}/failing/stamp
    COMMAND ${CMAKE_COMMAND} -E copy ${kiosk_stage}/BrillLamp.dll ${kiosk_stage}/lightctl.exe
            ${kiosk_stage}/lampview.exe ${kiosk_stage}/README.txt ${kiosk_stage}/protocol.txt
            ${LAMP_MSI_DIR}/failing
    COMMAND ${CMAKE_COMMAND} -E copy ${kiosk_stage}/lightctl.exe ${LAMP_MSI_DIR}/failing/lightservice.exe
    COMMAND ${CMAKE_COMMAND} -E touch ${LAMP_MSI_DIR}/failing/stamp
    DEPENDS ${kiosk_stage}/stamp
    VERBATIM)
kiosk_package(${LAMP_MSI_DIR}/test/norvik-light-${failing_version}-${LAMP_MSI_ARCH}-failing.msi
              ${failing_version} ${LAMP_MSI_DIR}/failing ${LAMP_MSI_DIR}/failing/stamp)
add_custom_target(msi_test_packages DEPENDS ${test_packages})

# The chip's state file starts empty: the simulated chip powers on into it.
add_custom_command(OUTPUT ${LAMP_TRIAL_MSI}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:WinRing0Simulated> ${trial_stage}/WinRing0.dll
    COMMAND ${CMAKE_STRIP} --strip-debug ${trial_stage}/WinRing0.dll
    COMMAND ${LAMP_SIGN} "${LAMP_PRODUCT_NAME}" ${trial_stage}/WinRing0.dll
    COMMAND ${CMAKE_COMMAND} -E rm -f ${trial_stage}/lampsim.state
    COMMAND ${CMAKE_COMMAND} -E touch ${trial_stage}/lampsim.state
    COMMAND ${LAMP_WIXL} -a ${LAMP_MSI_ARCH} -D Version=${PROJECT_VERSION} -D UpgradeCode=${LAMP_UPGRADE_CODE}
            -D ProductName=${LAMP_PRODUCT_NAME} -D Manufacturer=${LAMP_VENDOR} -o ${LAMP_TRIAL_MSI}
            ${PROJECT_SOURCE_DIR}/cmake/windows/norvik-light-trial-simulated-chip.wxs
    COMMAND ${LAMP_SIGN} "${LAMP_PRODUCT_NAME}" ${LAMP_TRIAL_MSI}
    WORKING_DIRECTORY ${trial_stage}
    DEPENDS WinRing0Simulated ${PROJECT_SOURCE_DIR}/cmake/windows/norvik-light-trial-simulated-chip.wxs
            ${signing_state}
    COMMENT "Windows package ${LAMP_TRIAL_MSI}"
    VERBATIM)

add_custom_target(msi ALL DEPENDS ${LAMP_MSI} ${LAMP_TRIAL_MSI})
add_dependencies(msi msi_signing_state)
# The staging runs once, in msi.
add_dependencies(msi_test_packages msi)
