# The installer quendrel-VERSION-win64.exe (NSIS) and the same files in
# quendrel-VERSION-win64.zip, made by cpack. Included after the programs'
# targets are defined.
#
# The programs go into bin\: the installer's PATH option adds $INSTDIR\bin
# and its shortcuts point there, so the command line is found on PATH.
install(TARGETS quendrel-cli RUNTIME DESTINATION bin)
if(TARGET quendrel)
  install(TARGETS quendrel RUNTIME DESTINATION bin)
  # The window's virtual phone copies these from "samples" beside the program.
  install(DIRECTORY virtualphone/samples/phone virtualphone/samples/pc DESTINATION bin/samples)
  set(QUENDREL_SHORTCUT_TARGET quendrel)
  set(QUENDREL_SHORTCUT_NAME "Quendrel")
else()
  set(QUENDREL_SHORTCUT_TARGET quendrel-cli)
  set(QUENDREL_SHORTCUT_NAME "Quendrel command line")
endif()
install(FILES packaging/windows/README.txt packaging/windows/LICENSE.txt DESTINATION .)

set(CPACK_PACKAGE_NAME quendrel)
set(CPACK_PACKAGE_VENDOR "Quendrel")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Moves melodies, pictures and Java MIDlets between a PC and a phone")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Quendrel")
set(CPACK_RESOURCE_FILE_LICENSE "${CMAKE_SOURCE_DIR}/packaging/windows/LICENSE.txt")
set(CPACK_NSIS_PACKAGE_NAME "Quendrel ${PROJECT_VERSION}")
set(CPACK_NSIS_DISPLAY_NAME "Quendrel ${PROJECT_VERSION}")
set(CPACK_NSIS_MUI_ICON "${QUENDREL_ICON}")
set(CPACK_NSIS_MUI_UNIICON "${QUENDREL_ICON}")
set(CPACK_NSIS_INSTALLED_ICON_NAME "bin\\\\${QUENDREL_SHORTCUT_TARGET}.exe")
# One Start-menu entry (removed again by the uninstaller with its folder);
# the options page's desktop icon is the same program.
set(CPACK_PACKAGE_EXECUTABLES "${QUENDREL_SHORTCUT_TARGET};${QUENDREL_SHORTCUT_NAME}")
set(CPACK_CREATE_DESKTOP_LINKS ${QUENDREL_SHORTCUT_TARGET})
# The installer offers to put bin\ on PATH; the uninstaller takes it off.
set(CPACK_NSIS_MODIFY_PATH ON)
# A 64-bit installer for a 64-bit program, in "Program Files". FileFunc
# reads the options of a silent install.
set(CPACK_NSIS_DEFINES "Target amd64-unicode\n!include FileFunc.nsh")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
# What a silent install (/S) takes instead of the options page.
set(CPACK_NSIS_EXTRA_PREINSTALL_COMMANDS "!include \\\"${CMAKE_SOURCE_DIR}/packaging/windows/SilentOptions.nsh\\\"")
set(CPACK_GENERATOR NSIS ZIP)
include(CPack)
