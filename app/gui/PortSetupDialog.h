#pragma once
// Port set-up: port name and line settings of the one serial port, drawn
// here and decided in link/PortSelection. OK applies every edit in one
// update batch; Cancel changes nothing.
#include <QDialog>
#include <string>
#include <vector>

#include "link/PortSelection.h"

namespace Ui {
class TPortSetupDialog;
}

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
