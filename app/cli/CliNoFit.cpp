// 'fit' where the build has no image codecs (Windows without Qt): the
// command is known, and says why it cannot run here.
#include <iostream>

#include "app/cli/CliCommands.h"

const bool kCliCanFit = false;

int RunFitCommand(const std::vector<std::string>& args, const std::string&) {
  if (args.size() != 2) return 2;
  std::cerr << args[1] << ": this build has no picture codecs to make a fitted copy with" << std::endl;
  return 1;
}
