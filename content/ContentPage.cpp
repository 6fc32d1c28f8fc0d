#include "link/Transfers.h"
#include "content/ContentPage.h"

#include <filesystem>

#include <memory>
#include <vector>

#include "content/PcScan.h"
#include "content/PictureFit.h"
#include "content/ScanReasonText.h"
#include "content/UiTextDecoder.h"
#include "link/Connection.h"
#include "link/PhoneFiles.h"
#include "link/Text.h"


// ---- Openers ----

void TContentPage::OpenKind(int folder, const char* chooserCaption, TTitle title) {
  pages_.FolderAsked = false;
  pages_.FolderNumber = folder;
  ChooserCaption = chooserCaption;
  link_.View().SetTitleBar(title);
  OpenContentPage();
}

void TContentPage::Ring_ButtonClick() { OpenKind(1, "Melody Folder", TTitle::Melody); }
void TContentPage::Animation_ButtonClick() { OpenKind(2, "Animation Folder", TTitle::Animation); }
void TContentPage::DC_PIC_ToolButtonClick() { OpenKind(3, "Picture Folder", TTitle::Picture); }

void TContentPage::OpenContentPage() {
  IFormView& view = link_.View();
  if (!pages_.FolderAsked) {
    pages_.PcFolder = view.ChooseFolder(ChooserCaption);
    pages_.FolderAsked = true;
  }
  if (pages_.PcFolder.empty()) {
    ReturnToLogo(link_.View());
    return;
  }
  // CheckLink reports its own failures and returns to the logo on a time-out.
  if (!CheckLink(link_)) return;

  if (!SelectPhoneFolder(link_, pages_, pages_.FolderNumber).Ok()) return;

  PcFileList.Clear();
  view.ClearList(TListId::PcFiles);
  ScanPcFolder();

  const unsigned mark = link_.StopToken().Mark();
  pages_.PhoneFileList.Clear();
  view.ClearList(TListId::PhoneFiles);
  ListPhoneFolder(link_, pages_);
  // The listing's own failures still show the page; an abort leaves the logo.
  if (link_.StopToken().EndedSince(mark)) return;

  view.ShowPage(TPage::Content);
  link_.ResumeReceiver();
}

void TContentPage::RescanPcList() {
  if (pages_.PcFolder.empty()) return;
  link_.View().ClearList(TListId::PcFiles);
  ScanPcFolder();
}

void TContentPage::ScanPcFolder() {
  IFormView& view = link_.View();
  PcFileList.Clear();
  Unsuitable.clear();
  pic_info* tail = nullptr;  // appended at directly: the list's own append walks from the head
  pcscan::TRejectFn keep;
  if (ShowAllFiles) keep = [this](const pcscan::TRejectedEntry& e) { Unsuitable.push_back(e); };
  pcscan::ScanFolder(
      pages_.FolderNumber, pages_.PcFolder, [&view](const std::string& text) { view.ShowMessage(text); },
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
  for (const pcscan::TRejectedEntry& e : Unsuitable)
    view.AddUnsuitableRow({e.name, std::to_string(e.why.size)}, ReasonWords(e.why, pages_.FolderNumber, Decoder));
}

// ---- Page buttons ----

size_t TPageReport::DoneCount() const {
  size_t done = 0;
  for (size_t i = 0; i < batch.results.size(); ++i)
    if (batch.Done(i)) ++done;
  return done;
}

std::vector<std::string> TPageReport::NotDone() const {
  std::vector<std::string> names;
  for (size_t i = 0; i < files.size(); ++i)
    if (i >= batch.results.size() || !batch.Done(i)) names.push_back(files[i]);
  return names;
}

TPageReport TContentPage::RunPhoneBatch(TPageAction action, const std::vector<TBatchFile>& files, int totalBar) {
  TPageReport report{action, {}, {}};
  for (const TBatchFile& f : files) report.files.push_back(f.name);
  const TBatchOp op = action == TPageAction::Send    ? TBatchOp::Send
                      : action == TPageAction::Fetch ? TBatchOp::Fetch
                                                     : TBatchOp::Remove;
  TBatchGuard guard(link_, totalBar);
  TBatch batch(link_, pages_, op, pages_.FolderNumber);
  if (totalBar > 0) batch.OnFileEnd = [this](const TResult&) { link_.View().StepTotalBar(); };
  report.batch = batch.Run(files);
  // A hang-up or the window's close leaves the logo: no refresh.
  if (report.batch.aborted) return report;
  guard.HideBars();
  OpenContentPage();
  return report;
}

std::vector<TBatchFile> TContentPage::Selected(TListId list) const {
  const TPicList& entries = list == TListId::PcFiles ? PcFileList : pages_.PhoneFileList;
  std::vector<TBatchFile> files;
  for (int row : link_.View().SelectedRows(list)) {
    // Rows past the list's end (a view out of step with its list) are left out.
    if (row < 0) continue;
    if (const pic_info* p = entries.At(static_cast<size_t>(row))) files.push_back({p->Name, pages_.PcFolder, p->Size});
  }
  return files;
}

TPageReport TContentPage::DC_PIC_UL_ButtonClick() {
  IFormView& view = link_.View();
  const int rows = static_cast<int>(view.SelectedRows(TListId::PcFiles).size());
  std::vector<TBatchFile> files = Selected(TListId::PcFiles);
  // No rows, or only rows of files the phone would not take: nothing to send.
  if (rows == 0 || (files.empty() && ShowAllFiles)) {
    view.ShowMessage("No File on PC be selected");
    return {TPageAction::Send, {}, {}};
  }
  return RunPhoneBatch(TPageAction::Send, files, rows);
}

TPageReport TContentPage::SendPcFiles(const std::vector<std::string>& paths) {
  if (paths.empty()) return {TPageAction::Send, {}, {}};
  std::vector<TBatchFile> files;
  for (const std::string& path : paths) {
    const std::filesystem::path p = Utf8Path(path);
    files.push_back({PathUtf8(p.filename()), p.has_parent_path() ? PathUtf8(p.parent_path()) : ".", 0});
  }
  return RunPhoneBatch(TPageAction::Send, files, static_cast<int>(files.size()));
}

TDropReport JudgeDroppedFiles(IFormView& view, int folder, const std::vector<std::string>& paths,
                              const fit::TPictureFitter* fitter, const TUiTextDecoder& decoder) {
  TDropReport report;
  for (const std::string& path : paths) {
    const pcscan::TJudgement why = pcscan::JudgeFile(folder, path);
    if (why.reason == pcscan::TReason::None) {
      report.sent.push_back(path);
      continue;
    }
    const std::string name = PathUtf8(Utf8Path(path).filename());
    TDropReport::TNotSent refused{path, ReasonUtf8(why, folder, decoder)};
    if (folder == 3 && fitter && fitter->CanFit(path)) {
      if (!view.ConfirmFitCopy(DropFitQuestionText(name, refused.reason, decoder))) {
        refused.declined = true;
        report.notSent.push_back(refused);
        continue;
      }
      const fit::TFitOutcome copy = fitter->Fit(path);
      if (copy.refusal == fit::TRefusal::None) {
        report.fitted.push_back(copy.path);
        report.sent.push_back(copy.path);
        continue;
      }
      refused.reason = RefusalUtf8(copy, decoder);
    }
    view.ShowMessage(DropNotSentText(name, refused.reason, decoder));
    report.notSent.push_back(refused);
  }
  return report;
}

TDropReport TContentPage::SendDroppedFiles(const std::vector<std::string>& paths, const fit::TPictureFitter* fitter,
                                           const TUiTextDecoder& decoder) {
  TDropReport report = JudgeDroppedFiles(link_.View(), pages_.FolderNumber, paths, fitter, decoder);
  report.sending = SendPcFiles(report.sent);
  return report;
}

TPageReport TContentPage::DC_PIC_DL_ButtonClick() {
  IFormView& view = link_.View();
  const int rows = static_cast<int>(view.SelectedRows(TListId::PhoneFiles).size());
  if (rows == 0) {
    view.ShowMessage("No File on MOBILE be selected");
    return {TPageAction::Fetch, {}, {}};
  }
  return RunPhoneBatch(TPageAction::Fetch, Selected(TListId::PhoneFiles), rows);
}

TPageReport TContentPage::DC_PIC_Remove_PHONE_ButtonClick() {
  IFormView& view = link_.View();
  if (view.SelectedRows(TListId::PhoneFiles).empty()) {
    view.ShowMessage("No File on MOBILE be selected");
    return {TPageAction::RemovePhone, {}, {}};
  }
  return RunPhoneBatch(TPageAction::RemovePhone, Selected(TListId::PhoneFiles), 0);
}

TPageReport RemovePcFiles(TLink& link, const std::vector<TBatchFile>& files) {
  IFormView& view = link.View();
  TPageReport report{TPageAction::RemovePc, {}, {}};
  for (const TBatchFile& f : files) report.files.push_back(f.name);
  TBatchGuard batch(link, 0);
  // The phone batches' pause, Stop and close, though no phone wait runs here.
  const TWalkEnd end = WalkItems(link, files.size(), [&](size_t i) {
    // To the trash, never deleted for good: a file that cannot go there stays.
    if (view.MoveToTrash(JoinLocalPath(files[i].pcFolder, files[i].name))) {
      report.batch.results.push_back(TResult::Of(TOutcome::Ok));
      return true;
    }
    report.batch.results.push_back(TResult::Of(TOutcome::Failed));
    view.ShowMessage("Remove File ERR");
    return false;
  });
  report.batch.stopped = end == TWalkEnd::Stopped;
  report.batch.aborted = end == TWalkEnd::Closing;
  for (size_t i = report.batch.results.size(); i < files.size(); ++i) report.batch.notDone.push_back(files[i].name);
  // "Remove File ERR" names no file: the one that stayed and those after it are.
  if (!report.batch.stopped && !report.batch.aborted) {
    const std::string text = report.batch.NotDoneText(TBatchOp::Remove, files);
    if (!text.empty()) view.ShowMessage(text);
  }
  return report;
}

TPageReport TContentPage::DC_PIC_Remove_PC_ButtonClick() {
  if (link_.View().SelectedRows(TListId::PcFiles).empty()) {
    link_.View().ShowMessage("No File on PC be selected");
    return {TPageAction::RemovePc, {}, {}};
  }
  const TPageReport report = RemovePcFiles(link_, Selected(TListId::PcFiles));
  if (!report.batch.aborted) OpenContentPage();
  return report;
}

void TContentPage::DC_PIC_PC_ListViewDblClick() {
  IFormView& view = link_.View();
  const std::vector<TBatchFile> files = Selected(TListId::PcFiles);
  if (files.empty()) return;
  view.OpenWithDefaultApp(JoinLocalPath(pages_.PcFolder, files.front().name));
  OpenContentPage();
}

std::string StoppedActionText(const TPageReport& report, const TUiTextDecoder& decoder) {
  if (!report.batch.stopped) return {};
  const UiText& entry = report.action == TPageAction::Send    ? uitext::StoppedSend
                        : report.action == TPageAction::Fetch ? uitext::StoppedFetch
                                                              : uitext::StoppedRemove;
  std::string names;
  for (const std::string& name : report.NotDone()) names += (names.empty() ? "" : ", ") + NameUtf8(name);
  return FillArgs(UiUtf8(entry, UiLanguage(), decoder),
                  {std::to_string(report.DoneCount()), std::to_string(report.files.size()), names});
}
