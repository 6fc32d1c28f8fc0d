// 'fit': a copy of a picture made for the picture page; needs no phone.
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <iostream>

#include "app/cli/CliCommands.h"
#include "app/qt/FitPicture.h"

const bool kCliCanFit = true;

int RunFitCommand(const std::vector<std::string>& args, const std::string& to) {
  if (args.size() != 2) return 2;
  const QString file = QFile::decodeName(args[1].c_str());
  fit::TFitResult r = fit::FitPicture(file, to.empty() ? QString() : QFile::decodeName(to.c_str()));
  if (r.refusal != fit::TRefusal::None) {
    std::cerr << args[1] << ": " << fit::RefusalText(r, 0).toStdString() << std::endl;
    return 1;
  }
  std::cout << QFile::encodeName(QFileInfo(r.path).absoluteFilePath()).toStdString() << "\n";
  return 0;
}
