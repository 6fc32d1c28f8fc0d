#include "MainForm.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QMenu>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QUrl>
#include <stdexcept>

#include "app/core/Config.h"
#include "app/core/PortAdvice.h"
#include "app/qt/QtPlatform.h"
#include "app/qt/UiTextQt.h"
#include "link/ProtocolTrace.h"
#include "app/core/BackupText.h"
#include "app/gui/Artwork.h"
#include "app/gui/BackupDialogs.h"
#include "app/gui/Dialogs.h"
#include "app/gui/PcListParts.h"
#include "app/gui/PortSetupDialog.h"
#include "app/gui/Thumbnails.h"
#include "content/PictureFit.h"
#include "ui_mainform.h"
#include "ui_okbottomdlg.h"
#include "ui_overwrite.h"
#include "ui_renamedlg.h"

namespace {
template <typename T>
T* Need(T* dialog, const char* what) {
  if (!dialog) throw std::logic_error(std::string(what) + " is not created");
  return dialog;
}
}  // namespace

TVelkoMainForm::TVelkoMainForm(std::unique_ptr<IComBackend> backend, QWidget* parent)
    : QMainWindow(parent),
      ui(new Ui::TVelkoMainForm),
      shownView_(*this, windowQueue_),
      link(shownView_, std::move(backend)),
      contentPage(link, pages),
      midletPage(link, pages),
      // A batch may have changed what the fit button offers. Nothing of the
      // operation stays in the progress panel, whichever way it ended; what
      // the next one shows is posted after this.
      session_(link, shownView_, [this] {
        windowQueue_.Post([this] {
          ClearProgressPanel();
          UpdateFitButton();
          UpdateBackupEntries();
        });
      }) {
  windowQueue_.SetWaker([this] { QMetaObject::invokeMethod(this, "DrainWindowQueue", Qt::QueuedConnection); });
  link.SetOpenAdvice([](const std::string& port, int osError) { return PortOpenAdvice(port, osError); });
  // The window and its controls.
  ui->setupUi(this);
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  ui->StatusBar->setFixedHeight(20);
  // The panels sit side by side in one row of their own: the status bar
  // would put a gap between widgets added one by one.
  auto* panelRow = new QWidget(ui->StatusBar);
  auto* panelLayout = new QHBoxLayout(panelRow);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->setSpacing(0);
  const int widths[3] = {160, 160, 50};
  for (int i = 0; i < 3; ++i) {
    panels_[i] = new QLabel(panelRow);
    panels_[i]->setObjectName(QString("StatusPanel%1").arg(i));
    panels_[i]->setFixedWidth(widths[i]);
    panels_[i]->setFrameShape(QFrame::Panel);
    panels_[i]->setFrameShadow(QFrame::Sunken);
    panelLayout->addWidget(panels_[i]);
  }
  panelLayout->addStretch(1);
  ui->StatusBar->addWidget(panelRow, 1);
  panels_[2]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  BuildLanguageMenu();
  SetUpBackupEntries();
  stopButton_ = new QPushButton(ui->Panel4);
  stopButton_->setObjectName("Stop_Button");
  stopButton_->setGeometry(482, 22, 66, 34);
  stopButton_->hide();
  // Only raises the flag: the running wait sees it at its next turn.
  connect(stopButton_, &QPushButton::clicked, this, [this] { session_.Stop(); });
  ui->Ring_Button->setIcon(ToolIcon(TToolPicture::Melody));
  ui->Animation_Button->setIcon(ToolIcon(TToolPicture::Animation));
  ui->DC_PIC_ToolButton->setIcon(ToolIcon(TToolPicture::Picture));
  ui->LocalAppDW_Button->setIcon(ToolIcon(TToolPicture::Java));
  ui->Image1->setPixmap(LogoPixmap(ui->Image1->size()));
  ui->LAD_ALL_Button->hide();  // installs go one suite at a time
  for (TListId id : {TListId::PcFiles, TListId::PhoneFiles, TListId::PcSuites, TListId::PhoneSuites}) {
    QTreeWidget* list = ListView(id);
    list->header()->setSectionsClickable(false);
    list->header()->setSectionsMovable(false);
    // Every column fits the list's width, so no mark hides behind a scroll bar.
    static const int two[] = {138, 58}, three[] = {100, 46, 58}, four[] = {76, 40, 46, 42};
    const int* widths = list->columnCount() == 4 ? four : list->columnCount() == 3 ? three : two;
    for (int c = 0; c < list->columnCount(); ++c) list->setColumnWidth(c, widths[c]);
    // Names that differ only at the end stay apart in a narrow column; the
    // name cell's tool tip shows the whole name.
    list->setTextElideMode(Qt::ElideMiddle);
  }
  portGroup_ = new QActionGroup(this);
  portGroup_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  for (QAction* a : {ui->mAuto, ui->mCOM1, ui->mCOM2, ui->mCOM3, ui->mCOM4}) portGroup_->addAction(a);
  // The hidden exit item keeps its shortcut.
  auto* exitKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_X), this);
  connect(exitKey, &QShortcut::activated, ui->mExit, &QAction::trigger);
  WireHandlers();
  SetUpContentExtras();

  // Directory anchors.
  ComputeDirectories();
  // Texts of the chosen language; the menu bar's height follows them.
  LoadLanguage();
  ApplyLanguageTexts();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect r(QPoint(0, 0), size());
    r.moveCenter(screen->availableGeometry().center());
    move(r.topLeft());
  }
  // The logo page.
  ShowPage(TPage::Logo);
  // Port choice and port menu, then the port in the status bar.
  connection.Ports().LoadPortSettings();
  connection.Ports().ShowPortPanel();
  // The ini file (required: a missing one ends the construction).
  ReadIniSettings([this](const std::string& text) { ShowErrorText(text); });
}

TVelkoMainForm::~TVelkoMainForm() {
  // The list views outlive this object's members while the widgets are torn
  // down; the thumbnail column's delegate asks the page, so it goes first.
  ui->DC_PIC_PC_ListView->setItemDelegateForColumn(0, nullptr);
  // A running operation ends at its next wait; one waiting for the window
  // is let go. Then the receiver, while the window is whole.
  FinishSession(std::chrono::milliseconds(0));
  link.ReleaseReceiver();
}

void TVelkoMainForm::BuildLanguageMenu() {
  languageMenu_ = new QMenu(ui->MainMenu1);
  languageMenu_->setObjectName("mLanguage");
  ui->MainMenu1->insertMenu(ui->mHelp->menuAction(), languageMenu_);
  auto* group = new QActionGroup(this);
  // Each entry in its own language and script, whatever the window's language.
  const char* names[3] = {"English", "繁體中文", "简体中文"};
  const char* objectNames[3] = {"mLanguageEnglish", "mLanguageTraditional", "mLanguageSimplified"};
  for (int i = 0; i < 3; ++i) {
    QAction* a = languageMenu_->addAction(QString::fromUtf8(names[i]));
    a->setObjectName(objectNames[i]);
    a->setCheckable(true);
    group->addAction(a);
    languageEntries_[i] = a;
  }
}

void TVelkoMainForm::KeepClientSize() {
  // Client area 638 x 436 below the menu bar, whose height follows the
  // language's font; the window cannot be resized.
  ui->MainMenu1->adjustSize();
  setFixedSize(638, 436 + ui->MainMenu1->sizeHint().height());
}

void TVelkoMainForm::ApplyLanguageTexts() {
  SetApplicationTitle(UiTr(uitext::ProductName));
  setWindowTitle(UiTr(uitext::ProductName));
  ui->mExit->setText(UiTr(uitext::mExit));
  ui->mConnection1->setTitle(UiTr(uitext::mConnection1));
  ui->Connect1->setText(UiTr(uitext::Connect1));
  ui->Disconnect1->setText(UiTr(uitext::Disconnect1));
  ui->mConnSetting->setTitle(UiTr(uitext::mConnSetting));
  ui->mHelp->setTitle(UiTr(uitext::mHelp));
  ui->mAbout->setText(UiTr(uitext::mAbout));
  languageMenu_->setTitle(UiTr(uitext::mLanguage));
  const int current = UiLanguage();
  for (int i = 0; i < 3; ++i) languageEntries_[i]->setChecked(i == current);
  SetTitleBar(title_);
  ui->DC_PIC_ToolButton->setToolTip(UiTr(uitext::DC_PIC_ToolButton));
  ui->LocalAppDW_Button->setToolTip(UiTr(uitext::LocalAppDW_Button));
  ui->Ring_Button->setToolTip(UiTr(uitext::Ring_Button));
  ui->Animation_Button->setToolTip(UiTr(uitext::Animation_Button));
  // Before the link names a port the panel holds the caption alone.
  if (portShown_) SetPortPanel(port_, portAuto_);
  else panels_[0]->setText(UiTr(uitext::StatusPortCaption));
  SetLinkPanel(connected_);
  panels_[2]->setText(UiTr(uitext::StatusMaker));
  ui->mAuto->setText(UiTr(uitext::mAuto));
  ui->mPortSetup->setText(UiTr(uitext::mPortSetup));
  stopButton_->setText(UiTr(uitext::StopButton));
  ApplyContentExtrasTexts();
  ApplyBackupTexts();
  if (AboutBox) AboutBox->ApplyLanguageTexts();
  KeepClientSize();
}

void TVelkoMainForm::mLanguageClick(int languageIndex) {
  ChooseLanguage(languageIndex);
  ApplyLanguageTexts();
}

namespace {
// Runs a handler; an escaping error goes to the given error box.
template <typename F>
void UnderErrorReport(F&& handler, IFormView& view) {
  try {
    handler();
  } catch (const std::exception& e) {
    view.ShowErrorText(e.what());
  } catch (...) {
    view.ShowErrorText("Unknown error");
  }
}
}  // namespace

void TVelkoMainForm::RunHere(const std::function<void()>& handler) { UnderErrorReport(handler, *this); }

void TVelkoMainForm::RunOnSession(std::function<void()> operation) {
  if (!session_.Submit(std::move(operation)) && !session_.Closed())
    ShowMessage(UiTr(uitext::OperationRunning).toStdString());
  UpdateBackupEntries();
}

void TVelkoMainForm::QueueOnSession(std::function<void()> operation) {
  session_.Queue(std::move(operation));
  UpdateBackupEntries();
}

void TVelkoMainForm::DrainWindowQueue() { windowQueue_.Drain(); }

void TVelkoMainForm::FinishSession(std::chrono::milliseconds limit) { session_.Finish(windowQueue_, limit); }

void TVelkoMainForm::WireHandlers() {
  // Handlers that use the link run as operations on the session worker.
  auto on = [this](auto* sender, auto signal, auto handler) {
    connect(sender, signal, this, [this, handler] { RunOnSession(handler); });
  };
  auto here = [this](auto* sender, auto signal, auto handler) {
    connect(sender, signal, this, [this, handler] { RunHere(handler); });
  };
  // Tool bar.
  on(ui->Ring_Button, &QToolButton::clicked, [this] { contentPage.Ring_ButtonClick(); });
  on(ui->Animation_Button, &QToolButton::clicked, [this] { contentPage.Animation_ButtonClick(); });
  on(ui->DC_PIC_ToolButton, &QToolButton::clicked, [this] { contentPage.DC_PIC_ToolButtonClick(); });
  on(ui->LocalAppDW_Button, &QToolButton::clicked, [this] { midletPage.LocalAppDW_ButtonClick(); });
  // Content page.
  on(ui->DC_PIC_UL_Button, &QPushButton::clicked, [this] { TellStopped(contentPage.DC_PIC_UL_ButtonClick()); });
  on(ui->DC_PIC_DL_Button, &QPushButton::clicked, [this] { TellStopped(contentPage.DC_PIC_DL_ButtonClick()); });
  on(ui->DC_PIC_Remove_PC_Button, &QPushButton::clicked,
     [this] { TellStopped(contentPage.DC_PIC_Remove_PC_ButtonClick()); });
  on(ui->DC_PIC_Remove_PHONE_Button, &QPushButton::clicked,
     [this] { TellStopped(contentPage.DC_PIC_Remove_PHONE_ButtonClick()); });
  on(ui->DC_PIC_PC_ListView, &QTreeWidget::itemDoubleClicked,
     [this] { contentPage.DC_PIC_PC_ListViewDblClick(); });
  // MIDlet page.
  on(ui->LAD_ONE_Button, &QPushButton::clicked, [this] { midletPage.LAD_ONE_ButtonClick(); });
  on(ui->LocalAppDL_REMOVE_Button, &QPushButton::clicked,
     [this] { midletPage.LocalAppDL_REMOVE_ButtonClick(); });
  on(ui->LAD_PC_Remove_Button, &QPushButton::clicked, [this] { midletPage.LAD_PC_Remove_ButtonClick(); });
  // Menus.
  here(ui->mExit, &QAction::triggered, [this] { close(); });
  on(ui->Connect1, &QAction::triggered, [this] { connection.Connect1Click(); });
  // Disconnect, a port change and the port set-up do not wait behind a
  // running operation: they stop it, as Stop does, and run next. The menu
  // greys them at once while they are pending, until the link's own menu
  // state is shown again after them.
  auto interrupting = [this](auto* sender, auto signal, auto handler) {
    connect(sender, signal, this, [this, handler] {
      if (!session_.Idle()) {
        SetMenuEnabled(TMenuItem::Disconnect, false);
        SetMenuEnabled(TMenuItem::ConnSetting, false);
      }
      session_.Interrupt([this, handler] {
        handler();
        shownView_.ShowLinkIndicators(connection.Indicators(), ipCommands);
      });
      UpdateBackupEntries();
    });
  };
  interrupting(ui->Disconnect1, &QAction::triggered, [this] { connection.Disconnect1Click(); });
  interrupting(ui->mAuto, &QAction::triggered, [this] { connection.Ports().mAutoClick(); });
  interrupting(ui->mCOM1, &QAction::triggered, [this] { connection.Ports().mCOM1Click(); });
  interrupting(ui->mCOM2, &QAction::triggered, [this] { connection.Ports().mCOM2Click(); });
  interrupting(ui->mCOM3, &QAction::triggered, [this] { connection.Ports().mCOM3Click(); });
  interrupting(ui->mCOM4, &QAction::triggered, [this] { connection.Ports().mCOM4Click(); });
  interrupting(ui->mPortSetup, &QAction::triggered, [this] { mConnSettingClick(); });
  here(ui->mAbout, &QAction::triggered, [this] { mAboutClick(); });
  here(ui->mHelp->addAction(QString::fromUtf8(kReportProblemTitle)), &QAction::triggered, [this] {
    QMessageBox::information(this, QString::fromUtf8(kReportProblemTitle), QString::fromStdString(ReportProblemText()));
  });
  for (int i = 0; i < 3; ++i) here(languageEntries_[i], &QAction::triggered, [this, i] { mLanguageClick(i); });
}

void TVelkoMainForm::FormCreate() {
  QueueOnSession([this] { connection.FormCreate(); });
}

void TVelkoMainForm::mAboutClick() { Need(AboutBox, "About box")->exec(); }

void TVelkoMainForm::mConnSettingClick() {
  // The dialog edits the port while the worker holds off; a port set
  // there is the user's choice from then on.
  bool applied = false;
  windowQueue_.RunAndWait([this, &applied] { applied = ShowPortSetupDialog(link.Port(), this); });
  if (applied) connection.Ports().PortChosen();
}

void TVelkoMainForm::closeEvent(QCloseEvent* event) {
  if (!session_.Closed()) {
    CloseStartupLogs();
    // The disconnect and the list's release follow the running operation on the worker.
    session_.Close([this] {
      connection.CloseLink();
      midletPage.PcSuites.Clear();
    });
    ReleaseIniLines();
  }
  event->accept();
}

// ---- IFormView ----

void TVelkoMainForm::ShowMessage(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, ApplicationTitle(), BytesToQString(text), QMessageBox::Ok, this);
  box.setTextFormat(Qt::PlainText);  // names from outside are never markup
  box.exec();
}

void TVelkoMainForm::ShowErrorText(const std::string& text) {
  QMessageBox box(QMessageBox::Critical, ApplicationTitle(), BytesToQString(text), QMessageBox::Ok, this);
  box.setTextFormat(Qt::PlainText);  // names from outside are never markup
  box.exec();
}

void TVelkoMainForm::SetStatusLabel(const std::string& text) {
  ui->Status_Label1->setText(BytesToQString(text));
  ui->Status_Label1->show();
  ui->Status_Label1->repaint();
}

void TVelkoMainForm::HideStatusLabel() { ui->Status_Label1->hide(); }

void TVelkoMainForm::ShowProgressBar(bool visible) { ui->LAD_ProgressBar->setVisible(visible); }

void TVelkoMainForm::SetProgressRange(int max) {
  ui->LAD_ProgressBar->setRange(0, max);
  ui->LAD_ProgressBar->setValue(0);
}

void TVelkoMainForm::SetProgressPos(int pos) { ui->LAD_ProgressBar->setValue(pos); }

void TVelkoMainForm::StepProgress() { ui->LAD_ProgressBar->setValue(ui->LAD_ProgressBar->value() + 1); }

void TVelkoMainForm::ShowTotalBar(int max) {
  ui->Total_ProgressBar->setRange(0, max);
  ui->Total_ProgressBar->setValue(0);
  ui->Total_ProgressBar->show();
  ui->TotalBar_Label->show();
}

void TVelkoMainForm::StepTotalBar() { ui->Total_ProgressBar->setValue(ui->Total_ProgressBar->value() + 1); }

void TVelkoMainForm::HideTotalBar() {
  ui->Total_ProgressBar->hide();
  ui->TotalBar_Label->hide();
}

void TVelkoMainForm::ClearProgressPanel() {
  ui->Status_Label1->clear();
  HideStatusLabel();
  ShowProgressBar(false);
  HideTotalBar();
}

void TVelkoMainForm::ShowPage(TPage page) {
  switch (page) {
    case TPage::Logo: ui->PageControl1->setCurrentWidget(ui->Logo); break;
    case TPage::Content: ui->PageControl1->setCurrentWidget(ui->DC_PIC_Sheet); break;
    case TPage::Midlet: ui->PageControl1->setCurrentWidget(ui->LocalAppDW_Sheet); break;
  }
}

void TVelkoMainForm::SetTitleBar(TTitle title) {
  title_ = title;
  const UiText* entry = &uitext::LogoTitle;
  switch (title) {
    case TTitle::Product: entry = &uitext::LogoTitle; break;
    case TTitle::Melody: entry = &uitext::Ring_Button; break;
    case TTitle::Animation: entry = &uitext::Animation_Button; break;
    case TTitle::Picture: entry = &uitext::DC_PIC_ToolButton; break;
    case TTitle::Java: entry = &uitext::LocalAppDW_Button; break;
  }
  ui->TitleBar->setText(UiTr(*entry));
}

void TVelkoMainForm::ShowLinkIndicators(const TLinkIndicators& shown, unsigned changed) {
  if (changed & ipPortChoices)
    for (int i = 0; i < 5; ++i) SetPortEntry(i, shown.ports[i].visible, shown.ports[i].checked, shown.ports[i].caption);
  if (changed & ipPort) SetPortPanel(shown.port, shown.autoChoice);
  if (changed & ipConnection) SetLinkPanel(shown.connected);
  if (changed & ipCommands) {
    SetMenuEnabled(TMenuItem::Connect, shown.canConnect);
    SetMenuEnabled(TMenuItem::Disconnect, shown.canDisconnect);
    SetMenuEnabled(TMenuItem::ConnSetting, shown.canChangeSettings);
  }
}

void TVelkoMainForm::SetActionsEnabled(bool enabled) { SetActionButtonsEnabled(enabled); }

void TVelkoMainForm::EnableSuiteActions() { EnableInstallButtons(); }

void TVelkoMainForm::SetPortPanel(const std::string& port, bool autoChoice) {
  portShown_ = true;
  port_ = port;
  portAuto_ = autoChoice;
  panels_[0]->setText(UiTr(uitext::StatusPortCaption) + ": " +
                      (autoChoice ? UiTr(uitext::mAuto) : BytesToQString(port)));
}

void TVelkoMainForm::SetLinkPanel(bool connected) {
  connected_ = connected;
  panels_[1]->setText(UiTr(uitext::StatusLinkCaption) + ": " +
                      UiTr(connected ? uitext::StatusConnected : uitext::StatusDisconnected));
}

void TVelkoMainForm::SetMenuEnabled(TMenuItem item, bool enabled) {
  switch (item) {
    case TMenuItem::Connect: ui->Connect1->setEnabled(enabled); break;
    case TMenuItem::Disconnect: ui->Disconnect1->setEnabled(enabled); break;
    case TMenuItem::ConnSetting: ui->mConnSetting->menuAction()->setEnabled(enabled); break;
  }
}

void TVelkoMainForm::SetPortEntry(int index, bool visible, bool checked, const std::string& caption) {
  QAction* entries[5] = {ui->mAuto, ui->mCOM1, ui->mCOM2, ui->mCOM3, ui->mCOM4};
  if (index < 0 || index > 4) return;
  QAction* a = entries[index];
  a->setVisible(visible);
  a->setChecked(checked);
  // The automatic entry keeps its caption in the chosen language.
  a->setText(index == 0 ? UiTr(uitext::mAuto) : BytesToQString(caption));
}

void TVelkoMainForm::SetActionButtonsEnabled(bool enabled) {
  // Locked buttons mean a batch or an install runs: Stop is offered then,
  // at the right of the progress panel.
  ShowStopButton(!enabled);
  for (QWidget* w : std::initializer_list<QWidget*>{
           ui->LAD_ALL_Button, ui->LAD_ONE_Button, ui->LocalAppDL_REMOVE_Button, ui->LAD_PC_Remove_Button,
           ui->DC_PIC_DL_Button, ui->DC_PIC_UL_Button, ui->DC_PIC_Remove_PHONE_Button,
           ui->DC_PIC_Remove_PC_Button, ui->Panel1, ui->ShowAllFiles_CheckBox})
    w->setEnabled(enabled);
}

void TVelkoMainForm::ShowStopButton(bool visible) {
  constexpr int kRoom = 74;
  if (visible == stopButton_->isVisible()) return;
  const int narrower = visible ? -kRoom : kRoom;
  for (QWidget* bar : {static_cast<QWidget*>(ui->LAD_ProgressBar), static_cast<QWidget*>(ui->Total_ProgressBar)})
    bar->resize(bar->width() + narrower, bar->height());
  stopButton_->setVisible(visible);
}

void TVelkoMainForm::EnableInstallButtons() {
  ui->LAD_ONE_Button->setEnabled(true);
  ui->LocalAppDL_REMOVE_Button->setEnabled(true);
  ui->LAD_PC_Remove_Button->setEnabled(true);
}

std::string TVelkoMainForm::ChooseFolder(const std::string& caption) {
  TDIR_Select_Form* dlg = Need(DIR_Select_Form, "Folder chooser");
  dlg->setWindowTitle(BytesToQString(caption));
  return dlg->Execute();
}

void TVelkoMainForm::SetRenameField(const std::string& name) {
  renameBytes_ = name;
  renameShown_ = BytesToQString(name);
  Need(Rename_Dlg1, "Rename prompt")->ui->Filename_Edit1->setText(renameShown_);
}

std::string TVelkoMainForm::RenameField() {
  QString shown = Need(Rename_Dlg1, "Rename prompt")->ui->Filename_Edit1->text();
  // An untouched name goes back byte for byte, whatever its encoding.
  if (shown == renameShown_) return renameBytes_;
  return shown.toStdString();
}

TOverwriteChoice TVelkoMainForm::AskOverwrite(const std::string& question, const std::string& name) {
  TWarning_overwrite_dialog* dlg = Need(Warning_overwrite_dialog, "Overwrite warning");
  SetRenameField(name);
  dlg->ui->Label1->setText(BytesToQString(question));
  // Closed by its close box it answers as Cancel: never an overwrite.
  dlg->Answer = TOverwriteAnswer::Cancel;
  dlg->exec();
  return {dlg->Answer, dlg->Answer == TOverwriteAnswer::Rename ? RenameField() : name};
}

bool TVelkoMainForm::ConfirmUpdate(const std::string& question) {
  TOKBottomDlg* dlg = Need(OKBottomDlg, "Update confirmation");
  dlg->ui->LAD_Update_confirm_msg->setText(BytesToQString(question));
  dlg->Confirmed = false;
  dlg->exec();
  return dlg->Confirmed;
}

QTreeWidget* TVelkoMainForm::ListView(TListId list) const {
  switch (list) {
    case TListId::PcFiles: return ui->DC_PIC_PC_ListView;
    case TListId::PhoneFiles: return ui->DC_PIC_PHONE_ListView;
    case TListId::PcSuites: return ui->LAD_PC_ListView1;
    case TListId::PhoneSuites: return ui->LAD_Phone_ListView1;
  }
  return ui->DC_PIC_PC_ListView;
}

void TVelkoMainForm::ClearList(TListId list) {
  if (list == TListId::PcFiles && thumbnails_) thumbnails_->Cancel();
  if (list == TListId::PcFiles) unsuitableNames_.clear();
  ListView(list)->clear();
}

void TVelkoMainForm::AddListRow(TListId list, const std::vector<std::string>& cells) {
  QStringList texts;
  for (const std::string& c : cells) texts << BytesToQString(c);
  auto* item = new QTreeWidgetItem(texts);
  if (!texts.isEmpty()) item->setToolTip(0, PlainTip(texts[0]));
  ListView(list)->addTopLevelItem(item);
  if (list == TListId::PcFiles && !cells.empty()) QueueThumbnail(ListView(list)->topLevelItemCount() - 1, cells[0]);
}

std::vector<int> TVelkoMainForm::SelectedRows(TListId list) {
  QTreeWidget* view = ListView(list);
  std::vector<int> rows;
  for (int i = 0; i < view->topLevelItemCount(); ++i)
    if (view->topLevelItem(i)->isSelected()) rows.push_back(i);
  return rows;
}

void TVelkoMainForm::OpenWithDefaultApp(const std::string& path) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

// ---- Backup and restore: the Connection menu's entries ----

void TVelkoMainForm::SetUpBackupEntries() {
  ui->mConnection1->addSeparator();
  backupEntry_ = ui->mConnection1->addAction(QString());
  backupEntry_->setObjectName("mBackup");
  restoreEntry_ = ui->mConnection1->addAction(QString());
  restoreEntry_->setObjectName("mRestore");
  connect(backupEntry_, &QAction::triggered, this, [this] { RunHere([this] { BackupClick(); }); });
  connect(restoreEntry_, &QAction::triggered, this, [this] { RunHere([this] { RestoreClick(); }); });
}

void TVelkoMainForm::ApplyBackupTexts() {
  backupEntry_->setText(UiTr(uitext::BackupEntry));
  restoreEntry_->setText(UiTr(uitext::RestoreEntry));
}

void TVelkoMainForm::UpdateBackupEntries() {
  if (!backupEntry_) return;
  const bool idle = SessionIdle() && !session_.Closed();
  backupEntry_->setEnabled(idle);
  restoreEntry_->setEnabled(idle);
}

bool TVelkoMainForm::RefuseWhileBusy() {
  if (SessionIdle() && !session_.Closed()) return false;
  ShowMessage(UiTr(uitext::OperationRunning).toStdString());
  return true;
}

std::string TVelkoMainForm::AskBackupFolder(const UiText& caption) {
  TDIR_Select_Form* chooser = DIR_Select_Form;
  if (!chooser) throw std::logic_error("Folder chooser is not created");
  chooser->ShowFolder(QString::fromStdString(backup::NearestExistingFolder(backup::RememberedBackupRoot())));
  return ChooseFolder(UiTr(caption).toStdString());
}

void TVelkoMainForm::BackupClick() {
  if (RefuseWhileBusy()) return;
  const std::string root = AskBackupFolder(uitext::BackupFolderCaption);
  if (root.empty()) return;
  backup::RememberBackupRoot(root);
  RunOnSession([this, root] { backup::BackUpAndTell(link, root, QtUiTextDecoder()); });
}

void TVelkoMainForm::RestoreClick() {
  if (RefuseWhileBusy()) return;
  const std::string folder = AskBackupFolder(uitext::RestoreFolderCaption);
  if (folder.empty()) return;
  backup::TRestoreOptions o;
  o.suitesFolder = backup::SuitesFolderShown(pages);
  o.confirmPlan = [this](const backup::TRestoreReport& r) {
    bool go = false;
    windowQueue_.RunAndWait([&] { go = AskRestorePlan(this, r.plan); });
    return go;
  };
  RunOnSession([this, folder, o] { backup::RestoreAndTell(link, folder, o, QtUiTextDecoder()); });
}

bool TVelkoMainForm::ShowBackupEnd(const std::string& text) { return ShowBackupEndBox(this, text); }

// ---- The content page's PC list: "Show all files", "Fit to phone", thumbnails, drops ----


void TVelkoMainForm::SetUpContentExtras() {
  connect(ui->ShowAllFiles_CheckBox, &QCheckBox::toggled, this, [this](bool on) {
    QTreeWidget* pcList = ui->DC_PIC_PC_ListView;
    pcList->setColumnCount(on ? 3 : 2);
    // The name column gives way to the reason; the tool tip carries all of it.
    pcList->setColumnWidth(0, on ? 100 : 138);
    if (on) {
      pcList->setColumnWidth(kReasonColumn, 240);
      pcList->headerItem()->setText(kReasonColumn, UiTr(uitext::ReasonColumn));
    }
    const bool pageOpen = ui->PageControl1->currentWidget() == ui->DC_PIC_Sheet;
    // A view setting, not an action: it follows whatever runs.
    QueueOnSession([this, on, pageOpen] {
      contentPage.ShowAllFiles = on;
      if (pageOpen) RescanPcFolder();
    });
  });
  contentPage.Decoder = &QtUiTextDecoder();
  thumbnails_ = new TThumbnailLoader(this);
  ui->DC_PIC_PC_ListView->setIconSize(QSize(TThumbnailLoader::kSide, TThumbnailLoader::kSide));
  ui->DC_PIC_PC_ListView->setItemDelegateForColumn(0, NewThumbnailRoom(ui->DC_PIC_PC_ListView, [this] {
    return thumbnails_->enabled && (pages.FolderNumber == 2 || pages.FolderNumber == 3);
  }));
  connect(thumbnails_, &TThumbnailLoader::ThumbnailReady, this,
          [this](int row, const QString& name, const QImage& image) {
            QTreeWidgetItem* item = ui->DC_PIC_PC_ListView->topLevelItem(row);
            if (!item || item->text(0) != name || image.isNull()) return;
            item->setIcon(0, QIcon(QPixmap::fromImage(image)));
          });
  connect(ui->DC_PIC_PC_ListView, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateFitButton(); });
  QWidget* phoneList = ui->DC_PIC_PHONE_ListView->viewport();
  phoneList->setAcceptDrops(true);
  phoneList->installEventFilter(NewFileDropFilter(
      this,
      [this] {
        return ui->PageControl1->currentWidget() == ui->DC_PIC_Sheet && ui->DC_PIC_UL_Button->isEnabled();
      },
      [this](const QStringList& files) { RunHere([this, files] { SendDroppedFiles(files); }); }));
  connect(ui->PageControl1, &QStackedWidget::currentChanged, this, [this] { UpdateFitButton(); });
  connect(ui->FitToPhone_Button, &QPushButton::clicked, this, [this] { RunHere([this] { FitSelectedPicture(); }); });
  UpdateFitButton();
}

void TVelkoMainForm::ApplyContentExtrasTexts() {
  ui->ShowAllFiles_CheckBox->setText(UiTr(uitext::ShowAllFiles));
  ui->FitToPhone_Button->setText(UiTr(uitext::FitToPhone));
  QTreeWidget* list = ui->DC_PIC_PC_ListView;
  if (list->columnCount() > kReasonColumn) list->headerItem()->setText(kReasonColumn, UiTr(uitext::ReasonColumn));
  // The greyed rows shown now say their reason in the new language.
  for (int i = 0; i < list->topLevelItemCount(); ++i) ShowReason(list->topLevelItem(i));
}

void TVelkoMainForm::AddUnsuitableRow(const std::vector<std::string>& cells, const TWordsByLanguage& why) {
  QTreeWidget* list = ui->DC_PIC_PC_ListView;
  const QColor grey = list->palette().color(QPalette::Disabled, QPalette::Text);
  const std::string name = cells.empty() ? std::string() : cells[0];
  list->addTopLevelItem(NewUnsuitableRow(cells, why, static_cast<int>(unsuitableNames_.size()), grey));
  unsuitableNames_.push_back(name);
  QueueThumbnail(list->topLevelItemCount() - 1, name);
}

void TVelkoMainForm::QueueThumbnail(int row, const std::string& nameBytes) {
  if (pages.FolderNumber != 2 && pages.FolderNumber != 3) return;
  QTreeWidgetItem* item = ui->DC_PIC_PC_ListView->topLevelItem(row);
  if (!item) return;
  thumbnails_->Queue(row, item->text(0), QFile::decodeName((pages.PcFolder + "/" + nameBytes).c_str()));
}

void TVelkoMainForm::RescanPcFolder(const QString& select) {
  contentPage.RescanPcList();
  if (!select.isEmpty() && !pages.PcFolder.empty()) windowQueue_.RunAndWait([&] { SelectPcRow(select); });
}

void TVelkoMainForm::SelectPcRow(const QString& name) {
  QTreeWidget* list = ui->DC_PIC_PC_ListView;
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = list->topLevelItem(i);
    int greyed = 0;
    if (item->text(0) != name || UnsuitableIndex(item, &greyed)) continue;
    list->clearSelection();
    item->setSelected(true);
    list->setCurrentItem(item);
    list->scrollToItem(item);
    break;
  }
}

QString TVelkoMainForm::SelectedFittablePath() {
  // The page's lists belong to the worker while an operation runs.
  if (!SessionIdle()) return {};
  const QList<QTreeWidgetItem*> selected = ui->DC_PIC_PC_ListView->selectedItems();
  if (selected.size() != 1) return {};
  int index = 0;
  if (!UnsuitableIndex(selected.front(), &index) || static_cast<size_t>(index) >= unsuitableNames_.size()) return {};
  const QString path = QFile::decodeName((pages.PcFolder + "/" + unsuitableNames_[index]).c_str());
  return PictureFitter().CanFit(QFile::encodeName(path).toStdString()) ? path : QString();
}

void TVelkoMainForm::UpdateFitButton() {
  const bool picturePage = pages.FolderNumber == 3 && ui->PageControl1->currentWidget() == ui->DC_PIC_Sheet;
  ui->FitToPhone_Button->setVisible(picturePage);
  // A batch locks the page's buttons; the fit button follows the send button.
  ui->FitToPhone_Button->setEnabled(picturePage && ui->DC_PIC_UL_Button->isEnabled() &&
                                    !SelectedFittablePath().isEmpty());
}

void TVelkoMainForm::FitSelectedPicture() {
  const QString path = SelectedFittablePath();
  if (path.isEmpty()) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const fit::TFitOutcome r = PictureFitter().Fit(QFile::encodeName(path).toStdString());
  QApplication::restoreOverrideCursor();
  if (r.refusal != fit::TRefusal::None) {
    ShowMessage(RefusalUtf8(r, QtUiTextDecoder()));
    return;
  }
  if (ui->PageControl1->currentWidget() != ui->DC_PIC_Sheet) return;
  QueueOnSession([this, name = QFileInfo(QFile::decodeName(r.path.c_str())).fileName()] { RescanPcFolder(name); });
}

void TVelkoMainForm::SendDroppedFiles(const QStringList& paths) {
  std::vector<std::string> local;
  for (const QString& path : paths) local.push_back(QFile::encodeName(path).toStdString());
  // The page judges them and asks through the window as it goes.
  RunOnSession([this, local] {
    TellStopped(contentPage.SendDroppedFiles(local, &PictureFitter(), QtUiTextDecoder()).sending);
  });
}

bool TVelkoMainForm::ConfirmFitCopy(const std::string& question) {
  QMessageBox box(QMessageBox::Question, ApplicationTitle(), BytesToQString(question),
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setTextFormat(Qt::PlainText);  // names from outside are never markup
  return box.exec() == QMessageBox::Yes;
}

void TVelkoMainForm::TellStopped(const TPageReport& report) {
  const std::string text = StoppedActionText(report, QtUiTextDecoder());
  if (!text.empty()) shownView_.ShowMessage(text);
}
