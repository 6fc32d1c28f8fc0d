// Uninstalling a phone suite, and the page's button for the selected one.
#include <string>
#include <vector>

#include "content/MidletPage.h"
#include "link/Commands.h"
#include "link/Transfers.h"

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

TResult UninstallSuite(TLink& link, const std::string& name) {
  IFormView& view = link.View();
  if (!IsSafeCommandName(name)) {
    view.ShowMessage(InvalidNameMessage(name));
    return TResult::Of(TOutcome::Failed);
  }
  view.SetStatusLabel("Uninstall MIDlet suites...");
  const TResult removed =
      link.Exchange(TStep::UninstallSuite, command::Uninstall(name), TWaitRule{StateBit(rsOk), 3000, 10, false});
  if (!removed.Quiet()) view.HideStatusLabel();
  return removed;
}

TResult TMidletPage::UninstallSuite(const Mobile_info& suite) {
  const TResult removed = ::UninstallSuite(link_, suite.name);
  // The refresh frees the suite's record.
  if (removed.Ok()) LocalAppDL_RefreshPage();
  return removed;
}
