#pragma once
// Which port the link uses: the stored choice, the port menu's entries
// (the system's first four ports and the automatic choice), the user's
// picks from that menu, and what the port set-up dialog offers and does.
// Connecting is the link's business.
#include <functional>
#include <string>
#include <vector>

#include "link/FormView.h"
#include "port/ComPort.h"

class TPortSelection {
 public:
  // 'shown' is the link's indicators; 'changed' hands their changed parts on.
  TPortSelection(TComPort& port, TLinkIndicators& shown, std::function<void(unsigned)> changed)
      : port_(port), shown_(shown), changed_(std::move(changed)) {}

  std::string PortLabel = "COM1";  // the chosen port ("COM0": the automatic choice)

  // The stored choice (or this run's virtual phone) and the menu's entries.
  void LoadPortSettings();
  void ShowPortPanel();  // the status bar's port, from PortLabel
  void mCOMClick(int entry);  // mCOM1Click .. mCOM4Click
  void mCOM1Click() { mCOMClick(1); }
  void mCOM2Click() { mCOMClick(2); }
  void mCOM3Click() { mCOMClick(3); }
  void mCOM4Click() { mCOMClick(4); }
  void mAutoClick();

 private:
  TComPort& port_;
  TLinkIndicators& shown_;
  std::function<void(unsigned)> changed_;
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
// not the dialog's: the port menu and the next connect store it.
void ApplyPortChoice(TCustomComPort& port, const TPortChoice& choice);
