// The picture page's PC list over 10,000 real pictures in the real window
// (offscreen): time until the list is shown without thumbnails (as before
// them) and with them, and until every thumbnail is in. Prints figures only.
#include <stdlib.h>

#include <QApplication>
#include <QColor>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/core/Config.h"
#include "app/gui/MainForm.h"
#include "app/gui/Thumbnails.h"
#include "link/Settings.h"

namespace {

// A port that never opens: the PC list needs no phone.
class DeadBackend : public IComBackend {
 public:
  int Open(const std::string&) override { return 2; }
  void Close() override {}
  bool IsOpen() const override { return false; }
  int ApplyBuffers(int, int) override { return 0; }
  int ApplyLine(const TLineSettings&) override { return 0; }
  int ApplyTimeouts(const TComTimeouts&) override { return 0; }
  int Write(const char*, size_t, int, size_t*) override { return 5; }
  int Read(char*, size_t, size_t* got) override { *got = 0; return 0; }
  int InputCount(int* count) override { *count = 0; return 0; }
  int Purge(bool, bool) override { return 0; }
  int WaitRx(int, TComEvents* events) override { *events = 0; return 0; }
};

// Clears and rescans the PC list as the page's refresh does, then lets the
// window paint it: the time until the list is shown.
double ListOnce(TVelkoMainForm& form) {
  QElapsedTimer t;
  t.start();
  form.ClearList(TListId::PcFiles);
  form.contentPage.ScanPcFolder();
  QCoreApplication::processEvents();  // the list paints (thumbnail work starts here)
  return t.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  char tmpl[] = "/tmp/quendrel-thumbs-XXXXXX";
  if (!::mkdtemp(tmpl)) return 1;
  const std::string root = tmpl;
  const std::string dir = root + "/pics";
  std::filesystem::create_directories(dir);
  std::filesystem::create_directories(root + "/Program");
  std::ofstream(root + "/Program/Velko.ini") << "debugFlag=0\n";
  SetSettingsStoreFolder(root + "/store");
  std::filesystem::current_path(root + "/Program");

  const int kFiles = 10000;
  QElapsedTimer made;
  made.start();
  const char* formats[] = {"JPG", "BMP"};  // Qt writes no GIF
  for (int i = 0; i < kFiles; ++i) {
    QImage image(160, 120, QImage::Format_RGB32);
    image.fill(QColor::fromHsv(i % 360, 200, 220));
    const char* f = formats[i % 2];
    image.save(QString::fromStdString(dir + "/p" + std::to_string(i) + "." + QString(f).toLower().toStdString()), f);
  }
  std::printf("made %d pictures (160x120 JPEG and BMP) in %.1f s\n", kFiles, made.elapsed() / 1000.0);

  TVelkoMainForm form;
  form.show();
  form.pages.PcFolder = dir;
  form.pages.FolderNumber = 3;
  form.ShowPage(TPage::Content);
  TThumbnailLoader* loader = form.Thumbnails();

  const int kRounds = 5;
  double off = 1e30, on = 1e30, all = 1e30;
  ListOnce(form);  // warm the file cache
  for (int r = 0; r < kRounds; ++r) {
    loader->enabled = false;
    off = std::min(off, ListOnce(form));

    loader->enabled = true;
    QElapsedTimer t;
    t.start();
    on = std::min(on, ListOnce(form));
    QEventLoop wait;
    QObject::connect(loader, &TThumbnailLoader::AllDone, &wait, &QEventLoop::quit);
    if (loader->Outstanding() > 0) wait.exec();
    all = std::min(all, t.nsecsElapsed() / 1e6);
  }
  QTreeWidget* list = form.ListView(TListId::PcFiles);
  int withIcon = 0;
  for (int i = 0; i < list->topLevelItemCount(); ++i) withIcon += !list->topLevelItem(i)->icon(0).isNull();

  std::printf("picture page, %d files, best of %d rounds\n", list->topLevelItemCount(), kRounds);
  std::printf("  list shown, thumbnails off (as before): %8.1f ms\n", off);
  std::printf("  list shown, thumbnails on:              %8.1f ms (%+.1f %%)\n", on, (on / off - 1) * 100);
  std::printf("  every thumbnail in:                     %8.1f ms (%d rows with one)\n", all, withIcon);
  form.close();
  std::filesystem::current_path("/");
  std::filesystem::remove_all(root);
  return 0;
}
