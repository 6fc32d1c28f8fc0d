#pragma once
// The five small dialogs of the main window. Each is created once at
// start-up and reused; each keeps the answer of its last showing.
#include <QDialog>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>

#include "link/FormView.h"

class QFileSystemModel;
namespace Ui {
class TAboutBox;
class TOKBottomDlg;
class TDIR_Select_Form;
class TWarning_overwrite_dialog;
class TRename_Dlg1;
}  // namespace Ui

class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutBox(QWidget* parent = nullptr);
  ~TAboutBox() override;
  // Texts of the current language (again after each change of language).
  void ApplyLanguageTexts();
  Ui::TAboutBox* ui;
};

class TOKBottomDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TOKBottomDlg(QWidget* parent = nullptr);
  ~TOKBottomDlg() override;
  void OKBtnClick();
  void CancelBtnClick();
  bool Confirmed = false;  // OK was pressed
  Ui::TOKBottomDlg* ui;
};

class TDIR_Select_Form : public QDialog {
  Q_OBJECT
 public:
  explicit TDIR_Select_Form(QWidget* parent = nullptr);
  ~TDIR_Select_Form() override;

  // The folder the list shows (its selection, else the chosen drive).
  QString ShownFolder() const;
  // Answer of the last showing: the folder after OK, "" after Cancel.
  std::string ChosenFolder() const { return chosen_; }
  // Shows the chooser modally; the folder after OK, "" after Cancel or the close box.
  std::string Execute();
  // Shows the given drive's folders (index into DriveComboBox1).
  void SelectDrive(int index);
  void ShowFolder(const QString& path);

  void Dir_sel_okClick();
  void Dir_sel_cancelClick();
  Ui::TDIR_Select_Form* ui;

 private:
  QFileSystemModel* model_;
  QString current_;
  std::string chosen_;
};

class TRename_Dlg1 : public QDialog {
  Q_OBJECT
 public:
  explicit TRename_Dlg1(QWidget* parent = nullptr);
  ~TRename_Dlg1() override;
  void OKBtnClick();
  void CancelBtnClick();
  bool NameChosen = false;  // a new name was confirmed
  Ui::TRename_Dlg1* ui;
};

class TWarning_overwrite_dialog : public QDialog {
  Q_OBJECT
 public:
  explicit TWarning_overwrite_dialog(QWidget* parent = nullptr);
  ~TWarning_overwrite_dialog() override;
  void OKBtnClick();
  void CancelBtnClick();
  void Rename_ButtonClick();
  TOverwriteAnswer Answer = TOverwriteAnswer::Cancel;
  Ui::TWarning_overwrite_dialog* ui;
};

// The instances of the run (null until created).
extern TAboutBox* AboutBox;
extern TOKBottomDlg* OKBottomDlg;
extern TDIR_Select_Form* DIR_Select_Form;
extern TWarning_overwrite_dialog* Warning_overwrite_dialog;
extern TRename_Dlg1* Rename_Dlg1;

// Creates the five dialogs in start-up order. The About box and the folder
// chooser are centred on the main window, the other three on the screen.
struct TDialogSet {
  std::unique_ptr<TAboutBox> about;
  std::unique_ptr<TOKBottomDlg> okBottom;
  std::unique_ptr<TDIR_Select_Form> dirSelect;
  std::unique_ptr<TWarning_overwrite_dialog> overwrite;
  std::unique_ptr<TRename_Dlg1> rename;
  ~TDialogSet();
};
std::unique_ptr<TDialogSet> CreateDialogs(QWidget* mainWindow);
