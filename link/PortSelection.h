#pragma once
// Which port the link uses: the stored choice, the port menu's entries
// (the system's first four ports and the automatic choice), and the
// user's picks from that menu. Connecting is the link's business.
#include <functional>
#include <string>

#include "link/FormView.h"

class TComPort;

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
