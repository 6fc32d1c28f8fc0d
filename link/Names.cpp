// The name checks and the path join every transfer and the pages share.
#include <string>

#include "link/Transfers.h"

bool IsSafeLocalName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

bool IsSafeCommandName(const std::string& name) {
  // A name is one entry of the phone's folder: a path (a separator of
  // either kind, "." or "..") would reach another folder or the one above.
  if (name == "." || name == "..") return false;
  // A control byte inside a command line would reach a phone that edits
  // its line (backspace, escape, delete) or end it early (CR, LF, NUL).
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '/' || c == '\\' || u < 0x20 || u == 0x7F) return false;
  }
  return true;
}

std::string InvalidNameMessage(const std::string& name) { return "Invalid file name: " + name; }

std::string JoinLocalPath(const std::string& folder, const std::string& name) {
#ifdef _WIN32
  const char sep = '\\';
#else
  const char sep = '/';
#endif
  return folder + sep + name;
}
