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
# "Fit to phone" and the list's thumbnails on the system's imaging codecs.
add_library(quendrel_winfit STATIC app/win32/WinFitPicture.cpp)
target_link_libraries(quendrel_winfit PUBLIC quendrel_core windowscodecs ole32 oleaut32 uuid)

# Version information, the icon and a manifest in the executable.
enable_language(RC)
set(QUENDREL_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
set(QUENDREL_VERSION_QUAD "${PROJECT_VERSION}.0")
set(QUENDREL_ICON "${CMAKE_SOURCE_DIR}/packaging/windows/quendrel.ico")
set(QUENDREL_MANIFEST "${CMAKE_BINARY_DIR}/quendrel-cli.manifest")
configure_file(packaging/windows/quendrel-cli.manifest ${QUENDREL_MANIFEST} @ONLY)
configure_file(packaging/windows/quendrel-cli.rc.in ${CMAKE_BINARY_DIR}/quendrel-cli.rc @ONLY)

add_executable(quendrel-cli ${CLI_SOURCES} app/cli/CliWinFit.cpp ${CMAKE_BINARY_DIR}/quendrel-cli.rc)
target_link_libraries(quendrel-cli PRIVATE quendrel_core quendrel_winfit)
# What a user installs carries no debugging symbols.
target_link_options(quendrel-cli PRIVATE -s)
include(cmake/WindowsDialogs.cmake)
include(cmake/WindowsWindow.cmake)

include(cmake/WindowsPackage.cmake)

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
