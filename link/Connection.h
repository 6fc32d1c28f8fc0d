#pragma once
// Connecting as the user sees it: the menu's Connect and Disconnect, the
// link check that starts every page, the port choice, and the indicators
// the window shows of all this. The port and the receiver are the link's.
#include "link/FormView.h"
#include "link/PortSelection.h"

class TLink;

class TConnection {
 public:
  explicit TConnection(TLink& link);
  TConnection(const TConnection&) = delete;
  TConnection& operator=(const TConnection&) = delete;

  // What the window shows of the link.
  const TLinkIndicators& Indicators() const { return indicators_; }
  TPortSelection& Ports() { return ports_; }

  // Start-up: open and receive; the menu greys Connect.
  void FormCreate();
  void Connect1Click();
  void Disconnect1Click();
  // Closing order of the window: AppClosing, then the disconnect.
  void CloseLink();
  void ShowLinkState(bool connected);
  // Opens the port when it is closed and asks "AT"; false (its texts
  // shown) when the phone does not answer.
  bool CheckLink();
  // The receiver lost the port: the menu and the status bar go back to
  // disconnected.
  void ShowDropped();

 private:
  void SetMenuState(bool connectEnabled, bool disconnectEnabled, bool settingEnabled);
  // Hands the indicators' changed parts to the window.
  void ShowIndicators(unsigned parts);

  TLink& link_;
  TLinkIndicators indicators_;
  TPortSelection ports_;
};
