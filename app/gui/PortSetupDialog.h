#pragma once
// Port set-up: port name and line settings of the one serial port. OK
// applies every edit in one update batch; Cancel changes nothing.
#include <QDialog>
#include <string>
#include <vector>

#include "port/ComPort.h"

namespace Ui {
class TPortSetupDialog;
}

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

TPortChoice ReadPortChoice(const TCustomComPort& port);
// Applies all of it inside one BeginUpdate/EndUpdate batch. The batch is
// closed even when the port change fails (the error propagates).
void ApplyPortChoice(TCustomComPort& port, const TPortChoice& choice);

class TPortSetupDialog : public QDialog {
  Q_OBJECT
 public:
  TPortSetupDialog(const std::vector<std::string>& portNames, QWidget* parent = nullptr);
  ~TPortSetupDialog() override;

  void Load(const TPortChoice& choice);
  TPortChoice Choice() const;
  Ui::TPortSetupDialog* ui;
};

// Shows the dialog for the port; true when OK applied the edits.
bool ShowPortSetupDialog(TCustomComPort& port, QWidget* parent);
