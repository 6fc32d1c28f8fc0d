#include "Dialogs.h"

#include <QDir>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QScreen>
#include <QStorageInfo>
#include <QTimer>

#include "app/qt/UiTextQt.h"
#include "app/gui/Artwork.h"
#include "ui_aboutbox.h"
#include "ui_dirselect.h"
#include "ui_okbottomdlg.h"
#include "ui_overwrite.h"
#include "ui_renamedlg.h"

TAboutBox* AboutBox = nullptr;
TOKBottomDlg* OKBottomDlg = nullptr;
TDIR_Select_Form* DIR_Select_Form = nullptr;
TWarning_overwrite_dialog* Warning_overwrite_dialog = nullptr;
TRename_Dlg1* Rename_Dlg1 = nullptr;

namespace {

// Fixed border: no resizing, no maximise, no context help button.
void MakeFixed(QDialog* d) {
  d->setFixedSize(d->size());
  d->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  d->setWindowFlag(Qt::MSWindowsFixedSizeDialogHint, true);
}

void CenterOnScreen(QWidget* w) {
  QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect r = w->frameGeometry();
  r.moveCenter(screen->availableGeometry().center());
  w->move(r.topLeft());
}

// Dialogs that sit in the middle of the screen rather than over their owner.
class ScreenCentering : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Show) CenterOnScreen(static_cast<QWidget*>(o));
    return false;
  }
};

// Each showing starts on the safe answer, whichever button closed the last
// one: a plain Enter never takes the risky choice unasked.
class FocusOnShow : public QObject {
 public:
  FocusOnShow(QObject* parent, QWidget* safe) : QObject(parent), safe_(safe) {}
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Show) safe_->setFocus(Qt::OtherFocusReason);
    return false;
  }

 private:
  QWidget* safe_;
};

}  // namespace

// ---- About box ----

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent), ui(new Ui::TAboutBox) {
  ui->setupUi(this);
  MakeFixed(this);
  // The main window is built first: the language is known.
  ApplyLanguageTexts();
  ui->Version->move(ui->ProductName->x() + 4, ui->Version->y());
  ui->Image1->setPixmap(LogoPixmap(QSize(100, 69)));
  connect(ui->OKButton, &QPushButton::clicked, this, &QDialog::accept);
  AboutBox = this;
}

void TAboutBox::ApplyLanguageTexts() {
  // An empty title would be replaced by the program's name by the window
  // system; a blank one reads empty.
  const QString caption = UiTr(uitext::AboutCaption);
  setWindowTitle(caption.isEmpty() ? QStringLiteral(" ") : caption);
  ui->ProductName->setText(UiTr(uitext::AboutProductName));
  ui->Version->setText(UiTr(uitext::AboutVersion));
  ui->Comments->setText(UiTr(uitext::AboutNotice));
  ui->OKButton->setText(UiTr(uitext::AboutOKButton));
}

TAboutBox::~TAboutBox() {
  if (AboutBox == this) AboutBox = nullptr;
  delete ui;
}

// ---- update confirmation ----

TOKBottomDlg::TOKBottomDlg(QWidget* parent) : QDialog(parent), ui(new Ui::TOKBottomDlg) {
  ui->setupUi(this);
  MakeFixed(this);
  installEventFilter(new ScreenCentering(this));
  connect(ui->OKBtn, &QPushButton::clicked, this, &TOKBottomDlg::OKBtnClick);
  connect(ui->CancelBtn, &QPushButton::clicked, this, &TOKBottomDlg::CancelBtnClick);
  OKBottomDlg = this;
}

TOKBottomDlg::~TOKBottomDlg() {
  if (OKBottomDlg == this) OKBottomDlg = nullptr;
  delete ui;
}

void TOKBottomDlg::OKBtnClick() {
  Confirmed = true;
  accept();
}

void TOKBottomDlg::CancelBtnClick() {
  Confirmed = false;
  reject();
}

// ---- folder chooser ----

TDIR_Select_Form::TDIR_Select_Form(QWidget* parent)
    : QDialog(parent), ui(new Ui::TDIR_Select_Form), model_(new QFileSystemModel(this)) {
  ui->setupUi(this);
  resize(366, 300);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  model_->setRootPath(QString());
  ui->DirectoryListBox1->setModel(model_);
  for (int c = 1; c < model_->columnCount(); ++c) ui->DirectoryListBox1->hideColumn(c);

  // The drives: the file-system root, the home folder, then mounted volumes.
  QStringList drives{QDir::rootPath(), QDir::homePath()};
  for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
    if (!v.isValid() || !v.isReady()) continue;
    QString p = v.rootPath();
    if (!drives.contains(p)) drives << p;
  }
  for (const QString& d : drives) ui->DriveComboBox1->addItem(d, d);

  connect(ui->DriveComboBox1, &QComboBox::activated, this, &TDIR_Select_Form::SelectDrive);
  // Only the user's own moves in the tree choose a folder: the model fills
  // in from a thread of its own and may move the current row meanwhile.
  connect(ui->DirectoryListBox1->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& index) {
            if (index.isValid() && ui->DirectoryListBox1->hasFocus()) current_ = model_->filePath(index);
          });
  connect(ui->Dir_sel_ok, &QPushButton::clicked, this, &TDIR_Select_Form::Dir_sel_okClick);
  connect(ui->Dir_sel_cancel, &QPushButton::clicked, this, &TDIR_Select_Form::Dir_sel_cancelClick);
  // Home stands in for the first drive's root of the original layout.
  SelectDrive(1);
  DIR_Select_Form = this;
}

TDIR_Select_Form::~TDIR_Select_Form() {
  if (DIR_Select_Form == this) DIR_Select_Form = nullptr;
  delete ui;
}

void TDIR_Select_Form::SelectDrive(int index) {
  if (index < 0 || index >= ui->DriveComboBox1->count()) return;
  ui->DriveComboBox1->setCurrentIndex(index);
  QString drive = ui->DriveComboBox1->itemData(index).toString();
  ui->DirectoryListBox1->setRootIndex(model_->index(drive));
  ui->DirectoryListBox1->selectionModel()->clearCurrentIndex();
  current_ = drive;
}

void TDIR_Select_Form::ShowFolder(const QString& path) {
  QModelIndex index = model_->index(path);
  if (!index.isValid()) return;
  // Show the folder under the drive that holds it, so the user sees what OK returns.
  QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
  int best = -1;
  qsizetype bestLength = -1;
  for (int i = 0; i < ui->DriveComboBox1->count(); ++i) {
    QString drive = QDir::cleanPath(ui->DriveComboBox1->itemData(i).toString());
    // A root keeps its slash ("/", "C:/"): no second one is added.
    const QString under = drive.endsWith('/') ? drive : drive + "/";
    bool holds = clean == drive || clean.startsWith(under);
    if (holds && drive.size() > bestLength) {
      best = i;
      bestLength = drive.size();
    }
  }
  if (best >= 0 && best != ui->DriveComboBox1->currentIndex()) SelectDrive(best);
  for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) ui->DirectoryListBox1->expand(up);
  ui->DirectoryListBox1->setCurrentIndex(index);
  ui->DirectoryListBox1->scrollTo(index);
  current_ = model_->filePath(index);
}

QString TDIR_Select_Form::ShownFolder() const { return QDir::toNativeSeparators(current_); }

std::string TDIR_Select_Form::Execute() {
  chosen_.clear();
  exec();
  return chosen_;
}

void TDIR_Select_Form::Dir_sel_okClick() {
  chosen_ = ShownFolder().toStdString();
  accept();
}

void TDIR_Select_Form::Dir_sel_cancelClick() {
  chosen_.clear();
  reject();
}

// ---- rename prompt ----

TRename_Dlg1::TRename_Dlg1(QWidget* parent) : QDialog(parent), ui(new Ui::TRename_Dlg1) {
  ui->setupUi(this);
  MakeFixed(this);
  installEventFilter(new ScreenCentering(this));
  connect(ui->OKBtn, &QPushButton::clicked, this, &TRename_Dlg1::OKBtnClick);
  connect(ui->CancelBtn, &QPushButton::clicked, this, &TRename_Dlg1::CancelBtnClick);
  Rename_Dlg1 = this;
}

TRename_Dlg1::~TRename_Dlg1() {
  if (Rename_Dlg1 == this) Rename_Dlg1 = nullptr;
  delete ui;
}

void TRename_Dlg1::OKBtnClick() {
  NameChosen = true;
  accept();
}

void TRename_Dlg1::CancelBtnClick() {
  NameChosen = false;
  reject();
}

// ---- overwrite warning ----

TWarning_overwrite_dialog::TWarning_overwrite_dialog(QWidget* parent)
    : QDialog(parent), ui(new Ui::TWarning_overwrite_dialog) {
  ui->setupUi(this);
  MakeFixed(this);
  installEventFilter(new ScreenCentering(this));
  QFont f = ui->Label1->font();
  f.setFamily("Times New Roman");
  f.setPixelSize(19);
  ui->Label1->setFont(f);
  installEventFilter(new FocusOnShow(this, ui->CancelBtn));
  connect(ui->OKBtn, &QPushButton::clicked, this, &TWarning_overwrite_dialog::OKBtnClick);
  connect(ui->CancelBtn, &QPushButton::clicked, this, &TWarning_overwrite_dialog::CancelBtnClick);
  connect(ui->Rename_Button, &QPushButton::clicked, this, &TWarning_overwrite_dialog::Rename_ButtonClick);
  Warning_overwrite_dialog = this;
}

TWarning_overwrite_dialog::~TWarning_overwrite_dialog() {
  if (Warning_overwrite_dialog == this) Warning_overwrite_dialog = nullptr;
  delete ui;
}

void TWarning_overwrite_dialog::OKBtnClick() {
  Answer = TOverwriteAnswer::Overwrite;
  accept();
}

void TWarning_overwrite_dialog::CancelBtnClick() {
  Answer = TOverwriteAnswer::Cancel;
  reject();
}

void TWarning_overwrite_dialog::Rename_ButtonClick() {
  if (!Rename_Dlg1) return;
  // A prompt closed by its close box must not count as a confirmed name.
  Rename_Dlg1->NameChosen = false;
  Rename_Dlg1->exec();
  if (Rename_Dlg1->NameChosen) {
    Answer = TOverwriteAnswer::Rename;
    accept();
  }
}

// ---- creation ----

TDialogSet::~TDialogSet() = default;

std::unique_ptr<TDialogSet> CreateDialogs(QWidget* mainWindow) {
  auto set = std::make_unique<TDialogSet>();
  set->about = std::make_unique<TAboutBox>(mainWindow);
  set->okBottom = std::make_unique<TOKBottomDlg>(mainWindow);
  set->dirSelect = std::make_unique<TDIR_Select_Form>(mainWindow);
  set->overwrite = std::make_unique<TWarning_overwrite_dialog>(mainWindow);
  set->rename = std::make_unique<TRename_Dlg1>(mainWindow);
  return set;
}
