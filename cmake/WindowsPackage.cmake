# The installer quendrel-VERSION-win64.exe (NSIS) and the same files in
# quendrel-VERSION-win64.zip, made by cpack.
install(TARGETS quendrel-cli RUNTIME DESTINATION .)
install(FILES packaging/windows/README.txt DESTINATION .)
set(CPACK_PACKAGE_NAME quendrel)
set(CPACK_PACKAGE_VENDOR "Quendrel")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Moves melodies, pictures and Java MIDlets between a PC and a phone")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Quendrel")
set(CPACK_NSIS_PACKAGE_NAME "Quendrel ${PROJECT_VERSION}")
set(CPACK_NSIS_DISPLAY_NAME "Quendrel ${PROJECT_VERSION}")
set(CPACK_NSIS_MUI_ICON "${QUENDREL_ICON}")
set(CPACK_NSIS_MUI_UNIICON "${QUENDREL_ICON}")
set(CPACK_NSIS_INSTALLED_ICON_NAME "quendrel-cli.exe")
# The installer offers to put the command line on PATH.
set(CPACK_NSIS_MODIFY_PATH ON)
# A 64-bit installer for a 64-bit program, in "Program Files".
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_GENERATOR NSIS ZIP)
include(CPack)
