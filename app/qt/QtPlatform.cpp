#include "app/qt/QtPlatform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSerialPortInfo>
#include <cstdlib>
#include <filesystem>

#include "app/qt/UiTextQt.h"
#include "content/UiText.h"
#include "link/Settings.h"
#ifdef _WIN32
#include "app/win32/WinPlatform.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "link/Text.h"
#endif

std::unique_ptr<QSettings> OpenSettingsStore() {
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganisation,
                                     kSettingsApplication);
}

// On Windows the shell's Recycle Bin serves (app/win32).
#ifndef _WIN32
namespace {

// The account's trash as the desktop's trash convention places it, with
// its "files" and "info" folders made when missing: Qt moves nothing to a
// trash that does not exist yet. Empty when it is there or was made.
QString MakeHomeTrash() {
#if defined(__APPLE__)
  return {};
#else
  namespace fs = std::filesystem;
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  fs::path data;
  if (dataHome && dataHome[0] == '/') data = dataHome;
  else if (home && home[0]) data = fs::path(home) / ".local" / "share";
  else return {};
  const fs::path trash = data / "Trash";
  const QString shown = QString::fromStdString(trash.string());
  std::error_code ec;
  const bool existed = fs::exists(trash, ec);
  for (const char* sub : {"files", "info"}) {
    const fs::path folder = trash / sub;
    if (fs::is_directory(folder, ec)) continue;
    if (fs::exists(folder, ec) || (fs::exists(trash, ec) && !fs::is_directory(trash, ec)))
      return UiTr(uitext::TrashNotMade).arg(shown, UiTr(uitext::TrashInTheWay));
    if (!fs::create_directories(folder, ec) && ec)
      return UiTr(uitext::TrashNotMade).arg(shown, QString::fromStdString(ec.message()));
  }
  // Only its owner may look into a trash made here.
  if (!existed) fs::permissions(trash, fs::perms::owner_all, ec);
  return {};
#endif
}

}  // namespace

// The account's trash folder is made first when it has none.
bool MoveFileToTrash(const std::string& path, std::string* why) {
  const QString source = QString::fromStdString(path);
  if (const QString problem = MakeHomeTrash(); !problem.isEmpty()) {
    if (why) *why = problem.toStdString();
    return false;
  }
  QString inTrash;
  if (!QFile::moveToTrash(source, &inTrash)) return false;
  if (QFileInfo(inTrash).isAbsolute()) return true;
  // Finding no usable trash (a data folder that is missing or no folder),
  // Qt 6.4 still succeeds and leaves the file in "files" under the working
  // directory, its note in "info". That is no trash: the file goes back.
  const QFileInfo stray(inTrash);
  const QDir filesDir = stray.absoluteDir();
  QDir infoDir = filesDir;
  const bool hasInfo = infoDir.cd("../info");
  QFile::rename(stray.absoluteFilePath(), source);
  if (hasInfo) {
    QFile::remove(infoDir.absoluteFilePath(stray.fileName() + ".trashinfo"));
    QDir().rmdir(infoDir.absolutePath());  // only when nothing else is in it
  }
  QDir().rmdir(filesDir.absolutePath());
  return false;
}
#endif

void SetSettingsStoreFolder(const std::string& folder) {
  QDir().mkpath(QString::fromStdString(folder));
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(folder));
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(folder));
}

bool ConnectKeyExists() {
#ifdef _WIN32
  // The registry has empty keys: a key that is there counts, values or not.
  return WinConnectKeyExists();
#endif
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

bool ReadConnectText(const char* name, std::string* value) {
  auto s = OpenSettingsStore();
  s->beginGroup(kConnectSettingKey);
  const QVariant v = s->value(name);
  // The file store keeps every value as text; only a list is not one.
  if (!v.isValid() || v.typeId() == QMetaType::QStringList || !v.canConvert<QString>()) return false;
  *value = v.toString().toStdString();
  return true;
}

void WriteConnectText(const char* name, const std::string& value) {
  auto s = OpenSettingsStore();
  s->beginGroup(kConnectSettingKey);
  s->setValue(name, QString::fromStdString(value));
  s->sync();
}

std::vector<TStoredPort> ReadStoredPorts() {
  auto store = OpenSettingsStore();
  store->beginGroup(kSerialCommGroup);
  std::vector<TStoredPort> ports;
  for (const QString& key : store->childKeys())
    ports.push_back({key.toStdString(), store->value(key).toString().toStdString()});
  return ports;
}

void WriteStoredPort(const std::string& name, const std::string& device) {
  auto store = OpenSettingsStore();
  store->beginGroup(kSerialCommGroup);
  store->setValue(QString::fromStdString(name), QString::fromStdString(device));
  store->endGroup();
  store->sync();
}

void RemoveStoredPort(const std::string& name) {
  auto store = OpenSettingsStore();
  store->beginGroup(kSerialCommGroup);
  store->remove(QString::fromStdString(name));
  store->endGroup();
  store->sync();
}

int SystemLanguageIndex() {
  // The messages' locale as the C library would choose it; LANGUAGE's list
  // counts only where that is not the plain C locale.
  std::string locale;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(name);
    if (v && *v) {
      locale = v;
      break;
    }
  }
  if (locale.empty()) return LanguageIndexOfLocale(QLocale::system().name().toStdString());
  if (locale == "C" || locale == "POSIX" || locale.rfind("C.", 0) == 0) return 0;
  if (const char* list = std::getenv("LANGUAGE"); list && *list) {
    const std::string first = std::string(list).substr(0, std::string(list).find(':'));
    if (!first.empty()) return LanguageIndexOfLocale(first);
  }
  return LanguageIndexOfLocale(locale);
}

std::vector<std::string> SystemSerialDevices() {
  std::vector<std::string> devices;
  // Tests and isolated runs see only the ports named in the store.
  if (std::getenv("QUENDREL_NO_SYSTEM_PORTS")) return devices;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
    devices.push_back(info.systemLocation().toStdString());
  return devices;
}

#ifdef _WIN32
std::string TransferLogFile() { return WinTransferLogPath(); }
// Windows opens a port by its name; the back end makes "COM5" "\\.\COM5".
std::string UnmappedPortDevice(const std::string& port) { return port; }
#else
std::string TransferLogFile() { return HomeFolder() + "/LAD.log"; }
std::string UnmappedPortDevice(const std::string&) { return std::string(); }
#endif

std::string HomeFolder() {
#ifdef _WIN32
  // The user's profile; a HOME that a Unix-like shell set means nothing here.
  return QDir::homePath().toStdString();
#else
  const char* home = std::getenv("HOME");
  return (home && *home) ? std::string(home) : QDir::homePath().toStdString();
#endif
}

#ifndef _WIN32
// On Windows the shell names the documents folder (WinPlatform.cpp).
std::string DocumentsFolder() {
  const auto join = [](const std::string& folder, const std::string& name) {
    return PathUtf8(Utf8Path(folder) / Utf8Path(name));
  };
  const std::string home = HomeFolder();
  std::string docs;
  if (const char* env = std::getenv("XDG_DOCUMENTS_DIR"); env && *env) docs = env;
  if (docs.empty()) {
    // xdg-user-dirs keeps the user's choice as XDG_DOCUMENTS_DIR="$HOME/...".
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string dirs = join(config && *config ? config : join(home, ".config"), "user-dirs.dirs");
    std::ifstream f(Utf8Path(dirs));
    for (std::string line; std::getline(f, line);) {
      const std::string key = "XDG_DOCUMENTS_DIR=\"";
      if (line.rfind(key, 0) != 0 || line.size() < key.size() + 1 || line.back() != '"') continue;
      std::string value = line.substr(key.size(), line.size() - key.size() - 1);
      if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
      if (!value.empty() && value[0] == '/') docs = value;
    }
  }
  return docs.empty() ? join(home, "Documents") : docs;
}

std::FILE* OpenRegularFile(const std::string& path) {
  // Opened without waiting, so a pipe cannot hold the open; then only a
  // regular file is kept, read in the ordinary blocking way.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st {};
  const int flags = ::fcntl(fd, F_GETFL);
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return nullptr;
  }
  std::FILE* f = ::fdopen(fd, "rb");
  if (!f) ::close(fd);
  return f;
}

bool CutOpenFile(std::FILE* f, long size) { return size >= 0 && ::ftruncate(::fileno(f), size) == 0; }
#endif
