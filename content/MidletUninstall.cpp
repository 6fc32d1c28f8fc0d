// Uninstalling the suite selected in the phone's list.
#include <string>
#include <vector>

#include "content/MidletPage.h"
#include "link/Commands.h"
#include "link/Transfers.h"

void TMidletPage::LocalAppDL_REMOVE_ButtonClick() {
  IFormView& view = link_.View();
  std::vector<int> rows = view.SelectedRows(TListId::PhoneSuites);
  Mobile_info* rec = rows.empty() || rows[0] < 0 ? nullptr : PhoneSuites.At(static_cast<size_t>(rows[0]));
  if (!rec) {
    view.ShowMessage("No selected MIDlet");
    return;
  }
  UninstallSuite(*rec);
}

TResult TMidletPage::UninstallSuite(const Mobile_info& suite) {
  IFormView& view = link_.View();
  if (!IsSafeCommandName(suite.name)) {
    view.ShowMessage("Invalid file name");
    return TResult::Of(TOutcome::Failed);
  }
  view.SetStatusLabel("Uninstall MIDlet suites...");
  const TResult removed = link_.Exchange(TStep::UninstallSuite, command::Uninstall(suite.name),
                                         TWaitRule{StateBit(rsOk), 3000, 10, false});
  if (removed.Quiet()) return removed;
  view.HideStatusLabel();
  // The refresh frees the suite's record.
  if (removed.Ok()) LocalAppDL_RefreshPage();
  return removed;
}
