#include "link/Settings.h"

#include <QDir>

std::unique_ptr<QSettings> OpenSettingsStore() {
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                     kSettingsOrganisation, kSettingsApplication);
}

void SetSettingsStoreFolder(const std::string& folder) {
  QDir().mkpath(QString::fromStdString(folder));
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(folder));
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(folder));
}

bool ConnectKeyExists() {
  auto s = OpenSettingsStore();
  s->beginGroup(kConnectSettingKey);
  // A key is there once it holds a value (the native store on Linux has no empty keys).
  return !s->childKeys().isEmpty() || !s->childGroups().isEmpty();
}

bool ReadConnectValue(const char* name, int* value) {
  auto s = OpenSettingsStore();
  s->beginGroup(kConnectSettingKey);
  if (!s->contains(name)) return false;
  bool ok = false;
  int v = s->value(name).toInt(&ok);
  if (!ok) return false;
  *value = v;
  return true;
}

void WriteConnectValue(const char* name, int value) {
  auto s = OpenSettingsStore();
  s->beginGroup(kConnectSettingKey);
  s->setValue(name, value);
  s->sync();
}
