// Program entry: application object, title, the main window and the five
// dialogs (each created once, in this order), the create handler, the loop.
#include <QApplication>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>

#include "app/core/Config.h"
#include "app/gui/Dialogs.h"
#include "app/gui/MainForm.h"
#include "app/gui/VirtualPhoneOption.h"

namespace {

void PrintHelp() {
  std::printf(
      "Usage: quendrel [options]\n"
      "Moves melodies, animations, pictures and Java MIDlets between this PC and a phone\n"
      "on a serial line. Reads Velko.ini from the working directory.\n\n"
      "Options:\n"
      "  --desktop        run in the per-user program folder ~/.local/share/quendrel/Program\n"
      "                   ($XDG_DATA_HOME/quendrel/Program when that is set), created on\n"
      "                   first use with a default Velko.ini and a logs folder beside it\n"
      "  --virtual-phone  use a simulated phone instead of a serial port\n"
      "  --help           show this text\n"
      "  --version        show the version\n");
}

bool HasOption(int argc, char** argv, const char* option) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], option) == 0) return true;
  return false;
}

bool fatalShown = false;

void ShowFatal(const QString& text) {
  fatalShown = true;
  QMessageBox box(QMessageBox::Critical, ApplicationTitle(), text, QMessageBox::Ok);
  box.exec();
}

// --quit-after-start (tests): every message box is written to stderr and
// closed, and the window closes as soon as it has been shown.
void DismissBoxesToStderr(QApplication* app) {
  auto* timer = new QTimer(app);
  QObject::connect(timer, &QTimer::timeout, [] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      std::fprintf(stderr, "message box: %s\n", box->text().toLocal8Bit().constData());
      box->done(QMessageBox::Ok);
    }
  });
  timer->start(20);
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
  const bool quitAfterStart = HasOption(argc, argv, "--quit-after-start");
  try {
    QApplication app(argc, argv);
    SetApplicationTitle(QStringLiteral("Nomra Sync Tool"));
    if (quitAfterStart) DismissBoxesToStderr(&app);
    try {
      // Before the window takes its directories and the ini from the working directory.
      if (HasOption(argc, argv, "--desktop")) {
#ifdef _WIN32
        // The user's local application data: %LOCALAPPDATA%\Quendrel\Program.
        const QString local = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        const std::string folder = local.isEmpty() ? std::string() : (local + "/Quendrel/Program").toStdString();
        std::string error = folder.empty() ? "No local application data folder" : "";
#else
        const std::string folder = UserProgramFolder(std::getenv("HOME"), std::getenv("XDG_DATA_HOME"));
        std::string error = folder.empty() ? "No home folder (HOME is not set)" : "";
#endif
        if (!error.empty() || !EnterUserProgramFolder(folder, &error)) {
          ShowFatal(QString::fromStdString(error));
          return quitAfterStart ? 1 : 0;
        }
      }
      if (HasOption(argc, argv, "--virtual-phone") && !StartVirtualPhone(argc, argv)) return 0;
      TVelkoMainForm form;
      // Declared after the window: destroyed first, while their parent lives.
      std::unique_ptr<TDialogSet> dialogs = CreateDialogs(&form);
      // With the virtual phone, the chooser opens on its PC sample folder.
      if (!VirtualPhonePcFolder().empty())
        dialogs->dirSelect->ShowFolder(QString::fromStdString(VirtualPhonePcFolder()));
      form.FormCreate();
      form.show();
      if (quitAfterStart) {
        // Once the first connect has ended: the status bar's panels, then close.
        auto* wait = new QTimer(&form);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        QObject::connect(wait, &QTimer::timeout, &form, [&form, wait, until] {
          const bool named = form.StatusPanel(0)->text().contains(QStringLiteral(": "));
          if ((!form.SessionIdle() || !named) && std::chrono::steady_clock::now() < until) return;
          wait->stop();
          // What the connect told the window may still wait in its queue.
          form.DrainWindowQueue();
          std::printf("started\n%s\n%s\n", form.StatusPanel(0)->text().toUtf8().constData(),
                      form.StatusPanel(1)->text().toUtf8().constData());
          std::fflush(stdout);
          form.close();
        });
        wait->start(20);
      }
      QApplication::setQuitOnLastWindowClosed(true);
      QApplication::exec();
      // The close's disconnect runs on the session worker: let it end
      // before the phone goes.
      form.FinishSession(std::chrono::seconds(3));
      StopVirtualPhone();
    } catch (const std::exception& e) {
      QString text = QString::fromLocal8Bit(e.what());
      // Typed in a terminal outside a program folder: say how it is started.
      std::error_code ec;
      if (!std::filesystem::exists(kIniFileName, ec))
        text += QStringLiteral("\n\nQuendrel reads %1 from the folder it is started in. Start it from the "
                               "desktop's menu, or with \"quendrel --desktop\", which keeps its settings in "
                               "your own folder.").arg(QString::fromLatin1(kIniFileName));
      ShowFatal(text);
    } catch (...) {
      ShowFatal(QStringLiteral("Unknown error"));
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    fatalShown = true;
  }
  // The usual exit status is 0 whatever happened; the test start says.
  return quitAfterStart && fatalShown ? 1 : 0;
}
