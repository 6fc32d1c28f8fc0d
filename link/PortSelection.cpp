#include "link/PortSelection.h"

#include "link/PortMap.h"
#include "link/Settings.h"
#include "link/Text.h"
#include "port/ComPort.h"

namespace {

// The number after "COM" in a port name, or -1 when there is none.
int PortNumber(const std::string& name) {
  if (name.size() <= 3 || name.compare(0, 3, "COM") != 0) return -1;
  return ParseDecimal(std::string_view(name).substr(3), false).value_or(-1);
}

// A typed name without the white space around it.
std::string TrimBlanks(const std::string& text) {
  static constexpr const char* kBlanks = " \t\r\n\v\f";
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace

void TPortSelection::ShowPortPanel() {
  shown_.port = PortLabel;
  shown_.autoChoice = PortLabel == "COM0";
  changed_(ipPort);
}

void TPortSelection::LoadPortSettings() {
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

  TPortOption* ports = shown_.ports;
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
      port_.SetPort(map[i].name);
    }
  }
  if (!anyChecked) {
    ports[1].checked = true;
    port_.SetPort(ports[1].caption);
    PortLabel = ports[1].caption;
  }
  changed_(ipPortChoices);
}

void TPortSelection::mCOMClick(int entry) {
  if (entry < 1 || entry > 4) return;
  for (int i = 0; i < 5; ++i) shown_.ports[i].checked = (i == entry);
  changed_(ipPortChoices);
  // A failed reopen propagates to the window's error report; nothing below runs.
  const std::string port = shown_.ports[entry].caption;
  port_.SetPort(port);
  int n = PortNumber(port);
  if (!IsSessionPort(port)) WriteConnectValue("PortNo", n < 0 ? 0 : n);
  PortLabel = port;
  ShowPortPanel();
}

void TPortSelection::mAutoClick() {
  for (int i = 0; i < 5; ++i) shown_.ports[i].checked = (i == 0);
  changed_(ipPortChoices);
  WriteConnectValue("PortNo", 0);
  PortLabel = "COM0";
  ShowPortPanel();
}

TFlowChoice FlowChoiceOf(const TComFlowControl& flow) {
  if (flow.XonXoffIn || flow.XonXoffOut) return TFlowChoice::Software;
  if (flow.OutCTSFlow || flow.ControlRTS == rtsHandshake) return TFlowChoice::Hardware;
  if (flow.ControlDTR == dtrHandshake) return TFlowChoice::DtrHandshake;
  return TFlowChoice::None;
}

TComFlowControl ApplyFlowChoice(TComFlowControl flow, TFlowChoice choice) {
  // Start from "no flow control" with both lines raised, then add the choice.
  flow.OutCTSFlow = false;
  flow.OutDSRFlow = false;
  flow.XonXoffIn = false;
  flow.XonXoffOut = false;
  flow.ControlDTR = dtrEnable;
  flow.ControlRTS = rtsEnable;
  switch (choice) {
    case TFlowChoice::None: break;
    case TFlowChoice::Hardware:
      flow.OutCTSFlow = true;
      flow.ControlRTS = rtsHandshake;
      break;
    case TFlowChoice::Software:
      flow.XonXoffIn = true;
      flow.XonXoffOut = true;
      break;
    case TFlowChoice::DtrHandshake: flow.ControlDTR = dtrHandshake; break;
  }
  return flow;
}

std::vector<std::string> PortSetupNames() {
  std::vector<std::string> names;
  for (const TPortEntry& e : SerialPortMap()) names.push_back(e.name);
  return names;
}

TPortChoice ReadPortChoice(const TCustomComPort& port) {
  TPortChoice c;
  c.port = port.Port();
  c.baud = port.BaudRate();
  c.dataBits = port.DataBits();
  c.stopBits = port.StopBits();
  c.parity = port.Parity().Bits;
  c.flow = FlowChoiceOf(port.FlowControl());
  return c;
}

void ApplyPortChoice(TCustomComPort& port, const TPortChoice& choice) {
  port.BeginUpdate();
  try {
    const std::string name = TrimBlanks(choice.port);
    if (!name.empty()) port.SetPort(name);
    port.SetBaudRate(choice.baud);
    port.SetDataBits(choice.dataBits);
    port.SetStopBits(choice.stopBits);
    TComParity parity = port.Parity();
    parity.Bits = choice.parity;
    port.SetParity(parity);
    port.SetFlowControl(ApplyFlowChoice(port.FlowControl(), choice.flow));
  } catch (...) {
    port.EndUpdate();
    throw;
  }
  port.EndUpdate();
}
