#pragma once
// The platform layer on Qt: the settings store as QSettings under the
// program's organisation and application names (the registry key itself on
// Windows, Qt's native store elsewhere), the serial devices QSerialPortInfo
// finds, and the home folder.
#include <QSettings>
#include <memory>
#include <string>

std::unique_ptr<QSettings> OpenSettingsStore();
