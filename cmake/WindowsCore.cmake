# The Windows build without Qt: the core on the Windows platform layer, the
# command line, and the Windows tests. Configure with
# -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DQUENDREL_WINDOWS_CORE_ONLY=ON.
if(NOT WIN32)
  message(FATAL_ERROR "QUENDREL_WINDOWS_CORE_ONLY builds for Windows; use cmake/mingw-w64.cmake")
endif()

add_library(quendrel_winplatform STATIC app/win32/WinPlatform.cpp app/win32/WinSettings.cpp
  app/win32/WinTextDecoder.cpp)
target_link_libraries(quendrel_winplatform PUBLIC quendrel_core advapi32 shell32 ole32)
# Whatever links the core links the platform layer with it.
target_link_libraries(quendrel_core INTERFACE quendrel_winplatform)

# Version information, the icon and a manifest in the executable.
enable_language(RC)
set(QUENDREL_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
set(QUENDREL_VERSION_QUAD "${PROJECT_VERSION}.0")
set(QUENDREL_ICON "${CMAKE_SOURCE_DIR}/packaging/windows/quendrel.ico")
set(QUENDREL_MANIFEST "${CMAKE_BINARY_DIR}/quendrel-cli.manifest")
configure_file(packaging/windows/quendrel-cli.manifest ${QUENDREL_MANIFEST} @ONLY)
configure_file(packaging/windows/quendrel-cli.rc.in ${CMAKE_BINARY_DIR}/quendrel-cli.rc @ONLY)

add_executable(quendrel-cli ${CLI_SOURCES} app/cli/CliNoFit.cpp ${CMAKE_BINARY_DIR}/quendrel-cli.rc)
target_link_libraries(quendrel-cli PRIVATE quendrel_core)
# What a user installs carries no debugging symbols.
target_link_options(quendrel-cli PRIVATE -s)

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

option(BUILD_TESTING "Build the Windows tests" ON)
if(BUILD_TESTING)
  # GoogleTest from Debian's source package, built with the cross compiler.
  set(QUENDREL_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${QUENDREL_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # Its own sources are not held to this project's warning set.
  target_compile_options(gtest PRIVATE -w)
  target_compile_options(gtest_main PRIVATE -w)
  add_subdirectory(tests/win32)
endif()
