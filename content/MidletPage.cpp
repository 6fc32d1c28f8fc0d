// The Java page's own flow over its halves: the refresh that reads both
// sides, the selection, and the buttons that install, update, uninstall
// and remove a suite, each followed by the refresh it needs.
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "content/MidletPage.h"
#include "link/Text.h"
#include "link/Transfers.h"

void TMidletPage::LocalAppDW_ButtonClick() {
  pages_.FolderAsked = false;
  LocalAppDL_RefreshPage();
}

TResult TMidletPage::LocalAppDL_RefreshPage() {
  IFormView& view = link_.View();
  if (!pages_.FolderAsked) {
    pages_.PcFolder = view.ChooseFolder("MIDlet Folder");
    pages_.FolderAsked = true;
  }
  if (pages_.PcFolder.empty()) {
    ReturnToLogo(view);
    return TResult::Of(TOutcome::Declined);
  }
  view.SetTitleBar(TTitle::Java);
  if (const TResult opened = OpenJavaFolder(link_); !opened.Ok()) return opened;

  PcSuites.Clear();
  view.ClearList(TListId::PcSuites);
  LocalAppDL_ViewPcOperation();

  view.ClearList(TListId::PhoneSuites);
  // A listing that cannot be read as numbers throws from here; the window's
  // error box reports it and both list views stay empty.
  const TResult listed = ListPhoneSuites(link_, PhoneSuites);

  LocalAppDL_CompareVersions();
  view.ShowPage(TPage::Midlet);
  link_.ResumeReceiver();
  return listed;
}

MIDlet_Info* TMidletPage::SelectedPcSuite() {
  std::vector<int> rows = link_.View().SelectedRows(TListId::PcSuites);
  MIDlet_Info* rec = rows.empty() || rows[0] < 0 ? nullptr : PcSuites.At(static_cast<size_t>(rows[0]));
  if (!rec) link_.View().ShowMessage("No MIDlet on PC be selected");
  return rec;
}

TResult TMidletPage::LAD_PC_Remove_ButtonClick() {
  MIDlet_Info* rec = SelectedPcSuite();
  if (!rec) return TResult::Of(TOutcome::Declined);
  IFormView& view = link_.View();
  const std::string jarPath = rec->jarPath;
  // Both files go to the trash, never deleted for good; one that cannot go
  // there stays. A made descriptor has no file to remove.
  if (rec->madeDescriptor.empty() && !view.MoveToTrash(rec->jadPath)) {
    view.ShowMessage("Remove JAD ERR");
    return TResult::Of(TOutcome::Failed);
  }
  // An archive already gone is as good as removed.
  std::error_code ec;
  const bool jarGone = !std::filesystem::exists(Utf8Path(jarPath), ec) && !ec;
  if (!jarGone && !view.MoveToTrash(jarPath)) {
    view.ShowMessage("Remove JAR ERR");
    return TResult::Of(TOutcome::Failed);
  }
  LocalAppDL_RefreshPage();
  return TResult::Of(TOutcome::Ok);
}

TResult TMidletPage::LocalAppDL_REMOVE_ButtonClick() {
  IFormView& view = link_.View();
  std::vector<int> rows = view.SelectedRows(TListId::PhoneSuites);
  Mobile_info* rec = rows.empty() || rows[0] < 0 ? nullptr : PhoneSuites.At(static_cast<size_t>(rows[0]));
  if (!rec) {
    view.ShowMessage("No selected MIDlet");
    return TResult::Of(TOutcome::Declined);
  }
  return UninstallSuite(*rec);
}

TResult TMidletPage::UninstallSuite(const Mobile_info& suite) {
  const TResult removed = ::UninstallSuite(link_, suite.name);
  // The refresh frees the suite's record.
  if (removed.Ok()) LocalAppDL_RefreshPage();
  return removed;
}

TResult TMidletPage::LAD_ONE_ButtonClick() {
  // The buttons come back however the handler ends, a throwing refresh included.
  struct TEnableOnExit {
    TLink& link;
    ~TEnableOnExit() { link.View().SetActionsEnabled(true); }
  } enableOnExit{link_};

  MIDlet_Info* rec = SelectedPcSuite();
  return rec ? InstallSuite(*rec) : TResult::Of(TOutcome::Declined);
}

TResult TMidletPage::InstallSuite(MIDlet_Info& suite) {
  IFormView& view = link_.View();
  MIDlet_Info* rec = &suite;
  // Every name the install or update sends, and the suite's own name, which
  // a later update or uninstall would send, pass the one name check first.
  if (rec->status != 1 && rec->status != 3) {
    for (const std::string& sent : {SuiteFileName(rec->jadPath), SuiteFileName(rec->jarPath), rec->name}) {
      if (IsSafeCommandName(sent)) continue;
      view.ShowMessage(InvalidNameMessage(sent));
      return TResult::Of(TOutcome::Failed);
    }
  }
  switch (rec->status) {
    case 1:
      view.ShowMessage("MIDlet already exists on Phone");
      return TResult::Of(TOutcome::Failed);
    case 3:
      view.ShowMessage("Old MIDlet");
      return TResult::Of(TOutcome::Failed);
    case 2:
      if (!view.ConfirmUpdate("Update " + rec->name + "?")) return TResult::Of(TOutcome::Declined);
      link_.View().SetActionsEnabled(false);
      return RunInstall(*rec, true);
    default:
      link_.View().SetActionsEnabled(false);
      return RunInstall(*rec, false);
  }
}

TResult TMidletPage::RunInstall(MIDlet_Info& suite, bool replaceOld) {
  // Copies: the refresh frees the record.
  const std::string name = suite.name, version = suite.version;
  std::string oldVersion;
  for (const Mobile_info* phone = PhoneSuites.First(); phone && oldVersion.empty(); phone = phone->next.get())
    if (phone->name == name) oldVersion = phone->version;
  const TInstallEnd end = InstallSuiteFiles(link_, suite, replaceOld);
  if (end.refresh) LocalAppDL_RefreshPage();
  TResult result = end.result;
  // Only the phone's own list says the suite arrived, above all after an
  // archive packet that was never answered.
  if (result.Ok() && !SuiteOnPhone(name, version))
    result = TResult::Of(end.packetUnanswered ? TOutcome::TimedOut : TOutcome::Failed);
  // The phone's own message tells only that the new version is not there.
  if (end.oldRemoved && !result.Ok())
    link_.View().ShowMessage(OldSuiteRemovedMessage(name, oldVersion));
  return result;
}

bool TMidletPage::SuiteOnPhone(const std::string& name, const std::string& version) const {
  for (const Mobile_info* phone = PhoneSuites.First(); phone; phone = phone->next.get())
    if (phone->name == name && CompareMidletVersions(version, phone->version) == 1) return true;
  return false;
}
