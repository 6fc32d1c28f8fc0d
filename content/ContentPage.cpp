#include "link/Transfers.h"
#include "content/ContentPage.h"

#include <filesystem>

#include <memory>
#include <vector>

#include "content/PcScan.h"

namespace {

constexpr int kPauseBetweenFilesMs = 1000;

struct TFileRef {
  std::string name;
  int32_t size;
};

// The records behind the selected rows, copied: the lists are rebuilt by
// the refresh and must not be held across it. Rows past the list's end
// (a view out of step with its list) are left out.
std::vector<TFileRef> SelectedFiles(IFormView& view, TListId list, const TPicList& entries) {
  std::vector<TFileRef> files;
  for (int row : view.SelectedRows(list)) {
    if (row < 0) continue;
    if (const pic_info* p = entries.At(static_cast<size_t>(row))) files.push_back({p->Name, p->Size});
  }
  return files;
}

// Locks the action buttons for one batch and unlocks them on every way out,
// an error escaping the refresh included. Bars still up at that point
// (an early exit) are hidden too.
class TBatchGuard {
 public:
  TBatchGuard(TLink& link, int totalMax) : link_(link), bars_(totalMax > 0) {
    link_.TakeStop();  // a Stop pressed before the batch is no stop of it
    if (bars_) link_.View().ShowTotalBar(totalMax);
    link_.DisableActionButtons();
  }
  ~TBatchGuard() {
    HideBars();
    link_.TakeStop();
    link_.EnableActionButtons();
  }
  TBatchGuard(const TBatchGuard&) = delete;
  TBatchGuard& operator=(const TBatchGuard&) = delete;

  void HideBars() {
    if (!bars_) return;
    bars_ = false;
    link_.View().ShowProgressBar(false);
    link_.View().HideTotalBar();
  }

 private:
  TLink& link_;
  bool bars_;
};

}  // namespace

bool TContentPage::AbortedSince(unsigned mark) const {
  return link_.Flags.LinkFailed || link_.Flags.AppClosing || link_.Flags.AbortCount != mark;
}

// ---- Openers ----

void TContentPage::OpenKind(int folder, const char* chooserCaption, TTitle title) {
  link_.FolderAsked = false;
  link_.FolderNumber = folder;
  ChooserCaption = chooserCaption;
  link_.View().SetTitleBar(title);
  OpenContentPage();
}

void TContentPage::Ring_ButtonClick() { OpenKind(1, "Melody Folder", TTitle::Melody); }
void TContentPage::Animation_ButtonClick() { OpenKind(2, "Animation Folder", TTitle::Animation); }
void TContentPage::DC_PIC_ToolButtonClick() { OpenKind(3, "Picture Folder", TTitle::Picture); }

void TContentPage::OpenContentPage() {
  IFormView& view = link_.View();
  if (!link_.FolderAsked) {
    link_.PcFolder = view.ChooseFolder(ChooserCaption);
    link_.FolderAsked = true;
  }
  if (link_.PcFolder.empty()) {
    link_.ReturnToLogo();
    return;
  }
  if (!ProgramDir.empty()) {
    // Nothing of the page depends on the working directory; a failure goes on from here.
    std::error_code ec;
    std::filesystem::current_path(ProgramDir, ec);
  }
  link_.Reply.ClearText();

  // CheckLink reports its own failures and returns to the logo on a time-out.
  if (!link_.CheckLink()) return;
  link_.ShowLinkState(true);

  link_.SelectPhoneFolder(link_.FolderNumber);
  if (link_.Reply.State() != rsOk) return;

  PcFileList.Clear();
  view.ClearList(TListId::PcFiles);
  ScanPcFolder();

  unsigned mark = link_.Flags.AbortCount;
  link_.PhoneFileList.Clear();
  view.ClearList(TListId::PhoneFiles);
  link_.ListPhoneFolder();
  // The listing's own failures still show the page; an abort leaves the logo.
  if (AbortedSince(mark)) return;

  view.ShowPage(TPage::Content);
  if (link_.ReceiverPaused()) link_.ResumeReceiver();
}

void TContentPage::ScanPcFolder() {
  IFormView& view = link_.View();
  PcFileList.Clear();
  Unsuitable.clear();
  pic_info* tail = nullptr;  // appended at directly: the list's own append walks from the head
  pcscan::TRejectFn keep;
  if (ShowAllFiles) keep = [this](const pcscan::TRejectedEntry& e) { Unsuitable.push_back(e); };
  pcscan::ScanFolder(
      link_.FolderNumber, link_.PcFolder, [&view](const std::string& text) { view.ShowMessage(text); },
      [&](const pcscan::TScanEntry& e) {
        if (!tail) {
          tail = PcFileList.Append();
        } else {
          tail->next = std::make_unique<pic_info>();
          tail = tail->next.get();
        }
        tail->Name = e.name;
        tail->Size = e.size;
        view.AddListRow(TListId::PcFiles, {e.name, std::to_string(e.size)});
      },
      keep);
  // The unsuitable rows follow the listed ones.
  if (ShowAllFiles && OnUnsuitable) OnUnsuitable(Unsuitable);
}

// ---- Page buttons ----

void TContentPage::DC_PIC_UL_ButtonClick() {
  IFormView& view = link_.View();
  if (view.SelectedRows(TListId::PcFiles).empty()) {
    view.ShowMessage("No File on PC be selected");
    return;
  }
  std::vector<TFileRef> files = SelectedFiles(view, TListId::PcFiles, PcFileList);
  // Only rows of files the phone would not take: nothing to send.
  if (files.empty() && ShowAllFiles) {
    view.ShowMessage("No File on PC be selected");
    return;
  }
  TBatchGuard batch(link_, static_cast<int>(view.SelectedRows(TListId::PcFiles).size()));
  for (size_t i = 0; i < files.size(); ++i) {
    unsigned mark = link_.Flags.AbortCount;
    link_.UploadFile(files[i].name, link_.FolderNumber);
    // Stopped: the files done stay done, the rest are not started, and the
    // refresh below shows both folders as they are.
    if (link_.TakeStop()) break;
    if (AbortedSince(mark)) return;  // the logo stays, no refresh
    // Only a refusal by the phone ends the batch; other failures try the next file.
    if (link_.Reply.State() == rsError) break;
    view.StepTotalBar();
    if (i + 1 < files.size() && !link_.PauseUnlessStopped(kPauseBetweenFilesMs)) break;
  }
  batch.HideBars();
  OpenContentPage();
}

void TContentPage::SendPcFiles(const std::vector<std::string>& paths) {
  if (paths.empty()) return;
  // The upload reads from PcFolder: each file's own folder for its turn,
  // the page's folder back however the batch ends.
  struct TFolderBack {
    TLink& link;
    std::string folder;
    ~TFolderBack() { link.PcFolder = folder; }
  } back{link_, link_.PcFolder};
  {
    TBatchGuard batch(link_, static_cast<int>(paths.size()));
    for (size_t i = 0; i < paths.size(); ++i) {
      const size_t slash = paths[i].find_last_of('/');
      link_.PcFolder = slash == std::string::npos ? "." : paths[i].substr(0, slash);
      unsigned mark = link_.Flags.AbortCount;
      link_.UploadFile(paths[i].substr(slash == std::string::npos ? 0 : slash + 1), link_.FolderNumber);
      link_.PcFolder = back.folder;
      if (link_.TakeStop()) break;
      if (AbortedSince(mark)) return;
      if (link_.Reply.State() == rsError) break;
      link_.View().StepTotalBar();
      if (i + 1 < paths.size() && !link_.PauseUnlessStopped(kPauseBetweenFilesMs)) break;
    }
    batch.HideBars();
  }
  OpenContentPage();
}

void TContentPage::DC_PIC_DL_ButtonClick() {
  IFormView& view = link_.View();
  if (view.SelectedRows(TListId::PhoneFiles).empty()) {
    view.ShowMessage("No File on MOBILE be selected");
    return;
  }
  std::vector<TFileRef> files = SelectedFiles(view, TListId::PhoneFiles, link_.PhoneFileList);
  TBatchGuard batch(link_, static_cast<int>(view.SelectedRows(TListId::PhoneFiles).size()));
  for (size_t i = 0; i < files.size(); ++i) {
    unsigned mark = link_.Flags.AbortCount;
    link_.DownloadFile(files[i].name, files[i].size);
    if (link_.TakeStop()) break;
    if (AbortedSince(mark)) return;
    if (link_.Reply.State() != rsOk) break;
    view.StepTotalBar();
    if (i + 1 < files.size() && !link_.PauseUnlessStopped(kPauseBetweenFilesMs)) break;
  }
  batch.HideBars();
  OpenContentPage();
}

void TContentPage::DC_PIC_Remove_PHONE_ButtonClick() {
  IFormView& view = link_.View();
  if (view.SelectedRows(TListId::PhoneFiles).empty()) {
    view.ShowMessage("No File on MOBILE be selected");
    return;
  }
  std::vector<TFileRef> files = SelectedFiles(view, TListId::PhoneFiles, link_.PhoneFileList);
  TBatchGuard batch(link_, 0);
  for (size_t i = 0; i < files.size(); ++i) {
    unsigned mark = link_.Flags.AbortCount;
    link_.RemovePhoneFile(files[i].name);
    if (link_.TakeStop()) break;
    if (AbortedSince(mark)) return;
    if (link_.Reply.State() != rsOk) break;
    if (i + 1 < files.size() && !link_.PauseUnlessStopped(kPauseBetweenFilesMs)) break;
  }
  OpenContentPage();
}

void TContentPage::DC_PIC_Remove_PC_ButtonClick() {
  IFormView& view = link_.View();
  if (view.SelectedRows(TListId::PcFiles).empty()) {
    view.ShowMessage("No File on PC be selected");
    return;
  }
  std::vector<TFileRef> files = SelectedFiles(view, TListId::PcFiles, PcFileList);
  TBatchGuard batch(link_, 0);
  for (size_t i = 0; i < files.size(); ++i) {
    std::error_code ec;
    if (!std::filesystem::remove(JoinLocalPath(link_.PcFolder, files[i].name), ec)) {
      view.ShowMessage("Remove File ERR");
      break;
    }
    // No phone wait runs here; a closing window or Stop ends the batch.
    if (link_.Flags.AppClosing) return;
    if (link_.TakeStop()) break;
    if (i + 1 < files.size() && !link_.PauseUnlessStopped(kPauseBetweenFilesMs)) break;
  }
  OpenContentPage();
}

void TContentPage::DC_PIC_PC_ListViewDblClick() {
  IFormView& view = link_.View();
  std::vector<TFileRef> files = SelectedFiles(view, TListId::PcFiles, PcFileList);
  if (files.empty()) return;
  view.OpenWithDefaultApp(JoinLocalPath(link_.PcFolder, files.front().name));
  OpenContentPage();
}
