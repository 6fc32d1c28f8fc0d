#pragma once
// Process-wide start-up state: directory anchors, ini file and
// the two start-up logs. Shared by the window and the command-line front end.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

inline constexpr const char* kIniFileName = "Velko.ini";
inline constexpr int kProtocolLogBit = 0x20;
inline constexpr int kLogicLogBit = 0x40;

struct TAppConfig {
  std::string BaseDir;
  std::string ProgramDir;
  int debugFlag = 0;
  std::vector<std::string> IniLines;
  std::FILE* ProtocolLog = nullptr;  // logs/apProtocol.log
  std::FILE* LogicLog = nullptr;     // logs/syncLogic.log
};

TAppConfig& AppConfig();

// The working directory cut at its last separator (separator and tail dropped).
std::string ComputeBaseDir(const std::string& cwd, char separator);
// BaseDir + separator + "Program" + separator.
std::string ComputeProgramDir(const std::string& baseDir, char separator);
// Fills BaseDir and ProgramDir from the current working directory.
void ComputeDirectories();

// First line whose text before the first '=' equals name, ignoring case,
// without trimming. The value is everything after that '='.
bool IniLookup(const std::vector<std::string>& lines, const std::string& name, std::string* value);
// Whole-text decimal conversion: optional sign and digits, nothing else.
bool StrictToInt(const std::string& text, int* value);

// Loads Velko.ini from the working directory (throws std::runtime_error when
// it cannot be read), evaluates debugFlag and opens the start-up logs.
// showError receives "open apProtocol.log fail" / "open syncLogic.log fail".
void ReadIniSettings(const std::function<void(const std::string&)>& showError);

// Closing steps: the start-up logs, then (separately) the ini lines.
void CloseStartupLogs();
void ReleaseIniLines();

// The per-user program folder of a desktop start: $XDG_DATA_HOME (when it is
// an absolute path) or $HOME/.local/share, then "quendrel/Program". Empty when
// neither gives an absolute path.
std::string UserProgramFolder(const char* home, const char* xdgDataHome);
inline constexpr const char* kDefaultIniText = "debugFlag=0\n";
// Creates the folder (first run: with a default ini and "logs" beside it; an
// existing ini is never touched) and makes it the working directory. False
// with the reason in *error when any step fails.
bool EnterUserProgramFolder(const std::string& programFolder, std::string* error);

// Back to the state before start-up (tests; logs are closed first).
void ResetAppConfig();
