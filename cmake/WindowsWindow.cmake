# The native window, quendrel.exe, and the in-memory virtual phone it can
# run on (the phone's engine without the pseudo-terminal).
add_library(quendrel_winphone STATIC virtualphone/EnginePort.cpp virtualphone/PhoneLine.cpp
  virtualphone/PhoneEngine.cpp)
target_include_directories(quendrel_winphone PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(quendrel_winphone PUBLIC quendrel_port quendrel_suite)

add_library(quendrel_window STATIC app/win32gui/MainWindow.cpp app/win32gui/MainWindowLayout.cpp
  app/win32gui/MainWindowBackup.cpp app/win32gui/MainWindowParts.cpp app/win32gui/MainWindowPictures.cpp
  app/win32gui/WinThumbnails.cpp app/win32gui/WinVirtualPhone.cpp)
target_link_libraries(quendrel_window PUBLIC quendrel_core quendrel_winfit quendrel_winphone comctl32 gdi32 user32
  shell32 ole32)
target_compile_definitions(quendrel_window PRIVATE
  QUENDREL_SOURCE_SAMPLES="${CMAKE_SOURCE_DIR}/virtualphone/samples")
# Its boxes and dialogs.
target_link_libraries(quendrel_window PUBLIC quendrel_windlg)

set(QUENDREL_WINDOW_MANIFEST "${CMAKE_BINARY_DIR}/quendrel.manifest")
configure_file(packaging/windows/quendrel.manifest ${QUENDREL_WINDOW_MANIFEST} @ONLY)
configure_file(packaging/windows/quendrel.rc.in ${CMAKE_BINARY_DIR}/quendrel.rc @ONLY)
add_executable(quendrel WIN32 app/win32gui/WinMain.cpp ${CMAKE_BINARY_DIR}/quendrel.rc)
target_link_libraries(quendrel PRIVATE quendrel_window)
# Wide entry point; what a user installs carries no debugging symbols.
target_link_options(quendrel PRIVATE -municode -s)
