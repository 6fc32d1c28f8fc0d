// 'fit': a copy of a picture made for the picture page; needs no phone.
#include <filesystem>
#include <iostream>

#include "app/cli/CliCommands.h"
#include "app/cli/CliFit.h"
#include "app/cli/ConsoleView.h"
#include "content/UiTextDecoder.h"
#include "link/Text.h"

int RunFitCommand(const std::vector<std::string>& args, const std::string& to) {
  if (args.size() != 2) return 2;
  const fit::TPictureFitter* fitter = CliPictureFitter();
  if (!fitter) {
    std::cerr << EscapedName(args[1]) << ": this build has no picture codecs to make a fitted copy with" << std::endl;
    return 1;
  }
  const fit::TFitOutcome r = fitter->Fit(args[1], to);
  if (r.refusal != fit::TRefusal::None) {
    std::cerr << EscapedName(args[1] + ": " + fit::RefusalText(r, 0, TEnglishDecoder())) << std::endl;
    return 1;
  }
  std::error_code ec;
  const std::filesystem::path copy = std::filesystem::absolute(Utf8Path(r.path), ec).lexically_normal();
  std::cout << EscapedName(ec ? r.path : PathUtf8(copy)) << "\n";
  return 0;
}
