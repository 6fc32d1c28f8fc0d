// Port choice, connect and disconnect, and the link check that starts every page.
#include <stdexcept>

#include "link/Commands.h"
#include "link/Link.h"
#include "link/PortMap.h"
#include "link/Settings.h"
#include "link/Text.h"

namespace {

constexpr const char* kOpenFailed = "Unable to open ComPort!!\nPlease change the Port NO.";

// The number after "COM" in a port name, or -1 when there is none.
int PortNumber(const std::string& name) {
  if (name.size() <= 3 || name.compare(0, 3, "COM") != 0) return -1;
  return ParseDecimal(std::string_view(name).substr(3), false).value_or(-1);
}

// Whole-text decimal conversion that fails the way a toolkit's StrToInt does.
int StrToInt(const std::string& text) {
  std::optional<int32_t> v = ParseDecimal(text);
  if (!v) throw std::invalid_argument("'" + text + "' is not a valid integer value");
  return *v;
}

}  // namespace

void TLink::ShowPortPanel() {
  Indicators.port = PortLabel;
  Indicators.autoChoice = PortLabel == "COM0";
  ShowIndicators(ipPort);
}

void TLink::LoadPortSettings() {
  int portNo = 0;
  if (std::string session = SessionPortChoice(); !session.empty()) {
    PortLabel = session;  // the virtual phone, for this run only
  } else if (ConnectKeyExists() && ReadConnectValue("PortNo", &portNo)) {
    PortLabel = "COM" + std::to_string(portNo);
  } else {
    PortLabel = "COM1";
  }

  std::vector<TPortEntry> map = SerialPortMap();
  if (map.empty()) return;  // no map: the entries stay as the form built them

  TPortOption* ports = Indicators.ports;
  for (int i = 0; i < 5; ++i) {
    ports[i].visible = false;
    ports[i].checked = false;
  }
  int wanted = PortNumber(PortLabel);
  bool anyChecked = false;
  for (size_t i = 0; i < map.size() && i < 4; ++i) {
    int entry = static_cast<int>(i) + 1;
    ports[entry].visible = true;
    ports[entry].caption = map[i].name;
    if (!anyChecked && PortNumber(map[i].name) == wanted) {
      ports[entry].checked = true;
      anyChecked = true;
      ComPort1.SetPort(map[i].name);
    }
  }
  if (!anyChecked) {
    ports[1].checked = true;
    ComPort1.SetPort(ports[1].caption);
    PortLabel = ports[1].caption;
  }
  ShowIndicators(ipPortChoices);
}

bool TLink::OpenAndReceive() {
  if (!ComPort1.Connected()) {
    ComPort1.SetEvents(0);  // the receiver waits for the port's events itself
    try {
      ComPort1.Open();
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

void TLink::mCOMClick(int entry) {
  if (entry < 1 || entry > 4) return;
  for (int i = 0; i < 5; ++i) Indicators.ports[i].checked = (i == entry);
  ShowIndicators(ipPortChoices);
  // A failed reopen propagates to the window's error report; nothing below runs.
  const std::string port = Indicators.ports[entry].caption;
  ComPort1.SetPort(port);
  int n = PortNumber(port);
  if (!IsSessionPort(port)) WriteConnectValue("PortNo", n < 0 ? 0 : n);
  PortLabel = port;
  ShowPortPanel();
}

void TLink::mAutoClick() {
  for (int i = 0; i < 5; ++i) Indicators.ports[i].checked = (i == 0);
  ShowIndicators(ipPortChoices);
  WriteConnectValue("PortNo", 0);
  PortLabel = "COM0";
  ShowPortPanel();
}

void TLink::ShowLinkState(bool connected) {
  Indicators.connected = connected;
  ShowIndicators(ipConnection);
}

bool TLink::CheckLink() {
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
