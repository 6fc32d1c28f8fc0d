// The main window, offscreen, closed while an operation waits for a phone
// that stays silent: the operation ends without further message boxes,
// and nothing crashes, hangs or loses the user's files.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <csignal>
#include <future>
#include <map>
#include <optional>
#include <thread>

#include "app/core/Config.h"
#include "app/gui/Dialogs.h"
#include "app/gui/MainForm.h"
#include "content/Backup.h"
#include "content/Sha256.h"
#include "link/Batch.h"
#include "link/PortMap.h"
#include "link/Settings.h"
#include "support/CliRun.h"
#include "support/FaultHelpers.h"
#include "support/TempDir.h"
#include "support/WindowSession.h"
#include "virtualphone/PhoneSim.h"

namespace fs = std::filesystem;

namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "test_gui_faults";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

std::string Descriptor(const std::string& name, size_t jarSize, const std::string& version = "1.0") {
  return "MIDlet-Name: " + name + "\r\nMIDlet-Version: " + version + "\r\nMIDlet-Vendor: Quendrel Test\r\n"
         "MIDlet-Jar-URL: http://example.invalid/g.jar\r\nMIDlet-Jar-Size: " + std::to_string(jarSize) + "\r\n";
}

// A picture the page lists: a bitmap header of 16 x 16, then bytes.
const std::string kUpload = "BM" + std::string(16, '\0') + std::string("\x10\0\0\0\x10\0\0\0", 8) +
                            faults::Pattern(480, 21);
const std::string kDownload = faults::Pattern(500, 22);
const std::string kJar = faults::Pattern(250, 23);

// Selects the row of a list view whose first cell is 'name'.
bool SelectRow(TVelkoMainForm& form, TListId list, const std::string& name) {
  QTreeWidget* view = form.ListView(list);
  for (int i = 0; i < view->topLevelItemCount(); ++i) {
    if (view->topLevelItem(i)->text(0).toStdString() == name) {
      view->topLevelItem(i)->setSelected(true);
      return true;
    }
  }
  return false;
}

// The parts of the progress panel still shown; none once an operation is over.
std::string PanelLeft(TVelkoMainForm& form) {
  std::string left;
  for (const char* n : {"Status_Label1", "LAD_ProgressBar", "TotalBar_Label", "Total_ProgressBar"})
    if (form.findChild<QWidget*>(n)->isVisible()) left += std::string(n) + " ";
  return left;
}

struct GuiCase {
  const char* label;
  std::string prefix;  // the command the phone leaves unanswered
  std::function<void(TVelkoMainForm&)> arrange;
  std::function<void(TVelkoMainForm&)> run;
};

void PrintTo(const GuiCase& c, std::ostream* os) { *os << c.label; }

std::vector<GuiCase> GuiCases() {
  auto none = [](TVelkoMainForm&) {};
  auto content = [](TVelkoMainForm& f) {
    OnSession(f, [&f] { f.contentPage.OpenContentPage(); });
    SelectRow(f, TListId::PcFiles, "up.bmp");
    SelectRow(f, TListId::PhoneFiles, "dl.bmp");
  };
  auto midlets = [](TVelkoMainForm& f) {
    OnSession(f, [&f] { f.midletPage.LocalAppDL_RefreshPage(); });
    SelectRow(f, TListId::PcSuites, "Game");
    SelectRow(f, TListId::PhoneSuites, "Old");
  };
  // The operations run on the window's worker, as the handlers run them.
  return {
      {"AT", "AT", none, [](TVelkoMainForm& f) { CheckLink(f.link); }},
      {"folder select", "AT*FLIST=", none, [](TVelkoMainForm& f) { f.contentPage.OpenContentPage(); }},
      {"listing", "AT*FLIST?", none, [](TVelkoMainForm& f) { f.contentPage.OpenContentPage(); }},
      {"upload request", "AT*FUPL=\"", content, [](TVelkoMainForm& f) { f.contentPage.DC_PIC_UL_ButtonClick(); }},
      {"upload packet", "AT*FUPL=0201", content, [](TVelkoMainForm& f) { f.contentPage.DC_PIC_UL_ButtonClick(); }},
      {"download", "AT*FDWN=\"dl", content, [](TVelkoMainForm& f) { f.contentPage.DC_PIC_DL_ButtonClick(); }},
      {"download acknowledge", "AT*ACK", content,
       [](TVelkoMainForm& f) { f.contentPage.DC_PIC_DL_ButtonClick(); }},
      {"remove", "AT*FRMV", content, [](TVelkoMainForm& f) { f.contentPage.DC_PIC_Remove_PHONE_ButtonClick(); }},
      {"MIDlet list", "AT*FDWN=\"4\"", none, [](TVelkoMainForm& f) { f.midletPage.LocalAppDL_RefreshPage(); }},
      {"uninstall", "AT*FUPL=\"Old\"", midlets,
       [](TVelkoMainForm& f) { f.midletPage.LocalAppDL_REMOVE_ButtonClick(); }},
      {"install request", "AT*FUPL=\"game.jad\"", midlets,
       [](TVelkoMainForm& f) { f.midletPage.LAD_ONE_ButtonClick(); }},
      {"archive packet", "AT*FUPL=0201", midlets, [](TVelkoMainForm& f) { f.midletPage.LAD_ONE_ButtonClick(); }},
  };
}

// The real window, offscreen, on a virtual phone of its own.
constexpr double kWindowClock = 0.02;
// The folder chooser answered with 'choose', the restore plan with OK
// (its counts kept when asked for); false for any other window.
bool AnswerFolderOrPlan(QWidget* w, const std::string& choose, QString* counts) {
  if (auto* chooser = qobject_cast<TDIR_Select_Form*>(w); chooser && chooser->isVisible()) {
    chooser->ShowFolder(QString::fromStdString(choose));
    chooser->Dir_sel_okClick();
    return true;
  }
  if (!w || w->objectName() != "RestorePlanDialog" || !w->isVisible()) return false;
  if (counts) *counts = w->findChild<QLabel*>("PlanCounts")->text();
  w->findChild<QPushButton*>("PlanOK_Button")->click();
  return true;
}

class WindowOnPhone : public ::testing::Test {
 protected:
  void PaceThePhone() {
    phonesim::Options o = sim_->GetOptions();
    o.pace115200 = true;
    sim_->SetOptions(o);
  }
  // Answers every overwrite question with "Overwrite" (or "Cancel") while the timer runs.
  static void AnswerOverwrite(QTimer& timer, bool overwrite = true) {
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [overwrite] {
      auto* dlg = qobject_cast<TWarning_overwrite_dialog*>(QApplication::activeModalWidget());
      if (dlg && overwrite) dlg->OKBtnClick();
      else if (dlg) dlg->CancelBtnClick();
    });
    timer.start();
  }
  void SetUp() override {
    App();
    root_ = home_.path();
    fs::create_directories(root_ + "/Program");
    fs::create_directories(root_ + "/logs");
    std::ofstream(root_ + "/Program/Velko.ini") << "debugFlag=96\n";
    setenv("HOME", root_.c_str(), 1);
    IsolateSettings(home_);
    oldCwd_ = fs::current_path();
    fs::current_path(root_ + "/Program");
    ResetAppConfig();

    home_.Write("pc/up.bmp", kUpload);
    home_.Write("pc/game.jad", Descriptor("Game", kJar.size()));
    home_.Write("pc/game.jar", kJar);
    home_.Write("phone/3/dl.bmp", "BM" + kDownload);
    home_.Write("phone/4/Old/old.jad", Descriptor("Old", 3));
    home_.Write("phone/4/Old/old.jar", "JJJ");
    for (const char* f : {"1", "2", "3", "4"}) fs::create_directories(home_.File("phone/") + f);
    phonesim::Options o;
    o.contentDir = home_.File("phone");
    sim_ = std::make_unique<phonesim::PhoneSim>(o);
    ASSERT_TRUE(sim_->Start());
    AddPortMapEntry("COM50", sim_->DevicePath());
    WriteConnectValue("PortNo", 50);
    WriteConnectValue("Language", 9);

    form_ = std::make_unique<TVelkoMainForm>();
    dialogs_ = CreateDialogs(form_.get());
    form_->link.SetClock(TClock(kWindowClock));
    form_->pages.PcFolder = home_.File("pc");
    form_->pages.FolderAsked = true;
    form_->pages.FolderNumber = 3;
    form_->show();
    form_->FormCreate();
    ASSERT_TRUE(Settle(*form_));
    ASSERT_TRUE(form_->link.Port().Connected());

    // Every message box is read and answered; a box after the close is a fault.
    boxWatch_ = new QTimer;
    boxWatch_->setInterval(5);
    QObject::connect(boxWatch_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box || !box->isVisible()) return;
      (closed_ ? boxesAfterClose_ : boxesBefore_).push_back(box->text().toStdString());
      box->accept();
    });
    boxWatch_->start();
  }
  void TearDown() override {
    unsetenv("XDG_DATA_HOME");
    delete boxWatch_;
    dialogs_.reset();
    form_.reset();
    sim_.reset();
    ResetAppConfig();
    fs::current_path(oldCwd_);
  }

  TempDir home_;
  std::string root_;
  fs::path oldCwd_;
  std::unique_ptr<phonesim::PhoneSim> sim_;
  std::unique_ptr<TVelkoMainForm> form_;
  std::unique_ptr<TDialogSet> dialogs_;
  QTimer* boxWatch_ = nullptr;
  bool closed_ = false;
  std::vector<std::string> boxesBefore_, boxesAfterClose_;
};

class WindowClosedDuringAWait : public WindowOnPhone, public ::testing::WithParamInterface<GuiCase> {};

TEST_P(WindowClosedDuringAWait, EndsWithoutFurtherBoxesOrLoss) {
  const GuiCase& c = GetParam();
  c.arrange(*form_);
  ASSERT_TRUE(boxesBefore_.empty()) << boxesBefore_.front();
  const faults::TFolderSnapshot pcBefore = faults::Snapshot(home_.File("pc"));
  const faults::TFolderSnapshot phoneBefore = faults::Snapshot(home_.File("phone"));
  phonesim::Options o = sim_->GetOptions();
  o.noEchoSilentPrefix = c.prefix;
  sim_->SetOptions(o);
  sim_->ClearReceived();

  // Close the window once the phone has the unanswered command.
  QTimer closer;
  closer.setInterval(5);
  QObject::connect(&closer, &QTimer::timeout, [&] {
    for (const std::string& l : sim_->ReceivedLines()) {
      if (l.rfind(c.prefix, 0) == 0 && !closed_) {
        closed_ = true;
        closer.stop();
        form_->close();
        return;
      }
    }
  });
  closer.start();
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(OnSession(*form_, [&] { c.run(*form_); }));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  closer.stop();
  // Give any late box a chance to show up.
  for (int i = 0; i < 20; ++i) {
    QApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }

  ASSERT_TRUE(closed_) << "the close must come during the wait";
  EXPECT_EQ(form_->link.Flags().AppClosing, 1);
  EXPECT_FALSE(form_->isVisible());
  EXPECT_TRUE(boxesBefore_.empty()) << boxesBefore_.front();
  EXPECT_TRUE(boxesAfterClose_.empty()) << boxesAfterClose_.front();
  // Waits here last 0.5 s to 5 s; the close cut this one short.
  EXPECT_LT(seconds, 2.0);
  EXPECT_FALSE(form_->link.Port().Connected());

  // Nothing of a download cut short stays, not even under a new name.
  EXPECT_EQ(faults::Snapshot(home_.File("pc")), pcBefore);
  EXPECT_EQ(faults::Snapshot(home_.File("phone")), phoneBefore);
}

INSTANTIATE_TEST_SUITE_P(Faults, WindowClosedDuringAWait, ::testing::ValuesIn(GuiCases()));

}  // namespace

namespace {

// Stop pressed in the real window while a transfer runs on a phone paced
// at 115200 baud: the transfer ends within a second, the PC files are as
// before, the page refreshes, and the same operation then goes through.
struct StopCase {
  const char* label;
  std::string stopAt;  // Stop is pressed once the phone has this line
  std::function<void(TVelkoMainForm&)> run;
  std::string phoneFile;  // what the operation stores on the phone when it goes through
  std::vector<std::string> stopBoxes = {};  // what the end of the stop says
};

void PrintTo(const StopCase& c, std::ostream* os) { *os << c.label; }

class StopDuringATransfer : public WindowOnPhone, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StopDuringATransfer, EndsWithinASecondKeepsFilesAndTheNextRunWorks) {
  const StopCase& c = GetParam();
  home_.Write("pc/dl.bmp", "the user's own picture");  // the fetch overwrites it
  // The phone is paced: the page's refresh after the stop needs room in
  // its waits on a loaded machine.
  form_->link.SetClock(TClock(0.05));
  OnSession(*form_, [this] { form_->contentPage.OpenContentPage(); });
  PaceThePhone();
  // The overwrite question is answered "Overwrite".
  QTimer answer;
  AnswerOverwrite(answer);
  const faults::TFolderSnapshot pcBefore = faults::Snapshot(home_.File("pc"));
  sim_->ClearReceived();

  std::chrono::steady_clock::time_point pressed, ended;
  QTimer stopper;
  stopper.setInterval(2);
  QObject::connect(&stopper, &QTimer::timeout, [&] {
    if (pressed == std::chrono::steady_clock::time_point()) {
      for (const std::string& l : sim_->ReceivedLines()) {
        if (l.rfind(c.stopAt, 0) != 0) continue;
        auto* stop = form_->findChild<QPushButton*>("Stop_Button");
        ASSERT_TRUE(stop && stop->isVisible());
        pressed = std::chrono::steady_clock::now();
        stop->click();
        return;
      }
    } else if (!form_->link.Flags().StopPending() && ended == std::chrono::steady_clock::time_point()) {
      ended = std::chrono::steady_clock::now();  // the batch has taken the stop: the transfer is over
    }
  });
  stopper.start();
  c.run(*form_);
  stopper.stop();

  ASSERT_NE(pressed, std::chrono::steady_clock::time_point()) << "Stop must come during the transfer";
  ASSERT_NE(ended, std::chrono::steady_clock::time_point());
  EXPECT_LT(std::chrono::duration<double>(ended - pressed).count(), 1.0);
  EXPECT_EQ(faults::Snapshot(home_.File("pc")), pcBefore);
  if (!c.phoneFile.empty()) {
    EXPECT_FALSE(faults::Exists(home_.File("phone/" + c.phoneFile)));
  }
  EXPECT_EQ(boxesBefore_, c.stopBoxes);
  EXPECT_EQ(PanelLeft(*form_), "");
  EXPECT_FALSE(form_->findChild<QPushButton*>("Stop_Button")->isVisible());
  EXPECT_TRUE(form_->findChild<QPushButton*>("DC_PIC_UL_Button")->isEnabled());

  // A Stop that lands just as an operation ends is no stop of the next one.
  form_->link.Flags().RequestStop();
  bool linked = false;
  OnSession(*form_, [&] { linked = CheckLink(form_->link); });
  EXPECT_TRUE(linked);

  // Without reconnecting by hand, the same operation now goes through.
  boxesBefore_.clear();
  c.run(*form_);
  EXPECT_TRUE(boxesBefore_.empty()) << boxesBefore_.front();
  const std::string done = c.phoneFile.empty() ? faults::ReadAll(home_.File("pc/dl.bmp"))
                                                : faults::ReadAll(home_.File("phone/" + c.phoneFile));
  EXPECT_EQ(done, c.phoneFile.empty() ? "BM" + kDownload : c.phoneFile == "3/up.bmp" ? kUpload : kJar);
}

// A page opening that fails at the link check, as the user meets it: one
// box for one failure (a hang-up adds none for the absent fall-back port),
// and the progress panel empty afterwards.
TEST_F(WindowOnPhone, FailedLinkCheckTellsOnceAndLeavesTheProgressPanelEmpty) {
  struct Case {
    const char* label;
    std::string phonesim::Options::*prefix;
    bool hangUp;
    std::vector<std::string> boxes;
  };
  const Case cases[] = {
      {"AT refused", &phonesim::Options::errorPrefix, false, {"Connection failed"}},
      {"AT unanswered", &phonesim::Options::silentPrefix, false, {"Connection Timeout", "AT\r\n"}},
      {"hang-up during AT", &phonesim::Options::silentPrefix, true,
       {"COM Port Exception while wait event", kLineLostAdvice}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    phonesim::Options o = sim_->GetOptions();
    o.errorPrefix = o.silentPrefix = "";
    o.*c.prefix = "AT";
    sim_->SetOptions(o);
    sim_->ClearReceived();
    boxesBefore_.clear();
    QTimer hangUp;
    hangUp.setInterval(2);
    QObject::connect(&hangUp, &QTimer::timeout, [&] {
      if (sim_->ReceivedLines().empty()) return;
      hangUp.stop();
      sim_->HangUp();
    });
    if (c.hangUp) hangUp.start();
    form_->RunOnSession([this] { form_->contentPage.OpenContentPage(); });
    ASSERT_TRUE(Settle(*form_));
    // A box that would come late still comes within this.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (std::chrono::steady_clock::now() < end) QApplication::processEvents();
    EXPECT_EQ(boxesBefore_, c.boxes);
    EXPECT_EQ(PanelLeft(*form_), "");
  }
  // After the dropped line the bar and the menu agree: the user's port,
  // down, Connect offered; and the link is on no other port.
  EXPECT_EQ(form_->StatusPanel(0)->text(), "Connection: COM50");
  EXPECT_EQ(form_->StatusPanel(1)->text(), "Status: Disconnect");
  EXPECT_TRUE(form_->findChild<QAction*>("Connect1")->isEnabled());
  EXPECT_EQ(form_->link.Port().Port(), "COM50");
}

// The PC side's REMOVE puts the file in the desktop's trash (under the
// test's own home), asking nothing, and makes the trash when the account
// has none yet, its data folder included; a trash that cannot be made
// leaves the file where it is and says why.
TEST_F(WindowOnPhone, PcRemoveMovesTheFileToTheTrash) {
  const std::string data = root_ + "/.local/share";
  setenv("XDG_DATA_HOME", data.c_str(), 1);
  home_.Write("pc/keep.bmp", kUpload);  // the refresh still finds a picture
  OnSession(*form_, [this] { form_->contentPage.OpenContentPage(); });
  struct Case {
    const char* label;
    std::function<void()> arrange;
    std::vector<std::string> boxes;
  };
  const Case cases[] = {
      {"a file in the trash's place", [&] { home_.Write(".local/share/Trash", "not a folder"); },
       {"No trash folder can be made at " + data + "/Trash: a file of that name is in the way", "Remove File ERR",
        "Not removed: up.bmp"}},
      {"no data folder yet", [&] { fs::remove_all(root_ + "/.local"); }, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    c.arrange();
    boxesBefore_.clear();
    ASSERT_TRUE(SelectRow(*form_, TListId::PcFiles, "up.bmp"));
    OnSession(*form_, [this] { form_->contentPage.DC_PIC_Remove_PC_ButtonClick(); });
    EXPECT_EQ(boxesBefore_, c.boxes);
    EXPECT_EQ(faults::Exists(home_.File("pc/up.bmp")), !c.boxes.empty());
  }
  EXPECT_EQ(faults::ReadAll(data + "/Trash/files/up.bmp"), kUpload);
  EXPECT_TRUE(fs::exists(data + "/Trash/info/up.bmp.trashinfo"));
  EXPECT_EQ(fs::status(data + "/Trash").permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_FALSE(fs::exists(root_ + "/Program/files"));  // nothing strays into the working directory
}

// Disconnect chosen while a fetch runs does not wait for it: it stops the
// fetch as Stop does, shows at once that it is pending, and then runs.
TEST_F(WindowOnPhone, DisconnectDuringATransferStopsItAndRuns) {
  home_.Write("pc/dl.bmp", "the user's own picture");
  form_->link.SetClock(TClock(0.05));
  OnSession(*form_, [this] { form_->contentPage.OpenContentPage(); });
  SelectRow(*form_, TListId::PhoneFiles, "dl.bmp");
  PaceThePhone();
  QTimer answer;
  AnswerOverwrite(answer);
  const faults::TFolderSnapshot pcBefore = faults::Snapshot(home_.File("pc"));
  sim_->ClearReceived();
  auto* disconnect = form_->findChild<QAction*>("Disconnect1");
  ASSERT_NE(disconnect, nullptr);
  bool chosen = false, greyedAtOnce = false;
  std::chrono::steady_clock::time_point pressed;
  QTimer chooser;
  chooser.setInterval(2);
  QObject::connect(&chooser, &QTimer::timeout, [&] {
    if (chosen) return;
    for (const std::string& l : sim_->ReceivedLines()) {
      if (l.rfind("AT*ACK", 0) != 0) continue;
      chosen = true;
      pressed = std::chrono::steady_clock::now();
      disconnect->trigger();
      greyedAtOnce = !disconnect->isEnabled();
      return;
    }
  });
  chooser.start();
  form_->findChild<QPushButton*>("DC_PIC_DL_Button")->click();
  ASSERT_TRUE(Settle(*form_));
  chooser.stop();
  ASSERT_TRUE(chosen) << "Disconnect must come during the fetch";
  EXPECT_TRUE(greyedAtOnce);
  EXPECT_EQ(boxesBefore_, std::vector<std::string>{"Stopped: 0 of 1 fetched; not fetched: dl.bmp"});
  // The fetch and the page's refresh after it end quickly on this clock,
  // then the disconnect has run.
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - pressed).count(), 5.0);
  EXPECT_FALSE(form_->link.Port().Connected());
  EXPECT_FALSE(disconnect->isEnabled());
  EXPECT_TRUE(form_->findChild<QAction*>("Connect1")->isEnabled());
  EXPECT_EQ(faults::Snapshot(home_.File("pc")), pcBefore);
}

// The Connection menu's backup and restore on the virtual phone: the
// chooser and the plan are answered as a user would; the backup holds the
// phone's files byte for byte, and a restore onto the emptied folder puts
// them back.
TEST_F(WindowOnPhone, BackupAndRestoreThroughTheMenu) {
  fs::remove(home_.File("phone/3/dl.bmp"));  // a file the page would refuse to send back
  home_.Write("phone/3/up.bmp", kUpload);
  home_.Write("phone/3/my pic (2).bmp", kUpload + "x");
  fs::create_directories(home_.File("backups"));
  const faults::TFolderSnapshot phoneBefore = faults::Snapshot(home_.File("phone/3"));
  std::string choose;
  QString counts;
  QTimer answer;
  answer.setInterval(5);
  QObject::connect(&answer, &QTimer::timeout, [&] {
    QWidget* w = QApplication::activeModalWidget();
    if (AnswerFolderOrPlan(w, choose, &counts)) {
    } else if (auto* clash = qobject_cast<TWarning_overwrite_dialog*>(w); clash && clash->isVisible()) {
      // Queued: the prompt runs modally, and this timer does not fire inside itself.
      QMetaObject::invokeMethod(clash->findChild<QPushButton*>("Rename_Button"), "click", Qt::QueuedConnection);
    } else if (auto* rename = qobject_cast<TRename_Dlg1*>(w); rename && rename->isVisible()) {
      rename->findChild<QLineEdit*>("Filename_Edit1")->setText("up2.bmp");
      rename->findChild<QPushButton*>("OKBtn")->click();
    }
  });
  answer.start();

  choose = home_.File("backups");
  ASSERT_TRUE(form_->BackupEntry()->isEnabled());
  form_->BackupEntry()->trigger();
  EXPECT_FALSE(form_->RestoreEntry()->isEnabled());  // greyed while the backup runs
  form_->BackupClick();                              // and refused when chosen anyway,
  bool otherRan = false;                             // as any other action is
  form_->RunOnSession([&otherRan] { otherRan = true; });
  ASSERT_TRUE(Settle(*form_));
  EXPECT_FALSE(otherRan);
  EXPECT_EQ(std::count(boxesBefore_.begin(), boxesBefore_.end(),
                       "Another operation is running; try again when it has ended."),
            2);
  std::vector<fs::path> made;
  for (const auto& e : fs::directory_iterator(choose)) made.push_back(e.path());
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(made[0].filename().string().rfind("quendrel-backup-", 0), 0u);
  EXPECT_EQ(made[0].extension(), "");  // whole: not ".partial"
  EXPECT_EQ(faults::Snapshot((made[0] / "pictures").string()), phoneBefore);
  ASSERT_FALSE(boxesBefore_.empty());
  EXPECT_NE(boxesBefore_.back().find(made[0].string()), std::string::npos) << boxesBefore_.back();

  for (const auto& f : phoneBefore) fs::remove(home_.File("phone/3/" + f.first));
  // A suite the phone lost comes back from the folder the Java page was given.
  fs::remove_all(home_.File("phone/4/Old"));
  home_.Write("pc/old.jad", Descriptor("Old", 3));
  home_.Write("pc/old.jar", "JJJ");
  choose = made[0].string();
  ASSERT_TRUE(form_->RestoreEntry()->isEnabled());
  form_->RestoreEntry()->trigger();
  ASSERT_TRUE(Settle(*form_));
  EXPECT_EQ(counts, "Send: 2   Same (name and size, not compared): 0   Clash: 0   Refused: 0");
  EXPECT_EQ(faults::Snapshot(home_.File("phone/3")), phoneBefore);
  EXPECT_EQ(home_.Read("phone/4/Old/old.jar"), "JJJ");
  EXPECT_EQ(boxesBefore_.back(), "The restore is done: 2 sent, 0 left as they were.");
  EXPECT_TRUE(form_->BackupEntry()->isEnabled());

  // A file the sums do not name stays behind, named, and the restore is not complete.
  home_.Write(fs::relative(made[0] / "pictures/extra.bmp", home_.path()).string(), kUpload);
  home_.Write(fs::relative(made[0] / "pictures/Thumbs.db", home_.path()).string(), "cache");
  for (const auto& f : phoneBefore) fs::remove(home_.File("phone/3/" + f.first));
  form_->RestoreEntry()->trigger();
  ASSERT_TRUE(Settle(*form_));
  EXPECT_EQ(faults::Snapshot(home_.File("phone/3")), phoneBefore);
  EXPECT_EQ(boxesBefore_.back(), "The restore is not complete: 2 sent.\npictures/extra.bmp is not sent: not in SHA256SUMS");
  fs::remove(made[0] / "pictures/extra.bmp");

  // A clash answered by a new name: that file is sent, not left as it was.
  home_.Write("phone/3/up.bmp", "the phone's own");
  form_->RestoreEntry()->trigger();
  ASSERT_TRUE(Settle(*form_));
  EXPECT_EQ(counts, "Send: 0   Same (name and size, not compared): 1   Clash: 1   Refused: 0");
  EXPECT_EQ(home_.Read("phone/3/up2.bmp"), kUpload);
  EXPECT_EQ(home_.Read("phone/3/up.bmp"), "the phone's own");
  EXPECT_EQ(boxesBefore_.back(), "The restore is done: 1 sent, 1 left as they were.");
  fs::remove(home_.File("phone/3/up2.bmp"));

  // A damaged file refuses the whole restore, named, before any plan or send.
  std::ofstream((made[0] / "pictures/up.bmp").string(), std::ios::app) << "x";
  for (const auto& f : phoneBefore) fs::remove(home_.File("phone/3/" + f.first));
  counts.clear();
  form_->RestoreEntry()->trigger();
  ASSERT_TRUE(Settle(*form_));
  EXPECT_EQ(boxesBefore_.back(), "The backup is not whole; nothing was sent.\nMissing or damaged:\npictures/up.bmp");
  EXPECT_TRUE(counts.isEmpty());
  EXPECT_TRUE(faults::Snapshot(home_.File("phone/3")).empty());
}

// A backup lists and fetches without touching the open page: no box on the
// way (folder 1 is empty), the page's phone list as it was, and one end box
// that says the backup is not complete and names each entry left out.
TEST_F(WindowOnPhone, BackupLeavesThePageAndTellsAtTheEnd) {
  home_.Write("phone/2/anim.gif", "GIF89a anim");
  home_.Write("phone/3/a\\b.bmp", kUpload);  // a name the PC cannot hold
  fs::create_directories(home_.File("backups"));
  OnSession(*form_, [this] { form_->contentPage.OpenContentPage(); });
  // The phone's files and its suites as the pages show them.
  auto rows = [this] {
    std::vector<std::string> names;
    for (TListId list : {TListId::PhoneFiles, TListId::PhoneSuites}) {
      QTreeWidget* view = form_->ListView(list);
      for (int i = 0; i < view->topLevelItemCount(); ++i) names.push_back(view->topLevelItem(i)->text(0).toStdString());
    }
    return names;
  };
  const std::vector<std::string> before = rows();
  ASSERT_EQ(before, (std::vector<std::string>{"a\\b.bmp", "dl.bmp"}));
  phonesim::Options o = sim_->GetOptions();
  o.listTwice = true;
  sim_->SetOptions(o);
  boxesBefore_.clear();
  QTimer answer;
  answer.setInterval(5);
  QObject::connect(&answer, &QTimer::timeout, [&] {
    if (auto* chooser = qobject_cast<TDIR_Select_Form*>(QApplication::activeModalWidget());
        chooser && chooser->isVisible()) {
      chooser->ShowFolder(QString::fromStdString(home_.File("backups")));
      chooser->Dir_sel_okClick();
    }
  });
  answer.start();
  form_->BackupEntry()->trigger();
  ASSERT_TRUE(Settle(*form_));
  EXPECT_EQ(rows(), before);
  std::vector<fs::path> made;
  for (const auto& e : fs::directory_iterator(home_.File("backups"))) made.push_back(e.path());
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(made[0].extension(), ".partial");
  EXPECT_EQ(home_.Read("backups/" + made[0].filename().string() + "/animations/anim.gif"), "GIF89a anim");
  ASSERT_EQ(boxesBefore_.size(), 1u) << boxesBefore_.front();
  EXPECT_EQ(boxesBefore_[0], "The backup is not complete. What arrived is in\n" + made[0].string() +
                                 "\n\nNot in the backup:\n"
                                 "animations/anim.gif: listed a second time; the backup holds one file of this name\n"
                                 "pictures/a\\b.bmp: a name this PC cannot hold as a file\n"
                                 "pictures/a\\b.bmp: a name this PC cannot hold as a file\n"
                                 "pictures/dl.bmp: listed a second time; the backup holds one file of this name\n\n"
                                 "Empty on the phone: melodies");
}

// Stop pressed while a backup fetches: what arrived stays in its ".partial"
// folder, which the end box names; no whole backup is made.
TEST_F(WindowOnPhone, BackupStoppedKeepsItsPartialFolder) {
  for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) home_.Write(std::string("phone/3/") + name, kUpload);
  fs::create_directories(home_.File("backups"));
  PaceThePhone();
  sim_->ClearReceived();
  bool pressed = false;
  QTimer answer;
  answer.setInterval(2);
  QObject::connect(&answer, &QTimer::timeout, [&] {
    if (auto* chooser = qobject_cast<TDIR_Select_Form*>(QApplication::activeModalWidget());
        chooser && chooser->isVisible()) {
      chooser->ShowFolder(QString::fromStdString(home_.File("backups")));
      chooser->Dir_sel_okClick();
      return;
    }
    for (const std::string& l : sim_->ReceivedLines())
      if (!pressed && l.rfind("AT*FDWN=", 0) == 0) {
        pressed = true;
        form_->findChild<QPushButton*>("Stop_Button")->click();
      }
  });
  answer.start();
  form_->BackupEntry()->trigger();
  ASSERT_TRUE(Settle(*form_, std::chrono::seconds(60)));
  ASSERT_TRUE(pressed) << "Stop must come during the fetches";
  std::vector<fs::path> made;
  for (const auto& e : fs::directory_iterator(home_.File("backups"))) made.push_back(e.path());
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(made[0].extension(), ".partial");
  ASSERT_FALSE(boxesBefore_.empty());
  EXPECT_EQ(boxesBefore_.back(), "The backup was stopped. What arrived is in\n" + made[0].string());
  EXPECT_EQ(PanelLeft(*form_), "");
}

INSTANTIATE_TEST_SUITE_P(
    Stop, StopDuringATransfer,
    ::testing::Values(
        StopCase{"upload", "AT*FUPL=0301",
                 [](TVelkoMainForm& f) {
                   OnSession(f, [&f] { f.contentPage.OpenContentPage(); });
                   SelectRow(f, TListId::PcFiles, "up.bmp");
                   ClickAndSettle(f, "DC_PIC_UL_Button");
                 },
                 "3/up.bmp",
                 {"Stopped: 0 of 1 sent; not sent: up.bmp"}},
        StopCase{"download over a PC file", "AT*ACK",
                 [](TVelkoMainForm& f) {
                   OnSession(f, [&f] { f.contentPage.OpenContentPage(); });
                   SelectRow(f, TListId::PhoneFiles, "dl.bmp");
                   ClickAndSettle(f, "DC_PIC_DL_Button");
                 },
                 "",
                 {"Stopped: 0 of 1 fetched; not fetched: dl.bmp"}},
        StopCase{"suite install", "AT*FUPL=0201",
                 [](TVelkoMainForm& f) {
                   OnSession(f, [&f] { f.midletPage.LocalAppDL_RefreshPage(); });
                   SelectRow(f, TListId::PcSuites, "Game");
                   OnSession(f, [&f] { f.midletPage.LAD_ONE_ButtonClick(); });
                 },
                 "4/Game/game.jar"}));

}  // namespace

namespace {

// One batch run through the window and through the command line, each on
// a fresh phone in the same state: the same files end up on both sides,
// and both fronts agree whether it went through.
using TFiles = std::map<std::string, std::string>;

// A picture the page lists, its bytes after the header set by seed.
std::string Picture(int seed) {
  return "BM" + std::string(16, '\0') + std::string("\x10\0\0\0\x10\0\0\0", 8) + faults::Pattern(480, seed);
}

struct BatchRow {
  const char* label;
  TBatchOp op;
  std::vector<std::string> names = {};  // what the batch takes, in list order
  TFiles pc = {}, phone = {};           // the PC folder and the phone's picture folder at the start
  std::function<void(phonesim::Options&)> fault = [](phonesim::Options&) {};
  std::string hangUpAt = {};  // the phone hangs up once it has a line starting with this
  bool overwrite = true;      // the answer to the overwrite question
  bool drop = false;          // the window: dropped on the phone list rather than the button
  bool onPc = false;          // Remove: the PC side's REMOVE, to the trash
  bool trashInTheWay = false; // a file stands where the trash folder would be made
  unsigned long long fileLimit = 0;  // >0: files past this size cannot be written, as on a full disk
  bool ok = true;             // the batch goes through (or is passed over by the user's answer)
  std::vector<std::string> told = {};  // texts both fronts show whole (a box, a line of stderr)
  std::optional<TFiles> phoneAfter = {};  // the phone's picture folder at the end, when it matters
};

void PrintTo(const BatchRow& r, std::ostream* os) { *os << r.label; }

struct BatchOutcome {
  faults::TFolderSnapshot pc, phone;
  bool ok;
  std::string said;  // the window's boxes or the command line's stderr
};

// Hangs the phone up once a line with the prefix has come (none when empty).
class HangUpOn {
 public:
  HangUpOn(phonesim::PhoneSim& sim, const std::string& prefix) {
    if (prefix.empty()) return;
    thread_ = std::thread([this, &sim, prefix] {
      while (!done_) {
        for (const std::string& l : sim.ReceivedLines())
          if (l.rfind(prefix, 0) == 0) return sim.HangUp();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
  }
  ~HangUpOn() {
    done_ = true;
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::atomic<bool> done_{false};
  std::thread thread_;
};

// The PC folder at the start: the row's files and one picture outside the
// batch, so that the window's refresh afterwards has no empty folder to tell of.
TFiles PcAtStart(const BatchRow& row) {
  TFiles files = row.pc;
  files.emplace("keep.bmp", Picture(30));
  return files;
}

void Fill(const TempDir& home, const BatchRow& row) {
  fs::remove_all(home.File("pc"));
  fs::remove_all(home.File("phone/3"));
  fs::remove_all(home.File(".local"));
  if (row.trashInTheWay) home.Write(".local/share/Trash", "not a folder");
  fs::create_directories(home.File("pc"));
  for (const char* f : {"1", "2", "3", "4"}) fs::create_directories(home.File("phone/") + f);
  for (const auto& [name, bytes] : PcAtStart(row)) home.Write("pc/" + name, bytes);
  for (const auto& [name, bytes] : row.phone) home.Write("phone/3/" + name, bytes);
}

class BatchThroughBothFronts : public WindowOnPhone, public ::testing::WithParamInterface<BatchRow> {
 protected:
  BatchOutcome InWindow(const BatchRow& row) {
    Fill(home_, row);
    // The phone is the same from the start: the page's opening meets its faults too.
    phonesim::Options o = sim_->GetOptions();
    row.fault(o);
    sim_->SetOptions(o);
    // The trash under this home, as the command line's is under its own.
    setenv("XDG_DATA_HOME", home_.File(".local/share").c_str(), 1);
    OnSession(*form_, [this] { form_->contentPage.OpenContentPage(); });
    const bool send = row.op == TBatchOp::Send;
    for (const std::string& n : row.names) {
      if (!(send && row.drop)) {
        EXPECT_TRUE(SelectRow(*form_, send || row.onPc ? TListId::PcFiles : TListId::PhoneFiles, n)) << n;
      }
    }
    sim_->ClearReceived();
    boxesBefore_.clear();
    QTimer answer;
    AnswerOverwrite(answer, row.overwrite);
    HangUpOn hangUp(*sim_, row.hangUpAt);
    if (send && row.drop) {
      QMimeData files;
      QList<QUrl> urls;
      for (const std::string& n : row.names) urls << QUrl::fromLocalFile(QString::fromStdString(home_.File("pc/" + n)));
      files.setUrls(urls);
      // The drag enters first: the application delivers a drop only to the drag's target.
      QWidget* target = form_->ListView(TListId::PhoneFiles)->viewport();
      QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(target, &enter);
      QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(target, &drop);
      QApplication::processEvents();  // the drop hands the files on after it returns
    } else {
      if (row.fileLimit) faults::SetFileSizeLimit(row.fileLimit, true);
      const char* button = send                        ? "DC_PIC_UL_Button"
                           : row.op == TBatchOp::Fetch ? "DC_PIC_DL_Button"
                           : row.onPc                  ? "DC_PIC_Remove_PC_Button"
                                                       : "DC_PIC_Remove_PHONE_Button";
      form_->findChild<QPushButton*>(button)->click();
    }
    EXPECT_TRUE(Settle(*form_, std::chrono::seconds(60)));
    if (row.fileLimit) faults::SetFileSizeLimit(row.fileLimit, false);
    EXPECT_EQ(PanelLeft(*form_), "");
    std::string said;
    for (const std::string& b : boxesBefore_) said += b + "\n";
    return {faults::Snapshot(home_.File("pc")), faults::Snapshot(home_.File("phone/3")), boxesBefore_.empty(), said};
  }

  static BatchOutcome OnCommandLine(const BatchRow& row) {
    TempDir home;
    Fill(home, row);
    phonesim::Options o;
    o.contentDir = home.File("phone");
    row.fault(o);
    phonesim::PhoneSim sim(o);
    EXPECT_TRUE(sim.Start());
    // A drop's twin judges the files as the window's phone list does.
    std::string args = "--port " + sim.DevicePath() + (row.drop ? " --only-suitable" : "") +
                       " --on-conflict=" + (row.overwrite ? "overwrite" : "skip") +
                       (row.op == TBatchOp::Send    ? " put 3"
                        : row.op == TBatchOp::Fetch ? " get 3"
                        : row.onPc                  ? " trash"
                                                    : " rm 3");
    for (const std::string& n : row.names) args += (row.op == TBatchOp::Send || row.onPc ? " pc/" : " ") + n;
    if (row.op == TBatchOp::Fetch) args += " --to pc";
    HangUpOn hangUp(sim, row.hangUpAt);
    // On the window's clock: neither front's output here depends on it.
    const auto run = [&] { return RunCli(home, args, nullptr, kWindowClock); };
    const CliResult r = row.fileLimit ? faults::UnderFileSizeLimit(row.fileLimit, run) : run();
    return {faults::Snapshot(home.File("pc")), faults::Snapshot(home.File("phone/3")), r.status == 0, r.err};
  }
};

// The names and sizes of a snapshot, for a failure's message.
std::string Names(const faults::TFolderSnapshot& files) {
  std::string out;
  for (const auto& [name, bytes] : files) out += name + " (" + std::to_string(bytes.size()) + ") ";
  return out;
}

TEST_P(BatchThroughBothFronts, GiveTheSameOutcome) {
  const BatchRow& row = GetParam();
  // Each front has its own phone: the command line runs beside the window,
  // unless a file size limit, which holds for the whole process, is in play.
  std::future<BatchOutcome> cliRun =
      std::async(row.fileLimit ? std::launch::deferred : std::launch::async, [&row] { return OnCommandLine(row); });
  if (row.fileLimit) cliRun.wait();
  const BatchOutcome window = InWindow(row);
  const BatchOutcome cli = cliRun.get();
  EXPECT_TRUE(window.phone == cli.phone) << "window: " << Names(window.phone) << "\ncommand line: " << Names(cli.phone);
  EXPECT_TRUE(window.pc == cli.pc) << "window: " << Names(window.pc) << "\ncommand line: " << Names(cli.pc);
  EXPECT_EQ(window.ok, cli.ok) << "window:\n" << window.said << "command line:\n" << cli.said;
  EXPECT_EQ(cli.ok, row.ok) << cli.said;
  for (const std::string& text : row.told) {
    EXPECT_NE(("\n" + window.said).find("\n" + text + "\n"), std::string::npos) << "window:\n" << window.said;
    EXPECT_NE(("\n" + cli.said).find("\n" + text + "\n"), std::string::npos) << "command line:\n" << cli.said;
  }
  if (row.phoneAfter) {
    EXPECT_TRUE(window.phone == *row.phoneAfter) << Names(window.phone);
    EXPECT_TRUE(cli.phone == *row.phoneAfter) << Names(cli.phone);
  }
  // Nothing half-written on either side: each file is as it was, or a whole
  // copy of one of the other side's (a PC file of a sub-folder by its name).
  auto whole = [](const faults::TFolderSnapshot& after, const TFiles& before, const TFiles& other) {
    for (const auto& [name, bytes] : after) {
      bool copy = false;
      for (const auto& [path, data] : other)
        copy = copy || ((path == name || fs::path(path).filename() == name) && data == bytes);
      EXPECT_TRUE((before.count(name) && before.at(name) == bytes) || copy) << name;
    }
  };
  whole(window.pc, PcAtStart(row), row.phone);
  whole(window.phone, row.phone, row.pc);
}

const TFiles kTwo = {{"a.bmp", Picture(31)}, {"b.bmp", Picture(32)}};
const TFiles kThree = {{"a.bmp", Picture(31)}, {"b.bmp", Picture(32)}, {"c.bmp", Picture(33)}};
const TFiles kOld = {{"a.bmp", Picture(34)}};

INSTANTIATE_TEST_SUITE_P(
    Batches, BatchThroughBothFronts,
    ::testing::Values(
        BatchRow{.label = "send two", .op = TBatchOp::Send, .names = {"a.bmp", "b.bmp"}, .pc = kTwo},
        BatchRow{.label = "send two dropped", .op = TBatchOp::Send, .names = {"a.bmp", "b.bmp"}, .pc = kTwo,
                 .drop = true},
        BatchRow{.label = "send two dropped, one the phone would not take", .op = TBatchOp::Send,
                 .names = {"a.bmp", "notes.txt"}, .pc = {{"a.bmp", Picture(31)}, {"notes.txt", "a note"}},
                 .drop = true, .ok = false},
        BatchRow{.label = "send onto a clash, overwrite", .op = TBatchOp::Send, .names = {"a.bmp"}, .pc = kTwo,
                 .phone = kOld},
        BatchRow{.label = "send onto a clash, skip", .op = TBatchOp::Send, .names = {"a.bmp", "b.bmp"}, .pc = kTwo,
                 .phone = kOld, .overwrite = false},
        BatchRow{.label = "send onto a clash, the listing refused", .op = TBatchOp::Send, .names = {"a.bmp"},
                 .pc = kTwo, .phone = kOld, .fault = [](phonesim::Options& o) { o.errorPrefix = "AT*FLIST?"; },
                 .overwrite = false, .ok = false},
        BatchRow{.label = "fetch two", .op = TBatchOp::Fetch, .names = {"a.bmp", "b.bmp"}, .phone = kTwo},
        BatchRow{.label = "fetch two onto a PC file, skip", .op = TBatchOp::Fetch, .names = {"a.bmp", "b.bmp"},
                 .pc = kOld, .phone = kTwo, .overwrite = false},
        BatchRow{.label = "remove two", .op = TBatchOp::Remove, .names = {"a.bmp", "b.bmp"}, .phone = kThree},
        BatchRow{.label = "remove two on the PC", .op = TBatchOp::Remove, .names = {"a.bmp", "b.bmp"}, .pc = kThree,
                 .phone = kOld, .onPc = true},
        BatchRow{.label = "remove two on the PC, a file where the trash would be", .op = TBatchOp::Remove,
                 .names = {"a.bmp", "b.bmp"}, .pc = kThree, .phone = kOld, .onPc = true, .trashInTheWay = true,
                 .ok = false},
        BatchRow{.label = "send three, the first one's packets unanswered", .op = TBatchOp::Send,
                 .names = {"a.bmp", "b.bmp", "c.bmp"}, .pc = kThree,
                 .fault = [](phonesim::Options& o) { o.noEchoSilentPrefix = ExpectedPackets(Picture(31))[0]; },
                 .ok = false, .told = {"Not sent: a.bmp"}},
        BatchRow{.label = "fetch two, the first one's packets out of order", .op = TBatchOp::Fetch,
                 .names = {"a.bmp", "b.bmp"}, .phone = kTwo,
                 .fault = [](phonesim::Options& o) { o.swapDownloadPacket = 2; }, .ok = false,
                 .told = {"Not fetched: a.bmp, b.bmp"}},
        // Two PC files of one name: the second meets the file the batch has
        // just sent as a clash, never overwrites it unasked.
        BatchRow{.label = "send two of one name from two folders, skip", .op = TBatchOp::Send,
                 .names = {"dirA/x.bmp", "dirB/x.bmp"}, .pc = {{"dirA/x.bmp", Picture(31)}, {"dirB/x.bmp", Picture(32)}},
                 .overwrite = false, .drop = true, .phoneAfter = TFiles{{"x.bmp", Picture(31)}}},
        BatchRow{.label = "fetch two onto a full disk", .op = TBatchOp::Fetch, .names = {"a.bmp", "b.bmp"},
                 .phone = kTwo, .fileLimit = 300, .ok = false},
        BatchRow{.label = "send two, hang-up at the second", .op = TBatchOp::Send, .names = {"a.bmp", "b.bmp"},
                 .pc = kTwo, .hangUpAt = "AT*FUPL=\"b.bmp", .ok = false},
        BatchRow{.label = "send three dropped, hang-up inside the second", .op = TBatchOp::Send,
                 .names = {"a.bmp", "b.bmp", "c.bmp"}, .pc = kThree, .hangUpAt = "AT*FUPL=\"b.bmp", .drop = true,
                 .ok = false, .told = {kLineLostAdvice, "Not sent: b.bmp, c.bmp"}},
        BatchRow{.label = "fetch two, the first a clash skipped, hang-up inside the second", .op = TBatchOp::Fetch,
                 .names = {"a.bmp", "b.bmp"}, .pc = kOld, .phone = kTwo, .hangUpAt = "AT*ACK", .overwrite = false,
                 .ok = false}));

// A backup and a restore run by each front on the same phone: the same
// files end up on each side and the same verdict is given.
struct WholeRow {
  const char* label;
  bool restore = false;  // else a backup
  TFiles phone = {};     // the phone's picture folder at the start
  TFiles backup = {};    // restore: the backup's pictures (its suites.tsv names "Old")
  std::function<void(phonesim::Options&)> fault = [](phonesim::Options&) {};
  std::string stopAt = {};  // Stop (Ctrl+C) once the phone has a line starting with this
  bool ok = true;
};

void PrintTo(const WholeRow& r, std::ostream* os) { *os << r.label; }

// Whether the phone has had a line starting with prefix.
bool PhoneHad(phonesim::PhoneSim& sim, const std::string& prefix) {
  for (const std::string& l : sim.ReceivedLines())
    if (l.rfind(prefix, 0) == 0) return true;
  return false;
}

struct WholeOutcome {
  faults::TFolderSnapshot phone, pictures;  // the phone's pictures; the backup's (a backup)
  bool partial = false, suite = false, ok = false;
  std::string said;
};

// A backup folder as the program writes one, from the pictures given.
void WriteBackup(const TempDir& home, const std::string& rel, const TFiles& pictures) {
  std::string sums;
  for (const char* sub : {"melodies", "animations", "pictures"}) fs::create_directories(home.File(rel + "/" + sub));
  for (const auto& [name, bytes] : pictures) {
    home.Write(rel + "/pictures/" + name, bytes);
    sums += backup::SumLine(Sha256Hex(bytes), "pictures/" + name);
  }
  const std::string suites = backup::SuitesText({{"Old", "1.0", "", 3}});
  home.Write(rel + "/" + backup::kSuitesFile, suites);
  home.Write(rel + "/" + backup::kSumsFile, sums + backup::SumLine(Sha256Hex(suites), backup::kSuitesFile));
}

void FillWhole(const TempDir& home, const WholeRow& row) {
  Fill(home, BatchRow{.label = row.label, .op = TBatchOp::Send, .phone = row.phone});
  // The suite the backup names is gone from the phone; its files are in the PC folder.
  fs::remove_all(home.File("phone/4/Old"));
  home.Write("pc/old.jad", Descriptor("Old", 3));
  home.Write("pc/old.jar", "JJJ");
  fs::remove_all(home.File("backups"));
  fs::create_directories(home.File("backups"));
  if (row.restore) WriteBackup(home, "backups/b", row.backup);
}

WholeOutcome Outcome(const TempDir& home, bool ok, std::string said) {
  WholeOutcome out{faults::Snapshot(home.File("phone/3")), {}, false, fs::exists(home.File("phone/4/Old/old.jar")), ok,
                   std::move(said)};
  for (const auto& e : fs::directory_iterator(home.File("backups"))) {
    if (e.path().filename() == "b") continue;
    out.partial = e.path().extension() == ".partial";
    out.pictures = faults::Snapshot((e.path() / "pictures").string());
  }
  return out;
}

class WholeThroughBothFronts : public WindowOnPhone, public ::testing::WithParamInterface<WholeRow> {
 protected:
  WholeOutcome InWindow(const WholeRow& row) {
    FillWhole(home_, row);
    phonesim::Options o = sim_->GetOptions();
    row.fault(o);
    sim_->SetOptions(o);
    boxesBefore_.clear();
    const std::string choose = home_.File(row.restore ? "backups/b" : "backups");
    sim_->ClearReceived();
    bool stopped = false;
    QTimer answer;
    answer.setInterval(5);
    QObject::connect(&answer, &QTimer::timeout, [&] {
      QWidget* w = QApplication::activeModalWidget();
      if (!row.stopAt.empty() && !stopped && PhoneHad(*sim_, row.stopAt)) {
        stopped = true;
        form_->findChild<QPushButton*>("Stop_Button")->click();
      } else if (AnswerFolderOrPlan(w, choose, nullptr)) {
      } else if (auto* clash = qobject_cast<TWarning_overwrite_dialog*>(w); clash && clash->isVisible()) {
        QMetaObject::invokeMethod(clash, "CancelBtnClick", Qt::QueuedConnection);
      }
    });
    answer.start();
    (row.restore ? form_->RestoreEntry() : form_->BackupEntry())->trigger();
    EXPECT_TRUE(Settle(*form_, std::chrono::seconds(60)));
    std::string said;
    for (const std::string& b : boxesBefore_) said += b + "\n";
    // The end box of a whole run says done; any other says what is missing.
    const bool ok = said.rfind("The phone is backed up in", 0) == 0 || said.rfind("The restore is done", 0) == 0;
    return Outcome(home_, ok, said);
  }

  static WholeOutcome OnCommandLine(const WholeRow& row) {
    TempDir home;
    FillWhole(home, row);
    phonesim::Options o;
    o.contentDir = home.File("phone");
    row.fault(o);
    phonesim::PhoneSim sim(o);
    EXPECT_TRUE(sim.Start());
    const std::string args = "--port " + sim.DevicePath() +
                             (row.restore ? " --on-conflict=skip --suites pc restore backups/b" : " backup --to backups");
    std::function<void(pid_t)> stopper;
    if (!row.stopAt.empty()) {
      stopper = [&sim, &row](pid_t pid) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!PhoneHad(sim, row.stopAt) && std::chrono::steady_clock::now() < end)
          std::this_thread::sleep_for(std::chrono::milliseconds(2));
        kill(pid, SIGINT);
      };
    }
    const CliResult r = RunCli(home, args, stopper, kWindowClock);
    return Outcome(home, r.status == 0, r.err);
  }
};

TEST_P(WholeThroughBothFronts, GiveTheSameOutcome) {
  const WholeRow& row = GetParam();
  std::future<WholeOutcome> cliRun = std::async(std::launch::async, [&row] { return OnCommandLine(row); });
  const WholeOutcome window = InWindow(row);
  const WholeOutcome cli = cliRun.get();
  EXPECT_TRUE(window.phone == cli.phone) << "window: " << Names(window.phone) << "\ncommand line: " << Names(cli.phone);
  EXPECT_TRUE(window.pictures == cli.pictures) << "window: " << Names(window.pictures)
                                               << "\ncommand line: " << Names(cli.pictures);
  EXPECT_EQ(window.partial, cli.partial);
  EXPECT_EQ(window.suite, cli.suite);
  EXPECT_EQ(window.ok, cli.ok) << "window:\n" << window.said << "command line:\n" << cli.said;
  EXPECT_EQ(cli.ok, row.ok) << cli.said;
}

INSTANTIATE_TEST_SUITE_P(
    Whole, WholeThroughBothFronts,
    ::testing::Values(
        WholeRow{.label = "backup", .phone = kTwo},
        // A file that fails leaves the others to be taken; the backup stays partial.
        WholeRow{.label = "backup, one picture refused", .phone = kThree,
                 .fault = [](phonesim::Options& o) { o.errorPrefix = "AT*FDWN=\"b.bmp"; }, .ok = false},
        // Stopped while the phone keeps the second picture's answer back:
        // the first is kept, the rest not taken, and the folder stays partial.
        WholeRow{.label = "backup stopped halfway", .phone = kThree,
                 .fault = [](phonesim::Options& o) { o.silentPrefix = "AT*FDWN=\"b.bmp"; },
                 .stopAt = "AT*FDWN=\"b.bmp", .ok = false},
        // A clash declined is left as it was; the missing suite comes from the PC folder.
        WholeRow{.label = "restore, a clash skipped and a suite missing", .restore = true, .phone = kOld,
                 .backup = kTwo}));

// A suite installed or updated by each front on the same phone: the same
// suites end up on the phone and the same verdict is given.
struct SuiteRow {
  const char* label;
  std::string suite;  // the PC suite chosen: "Game" (new) or "Old" in version 2.0 (an update)
  std::function<void(phonesim::Options&)> fault = [](phonesim::Options&) {};
  bool ok = true;
};

void PrintTo(const SuiteRow& r, std::ostream* os) { *os << r.label; }

struct SuiteOutcome {
  faults::TFolderSnapshot suites;  // the phone's Java folder
  bool ok = false;
  std::string said;
};

void FillSuites(const TempDir& home) {
  fs::remove_all(home.File("pc"));
  fs::remove_all(home.File("phone/4"));
  home.Write("pc/game.jad", Descriptor("Game", kJar.size()));
  home.Write("pc/game.jar", kJar);
  home.Write("pc/old.jad", Descriptor("Old", kJar.size(), "2.0"));
  home.Write("pc/old.jar", kJar);
  home.Write("phone/4/Old/old.jad", Descriptor("Old", 3));
  home.Write("phone/4/Old/old.jar", "JJJ");
}

class SuiteThroughBothFronts : public WindowOnPhone, public ::testing::WithParamInterface<SuiteRow> {
 protected:
  SuiteOutcome InWindow(const SuiteRow& row) {
    FillSuites(home_);
    OnSession(*form_, [this] { form_->midletPage.LocalAppDL_RefreshPage(); });
    EXPECT_TRUE(SelectRow(*form_, TListId::PcSuites, row.suite));
    phonesim::Options o = sim_->GetOptions();
    row.fault(o);
    sim_->SetOptions(o);
    boxesBefore_.clear();
    // The update's question is answered OK.
    QTimer answer;
    answer.setInterval(5);
    QObject::connect(&answer, &QTimer::timeout, [] {
      if (auto* dlg = qobject_cast<TOKBottomDlg*>(QApplication::activeModalWidget())) dlg->OKBtnClick();
    });
    answer.start();
    EXPECT_TRUE(ClickAndSettle(*form_, "LAD_ONE_Button"));
    std::string said;
    for (const std::string& b : boxesBefore_) said += b + "\n";
    return {faults::Snapshot(home_.File("phone/4")), boxesBefore_.empty(), said};
  }

  static SuiteOutcome OnCommandLine(const SuiteRow& row) {
    TempDir home;
    FillSuites(home);
    phonesim::Options o;
    o.contentDir = home.File("phone");
    row.fault(o);
    phonesim::PhoneSim sim(o);
    EXPECT_TRUE(sim.Start());
    const std::string jad = row.suite == "Game" ? "game.jad" : "old.jad";
    const CliResult r = RunCli(home, "--port " + sim.DevicePath() + " --yes install pc " + jad, nullptr, kWindowClock);
    return {faults::Snapshot(home.File("phone/4")), r.status == 0, r.err};
  }
};

TEST_P(SuiteThroughBothFronts, GiveTheSameOutcome) {
  const SuiteRow& row = GetParam();
  std::future<SuiteOutcome> cliRun = std::async(std::launch::async, [&row] { return OnCommandLine(row); });
  const SuiteOutcome window = InWindow(row);
  const SuiteOutcome cli = cliRun.get();
  EXPECT_TRUE(window.suites == cli.suites) << "window: " << Names(window.suites)
                                           << "\ncommand line: " << Names(cli.suites);
  EXPECT_EQ(window.ok, cli.ok) << "window:\n" << window.said << "command line:\n" << cli.said;
  EXPECT_EQ(cli.ok, row.ok) << cli.said;
}

INSTANTIATE_TEST_SUITE_P(
    Suites, SuiteThroughBothFronts,
    ::testing::Values(SuiteRow{.label = "install", .suite = "Game"},
                      SuiteRow{.label = "update", .suite = "Old"},
                      SuiteRow{.label = "install, a packet refused", .suite = "Game",
                               .fault = [](phonesim::Options& o) { o.errorPrefix = "AT*FUPL=0201"; }, .ok = false},
                      // The old version is gone and the new one not there, told by both.
                      SuiteRow{.label = "update, a packet refused", .suite = "Old",
                               .fault = [](phonesim::Options& o) { o.errorPrefix = "AT*FUPL=0201"; }, .ok = false}));

}  // namespace
