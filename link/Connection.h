#pragma once
// Connecting as the user sees it: the menu's Connect and Disconnect, the
// port choice, and the indicators the window shows of the link; and the
// link check that starts every page. The port and the receiver are the
// link's; the front end that shows them keeps a TConnection beside it.
#include "link/Exchange.h"
#include "link/FormView.h"
#include "link/PortSelection.h"

class TLink;

class TConnection {
 public:
  // Listens to the link's state while it lives; it must go before the link.
  explicit TConnection(TLink& link);
  ~TConnection();
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

 private:
  // Opens the chosen port; with Auto chosen, the port the phone answers on.
  bool OpenChosenPort();
  // The link was lost: the menu and the status bar go back to disconnected.
  void ShowDropped();
  void SetMenuState(bool connectEnabled, bool disconnectEnabled, bool settingEnabled);
  // Hands the indicators' changed parts to the window.
  void ShowIndicators(unsigned parts);

  TLink& link_;
  TLinkIndicators indicators_;
  TPortSelection ports_;
};

// The link check that starts every page: opens the port when it is closed
// and asks "AT"; false (its texts shown) when the phone does not answer.
bool CheckLink(TLink& link);
// The same, with how it ended: TimedOut when the port opened and nothing
// answered, PortFailed when the port did not open.
TResult CheckLinkResult(TLink& link);
