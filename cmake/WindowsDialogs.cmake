# The native window's dialogs: built from in-memory templates on the wide
# Win32 calls, texts from the table through the platform layer's decoder.
add_library(quendrel_windlg STATIC app/win32gui/WinDialogs.cpp app/win32gui/WinDialogKit.cpp
  app/win32gui/WinDialogFolder.cpp)
target_link_libraries(quendrel_windlg PUBLIC quendrel_core comctl32 ole32 shell32 user32 gdi32)

# Included before the test switch is declared: unset counts as its default, on.
if(NOT DEFINED BUILD_TESTING OR BUILD_TESTING)
  add_executable(test_dialogs_win32 tests/win32/test_dialogs_win32.cpp)
  target_link_libraries(test_dialogs_win32 PRIVATE quendrel_windlg gtest gtest_main)
  set_target_properties(test_dialogs_win32 PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/win32)
endif()
