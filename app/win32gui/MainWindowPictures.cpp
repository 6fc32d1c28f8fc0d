// The content page's pictures: "Fit to phone" for a greyed picture, and
// the thumbnails of the animation and picture pages' PC rows.
#include <filesystem>

#include "app/win32/WinFitPicture.h"
#include "app/win32/WinTextDecoder.h"
#include "app/win32gui/MainWindow.h"
#include "app/win32gui/MainWindowParts.h"
#include "app/win32gui/WinThumbnails.h"
#include "link/Text.h"

namespace win32gui {

const fit::TPictureFitter& PictureFitter() {
  static const fit::TWinPictureFitter fitter;
  return fitter;
}

int TMainWindow::ThumbnailsPending() const { return thumbnails_ ? thumbnails_->Outstanding() : 0; }

void TMainWindow::QueueThumbnail(int row, const std::string& name) {
  if (!thumbnails_ || !thumbnails_->Shown() || pages.PcFolder.empty()) return;
  thumbnails_->Queue(row, WideFromBytes(name), (Utf8Path(pages.PcFolder) / Utf8Path(name)).wstring());
}

std::string TMainWindow::SelectedFittablePath() {
  // The page's lists belong to the worker while an operation runs.
  if (!session_.Idle() || pages.PcFolder.empty()) return {};
  HWND list = Control(idPcList);
  if (SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) != 1) return {};
  const int row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  // Only a greyed row: the rows the page lists are sent as they are.
  const int index = row - (static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) -
                           static_cast<int>(unsuitableNames_.size()));
  if (row < 0 || index < 0 || static_cast<size_t>(index) >= unsuitableNames_.size()) return {};
  const std::string path = PathUtf8(Utf8Path(pages.PcFolder) / Utf8Path(unsuitableNames_[static_cast<size_t>(index)]));
  return PictureFitter().CanFit(path) ? path : std::string();
}

void TMainWindow::UpdateFitButton() {
  const bool picturePage = page_ == TPage::Content && pages.FolderNumber == 3;
  Show(idFitToPhone, picturePage);
  // A batch locks the page's buttons; the fit button follows the send button.
  SetEnabled(idFitToPhone,
             picturePage && IsWindowEnabled(Control(idSend)) && !SelectedFittablePath().empty());
}

void TMainWindow::FitSelectedPicture() {
  const std::string path = SelectedFittablePath();
  if (path.empty()) return;
  HCURSOR old = SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)) /* the hourglass */);
  const fit::TFitOutcome r = PictureFitter().Fit(path);
  SetCursor(old);
  if (r.refusal != fit::TRefusal::None) {
    ShowMessage(RefusalUtf8(r, WinUiTextDecoder()));
    return;
  }
  if (page_ != TPage::Content) return;
  // The copy shows in the list, selected, once the page has read the folder again.
  const std::wstring name = Utf8Path(r.path).filename().wstring();
  session_.Queue([this, name] {
    contentPage.RescanPcList();
    if (!pages.PcFolder.empty()) windowQueue_.RunAndWait([this, name] { SelectPcRow(name); });
  });
}

void TMainWindow::SelectPcRow(const std::wstring& name) {
  HWND list = Control(idPcList);
  const int listed = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) -
                     static_cast<int>(unsuitableNames_.size());
  for (int i = 0; i < listed; ++i) {
    if (name != RowName(TListId::PcFiles, i)) continue;
    LVITEMW none{};
    none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
    LVITEMW on{};
    on.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    on.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&on));
    SendMessageW(list, LVM_ENSUREVISIBLE, i, FALSE);
    break;
  }
}

}  // namespace win32gui
