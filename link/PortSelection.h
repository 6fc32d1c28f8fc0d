#pragma once
// Which port the link uses: the stored choice, the port menu's entries
// (the system's first four ports and the automatic choice), the user's
// picks from that menu, the search for the phone behind "Auto", and what
// the port set-up dialog offers and does. Connecting is the link's business.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/FormView.h"
#include "port/ComPort.h"

#include "link/PortMap.h"

// Why a port was or was not the phone, as the search for it found out.
enum class TProbeEnd { Phone, Busy, NoOpen, Silent, OtherAnswer };
struct TPortProbe {
  std::string port;
  TProbeEnd end = TProbeEnd::Silent;
  std::string detail;  // NoOpen: the port layer's text; OtherAnswer: what came, escaped and cut
};

// The search for the phone: every port was sent "AT" alone (and nothing
// else), and the first in the list that answered "OK" is the phone.
struct TPhoneSearch {
  std::string found;  // "" when no port answered
  std::vector<TPortProbe> tried;  // in the list's order
  // What the user reads when no port answered: each port and why, then the advice.
  std::string Report() const;
};

using TBackendMaker = std::function<std::unique_ptr<IComBackend>()>;
// Opens each port (atOnce at a time), writes "AT\r\n", reads for up to
// answerMs, closes it. A port another program holds is not touched.
TPhoneSearch SearchPhonePort(const std::vector<TPortEntry>& ports, const TBackendMaker& backend,
                             int answerMs = 1500, size_t atOnce = 4);

class TPortSelection {
 public:
  // 'shown' is the link's indicators; 'changed' hands their changed parts on;
  // 'tell' shows the user a message.
  TPortSelection(TComPort& port, TLinkIndicators& shown, std::function<void(unsigned)> changed,
                 std::function<void(const std::string&)> tell = nullptr)
      : port_(port), shown_(shown), changed_(std::move(changed)), tell_(std::move(tell)) {}

  std::string PortLabel = "COM1";  // the chosen port ("COM0": the automatic choice)
  bool AutoChosen() const { return PortLabel == "COM0"; }

  // The stored choice (or this run's virtual phone) and the menu's entries.
  // A stored port stays chosen wherever the system lists it, and when the
  // system no longer has it (its open then names it).
  void LoadPortSettings();
  void ShowPortPanel();  // the status bar's port, from PortLabel
  void mCOMClick(int entry);  // mCOM1Click .. mCOM4Click
  void mCOM1Click() { mCOMClick(1); }
  void mCOM2Click() { mCOMClick(2); }
  void mCOM3Click() { mCOMClick(3); }
  void mCOM4Click() { mCOMClick(4); }
  // Auto: stores the automatic choice, then looks for the phone.
  void mAutoClick();
  // The port now on the link is the user's choice (the set-up dialog's OK,
  // a menu entry, a search): stored, checked in the menu, named in the bar.
  void PortChosen();
  // Looks for the phone on every port the system lists; the one that
  // answers becomes the chosen port. 'tell': the report of a search that
  // found nothing goes to the user as a message.
  TPhoneSearch FindPhone(bool tell = true);
  // Where the search opens its ports (the system's serial ports unless set).
  void SetSearchBackend(TBackendMaker maker) { searchBackend_ = std::move(maker); }
  void SetSearchAnswerMs(int ms) { searchAnswerMs_ = ms; }

 private:
  TComPort& port_;
  TLinkIndicators& shown_;
  std::function<void(unsigned)> changed_;
  std::function<void(const std::string&)> tell_;
  TBackendMaker searchBackend_ = [] { return MakeDefaultComBackend(); };
  int searchAnswerMs_ = 1500;
};

// The port set-up dialog's choices, decided here; the dialog only shows
// them and hands back what the user set.
enum class TFlowChoice { None, Hardware, Software, DtrHandshake };

// The choice a flow-control record stands for, and the record for a choice
// (fields the choice does not govern keep their values).
TFlowChoice FlowChoiceOf(const TComFlowControl& flow);
TComFlowControl ApplyFlowChoice(TComFlowControl flow, TFlowChoice choice);

// What the dialog edits.
struct TPortChoice {
  std::string port;
  TBaudRate baud = br115200;
  TDataBits dataBits = dbEight;
  TStopBits stopBits = sbOneStopBit;
  TParityBits parity = prNone;
  TFlowChoice flow = TFlowChoice::DtrHandshake;
};

// The port names the dialog offers: the port map's, in its order. Any other
// name may still be typed.
std::vector<std::string> PortSetupNames();
TPortChoice ReadPortChoice(const TCustomComPort& port);
// Applies all of it inside one BeginUpdate/EndUpdate batch: an open port
// reopens once, on the new name. The name is taken without the blanks
// around it, and a blank one keeps the port. The batch is closed even when
// the port change fails (the error propagates). The stored port number is
// not stored here: TPortSelection::PortChosen does that after it.
void ApplyPortChoice(TCustomComPort& port, const TPortChoice& choice);
