#pragma once
// The main window: tool bar, pages, progress panel, status bar and menus.
// It owns the phone link, the two pages and the session worker that runs
// them. Handlers that use the link become operations on the worker; the
// window thread only shows, asks and waits for nothing.
#include <QLabel>
#include <QMainWindow>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "app/gui/FormText.h"
#include "content/UiText.h"
#include "content/BackupRun.h"
#include "content/ContentPage.h"
#include "content/MidletPage.h"
#include "link/Connection.h"
#include "link/FormView.h"
#include "link/Link.h"
#include "link/QueuedView.h"
#include "link/OperationSession.h"
#include "link/ThreadQueue.h"

namespace Ui {
class TVelkoMainForm;
}
class QTreeWidget;
class QTreeWidgetItem;
class QActionGroup;
class QMenu;
class QPushButton;
class TThumbnailLoader;

enum class TMenuItem { Connect, Disconnect, ConnSetting };

class TVelkoMainForm : public QMainWindow, public IFormView {
  Q_OBJECT
 public:
  // Throws when Velko.ini cannot be read (the entry shows the text and ends).
  explicit TVelkoMainForm(std::unique_ptr<IComBackend> backend = MakeDefaultComBackend(),
                          QWidget* parent = nullptr);
  ~TVelkoMainForm() override;

  // The create handler: first connect of the run.
  void FormCreate();
  // A user action on the session; refused with a box while another runs.
  void RunOnSession(std::function<void()> operation);
  // A step that follows what runs (the start-up, a rescan after a fit).
  void QueueOnSession(std::function<void()> operation);
  // No operation runs or waits to run.
  bool SessionIdle() const { return session_.Idle(); }
  // Runs what the worker handed to the window thread. Invoked by name from
  // the worker: the hand-off then carries no object of ours across threads.
  Q_INVOKABLE void DrainWindowQueue();
  // After the event loop: lets the operations under way (a close's
  // disconnect) end, within the limit, then stops the worker.
  void FinishSession(std::chrono::milliseconds limit);

  // ---- IFormView ----
  void ShowMessage(const std::string& text) override;
  void ShowErrorText(const std::string& text) override;
  void SetStatusLabel(const std::string& text) override;
  void HideStatusLabel() override;
  void ShowProgressBar(bool visible) override;
  void SetProgressRange(int max) override;
  void SetProgressPos(int pos) override;
  void StepProgress() override;
  void ShowTotalBar(int max) override;
  void StepTotalBar() override;
  void HideTotalBar() override;
  void ShowPage(TPage page) override;
  void SetTitleBar(TTitle title) override;
  void ShowLinkIndicators(const TLinkIndicators& shown, unsigned changed) override;
  void SetActionsEnabled(bool enabled) override;
  void EnableSuiteActions() override;

  // ---- The widgets behind the indicators and actions ----
  // Status panel 0: "Connection" + ": " + port, or the "Auto" text.
  void SetPortPanel(const std::string& port, bool autoChoice);
  // Status panel 1: "Status" + ": " + "Connection"/"Disconnect".
  void SetLinkPanel(bool connected);
  void SetMenuEnabled(TMenuItem item, bool enabled);
  // Port sub-menu entry: 0 is mAuto, 1..4 are mCOM1..mCOM4.
  void SetPortEntry(int index, bool visible, bool checked, const std::string& caption);
  // The eight buttons, Panel1 and the Show all files box; Stop while they are off.
  void SetActionButtonsEnabled(bool enabled);
  void EnableInstallButtons();  // LAD_ONE, LocalAppDL_REMOVE, LAD_PC_Remove
  std::string ChooseFolder(const std::string& caption) override;
  TOverwriteChoice AskOverwrite(const std::string& question, const std::string& name) override;
  bool ConfirmUpdate(const std::string& question) override;
  void ClearList(TListId list) override;
  void AddListRow(TListId list, const std::vector<std::string>& cells) override;
  void AddUnsuitableRow(const std::vector<std::string>& cells, const TWordsByLanguage& why) override;
  std::vector<int> SelectedRows(TListId list) override;
  void OpenWithDefaultApp(const std::string& path) override;
  bool ConfirmFitCopy(const std::string& question) override;
  bool ShowBackupEnd(const std::string& text) override;

  // Menu and button handlers (each runs under the error report).
  void mAboutClick();
  void mConnSettingClick();
  // An entry of the language menu (0 English, 1 Traditional, 2 Simplified
  // Chinese): stores the choice and puts its texts on the open window.
  void mLanguageClick(int languageIndex);

  // Connection menu: the whole phone into a new backup folder, and a
  // backup put back after its plan is shown. Each
  // asks for its folder here and runs on the worker.
  void BackupClick();
  void RestoreClick();
  QAction* BackupEntry() const { return backupEntry_; }
  QAction* RestoreEntry() const { return restoreEntry_; }

  QMenu* LanguageMenu() const { return languageMenu_; }
  QAction* LanguageEntry(int languageIndex) const { return languageEntries_[languageIndex]; }

  QTreeWidget* ListView(TListId list) const;
  QLabel* StatusPanel(int index) const { return panels_[index]; }

  std::unique_ptr<Ui::TVelkoMainForm> ui;  // before the link: the link's view calls need it

 private:
  TThreadQueue windowQueue_;  // what the worker has the window thread do
  TQueuedView shownView_;     // the window as the worker sees it

 public:
  TLink link;
  TConnection connection{link};  // what the window shows of the link
  TPageState pages;  // what the two pages share
  TContentPage contentPage;
  TMidletPage midletPage;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // Puts every text of the current language on the window and the About
  // box; the panels and the title bar keep the state they show.
  void ApplyLanguageTexts();
  void BuildLanguageMenu();
  // 638 x 436 below the menu bar, whose height follows its fonts.
  void KeepClientSize();
  void ShowStopButton(bool visible);
  // The progress panel as it is between operations: empty.
  void ClearProgressPanel();
  void WireHandlers();
  // Content page additions: "Show all files" and the unsuitable rows.
  void SetUpContentExtras();
  void ApplyContentExtrasTexts();
  // The names of the greyed rows shown, as bytes, in their order.
  std::vector<std::string> unsuitableNames_;
  // "Fit to phone": the path of the one selected row a copy can be made of, or "".
  QString SelectedFittablePath();
  void UpdateFitButton();
  void FitSelectedPicture();
  // Thumbnails of the animation and picture pages' PC rows.
  void QueueThumbnail(int row, const std::string& nameBytes);
  // Files dropped on the phone list: judged, fitted when asked, then sent.
  void SendDroppedFiles(const QStringList& paths);
  // After a page action: the box naming what Stop left undone, if it ended it.
  void TellStopped(const TPageReport& report);
  TThumbnailLoader* thumbnails_ = nullptr;

 public:
  TThumbnailLoader* Thumbnails() const { return thumbnails_; }

 private:
  // Backup and restore.
  void SetUpBackupEntries();
  void ApplyBackupTexts();
  // The two entries are offered only while no operation runs.
  void UpdateBackupEntries();
  // A box and true while an operation runs or waits to run.
  bool RefuseWhileBusy();
  std::string AskBackupFolder(const UiText& caption);
  QAction* backupEntry_ = nullptr;
  QAction* restoreEntry_ = nullptr;
  // Runs a window-only handler here; an escaping error is shown with its own text.
  void RunHere(const std::function<void()>& handler);
  // On the worker: the content page's PC list anew, then the row named
  // 'select' selected.
  void RescanPcFolder(const QString& select = QString());
  void SelectPcRow(const QString& name);

  QPushButton* stopButton_ = nullptr;
  QLabel* panels_[3] = {nullptr, nullptr, nullptr};
  QActionGroup* portGroup_ = nullptr;
  QMenu* languageMenu_ = nullptr;
  QAction* languageEntries_[3] = {nullptr, nullptr, nullptr};
  // What the title bar and the status panels show, for a change of language.
  TTitle title_ = TTitle::Product;
  bool portShown_ = false;
  std::string port_;
  bool portAuto_ = false;
  bool connected_ = false;
  // The rename prompt's field; an untouched name goes back byte for byte.
  void SetRenameField(const std::string& name);
  std::string RenameField();
  std::string renameBytes_;  // Filename_Edit1 as the caller gave it
  QString renameShown_;
  TOperationSession session_;  // last: it stops before the pages and the link go
};
