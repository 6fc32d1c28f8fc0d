# The native window's dialogs: built from in-memory templates on the wide
# Win32 calls, texts from the table through the platform layer's decoder.
add_library(quendrel_windlg STATIC app/win32gui/WinDialogs.cpp app/win32gui/WinDialogKit.cpp
  app/win32gui/WinDialogFolder.cpp)
target_link_libraries(quendrel_windlg PUBLIC quendrel_core comctl32 ole32 shell32 user32 gdi32)

# Included before the test switch is declared: unset counts as its default, on.
if(NOT DEFINED BUILD_TESTING OR BUILD_TESTING)
  add_executable(test_dialogs_win32 tests/win32/test_dialogs_win32.cpp)
  # The window's manifest, so the dialogs are tried on the controls the program gets.
  if(EXISTS ${CMAKE_SOURCE_DIR}/packaging/windows/quendrel.manifest)
    configure_file(packaging/windows/quendrel.manifest ${CMAKE_BINARY_DIR}/test_dialogs_win32.manifest @ONLY)
    file(WRITE ${CMAKE_BINARY_DIR}/test_dialogs_win32.rc "1 24 \"${CMAKE_BINARY_DIR}/test_dialogs_win32.manifest\"\n")
    target_sources(test_dialogs_win32 PRIVATE ${CMAKE_BINARY_DIR}/test_dialogs_win32.rc)
  endif()
  target_link_libraries(test_dialogs_win32 PRIVATE quendrel_windlg gtest gtest_main)
  set_target_properties(test_dialogs_win32 PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/win32)
endif()
