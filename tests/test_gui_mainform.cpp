// The main window and its dialogs, driven offscreen: names and geometry,
// texts per language, dialog answers (buttons and close boxes), the view
// operations the link and pages use, handler errors, and the close order.
#include <gtest/gtest.h>

#include <QAction>
#include <cstdlib>
#include <cstring>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QIcon>
#include <QImage>
#include <QTreeView>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QDropEvent>
#include <QUrl>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/core/Config.h"
#include "app/qt/UiTextQt.h"
#include "app/gui/Dialogs.h"
#include "app/gui/MainForm.h"
#include "app/gui/PortSetupDialog.h"
#include "app/gui/Thumbnails.h"
#include "link/Settings.h"
#include "ui_aboutbox.h"
#include "ui_dirselect.h"
#include "ui_overwrite.h"
#include "ui_portsetup.h"
#include "ui_renamedlg.h"
#include "support/WindowSession.h"

namespace fs = std::filesystem;

// Failures show window texts as text rather than as code units.
void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

// A port that cannot be opened.
class DeadBackend : public IComBackend {
 public:
  int Open(const std::string&) override { return ENOENT; }
  void Close() override {}
  bool IsOpen() const override { return false; }
  int ApplyBuffers(int, int) override { return 0; }
  int ApplyLine(const TLineSettings&) override { return 0; }
  int ApplyTimeouts(const TComTimeouts&) override { return 0; }
  int Write(const char*, size_t, int, size_t*) override { return EIO; }
  int Read(char*, size_t, size_t* got) override { *got = 0; return 0; }
  int InputCount(int* count) override { *count = 0; return 0; }
  int Purge(bool, bool) override { return 0; }
  int WaitRx(int, TComEvents* events) override { *events = 0; return 0; }
};

QApplication& App() {
  static int argc = 1;
  static char name[] = "test_gui_mainform";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// Runs the action on the next modal widget other than 'skip', once.
void OnModal(std::function<void(QWidget*)> action, QWidget* skip = nullptr) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, action, skip] {
    QWidget* w = QApplication::activeModalWidget();
    if (!w || w == skip || !w->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    action(w);
  });
  timer->start();
}

QPushButton* Button(QWidget* w, const char* name) {
  QPushButton* b = w->findChild<QPushButton*>(name);
  EXPECT_NE(b, nullptr) << name;
  return b;
}

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    ASSERT_TRUE(tmp_.isValid());
    root_ = tmp_.path().toStdString();
    fs::create_directories(root_ + "/Program");
    fs::create_directories(root_ + "/logs");
    std::ofstream(root_ + "/Program/Velko.ini") << "debugFlag=96\n";
    SetSettingsStoreFolder(root_ + "/store");
    oldCwd_ = fs::current_path();
    fs::current_path(root_ + "/Program");
    ResetAppConfig();
  }
  void TearDown() override {
    dialogs_.reset();
    form_.reset();
    ResetAppConfig();
    fs::current_path(oldCwd_);
  }
  // Builds the window and the dialogs in start-up order.
  void Build(int languageCode = 9) {
    if (languageCode >= 0) WriteConnectValue("Language", languageCode);
    form_ = std::make_unique<TVelkoMainForm>(std::make_unique<DeadBackend>());
    dialogs_ = CreateDialogs(form_.get());
  }
  template <typename T>
  T* Child(const char* name) {
    T* w = form_->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }

  QTemporaryDir tmp_;
  std::string root_;
  fs::path oldCwd_;
  std::unique_ptr<TVelkoMainForm> form_;
  std::unique_ptr<TDialogSet> dialogs_;
};

}  // namespace

TEST_F(MainFormTest, ControlsCarryTheirNames) {
  Build();
  const char* widgets[] = {
      "Panel1", "ToolBar", "Ring_Button", "Animation_Button", "DC_PIC_ToolButton", "LocalAppDW_Button",
      "TitleBar", "PageControl1", "Logo", "Image1", "DC_PIC_Sheet", "DC_PIC_PC_ListView",
      "DC_PIC_PHONE_ListView", "DC_PIC_UL_Button", "DC_PIC_DL_Button", "DC_PIC_Remove_PC_Button",
      "DC_PIC_Remove_PHONE_Button", "LocalAppDW_Sheet", "LAD_PC_ListView1", "LAD_Phone_ListView1",
      "LAD_ONE_Button", "LAD_ALL_Button", "LocalAppDL_REMOVE_Button", "LAD_PC_Remove_Button", "Panel4",
      "Status_Label1", "LAD_ProgressBar", "TotalBar_Label", "Total_ProgressBar", "StatusBar", "MainMenu1",
      "mConnection1", "mConnSetting", "mHelp"};
  for (const char* n : widgets) EXPECT_NE(form_->findChild<QWidget*>(n), nullptr) << n;
  const char* actions[] = {"mExit", "Connect1", "Disconnect1", "mAuto", "mCOM1", "mCOM2", "mCOM3", "mCOM4",
                           "mAbout", "mPortSetup", "mBackup", "mRestore"};
  for (const char* n : actions) EXPECT_NE(form_->findChild<QAction*>(n), nullptr) << n;
  // Column titles of the four list views.
  struct Cols {
    TListId id;
    QStringList titles;
  };
  const Cols cols[] = {{TListId::PcFiles, {"Name", "Size"}},
                       {TListId::PhoneFiles, {"Name", "Size"}},
                       {TListId::PcSuites, {"Name", "Ver.", "Size", "Status"}},
                       {TListId::PhoneSuites, {"Name", "Ver.", "Size"}}};
  for (const Cols& c : cols) {
    QTreeWidget* v = form_->ListView(c.id);
    QStringList got;
    for (int i = 0; i < v->columnCount(); ++i) got << v->headerItem()->text(i);
    EXPECT_EQ(got, c.titles) << v->objectName().toStdString();
    EXPECT_EQ(v->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(v->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(v->isSortingEnabled());
    EXPECT_FALSE(v->header()->sectionsClickable());
  }
}

TEST_F(MainFormTest, FixedGeometry) {
  Build();
  form_->show();
  QApplication::processEvents();
  EXPECT_EQ(form_->width(), 638);
  EXPECT_EQ(form_->height() - form_->menuBar()->height(), 436);
  EXPECT_EQ(form_->minimumSize(), form_->maximumSize());  // not resizable
  EXPECT_FALSE(form_->windowFlags() & Qt::WindowMaximizeButtonHint);
  const int widths[3] = {160, 160, 50};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(form_->StatusPanel(i)->width(), widths[i]) << i;
  // The panels touch, as one row.
  for (int i = 1; i < 3; ++i)
    EXPECT_EQ(form_->StatusPanel(i)->x(), form_->StatusPanel(i - 1)->x() + widths[i - 1]) << i;
  EXPECT_TRUE(form_->StatusPanel(2)->alignment() & Qt::AlignRight);
  for (const char* n : {"Ring_Button", "Animation_Button", "DC_PIC_ToolButton", "LocalAppDW_Button"}) {
    QToolButton* b = Child<QToolButton>(n);
    EXPECT_EQ(b->size(), QSize(67, 66)) << n;
    EXPECT_FALSE(b->icon().isNull()) << n;
    EXPECT_TRUE(b->autoRaise()) << n;
  }
  // Start-up state: logo page, progress panel empty.
  EXPECT_EQ(Child<QStackedWidget>("PageControl1")->currentWidget(), Child<QWidget>("Logo"));
  for (const char* n : {"Status_Label1", "LAD_ProgressBar", "TotalBar_Label", "Total_ProgressBar"})
    EXPECT_FALSE(Child<QWidget>(n)->isVisible()) << n;
}

TEST_F(MainFormTest, TextsPerLanguage) {
  struct Case {
    int code;
    std::u16string title, exit, connection, connect, disconnect, setting, help, about, autoText, melody,
        picture, maker, aboutCaption;
  };
  const Case cases[] = {
      {9, u" Quendrel", u"Exit(&X)", u"Connection", u"Connect", u"Disonnect", u"Connection Setting(&C)",
       u"Help(&H)", u"About(&A)", u"Auto", u" Melody", u"PICTURE", u"Nomra", u"About Quendrel"},
      {1028, u" Quendrel 手機助理", u"結束(&X)", u"連線", u"建立連線", u"中斷連線", u"連線設定(&C)",
       u"說明(&H)", u"關於(&A)", u"自動", u" 鈴聲", u"圖片", u"Nomra", u"關於 Quendrel"},
      {2052, u" Quendrel 手机助理", u"退出(&X)", u"连接", u"建立连接", u"断开连接", u"连接设置(&C)", u"帮助(&H)",
       u"关于(&A)", u"自动", u" 铃声", u"图片", u"Nomra", u"关于 Quendrel"},
      {1033, u" Quendrel", u"Exit(&X)", u"Connection", u"Connect", u"Disonnect", u"Connection Setting(&C)",
       u"Help(&H)", u"About(&A)", u"Auto", u" Melody", u"PICTURE", u"Nomra", u"About Quendrel"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    dialogs_.reset();
    form_.reset();
    ResetAppConfig();
    Build(c.code);
    auto q = [](const std::u16string& s) { return QString::fromStdU16String(s); };
    EXPECT_EQ(form_->windowTitle(), q(c.title));
    EXPECT_EQ(ApplicationTitle(), q(c.title));
    EXPECT_EQ(Child<QAction>("mExit")->text(), q(c.exit));
    EXPECT_EQ(Child<QMenu>("mConnection1")->title(), q(c.connection));
    EXPECT_EQ(Child<QAction>("Connect1")->text(), q(c.connect));
    EXPECT_EQ(Child<QAction>("Disconnect1")->text(), q(c.disconnect));
    EXPECT_EQ(Child<QMenu>("mConnSetting")->title(), q(c.setting));
    EXPECT_EQ(Child<QMenu>("mHelp")->title(), q(c.help));
    EXPECT_EQ(Child<QAction>("mAbout")->text(), q(c.about));
    EXPECT_EQ(Child<QAction>("mAuto")->text(), q(c.autoText));
    EXPECT_EQ(Child<QLabel>("TitleBar")->text(), q(c.title));
    EXPECT_EQ(Child<QToolButton>("Ring_Button")->toolTip(), q(c.melody));
    EXPECT_EQ(Child<QToolButton>("DC_PIC_ToolButton")->toolTip(), q(c.picture));
    EXPECT_EQ(form_->StatusPanel(2)->text(), q(c.maker));
    // Never empty: the window system would show the program's name instead.
    EXPECT_EQ(AboutBox->windowTitle().trimmed(), q(c.aboutCaption));
    EXPECT_FALSE(AboutBox->windowTitle().isEmpty());
    // The client area under the menu bar as this language's font sets it.
    form_->show();
    QApplication::processEvents();
    EXPECT_EQ(form_->height() - form_->menuBar()->height(), 436);
    // The version label sits 4 px right of the product name in every language.
    EXPECT_EQ(AboutBox->ui->Version->x(), AboutBox->ui->ProductName->x() + 4);
    EXPECT_EQ(AboutBox->size(), QSize(345, 201));
    // Panels in the chosen language.
    form_->SetLinkPanel(false);
    EXPECT_EQ(form_->StatusPanel(1)->text(), UiTr(uitext::StatusLinkCaption) + ": " + UiTr(uitext::StatusDisconnected));
    form_->SetPortPanel("COM3", false);
    EXPECT_EQ(form_->StatusPanel(0)->text(), UiTr(uitext::StatusPortCaption) + ": COM3");
  }
}

TEST_F(MainFormTest, LanguageMenuSwitchesTheOpenWindow) {
  struct Case {
    std::u16string entry, menuTitle, help, melody, portPanel, linkPanel, version, aboutButton, portSetup,
        portSetupTitle, flowNone;
    int code;
  };
  // From English through both Chinese scripts and back.
  const Case cases[] = {
      {u"繁體中文", u"語言", u"說明(&H)", u" 鈴聲", u"連接埠: COM3", u"狀態: 已連線", u"[ 版本 V2.03b ]", u"結束",
       u"連接埠設定...", u"連接埠設定", u"無", 1028},
      {u"简体中文", u"语言", u"帮助(&H)", u" 铃声", u"端口: COM3", u"状态: 已连接", u"[ 版本 V2.03b ]", u"退出",
       u"端口设置...", u"端口设置", u"无", 2052},
      {u"English", u"Language", u"Help(&H)", u" Melody", u"Connection: COM3", u"Status: Connection",
       u"[ Version V2.03b ]", u"Exit", u"Port Setup...", u"Port Setup", u"None", 9},
  };
  auto q = [](const std::u16string& s) { return QString::fromStdU16String(s); };
  Build(9);
  // State the switch must keep: a named port, a live link, the melody page's title.
  form_->SetPortPanel("COM3", false);
  form_->SetLinkPanel(true);
  form_->SetTitleBar(TTitle::Melody);
  form_->show();
  QMenu* menu = Child<QMenu>("mLanguage");
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(form_->menuBar()->actions().contains(menu->menuAction()));
  const QStringList entries = {q(u"English"), q(u"繁體中文"), q(u"简体中文")};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    QStringList shown;
    QAction* pick = nullptr;
    for (QAction* a : menu->actions()) {
      shown << a->text();
      if (a->text() == q(c.entry)) pick = a;
    }
    EXPECT_EQ(shown, entries);  // the same entries in every language
    ASSERT_NE(pick, nullptr);
    pick->trigger();
    QApplication::processEvents();
    for (QAction* a : menu->actions()) EXPECT_EQ(a->isChecked(), a == pick) << a->text().toStdString();
    int stored = 0;
    ASSERT_TRUE(ReadConnectValue("Language", &stored));
    EXPECT_EQ(stored, c.code);
    EXPECT_EQ(menu->title(), q(c.menuTitle));
    EXPECT_EQ(Child<QMenu>("mHelp")->title(), q(c.help));
    EXPECT_EQ(Child<QToolButton>("Ring_Button")->toolTip(), q(c.melody));
    EXPECT_EQ(Child<QLabel>("TitleBar")->text(), q(c.melody));
    EXPECT_EQ(form_->StatusPanel(0)->text(), q(c.portPanel));
    EXPECT_EQ(form_->StatusPanel(1)->text(), q(c.linkPanel));
    EXPECT_EQ(AboutBox->ui->Version->text(), q(c.version));
    EXPECT_EQ(AboutBox->ui->OKButton->text(), q(c.aboutButton));
    EXPECT_EQ(Child<QAction>("mPortSetup")->text(), q(c.portSetup));
    {
      TPortSetupDialog dlg({"COM1"});
      EXPECT_EQ(dlg.windowTitle(), q(c.portSetupTitle));
      EXPECT_EQ(dlg.ui->FlowCombo->itemText(0), q(c.flowNone));
    }
    EXPECT_EQ(ApplicationTitle(), form_->windowTitle());
    EXPECT_EQ(form_->width(), 638);
    EXPECT_EQ(form_->height() - form_->menuBar()->height(), 436);
    // Later changes of state still come out in the new language.
    form_->SetLinkPanel(false);
    form_->SetLinkPanel(true);
    EXPECT_EQ(form_->StatusPanel(1)->text(), q(c.linkPanel));
  }
  // The next start comes up in the last choice.
  dialogs_.reset();
  form_.reset();
  ResetAppConfig();
  Build(-1);
  EXPECT_EQ(Child<QMenu>("mLanguage")->title(), "Language");
  EXPECT_TRUE(Child<QAction>("mLanguageEnglish")->isChecked());
}

TEST_F(MainFormTest, EnglishStatusPanels) {
  Build(9);
  EXPECT_EQ(form_->StatusPanel(0)->text().toStdString(), "Connection: " + form_->connection.Ports().PortLabel);
  EXPECT_EQ(form_->StatusPanel(1)->text(), "Status: Disconnect");
  EXPECT_EQ(form_->StatusPanel(2)->text(), "Nomra");
  struct Case {
    std::string port;
    bool autoChoice;
    const char* shown;
  };
  const Case cases[] = {{"COM1", false, "Connection: COM1"},
                        {"COM3", false, "Connection: COM3"},
                        {"COM12", false, "Connection: COM12"},
                        {"COM0", true, "Connection: Auto"}};
  for (const Case& c : cases) {
    form_->SetPortPanel(c.port, c.autoChoice);
    EXPECT_EQ(form_->StatusPanel(0)->text(), c.shown);
  }
  form_->SetLinkPanel(true);
  EXPECT_EQ(form_->StatusPanel(1)->text(), "Status: Connection");
  // A name from outside that looks like markup is shown as it is, in a box
  // and in the progress panel.
  const std::string marked = "Not stored by the phone: <b>a</b><img src=x>.gif";
  Qt::TextFormat format = Qt::RichText;
  OnModal([&](QWidget* w) {
    format = w->findChild<QLabel*>("qt_msgbox_label")->textFormat();
    static_cast<QDialog*>(w)->accept();
  });
  form_->ShowMessage(marked);
  EXPECT_EQ(format, Qt::PlainText);
  form_->SetStatusLabel("Download <b>a</b>.gif");
  EXPECT_EQ(Child<QLabel>("Status_Label1")->textFormat(), Qt::PlainText);
}

TEST_F(MainFormTest, MissingKeyOnATraditionalChineseSystem) {
  const char* was = std::getenv("LC_ALL");
  const std::string saved = was ? was : "";
  setenv("LC_ALL", "zh_TW.UTF-8", 1);
  Build(-1);
  if (was) setenv("LC_ALL", saved.c_str(), 1);
  else unsetenv("LC_ALL");
  EXPECT_EQ(UiLanguage(), 1);
  EXPECT_EQ(Child<QAction>("Disconnect1")->text(), QString::fromStdU16String(u"中斷連線"));
  int stored = 0;
  ASSERT_TRUE(ReadConnectValue("Language", &stored));
  EXPECT_EQ(stored, 1028);
}

TEST_F(MainFormTest, StartUpStateFromIni) {
  Build();
  EXPECT_EQ(AppConfig().debugFlag, 96);
  EXPECT_NE(AppConfig().ProtocolLog, nullptr);
  EXPECT_NE(AppConfig().LogicLog, nullptr);
  EXPECT_EQ(AppConfig().ProgramDir, AppConfig().BaseDir + "/Program/");
}

TEST_F(MainFormTest, MissingIniEndsConstruction) {
  fs::remove(root_ + "/Program/Velko.ini");
  WriteConnectValue("Language", 9);
  EXPECT_THROW(TVelkoMainForm form(std::make_unique<DeadBackend>()), std::runtime_error);
}

// The overwrite question opens on Cancel whichever button closed it last:
// a click on OK, then a plain Enter at the next question, overwrites nothing.
TEST_F(MainFormTest, OverwriteQuestionOpensOnCancel) {
  Build();
  auto* dlg = Warning_overwrite_dialog;
  ASSERT_NE(dlg, nullptr);
  std::vector<TOverwriteAnswer> answers;
  // Each showing is answered by the user's hand: a click on OK the first time, Enter after.
  QTimer hand;
  hand.setInterval(5);
  QObject::connect(&hand, &QTimer::timeout, [&] {
    if (QApplication::activeModalWidget() != dlg || !dlg->isVisible()) return;
    if (answers.empty()) {
      const QPoint at = dlg->ui->OKBtn->rect().center();
      const QPoint global = dlg->ui->OKBtn->mapToGlobal(at);
      QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
      QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
      QApplication::sendEvent(dlg->ui->OKBtn, &press);
      QApplication::sendEvent(dlg->ui->OKBtn, &release);
    } else {
      QWidget* target = dlg->focusWidget() ? dlg->focusWidget() : dlg;
      QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
      QApplication::sendEvent(target, &enter);
    }
  });
  hand.start();
  for (int i = 0; i < 3; ++i) answers.push_back(form_->AskOverwrite("Overwrite a.gif?", "a.gif").answer);
  EXPECT_EQ(answers, (std::vector<TOverwriteAnswer>{TOverwriteAnswer::Overwrite, TOverwriteAnswer::Cancel,
                                                     TOverwriteAnswer::Cancel}));
}

TEST_F(MainFormTest, MissingLogsFolderShowsOneErrorBox) {
  fs::remove_all(root_ + "/logs");
  std::ofstream(root_ + "/Program/Velko.ini") << "debugFlag=32\n";
  QStringList boxes;
  OnModal([&](QWidget* w) {
    boxes << w->findChild<QLabel*>("qt_msgbox_label")->text();
    static_cast<QDialog*>(w)->accept();
  });
  Build();
  EXPECT_EQ(boxes, QStringList{"open apProtocol.log fail"});
  EXPECT_EQ(AppConfig().debugFlag, 0);
}

TEST_F(MainFormTest, OverwriteWarningAnswers) {
  Build();
  struct Case {
    const char* name;
    std::function<void(QWidget*)> script;
    TOverwriteAnswer answer;
    bool stayedOpenAfterRename;
  };
  bool stayedOpen = false;
  auto renameThen = [&stayedOpen](std::function<void(QWidget*)> inPrompt, const char* after) {
    return [&stayedOpen, inPrompt, after](QWidget* warning) {
      OnModal(inPrompt, warning);
      Button(warning, "Rename_Button")->click();  // runs the prompt modally
      stayedOpen = warning->isVisible();
      if (after) Button(warning, after)->click();
    };
  };
  const Case cases[] = {
      {"ok", [](QWidget* w) { Button(w, "OKBtn")->click(); }, TOverwriteAnswer::Overwrite, false},
      {"cancel", [](QWidget* w) { Button(w, "CancelBtn")->click(); }, TOverwriteAnswer::Cancel, false},
      {"close box", [](QWidget* w) { w->close(); }, TOverwriteAnswer::Cancel, false},
      {"rename ok",
       renameThen([](QWidget* p) {
         auto* label = p->findChild<QLabel*>("Filename_Label1");
         EXPECT_TRUE(label && label->isVisible() && label->text() == "New file name:");
         p->findChild<QLineEdit*>("Filename_Edit1")->setText("new.mid");
         Button(p, "OKBtn")->click();
       }, nullptr),
       TOverwriteAnswer::Rename, false},
      {"rename cancel, then cancel", renameThen([](QWidget* p) { Button(p, "CancelBtn")->click(); }, "CancelBtn"),
       TOverwriteAnswer::Cancel, true},
      {"rename closed, then ok", renameThen([](QWidget* p) { p->close(); }, "OKBtn"),
       TOverwriteAnswer::Overwrite, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    stayedOpen = false;
    // Stale answers of an earlier showing must not leak through.
    Warning_overwrite_dialog->Answer = TOverwriteAnswer::Rename;
    Rename_Dlg1->NameChosen = true;
    OnModal(c.script);
    const TOverwriteChoice choice = form_->AskOverwrite("File exists. Overwrite?", "old.mid");
    EXPECT_EQ(choice.answer, c.answer);
    EXPECT_EQ(Warning_overwrite_dialog->ui->Label1->text(), "File exists. Overwrite?");
    EXPECT_EQ(stayedOpen, c.stayedOpenAfterRename);
    EXPECT_EQ(choice.name, c.answer == TOverwriteAnswer::Rename ? "new.mid" : "old.mid");
  }
  EXPECT_EQ(Warning_overwrite_dialog->ui->Label1->font().pixelSize(), 19);
}

TEST_F(MainFormTest, UpdateConfirmationAnswers) {
  Build();
  struct Case {
    const char* name;
    std::function<void(QWidget*)> script;
    bool answer;
  };
  const Case cases[] = {
      {"ok", [](QWidget* w) { Button(w, "OKBtn")->click(); }, true},
      {"cancel", [](QWidget* w) { Button(w, "CancelBtn")->click(); }, false},
      {"close box", [](QWidget* w) { w->close(); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OKBottomDlg->Confirmed = true;
    OnModal(c.script);
    EXPECT_EQ(form_->ConfirmUpdate("Replace the older suite?"), c.answer);
  }
  EXPECT_EQ(OKBottomDlg->windowTitle(), "Update?");
  EXPECT_EQ(OKBottomDlg->size(), QSize(313, 214));
}

TEST_F(MainFormTest, FolderChooserAnswers) {
  Build();
  struct Case {
    const char* name;
    std::function<void(QWidget*)> script;
    std::string answer;
  };
  const std::string home = QDir::toNativeSeparators(QDir::homePath()).toStdString();
  const Case cases[] = {
      {"ok without navigating", [](QWidget* w) { Button(w, "Dir_sel_ok")->click(); }, home},
      {"cancel", [](QWidget* w) { Button(w, "Dir_sel_cancel")->click(); }, ""},
      {"close box", [](QWidget* w) { w->close(); }, ""},
      {"root drive",
       [](QWidget* w) {
         static_cast<TDIR_Select_Form*>(w)->SelectDrive(0);
         Button(w, "Dir_sel_ok")->click();
       },
       QDir::toNativeSeparators(QDir::rootPath()).toStdString()},
      {"keeps the last folder", [](QWidget* w) { Button(w, "Dir_sel_ok")->click(); },
       QDir::toNativeSeparators(QDir::rootPath()).toStdString()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QString caption;
    OnModal([&caption, &c](QWidget* w) {
      caption = w->windowTitle();
      c.script(w);
    });
    EXPECT_EQ(form_->ChooseFolder("Picture Folder"), c.answer);
    EXPECT_EQ(caption, "Picture Folder");
  }
}

TEST_F(MainFormTest, FolderChooserShowsAFolderOutsideHomeUnderItsDrive) {
  Build();
  // A folder outside the home directory (the virtual phone's samples live in /tmp).
  QTemporaryDir dir(QDir::tempPath() + "/chooser-XXXXXX");
  ASSERT_TRUE(dir.isValid());
  QDir().mkpath(dir.path() + "/pc");
  const QString target = dir.path() + "/pc";
  DIR_Select_Form->ShowFolder(target);
  QString driveShown, listRoot, current;
  OnModal([&](QWidget* w) {
    auto* f = static_cast<TDIR_Select_Form*>(w);
    driveShown = f->ui->DriveComboBox1->currentData().toString();
    auto* model = static_cast<QFileSystemModel*>(f->ui->DirectoryListBox1->model());
    listRoot = model->filePath(f->ui->DirectoryListBox1->rootIndex());
    current = model->filePath(f->ui->DirectoryListBox1->currentIndex());
    Button(w, "Dir_sel_ok")->click();
  });
  EXPECT_EQ(form_->ChooseFolder("Picture Folder"), QDir::toNativeSeparators(target).toStdString());
  // What OK returns is what the list shows as its current folder, under a drive that holds it.
  EXPECT_EQ(current, target);
  EXPECT_TRUE(target.startsWith(listRoot == "/" ? "/" : listRoot + "/")) << listRoot.toStdString();
  EXPECT_EQ(driveShown, listRoot);
}

TEST_F(MainFormTest, ViewOperations) {
  Build();
  form_->show();
  // Lists: rows in order, selection ascending whatever the click order.
  form_->AddListRow(TListId::PcFiles, {"a.mid", "10"});
  form_->AddListRow(TListId::PcFiles, {"b.gif", "20"});
  form_->AddListRow(TListId::PcFiles, {"c.bmp", "30"});
  form_->AddListRow(TListId::PcFiles, {"d.jpg", "40"});
  QTreeWidget* pc = form_->ListView(TListId::PcFiles);
  ASSERT_EQ(pc->topLevelItemCount(), 4);
  EXPECT_EQ(pc->topLevelItem(1)->text(1), "20");
  for (int row : {3, 0, 2}) pc->topLevelItem(row)->setSelected(true);
  EXPECT_EQ(form_->SelectedRows(TListId::PcFiles), (std::vector<int>{0, 2, 3}));
  EXPECT_TRUE(form_->SelectedRows(TListId::PhoneFiles).empty());
  form_->ClearList(TListId::PcFiles);
  EXPECT_EQ(pc->topLevelItemCount(), 0);
  EXPECT_TRUE(form_->SelectedRows(TListId::PcFiles).empty());
  // Names that are not UTF-8 still show, one character per byte.
  form_->AddListRow(TListId::PhoneFiles, {std::string("\xe9t\xe9.mid"), "1"});
  EXPECT_EQ(form_->ListView(TListId::PhoneFiles)->topLevelItem(0)->text(0), QString::fromLatin1("\xe9t\xe9.mid"));
  // Long names are cut in the middle, so their ends stay apart, and the
  // name cell's tool tip holds the whole name, as written even when it
  // looks like markup.
  for (const char* n : {"wallpaper.jpg", "wallpaper-fit.jpg", "wallpaper-fit-2.jpg", "<b>bold</b> & more.jpg"}) {
    form_->AddListRow(TListId::PcFiles, {n, "1"});
    const QString tip = pc->topLevelItem(pc->topLevelItemCount() - 1)->toolTip(0);
    QTextDocument shown;  // as the tool tip shows it
    if (Qt::mightBeRichText(tip)) shown.setHtml(tip);
    else shown.setPlainText(tip);
    EXPECT_EQ(shown.toPlainText(), n);
  }
  for (TListId id : {TListId::PcFiles, TListId::PhoneFiles, TListId::PcSuites, TListId::PhoneSuites})
    EXPECT_EQ(form_->ListView(id)->textElideMode(), Qt::ElideMiddle);
  form_->ClearList(TListId::PcFiles);

  // Progress panel.
  form_->SetStatusLabel("Open Com Port");
  EXPECT_TRUE(Child<QLabel>("Status_Label1")->isVisible());
  EXPECT_EQ(Child<QLabel>("Status_Label1")->text(), "Open Com Port");
  form_->HideStatusLabel();
  EXPECT_FALSE(Child<QLabel>("Status_Label1")->isVisible());
  QProgressBar* bar = Child<QProgressBar>("LAD_ProgressBar");
  form_->ShowProgressBar(true);
  form_->SetProgressRange(5);
  form_->StepProgress();
  form_->StepProgress();
  EXPECT_EQ(bar->maximum(), 5);
  EXPECT_EQ(bar->value(), 2);
  form_->SetProgressPos(4);
  EXPECT_EQ(bar->value(), 4);
  form_->SetProgressRange(3);
  EXPECT_EQ(bar->value(), 0);
  QProgressBar* total = Child<QProgressBar>("Total_ProgressBar");
  form_->ShowTotalBar(3);
  form_->StepTotalBar();
  EXPECT_TRUE(total->isVisible());
  EXPECT_TRUE(Child<QLabel>("TotalBar_Label")->isVisible());
  EXPECT_EQ(total->value(), 1);
  EXPECT_EQ(total->maximum(), 3);
  form_->HideTotalBar();
  EXPECT_FALSE(total->isVisible());
  EXPECT_FALSE(Child<QLabel>("TotalBar_Label")->isVisible());

  // Pages and titles.
  struct PageCase {
    TPage page;
    const char* widget;
  };
  for (const PageCase& p : {PageCase{TPage::Content, "DC_PIC_Sheet"}, PageCase{TPage::Midlet, "LocalAppDW_Sheet"},
                            PageCase{TPage::Logo, "Logo"}}) {
    form_->ShowPage(p.page);
    EXPECT_EQ(Child<QStackedWidget>("PageControl1")->currentWidget()->objectName(), p.widget);
  }
  struct TitleCase {
    TTitle title;
    const char* text;
  };
  for (const TitleCase& t : {TitleCase{TTitle::Melody, " Melody"}, TitleCase{TTitle::Animation, " Animation"},
                             TitleCase{TTitle::Picture, "PICTURE"}, TitleCase{TTitle::Java, "JAVA"},
                             TitleCase{TTitle::Product, " Quendrel"}}) {
    form_->SetTitleBar(t.title);
    EXPECT_EQ(Child<QLabel>("TitleBar")->text(), t.text);
  }

  // Button locking: the eight action buttons and the tool bar panel.
  const char* locked[] = {"LAD_ALL_Button", "LAD_ONE_Button", "LocalAppDL_REMOVE_Button", "LAD_PC_Remove_Button",
                          "DC_PIC_DL_Button", "DC_PIC_UL_Button", "DC_PIC_Remove_PHONE_Button",
                          "DC_PIC_Remove_PC_Button", "Panel1", "ShowAllFiles_CheckBox"};
  form_->SetActionButtonsEnabled(false);
  for (const char* n : locked) EXPECT_FALSE(Child<QWidget>(n)->isEnabled()) << n;
  EXPECT_FALSE(Child<QWidget>("Ring_Button")->isEnabled());
  form_->EnableInstallButtons();
  for (const char* n : {"LAD_ONE_Button", "LocalAppDL_REMOVE_Button", "LAD_PC_Remove_Button"})
    EXPECT_TRUE(Child<QWidget>(n)->isEnabled()) << n;
  EXPECT_FALSE(Child<QWidget>("DC_PIC_UL_Button")->isEnabled());
  form_->SetActionButtonsEnabled(true);
  for (const char* n : locked) EXPECT_TRUE(Child<QWidget>(n)->isEnabled()) << n;

  // Menus and port entries.
  form_->SetMenuEnabled(TMenuItem::Connect, false);
  form_->SetMenuEnabled(TMenuItem::ConnSetting, false);
  EXPECT_FALSE(Child<QAction>("Connect1")->isEnabled());
  EXPECT_FALSE(Child<QMenu>("mConnSetting")->menuAction()->isEnabled());
  EXPECT_TRUE(Child<QAction>("Disconnect1")->isEnabled());
  form_->SetPortEntry(2, true, true, "COM12");
  form_->SetPortEntry(0, false, false, "Auto");
  EXPECT_EQ(Child<QAction>("mCOM2")->text(), "COM12");
  EXPECT_TRUE(Child<QAction>("mCOM2")->isChecked());
  EXPECT_FALSE(Child<QAction>("mAuto")->isVisible());
  form_->SetPortEntry(2, true, false, "COM12");
  form_->SetPortEntry(4, true, true, "COM4");
  EXPECT_FALSE(Child<QAction>("mCOM2")->isChecked());
  EXPECT_TRUE(Child<QAction>("mCOM4")->isChecked());
  form_->SetPortEntry(7, true, true, "X");  // out of range: ignored
}

TEST_F(MainFormTest, ShowAllFilesGreysTheOthersWithTheirReason) {
  Build();
  form_->show();
  QTemporaryDir pics;
  const std::string dir = pics.path().toStdString();
  std::ofstream(dir + "/ok.wbmp") << "x";
  std::ofstream(dir + "/notes.txt") << "hello";
  form_->pages.PcFolder = dir;
  form_->pages.FolderNumber = 3;
  form_->ShowPage(TPage::Content);
  QTreeWidget* pc = form_->ListView(TListId::PcFiles);
  auto* box = Child<QCheckBox>("ShowAllFiles_CheckBox");
  EXPECT_FALSE(box->isChecked());
  EXPECT_EQ(box->text(), "Show all files");

  box->setChecked(true);
  ASSERT_TRUE(Settle(*form_));
  ASSERT_EQ(pc->topLevelItemCount(), 2);
  EXPECT_EQ(pc->columnCount(), 3);
  EXPECT_EQ(pc->headerItem()->text(2), "Reason");
  QTreeWidgetItem* ok = pc->topLevelItem(0);
  QTreeWidgetItem* notes = pc->topLevelItem(1);
  EXPECT_EQ(ok->text(0), "ok.wbmp");
  EXPECT_EQ(ok->text(2), "");
  EXPECT_EQ(notes->text(0), "notes.txt");
  EXPECT_EQ(notes->text(2), "not a picture this phone takes (unknown type)");
  EXPECT_EQ(notes->toolTip(0), "notes.txt\n" + notes->text(2));
  EXPECT_EQ(notes->toolTip(1), notes->text(2));
  EXPECT_NE(notes->foreground(0).color(), ok->foreground(0).color());

  // A language switch redraws the reason at once, as a new scan would show it.
  const QString english = notes->text(2);
  for (int language : {1, 2, 0}) {
    form_->mLanguageClick(language);
    const QString switched = notes->text(2), tip = notes->toolTip(1);
    box->setChecked(false);
    box->setChecked(true);
    ASSERT_TRUE(Settle(*form_));
    notes = pc->topLevelItem(1);
    EXPECT_EQ(switched, notes->text(2)) << language;
    EXPECT_EQ(tip, notes->toolTip(1)) << language;
    EXPECT_EQ(switched == english, language == 0) << language;
  }

  // Sending only the unsuitable row sends nothing and says so.
  notes->setSelected(true);
  QString shown;
  OnModal([&shown](QWidget* w) {
    if (auto* m = qobject_cast<QMessageBox*>(w)) shown = m->text();
    static_cast<QDialog*>(w)->accept();
  });
  Child<QPushButton>("DC_PIC_UL_Button")->click();
  ASSERT_TRUE(Settle(*form_));
  EXPECT_EQ(shown, "No File on PC be selected");

  // A text file cannot be fitted; a wide PNG can, and its copy is listed and selected.
  auto* fitButton = Child<QPushButton>("FitToPhone_Button");
  EXPECT_TRUE(fitButton->isVisible());
  EXPECT_FALSE(fitButton->isEnabled());
  QImage wide(900, 300, QImage::Format_RGB32);
  wide.fill(Qt::darkCyan);
  ASSERT_TRUE(wide.save(QString::fromStdString(dir + "/wide.png")));
  box->setChecked(false);
  box->setChecked(true);
  ASSERT_TRUE(Settle(*form_));
  QTreeWidgetItem* png = pc->findItems("wide.png", Qt::MatchExactly).value(0);
  ASSERT_NE(png, nullptr);
  png->setSelected(true);
  EXPECT_TRUE(fitButton->isEnabled());
  fitButton->click();
  ASSERT_TRUE(Settle(*form_));
  QList<QTreeWidgetItem*> selected = pc->selectedItems();
  ASSERT_EQ(selected.size(), 1);
  EXPECT_EQ(selected.front()->text(0), "wide-fit.jpg");
  EXPECT_EQ(selected.front()->text(2), "");
  EXPECT_FALSE(fitButton->isEnabled());

  box->setChecked(false);
  ASSERT_TRUE(Settle(*form_));
  EXPECT_EQ(pc->columnCount(), 2);
  ASSERT_EQ(pc->topLevelItemCount(), 2);
  EXPECT_EQ(pc->findItems("wide-fit.jpg", Qt::MatchExactly).size(), 1);
}

TEST_F(MainFormTest, ThumbnailsFillInOnPicturePagesOnly) {
  Build();
  form_->show();
  QTemporaryDir pics;
  const std::string dir = pics.path().toStdString();
  QImage image(200, 100, QImage::Format_RGB32);
  image.fill(Qt::red);
  for (const char* name : {"a.jpg", "b.bmp", "c.jpg"}) ASSERT_TRUE(image.save(pics.filePath(name)));
  std::ofstream(dir + "/tune.mid") << "MThd";
  form_->pages.PcFolder = dir;
  form_->ShowPage(TPage::Content);
  QTreeWidget* pc = form_->ListView(TListId::PcFiles);
  TThumbnailLoader* loader = form_->Thumbnails();
  auto scan = [&](int folder) {
    form_->pages.FolderNumber = folder;
    form_->ClearList(TListId::PcFiles);
    form_->contentPage.ScanPcFolder();
  };

  scan(3);
  ASSERT_EQ(pc->topLevelItemCount(), 3);
  // A clear drops the work in flight; the next scan's thumbnails all arrive.
  form_->ClearList(TListId::PcFiles);
  EXPECT_EQ(loader->Outstanding(), 0);
  scan(3);
  QEventLoop wait;
  QObject::connect(loader, &TThumbnailLoader::AllDone, &wait, &QEventLoop::quit);
  QTimer::singleShot(10000, &wait, &QEventLoop::quit);
  if (loader->Outstanding() > 0) wait.exec();
  for (int i = 0; i < pc->topLevelItemCount(); ++i) {
    QIcon icon = pc->topLevelItem(i)->icon(0);
    ASSERT_FALSE(icon.isNull()) << i;
    QSize size = icon.availableSizes().value(0);
    EXPECT_EQ(size, QSize(TThumbnailLoader::kSide, TThumbnailLoader::kSide / 2));
  }
  scan(1);
  ASSERT_EQ(pc->topLevelItemCount(), 1);
  EXPECT_EQ(loader->Outstanding(), 0);
  EXPECT_TRUE(pc->topLevelItem(0)->icon(0).isNull());
}

TEST_F(MainFormTest, DropOnThePhoneListExplainsAnUnsuitableFile) {
  Build();
  form_->show();
  QTemporaryDir pics;
  std::ofstream(pics.filePath("notes.txt").toStdString()) << "hello";
  form_->pages.PcFolder = pics.path().toStdString();
  form_->pages.FolderNumber = 3;
  form_->ShowPage(TPage::Content);
  QWidget* target = form_->ListView(TListId::PhoneFiles)->viewport();
  EXPECT_TRUE(target->acceptDrops());
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(pics.filePath("notes.txt"))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QString shown;
  OnModal([&shown](QWidget* w) {
    if (auto* m = qobject_cast<QMessageBox*>(w)) shown = m->text();
    static_cast<QDialog*>(w)->accept();
  });
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &drop);
  EXPECT_TRUE(drop.isAccepted());
  // The page judges on the worker.
  QElapsedTimer waited;
  waited.start();
  while (shown.isEmpty() && waited.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_EQ(shown, "notes.txt is not sent: not a picture this phone takes (unknown type)");
  // A picture of a type the phone lacks is offered as a copy that fits, in a Yes/No box; No sends nothing.
  QImage wide(900, 300, QImage::Format_RGB32);
  wide.fill(Qt::darkCyan);
  ASSERT_TRUE(wide.save(pics.filePath("wide.png")));
  ASSERT_TRUE(Settle(*form_));
  shown.clear();
  QMessageBox::StandardButtons buttons;
  OnModal([&](QWidget* w) {
    auto* m = qobject_cast<QMessageBox*>(w);
    if (!m) return static_cast<QDialog*>(w)->reject();
    shown = m->text();
    buttons = m->standardButtons();
    m->button(QMessageBox::No)->click();
  });
  QMimeData picture;
  picture.setUrls({QUrl::fromLocalFile(pics.filePath("wide.png"))});
  QDragEnterEvent enterPicture(QPoint(10, 10), Qt::CopyAction, &picture, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &enterPicture);
  QDropEvent dropPicture(QPointF(10, 10), Qt::CopyAction, &picture, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &dropPicture);
  waited.restart();
  while (shown.isEmpty() && waited.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_EQ(shown, "wide.png: not a picture this phone takes (PNG).\nMake a copy that fits the phone and send it?");
  EXPECT_EQ(buttons, QMessageBox::Yes | QMessageBox::No);
  ASSERT_TRUE(Settle(*form_));
  EXPECT_FALSE(QFileInfo::exists(pics.filePath("wide-fit.jpg")));
  // Another page: the drop is not taken.
  form_->ShowPage(TPage::Midlet);
  QDragEnterEvent elsewhere(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  elsewhere.ignore();
  QCoreApplication::sendEvent(target, &elsewhere);
  EXPECT_FALSE(elsewhere.isAccepted());
}

TEST_F(MainFormTest, HandlerMessagesAndErrors) {
  Build();
  // Connect on a port that cannot be opened: the link's own message, in a box
  // titled with the application title.
  QString text, title;
  OnModal([&](QWidget* w) {
    text = w->findChild<QLabel*>("qt_msgbox_label")->text();
    title = w->windowTitle();
    static_cast<QDialog*>(w)->accept();
  });
  Child<QAction>("Connect1")->trigger();
  ASSERT_TRUE(Settle(*form_));
  // Under it, what the system said and what usually fixes it.
  EXPECT_TRUE(text.startsWith("Unable to open ComPort!!\nPlease change the Port NO.\n\n")) << text.toStdString();
  EXPECT_TRUE(text.contains(QString::fromStdString(std::strerror(ENOENT)))) << text.toStdString();
  EXPECT_EQ(title, " Quendrel");
  // An error escaping a handler ends up in an error box with its own text,
  // and the window stays usable.
  dialogs_.reset();
  text.clear();
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  OnModal([&](QWidget* w) {
    text = w->findChild<QLabel*>("qt_msgbox_label")->text();
    icon = static_cast<QMessageBox*>(w)->icon();
    static_cast<QDialog*>(w)->accept();
  });
  Child<QAction>("mAbout")->trigger();
  EXPECT_EQ(text, "About box is not created");
  EXPECT_EQ(icon, QMessageBox::Critical);
  // The same from an operation's question, which the window answers for the worker.
  text.clear();
  icon = QMessageBox::NoIcon;
  OnModal([&](QWidget* w) {
    text = w->findChild<QLabel*>("qt_msgbox_label")->text();
    icon = static_cast<QMessageBox*>(w)->icon();
    static_cast<QDialog*>(w)->accept();
  });
  ASSERT_TRUE(OnSession(*form_, [this] { form_->link.View().AskOverwrite("Overwrite a.gif?", "a.gif"); }));
  EXPECT_EQ(text, "Overwrite warning is not created");
  EXPECT_EQ(icon, QMessageBox::Critical);
  form_->SetLinkPanel(true);
  EXPECT_EQ(form_->StatusPanel(1)->text(), "Status: Connection");
}

TEST_F(MainFormTest, CloseOrder) {
  Build();
  form_->midletPage.PcSuites.Append()->name = "Game";
  form_->show();
  form_->close();
  EXPECT_EQ(form_->link.Flags().AppClosing, 1);
  ASSERT_TRUE(Settle(*form_));
  EXPECT_TRUE(form_->midletPage.PcSuites.Empty());
  EXPECT_TRUE(AppConfig().IniLines.empty());
  EXPECT_EQ(AppConfig().ProtocolLog, nullptr);
  EXPECT_EQ(AppConfig().LogicLog, nullptr);
  // Disconnected menu state.
  EXPECT_TRUE(Child<QAction>("Connect1")->isEnabled());
  EXPECT_FALSE(Child<QAction>("Disconnect1")->isEnabled());
  EXPECT_EQ(form_->StatusPanel(1)->text(), "Status: Disconnect");
}

TEST_F(MainFormTest, CloseDuringAnOperationFreesTheListAfterIt) {
  Build();
  form_->midletPage.PcSuites.Append()->name = "Game";
  form_->show();
  bool listAliveDuringOperation = false;
  int closingSeen = 0;
  std::vector<std::string> shownAfterClose;
  // The operation's box is up, so the operation still runs, when the window closes.
  OnModal([&](QWidget* box) {
    listAliveDuringOperation = !form_->midletPage.PcSuites.Empty();
    form_->close();
    closingSeen = form_->link.Flags().AppClosing;
    static_cast<QDialog*>(box)->accept();
  });
  form_->RunOnSession([this, &shownAfterClose] {
    form_->link.View().ShowMessage("first");
    // After the close: not shown, and the question answers as cancelled.
    form_->link.View().ShowMessage("second");
    if (form_->link.View().ConfirmUpdate("update?")) shownAfterClose.push_back("update confirmed");
  });
  ASSERT_TRUE(Settle(*form_));
  EXPECT_EQ(closingSeen, 1);
  EXPECT_TRUE(listAliveDuringOperation);
  EXPECT_TRUE(shownAfterClose.empty());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_TRUE(form_->midletPage.PcSuites.Empty());  // freed once the operation ended
}

TEST_F(MainFormTest, ExitShortcutCloses) {
  Build();
  form_->show();
  Child<QAction>("mExit")->trigger();
  EXPECT_FALSE(form_->isVisible());
  EXPECT_EQ(form_->link.Flags().AppClosing, 1);
}

TEST_F(MainFormTest, Screenshot) {
  Build(9);
  form_->SetPortPanel("COM1", false);
  form_->show();
  QApplication::processEvents();
  QImage shot = form_->grab().toImage();
  ASSERT_EQ(shot.width(), 638);
  // Not a blank window: the logo and the controls give many colours.
  QSet<QRgb> colours;
  for (int y = 0; y < shot.height(); y += 7)
    for (int x = 0; x < shot.width(); x += 7) colours.insert(shot.pixel(x, y));
  EXPECT_GT(colours.size(), 20);
  if (qEnvironmentVariableIsSet("QUENDREL_WRITE_SCREENSHOT")) {
    fs::path docs = fs::path(__FILE__).parent_path().parent_path() / "docs";
    fs::create_directories(docs);
    EXPECT_TRUE(shot.save(QString::fromStdString((docs / "screenshot.png").string())));
  }
}

// ---- port set-up ----

TEST(PortSetupTest, FlowChoicesRoundTrip) {
  struct Case {
    TFlowChoice choice;
    bool cts;
    TRTSFlowControl rts;
    TDTRFlowControl dtr;
    bool xon;
  };
  const Case cases[] = {
      {TFlowChoice::None, false, rtsEnable, dtrEnable, false},
      {TFlowChoice::Hardware, true, rtsHandshake, dtrEnable, false},
      {TFlowChoice::Software, false, rtsEnable, dtrEnable, true},
      {TFlowChoice::DtrHandshake, false, rtsEnable, dtrHandshake, false},
  };
  for (const Case& c : cases) {
    // Start from a record holding every other choice's marks at once.
    TComFlowControl messy;
    messy.OutCTSFlow = true;
    messy.XonXoffIn = true;
    messy.ControlDTR = dtrHandshake;
    messy.ControlRTS = rtsHandshake;
    messy.XonChar = 0x11;
    TComFlowControl f = ApplyFlowChoice(messy, c.choice);
    EXPECT_EQ(f.OutCTSFlow, c.cts);
    EXPECT_EQ(f.ControlRTS, c.rts);
    EXPECT_EQ(f.ControlDTR, c.dtr);
    EXPECT_EQ(f.XonXoffIn, c.xon);
    EXPECT_EQ(f.XonXoffOut, c.xon);
    EXPECT_EQ(f.XonChar, 0x11);
    EXPECT_EQ(FlowChoiceOf(f), c.choice);
  }
  // The system's own port settings read as DTR handshake.
  TComPort port(std::make_unique<DeadBackend>());
  EXPECT_EQ(FlowChoiceOf(port.FlowControl()), TFlowChoice::DtrHandshake);
}

TEST(PortSetupTest, DialogAppliesAllOrNothing) {
  App();
  TComPort port(std::make_unique<DeadBackend>());
  TPortChoice before = ReadPortChoice(port);
  // Cancel: nothing changes.
  {
    TPortSetupDialog dlg({"COM1", "COM2"});
    dlg.Load(before);
    EXPECT_EQ(dlg.Choice().port, before.port);
    EXPECT_EQ(dlg.Choice().baud, before.baud);
    EXPECT_EQ(dlg.Choice().flow, before.flow);
  }
  TPortChoice c;
  c.port = "COM2";
  c.baud = br57600;
  c.dataBits = dbSeven;
  c.stopBits = sbTwoStopBits;
  c.parity = prEven;
  c.flow = TFlowChoice::Hardware;
  TPortSetupDialog dlg({"COM1", "COM2"});
  dlg.Load(c);
  TPortChoice got = dlg.Choice();
  ApplyPortChoice(port, got);
  EXPECT_EQ(port.Port(), "COM2");
  EXPECT_EQ(port.BaudRate(), br57600);
  EXPECT_EQ(port.DataBits(), dbSeven);
  EXPECT_EQ(port.StopBits(), sbTwoStopBits);
  EXPECT_EQ(port.Parity().Bits, prEven);
  EXPECT_EQ(FlowChoiceOf(port.FlowControl()), TFlowChoice::Hardware);
}
