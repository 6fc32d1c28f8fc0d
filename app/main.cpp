// Program entry: application object, title, the main window and the five
// dialogs (each created once, in this order), the create handler, the loop.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>

#include "app/gui/Dialogs.h"
#include "app/gui/MainForm.h"
#include "app/gui/VirtualPhone.h"

namespace {

void PrintHelp() {
  std::printf(
      "Usage: quendrel [options]\n"
      "Moves melodies, animations, pictures and Java MIDlets between this PC and a phone\n"
      "on a serial line. Reads Velko.ini from the working directory.\n\n"
      "Options:\n"
      "  --virtual-phone  use a simulated phone instead of a serial port\n"
      "  --help           show this text\n"
      "  --version        show the version\n");
}

bool HasOption(int argc, char** argv, const char* option) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], option) == 0) return true;
  return false;
}

void ShowFatal(const QString& text) {
  QMessageBox box(QMessageBox::Critical, ApplicationTitle(), text, QMessageBox::Ok);
  box.exec();
}

}  // namespace

int main(int argc, char** argv) {
  if (HasOption(argc, argv, "--help")) {
    PrintHelp();
    return 0;
  }
  if (HasOption(argc, argv, "--version")) {
    std::printf("Quendrel V2.03b\n");
    return 0;
  }
  try {
    QApplication app(argc, argv);
    SetApplicationTitle(QStringLiteral("Nomra Sync Tool"));
    try {
      if (HasOption(argc, argv, "--virtual-phone") && !StartVirtualPhone(argc, argv)) return 0;
      TVelkoMainForm form;
      // Declared after the window: destroyed first, while their parent lives.
      std::unique_ptr<TDialogSet> dialogs = CreateDialogs(&form);
      // With the virtual phone, the chooser opens on its PC sample folder.
      if (!VirtualPhonePcFolder().empty())
        dialogs->dirSelect->ShowFolder(QString::fromStdString(VirtualPhonePcFolder()));
      form.FormCreate();
      form.show();
      // The loop returns only once a handler running under a close has unwound.
      QApplication::setQuitOnLastWindowClosed(true);
      QApplication::exec();
      StopVirtualPhone();
    } catch (const std::exception& e) {
      ShowFatal(QString::fromLocal8Bit(e.what()));
    } catch (...) {
      ShowFatal(QStringLiteral("Unknown error"));
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
  }
  return 0;
}
