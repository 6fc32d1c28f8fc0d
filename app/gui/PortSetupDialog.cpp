#include "PortSetupDialog.h"

#include "app/qt/UiTextQt.h"
#include "ui_portsetup.h"

namespace {

struct BaudItem {
  TBaudRate rate;
  const char* text;
};
constexpr BaudItem kBauds[] = {
    {br110, "110"},       {br300, "300"},       {br600, "600"},       {br1200, "1200"},
    {br2400, "2400"},     {br4800, "4800"},     {br9600, "9600"},     {br14400, "14400"},
    {br19200, "19200"},   {br38400, "38400"},   {br56000, "56000"},   {br57600, "57600"},
    {br115200, "115200"}, {br128000, "128000"}, {br256000, "256000"},
};

void SelectData(QComboBox* box, int value) {
  int i = box->findData(value);
  if (i >= 0) box->setCurrentIndex(i);
}

}  // namespace

TPortSetupDialog::TPortSetupDialog(const std::vector<std::string>& portNames, QWidget* parent)
    : QDialog(parent), ui(new Ui::TPortSetupDialog) {
  ui->setupUi(this);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  for (const std::string& n : portNames) ui->PortCombo->addItem(QString::fromStdString(n));
  for (const BaudItem& b : kBauds) ui->BaudCombo->addItem(b.text, static_cast<int>(b.rate));
  ui->DataBitsCombo->addItem("5", static_cast<int>(dbFive));
  ui->DataBitsCombo->addItem("6", static_cast<int>(dbSix));
  ui->DataBitsCombo->addItem("7", static_cast<int>(dbSeven));
  ui->DataBitsCombo->addItem("8", static_cast<int>(dbEight));
  ui->StopBitsCombo->addItem("1", static_cast<int>(sbOneStopBit));
  ui->StopBitsCombo->addItem("1.5", static_cast<int>(sbOne5StopBits));
  ui->StopBitsCombo->addItem("2", static_cast<int>(sbTwoStopBits));
  // Texts in the language of the moment: the dialog is made anew for each showing.
  ui->ParityCombo->addItem(UiTr(uitext::PortSetupNone), static_cast<int>(prNone));
  ui->ParityCombo->addItem(UiTr(uitext::ParityOdd), static_cast<int>(prOdd));
  ui->ParityCombo->addItem(UiTr(uitext::ParityEven), static_cast<int>(prEven));
  ui->ParityCombo->addItem(UiTr(uitext::ParityMark), static_cast<int>(prMark));
  ui->ParityCombo->addItem(UiTr(uitext::ParitySpace), static_cast<int>(prSpace));
  ui->FlowCombo->addItem(UiTr(uitext::PortSetupNone), static_cast<int>(TFlowChoice::None));
  ui->FlowCombo->addItem(UiTr(uitext::FlowHardware), static_cast<int>(TFlowChoice::Hardware));
  ui->FlowCombo->addItem(UiTr(uitext::FlowSoftware), static_cast<int>(TFlowChoice::Software));
  ui->FlowCombo->addItem(UiTr(uitext::FlowDtrHandshake), static_cast<int>(TFlowChoice::DtrHandshake));
  setWindowTitle(UiTr(uitext::PortSetupCaption));
  ui->PortComboLabel->setText(UiTr(uitext::PortSetupPort));
  ui->BaudComboLabel->setText(UiTr(uitext::PortSetupBaudRate));
  ui->DataBitsComboLabel->setText(UiTr(uitext::PortSetupDataBits));
  ui->StopBitsComboLabel->setText(UiTr(uitext::PortSetupStopBits));
  ui->ParityComboLabel->setText(UiTr(uitext::PortSetupParity));
  ui->FlowComboLabel->setText(UiTr(uitext::PortSetupFlow));
  ui->OKBtn->setText(UiTr(uitext::PortSetupOK));
  ui->CancelBtn->setText(UiTr(uitext::PortSetupCancel));
  connect(ui->OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(ui->CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

TPortSetupDialog::~TPortSetupDialog() { delete ui; }

void TPortSetupDialog::Load(const TPortChoice& c) {
  ui->PortCombo->setCurrentText(QString::fromStdString(c.port));
  SelectData(ui->BaudCombo, c.baud);
  SelectData(ui->DataBitsCombo, c.dataBits);
  SelectData(ui->StopBitsCombo, c.stopBits);
  SelectData(ui->ParityCombo, c.parity);
  SelectData(ui->FlowCombo, static_cast<int>(c.flow));
}

TPortChoice TPortSetupDialog::Choice() const {
  TPortChoice c;
  c.port = ui->PortCombo->currentText().toStdString();
  c.baud = static_cast<TBaudRate>(ui->BaudCombo->currentData().toInt());
  c.dataBits = static_cast<TDataBits>(ui->DataBitsCombo->currentData().toInt());
  c.stopBits = static_cast<TStopBits>(ui->StopBitsCombo->currentData().toInt());
  c.parity = static_cast<TParityBits>(ui->ParityCombo->currentData().toInt());
  c.flow = static_cast<TFlowChoice>(ui->FlowCombo->currentData().toInt());
  return c;
}

bool ShowPortSetupDialog(TCustomComPort& port, QWidget* parent) {
  TPortSetupDialog dlg(PortSetupNames(), parent);
  dlg.Load(ReadPortChoice(port));
  if (dlg.exec() != QDialog::Accepted) return false;
  ApplyPortChoice(port, dlg.Choice());
  return true;
}
