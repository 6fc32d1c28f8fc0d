// Connect and disconnect, and the link check that starts every page.
#include "link/Connection.h"

#include <stdexcept>

#include "link/Commands.h"
#include "link/Link.h"
#include "link/PortMap.h"
#include "link/Settings.h"
#include "link/Text.h"

namespace {

// Whole-text decimal conversion that fails the way a toolkit's StrToInt does.
int StrToInt(const std::string& text) {
  std::optional<int32_t> v = ParseDecimal(text);
  if (!v) throw std::invalid_argument("'" + text + "' is not a valid integer value");
  return *v;
}

}  // namespace

TConnection::TConnection(TLink& link)
    : link_(link),
      ports_(link.Port(), indicators_, [this](unsigned parts) { ShowIndicators(parts); },
             [this](const std::string& text) { link_.View().ShowMessage(text); }) {
  link_.SetStateListener([this](bool up) {
    if (up) ShowLinkState(true);
    else ShowDropped();
  });
}

TConnection::~TConnection() { link_.SetStateListener(nullptr); }

void TConnection::ShowIndicators(unsigned parts) { link_.View().ShowLinkIndicators(indicators_, parts); }

void TConnection::SetMenuState(bool connectEnabled, bool disconnectEnabled, bool settingEnabled) {
  indicators_.canConnect = connectEnabled;
  indicators_.canDisconnect = disconnectEnabled;
  indicators_.canChangeSettings = settingEnabled;
  ShowIndicators(ipCommands);
}

bool TConnection::OpenChosenPort() {
  // Auto: the phone is looked for first; its report is the user's answer.
  if (ports_.AutoChosen() && !link_.Port().Connected() && ports_.FindPhone().found.empty()) return false;
  return link_.Open();
}

void TConnection::FormCreate() {
  if (!OpenChosenPort()) return;
  ShowLinkState(true);
  SetMenuState(false, indicators_.canDisconnect, false);
}

void TConnection::Connect1Click() {
  if (!OpenChosenPort()) return;
  // A failure before the reconnect is over: the next wait must not end on it.
  link_.Flags().LinkFailed = 0;
  ShowLinkState(true);
  SetMenuState(false, true, false);
  const std::string port = link_.Port().Port();
  indicators_.port = port;
  indicators_.autoChoice = false;
  ShowIndicators(ipPort);
  // Characters 4 to 6 of the port name, as the stored port number. A port
  // of this run only is never stored: the user's own choice stays.
  if (IsSessionPort(port)) return;
  WriteConnectValue("PortNo", StrToInt(port.size() > 3 ? port.substr(3, 3) : std::string()));
}

void TConnection::Disconnect1Click() {
  link_.Close();
  ShowDropped();
}

void TConnection::CloseLink() {
  link_.Flags().AppClosing = 1;
  Disconnect1Click();
}

void TConnection::ShowDropped() {
  SetMenuState(true, false, true);
  ShowLinkState(false);
}

void TConnection::ShowLinkState(bool connected) {
  indicators_.connected = connected;
  ShowIndicators(ipConnection);
}

bool CheckLink(TLink& link) { return CheckLinkResult(link).Ok(); }

TResult CheckLinkResult(TLink& link) {
  IFormView& view = link.View();
  // The check's texts last only while it runs, whichever way it ends: the
  // progress panel is empty while nothing runs, and what follows the check
  // shows its own texts.
  struct HideWhenDone {
    IFormView& view;
    ~HideWhenDone() { view.HideStatusLabel(); }
  } hide{view};
  view.SetStatusLabel("Open Com Port");
  if (!link.Port().Connected()) {
    link.Clock().Sleep(2000);
    if (!link.Open()) return TResult::Of(TOutcome::PortFailed);
  }
  view.SetStatusLabel("Com Port OK");
  link.Clock().Sleep(1000);

  // An answer shows the link up (the link tells its listener).
  const TResult result = link.Exchange(TStep::CheckLink, command::At(), TWaitRule{StateBit(rsOk), 500, 10, false});
  if (result.outcome == TOutcome::TimedOut) ReturnToLogo(view);
  return result;
}
