// Connect and disconnect, and the link check that starts every page.
#include <stdexcept>

#include "link/Commands.h"
#include "link/Link.h"
#include "link/PortMap.h"
#include "link/Settings.h"
#include "link/Text.h"

namespace {

constexpr const char* kOpenFailed = "Unable to open ComPort!!\nPlease change the Port NO.";

// Whole-text decimal conversion that fails the way a toolkit's StrToInt does.
int StrToInt(const std::string& text) {
  std::optional<int32_t> v = ParseDecimal(text);
  if (!v) throw std::invalid_argument("'" + text + "' is not a valid integer value");
  return *v;
}

}  // namespace

bool TLink::OpenAndReceive() {
  if (!ComPort1.Connected()) {
    ComPort1.SetEvents(0);  // the receiver waits for the port's events itself
    openError_ = 0;
    try {
      ComPort1.Open();
    } catch (const EComPort& e) {
      openError_ = e.WinCode();
      view_.ShowMessage(kOpenFailed);
      return false;
    } catch (const std::exception&) {
      view_.ShowMessage(kOpenFailed);
      return false;
    }
  }
  StartReceiver();
  return true;
}

void TLink::FormCreate() {
  if (!OpenAndReceive()) return;
  ShowLinkState(true);
  SetMenuState(false, Indicators.canDisconnect, false);
}

void TLink::Connect1Click() {
  if (!OpenAndReceive()) return;
  // A failure before the reconnect is over: the next wait must not end on it.
  Flags.LinkFailed = 0;
  ShowLinkState(true);
  SetMenuState(false, true, false);
  Indicators.port = ComPort1.Port();
  Indicators.autoChoice = false;
  ShowIndicators(ipPort);
  // Characters 4 to 6 of the port name, as the stored port number. A port
  // of this run only is never stored: the user's own choice stays.
  std::string port = ComPort1.Port();
  if (IsSessionPort(port)) return;
  WriteConnectValue("PortNo", StrToInt(port.size() > 3 ? port.substr(3, 3) : std::string()));
}

void TLink::Disconnect1Click() {
  StopReceiver();
  try {
    ComPort1.Close();
  } catch (const std::exception&) {
    view_.ShowMessage("COM port Exception while disconnect");
    ComPort1.SetEvents(0);
    try {
      ComPort1.Close();  // the device is released even when the purge failed
    } catch (const std::exception&) {
    }
  }
  SetMenuState(true, false, true);
  ShowLinkState(false);
}

void TLink::ShowLinkState(bool connected) {
  Indicators.connected = connected;
  ShowIndicators(ipConnection);
}

bool TLink::CheckLink() {
  // The check's texts last only while it runs, whichever way it ends: the
  // progress panel is empty while nothing runs, and what follows the check
  // shows its own texts.
  struct HideWhenDone {
    IFormView& view;
    ~HideWhenDone() { view.HideStatusLabel(); }
  } hide{view_};
  view_.SetStatusLabel("Open Com Port");
  if (!ComPort1.Connected()) {
    Clock().Sleep(2000);
    if (!OpenAndReceive()) return false;
  }
  view_.SetStatusLabel("Com Port OK");
  Clock().Sleep(1000);

  const TResult result = Exchange(TStep::CheckLink, command::At(), TWaitRule{StateBit(rsOk), 500, 10, false});
  if (result.Ok()) ShowLinkState(true);
  if (result.outcome == TOutcome::TimedOut) ReturnToLogo();
  return result.Ok();
}
