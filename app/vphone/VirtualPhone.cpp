#include "app/vphone/VirtualPhone.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "content/UiText.h"
#include "link/PortMap.h"
#include "link/Settings.h"
#include "virtualphone/PhoneSim.h"

namespace {

bool CopyTree(const QString& from, const QString& to) {
  QDir src(from);
  if (!src.exists()) return false;
  QDir().mkpath(to);
  QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    QString path = it.next();
    QString rel = src.relativeFilePath(path);
    QString target = to + "/" + rel;
    if (it.fileInfo().isDir()) {
      QDir().mkpath(target);
    } else {
      QDir().mkpath(QFileInfo(target).path());
      QFile::remove(target);
      if (!QFile::copy(path, target)) return false;
      QFile(target).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }
  }
  return true;
}

}  // namespace

std::string SamplesFolder() {
  QByteArray env = qgetenv("QUENDREL_SAMPLES");
  if (!env.isEmpty()) return env.toStdString();
  // An installed program takes the samples installed with it, even where the
  // tree it was built from is still there.
  const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
  if (!exe.isEmpty()) {
    const QString beside = QFileInfo(exe).absolutePath() + QStringLiteral("/../share/quendrel/samples");
    if (QDir(beside).exists(QStringLiteral("phone"))) return QDir::cleanPath(beside).toStdString();
  }
#ifdef QUENDREL_SOURCE_SAMPLES
  if (QDir(QUENDREL_SOURCE_SAMPLES).exists()) return QUENDREL_SOURCE_SAMPLES;
#endif
#ifdef QUENDREL_INSTALLED_SAMPLES
  return QUENDREL_INSTALLED_SAMPLES;
#else
  return "";
#endif
}

TVirtualPhone::TVirtualPhone() = default;

TVirtualPhone::~TVirtualPhone() {
  if (sim_) {
    sim_->Stop();
    RemoveSessionPortEntry(kPortName);
  }
  if (!root_.empty()) QDir(QString::fromStdString(root_)).removeRecursively();
}

bool TVirtualPhone::Start(std::string* error) {
  QString base = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
  QTemporaryDir dir(base + "/quendrel-virtual-phone-XXXXXX");
  if (!dir.isValid()) {
    *error = "cannot create a folder for the virtual phone";
    return false;
  }
  dir.setAutoRemove(false);
  root_ = dir.path().toStdString();
  QString samples = QString::fromStdString(SamplesFolder());
  for (const char* f : {"1", "2", "3", "4"}) QDir().mkpath(dir.path() + "/phone/" + f);
  CopyTree(samples + "/phone", dir.path() + "/phone");
  CopyTree(samples + "/pc", dir.path() + "/pc");
  pcSamples_ = root_ + "/pc";

  phonesim::Options options;
  options.contentDir = root_ + "/phone";
  sim_ = std::make_unique<phonesim::PhoneSim>(options);
  if (!sim_->Start()) {
    *error = "cannot open a pseudo-terminal for the virtual phone";
    sim_.reset();
    return false;
  }
  // Listed first and chosen for this run only: the user's stored port stays.
  AddSessionPortEntry(kPortName, sim_->DevicePath());
  // A first run still creates the key as a first start would.
  if (!ConnectKeyExists()) LoadLanguage();
  return true;
}

std::string TVirtualPhone::Device() const { return sim_ ? sim_->DevicePath() : std::string(); }
