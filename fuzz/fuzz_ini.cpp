// The ini file as the program reads it at start: lines, the debugFlag
// lookup and the start-up logs it may open.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/stat.h>

#include "FuzzSupport.h"
#include "app/core/Config.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The reader takes the ini from the working directory; the logs go to a
  // "logs" folder beside it.
  const std::string& dir = fuzz::ScratchDir();
  FUZZ_CHECK(::mkdir((dir + "/logs").c_str(), 0700) == 0);
  FUZZ_CHECK(::chdir(dir.c_str()) == 0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::WriteFileBytes(kIniFileName, data, size);
  ResetAppConfig();
  TAppConfig& c = AppConfig();
  c.BaseDir = fuzz::ScratchDir();
  int errors = 0;
  ReadIniSettings([&errors](const std::string&) { ++errors; });

  size_t breaks = 0;
  for (size_t i = 0; i < size; ++i) breaks += data[i] == '\n';
  FUZZ_CHECK(c.IniLines.size() <= breaks + 1);
  size_t kept = 0;
  for (const std::string& line : c.IniLines) {
    FUZZ_CHECK(line.find('\n') == std::string::npos);
    kept += line.size();
    // Every key is found again (perhaps on an earlier line of the same name).
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string value;
    FUZZ_CHECK(IniLookup(c.IniLines, line.substr(0, eq), &value));
  }
  FUZZ_CHECK(kept <= size);

  // The logs folder is there, so each log the flag asks for is open.
  FUZZ_CHECK(errors == 0);
  FUZZ_CHECK(((c.debugFlag & kProtocolLogBit) != 0) == (c.ProtocolLog != nullptr));
  FUZZ_CHECK(((c.debugFlag & kLogicLogBit) != 0) == (c.LogicLog != nullptr));
  std::string flagText;
  if (!IniLookup(c.IniLines, "debugFlag", &flagText)) FUZZ_CHECK(c.debugFlag == 0);
  CloseStartupLogs();
  ReleaseIniLines();
  return 0;
}
