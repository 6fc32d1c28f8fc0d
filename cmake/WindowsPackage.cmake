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
# The Start menu also starts the window on its virtual phone, for a try
# without a phone.
if(TARGET quendrel)
  set(CPACK_NSIS_CREATE_ICONS_EXTRA
    "CreateShortCut '$SMPROGRAMS\\\\$STARTMENU_FOLDER\\\\Quendrel (virtual phone).lnk' '$INSTDIR\\\\bin\\\\quendrel.exe' '--virtual-phone'")
  set(CPACK_NSIS_DELETE_ICONS_EXTRA "Delete '$SMPROGRAMS\\\\$MUI_TEMP\\\\Quendrel (virtual phone).lnk'")
endif()
# The uninstaller: PATH as it was, and the user's settings kept unless asked.
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "!include \\\"${CMAKE_SOURCE_DIR}/packaging/windows/UninstallPath.nsh\\\"")
# Its components page carries the box that removes the settings.
set(QUENDREL_NSIS_TEMPLATE_DIR ${CMAKE_BINARY_DIR}/nsis-template)
file(READ ${CMAKE_ROOT}/Modules/Internal/CPack/NSIS.template.in quendrel_nsis)
string(REPLACE "!insertmacro MUI_UNPAGE_CONFIRM" "!insertmacro MUI_UNPAGE_COMPONENTS\n  !insertmacro MUI_UNPAGE_CONFIRM"
  quendrel_nsis "${quendrel_nsis}")
string(REPLACE "Section \"Uninstall\"" "Section \"Uninstall\"\n  SectionIn RO" quendrel_nsis "${quendrel_nsis}")
file(WRITE ${QUENDREL_NSIS_TEMPLATE_DIR}/NSIS.template.in "${quendrel_nsis}")
list(PREPEND CMAKE_MODULE_PATH ${QUENDREL_NSIS_TEMPLATE_DIR})
set(CPACK_NSIS_DEFINES "${CPACK_NSIS_DEFINES}\n!include \\\"${CMAKE_SOURCE_DIR}/packaging/windows/UninstallOptions.nsh\\\"")
set(CPACK_GENERATOR NSIS ZIP)
include(CPack)
