#pragma once
// The platform layer on Qt: the settings store as QSettings under the
// program's organisation and application names (the registry key itself on
// Windows, Qt's native store elsewhere), the serial devices QSerialPortInfo
// finds, and the home folder.
#include <QSettings>
#include <memory>
#include <string>

std::unique_ptr<QSettings> OpenSettingsStore();
// Moves a file (a UTF-8 path) to the desktop's trash, making the account's
// trash folder first when it has none; false when the trash did not take
// it, and the file then stays where it was. 'why' then gets the reason
// when it is the trash folder's, in the chosen language.
bool MoveFileToTrash(const std::string& path, QString* why = nullptr);
