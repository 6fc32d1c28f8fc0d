# The Windows build of the Qt-free parts: the serial port layer with its
# Win32 back end, the Windows platform pieces, and their tests. Configure
# with -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DQUENDREL_WINDOWS_CORE_ONLY=ON.
if(NOT WIN32)
  message(FATAL_ERROR "QUENDREL_WINDOWS_CORE_ONLY builds for Windows; use cmake/mingw-w64.cmake")
endif()
find_package(Threads REQUIRED)

add_library(quendrel_port STATIC
  port/ComPort.cpp
  port/win32/Win32ComBackend.cpp
  port/win32/DefaultBackend.cpp
  port/win32/PortOnlyResolve.cpp)
target_include_directories(quendrel_port PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(quendrel_port PUBLIC Threads::Threads)

add_library(quendrel_winplatform STATIC app/win32/WinPlatform.cpp)
target_include_directories(quendrel_winplatform PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(quendrel_winplatform PUBLIC advapi32)

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
