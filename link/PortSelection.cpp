#include "link/PortSelection.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

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
  bool stored = false;
  if (std::string session = SessionPortChoice(); !session.empty()) {
    PortLabel = session;  // the virtual phone, for this run only
  } else if (ConnectKeyExists() && ReadConnectValue("PortNo", &portNo)) {
    PortLabel = "COM" + std::to_string(portNo);
    stored = true;
  } else {
    PortLabel = "COM1";
  }

  std::vector<TPortEntry> map = SerialPortMap();
  if (map.empty()) return;  // no map: the entries stay as the form built them

  TPortOption* ports = shown_.ports;
  // Auto stays offered: it is how the phone's port is found.
  ports[0].visible = true;
  ports[0].checked = AutoChosen();
  for (int i = 1; i < 5; ++i) {
    ports[i].visible = false;
    ports[i].checked = false;
  }
  for (size_t i = 0; i < map.size() && i < 4; ++i) {
    ports[i + 1].visible = true;
    ports[i + 1].caption = map[i].name;
  }
  const int wanted = PortNumber(PortLabel);
  auto listed = std::find_if(map.begin(), map.end(), [&](const TPortEntry& e) {
    return e.name == PortLabel || (wanted > 0 && PortNumber(e.name) == wanted);
  });
  if (AutoChosen()) {
    // The search runs when the link first opens.
  } else if (listed != map.end()) {
    // The user's port, wherever the system lists it.
    PortLabel = listed->name;
    port_.SetPort(listed->name);
    const size_t at = static_cast<size_t>(listed - map.begin());
    if (at < 4) ports[at + 1].checked = true;
  } else if (stored) {
    // A stored port the system no longer lists stays the choice: opening it
    // names it, and no other device gets the phone's commands.
    port_.SetPort(PortLabel);
  } else {
    ports[1].checked = true;
    port_.SetPort(ports[1].caption);
    PortLabel = ports[1].caption;
  }
  changed_(ipPortChoices);
}

void TPortSelection::PortChosen() {
  const std::string port = port_.Port();
  const int n = PortNumber(port);
  // A port of this run only is never stored, and a name without a number
  // has no stored form: the stored choice then stays as it was.
  if (!IsSessionPort(port) && n > 0) WriteConnectValue("PortNo", n);
  PortLabel = port;
  for (int i = 0; i < 5; ++i)
    shown_.ports[i].checked = i > 0 && shown_.ports[i].visible && UpperCase(shown_.ports[i].caption) == UpperCase(port);
  changed_(ipPortChoices);
  ShowPortPanel();
}

void TPortSelection::mCOMClick(int entry) {
  if (entry < 1 || entry > 4) return;
  for (int i = 0; i < 5; ++i) shown_.ports[i].checked = (i == entry);
  changed_(ipPortChoices);
  // A failed reopen propagates to the window's error report; nothing below runs.
  port_.SetPort(shown_.ports[entry].caption);
  PortChosen();
}

void TPortSelection::mAutoClick() {
  for (int i = 0; i < 5; ++i) shown_.ports[i].checked = (i == 0);
  changed_(ipPortChoices);
  WriteConnectValue("PortNo", 0);
  PortLabel = "COM0";
  ShowPortPanel();
  FindPhone();
}

TPhoneSearch TPortSelection::FindPhone(bool tell) {
  TPhoneSearch search = SearchPhonePort(SerialPortMap(), searchBackend_, searchAnswerMs_);
  if (!search.found.empty()) {
    port_.SetPort(search.found);
    PortChosen();
  } else if (tell && tell_) {
    tell_(search.Report());
  }
  return search;
}

namespace {

// Whether the text holds a line that is exactly 'word' (blanks around it
// aside), as a phone ends its reply.
bool HasLine(const std::string& text, const std::string& word) {
  size_t from = 0;
  while (from <= text.size()) {
    size_t end = text.find_first_of("\r\n", from);
    if (end == std::string::npos) end = text.size();
    if (TrimBlanks(text.substr(from, end - from)) == word) return true;
    from = end + 1;
  }
  return false;
}

// What a device said, for the user: no echo, controls escaped, cut short.
std::string ShownAnswer(const std::string& text) {
  std::string lines;
  size_t from = 0;
  while (from < text.size()) {
    size_t end = text.find_first_of("\r\n", from);
    if (end == std::string::npos) end = text.size();
    const std::string line = TrimBlanks(text.substr(from, end - from));
    if (!line.empty() && line != "AT") lines += (lines.empty() ? "" : " ") + line;
    from = end + 1;
  }
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : lines) {
    if (out.size() >= 40) {
      out += "...";
      break;
    }
    if (c < 0x20 || c >= 0x7F || c == '\\') out += std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
    else out += static_cast<char>(c);
  }
  return out;
}

TPortProbe ProbePort(const TPortEntry& entry, const TBackendMaker& backend, int answerMs) {
  TPortProbe probe{entry.name, TProbeEnd::Silent, {}};
  TComPort port(backend());
  // Resolved before the search: the probes do not read the store.
  port.SetDeviceResolver([device = entry.device](const std::string&) { return device; });
  port.SetPort(entry.name);
  port.SetEvents(0);
  try {
    port.Open();
  } catch (const EComPort& e) {
    probe.end = PortHeldByOther(e.WinCode()) ? TProbeEnd::Busy : TProbeEnd::NoOpen;
    probe.detail = e.what();
    return probe;
  }
  std::string heard;
  try {
    port.WriteStr("AT\r\n");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(answerMs);
    while (std::chrono::steady_clock::now() < deadline && heard.size() < 4096) {
      TComEvents events = evRxChar;
      port.WaitForEvent(events, nullptr, 10);
      std::string piece;
      while (port.InputCount() > 0 && port.ReadStr(piece, 256) > 0) heard += piece;
      if (HasLine(heard, "OK") || HasLine(heard, "ERROR")) break;
    }
  } catch (const EComPort&) {
    // A device that went away while asked: judged by what it said.
  }
  try {
    port.Close();
  } catch (const EComPort&) {
  }
  if (HasLine(heard, "OK")) probe.end = TProbeEnd::Phone;
  else if (!ShownAnswer(heard).empty()) {
    probe.end = TProbeEnd::OtherAnswer;
    probe.detail = ShownAnswer(heard);
  }
  return probe;
}

}  // namespace

TPhoneSearch SearchPhonePort(const std::vector<TPortEntry>& ports, const TBackendMaker& backend, int answerMs,
                             size_t atOnce) {
  TPhoneSearch search;
  search.tried.resize(ports.size());
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t i = next++; i < ports.size(); i = next++) search.tried[i] = ProbePort(ports[i], backend, answerMs);
  };
  std::vector<std::thread> workers;
  for (size_t n = 0; n < std::min(std::max<size_t>(atOnce, 1), ports.size()); ++n) workers.emplace_back(work);
  for (std::thread& t : workers) t.join();
  for (const TPortProbe& p : search.tried) {
    if (p.end == TProbeEnd::Phone) {
      search.found = p.port;
      break;
    }
  }
  return search;
}

std::string TPhoneSearch::Report() const {
  if (tried.empty()) return "No phone found: the system lists no serial port. Check that the phone's cable is in.";
  std::string text = "No phone found: no port answered \"AT\" with \"OK\".\nPorts tried:";
  for (const TPortProbe& p : tried) {
    text += "\n  " + p.port + ": ";
    switch (p.end) {
      case TProbeEnd::Phone: text += "the phone"; break;
      case TProbeEnd::Busy: text += "busy, another program holds it"; break;
      case TProbeEnd::NoOpen: text += "does not open (" + p.detail + ")"; break;
      case TProbeEnd::Silent: text += "no answer"; break;
      case TProbeEnd::OtherAnswer: text += "answered \"" + p.detail + "\", not \"OK\""; break;
    }
  }
  return text +
         "\nCheck that the phone is on and its cable is in, and close any program that holds its port; "
         "or choose the phone's port in the port menu (quendrel-cli: --port NAME).";
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
