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

void TLink::ShowPortPanel() { view_.SetPortPanel(PortLabel, PortLabel == "COM0"); }

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

  for (int i = 0; i < 5; ++i) {
    PortVisible[i] = false;
    PortChecked[i] = false;
  }
  int wanted = PortNumber(PortLabel);
  bool anyChecked = false;
  for (size_t i = 0; i < map.size() && i < 4; ++i) {
    int entry = static_cast<int>(i) + 1;
    PortVisible[entry] = true;
    PortCaption[entry] = map[i].name;
    if (!anyChecked && PortNumber(map[i].name) == wanted) {
      PortChecked[entry] = true;
      anyChecked = true;
      ComPort1.SetPort(map[i].name);
    }
  }
  if (!anyChecked) {
    PortChecked[1] = true;
    ComPort1.SetPort(PortCaption[1]);
    PortLabel = PortCaption[1];
  }
  for (int i = 0; i < 5; ++i) view_.SetPortEntry(i, PortVisible[i], PortChecked[i], PortCaption[i]);
}

void TLink::FormCreate() {
  if (!ComPort1.Connected()) {
    ComPort1.SetEvents(0);
    try {
      ComPort1.Open();
    } catch (const std::exception&) {
      view_.ShowMessage(kOpenFailed);
      return;
    }
  }
  if (ComPort1.Connected()) StartReceiver();
  ShowLinkState(true);
  MenuConnSettingEnabled = false;
  view_.SetMenuEnabled(TMenuItem::ConnSetting, false);
  MenuConnectEnabled = false;
  view_.SetMenuEnabled(TMenuItem::Connect, false);
}

void TLink::Connect1Click() {
  if (!ComPort1.Connected()) {
    ComPort1.SetEvents(0);
    try {
      ComPort1.Open();
    } catch (const std::exception&) {
      view_.ShowMessage(kOpenFailed);
      return;
    }
  }
  if (ComPort1.Connected()) StartReceiver();
  ShowLinkState(true);
  SetMenuState(false, true, false);
  view_.SetPortPanel(ComPort1.Port(), false);
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
  for (int i = 0; i < 5; ++i) PortChecked[i] = (i == entry);
  for (int i = 0; i < 5; ++i) view_.SetPortEntry(i, PortVisible[i], PortChecked[i], PortCaption[i]);
  // A failed reopen propagates to the window's error report; nothing below runs.
  ComPort1.SetPort(PortCaption[entry]);
  int n = PortNumber(PortCaption[entry]);
  if (!IsSessionPort(PortCaption[entry])) WriteConnectValue("PortNo", n < 0 ? 0 : n);
  PortLabel = PortCaption[entry];
  ShowPortPanel();
}

void TLink::mAutoClick() {
  for (int i = 1; i < 5; ++i) PortChecked[i] = false;
  PortChecked[0] = true;
  for (int i = 0; i < 5; ++i) view_.SetPortEntry(i, PortVisible[i], PortChecked[i], PortCaption[i]);
  WriteConnectValue("PortNo", 0);
  PortLabel = "COM0";
  ShowPortPanel();
}

void TLink::ShowLinkState(bool connected) {
  LinkShownConnected = connected;
  view_.SetLinkPanel(connected);
}

bool TLink::CheckLink() {
  view_.SetStatusLabel("Open Com Port");
  if (!ComPort1.Connected()) {
    Clock().Sleep(2000);
    ComPort1.SetEvents(0);
    try {
      ComPort1.Open();
    } catch (const std::exception&) {
      view_.ShowMessage(kOpenFailed);
      return false;
    }
    StartReceiver();
  }
  view_.SetStatusLabel("Com Port OK");
  Clock().Sleep(1000);

  const TResult result = Exchange(TStep::CheckLink, command::At(), TWaitRule{StateBit(rsOk), 500, 10, false});
  if (result.Ok()) ShowLinkState(true);
  if (result.outcome == TOutcome::TimedOut) ReturnToLogo();
  return result.Ok();
}
