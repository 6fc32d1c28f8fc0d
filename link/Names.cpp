// The name checks, the phone's name rule and the path join every transfer
// and the pages share.
#include <string>

#include "link/PhoneFiles.h"
#include "link/Text.h"
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

bool SamePhoneName(std::string_view a, std::string_view b) { return SameNoCase(a, b); }

pic_info* FindPhoneFile(const TPicList& list, std::string_view name) {
  pic_info* e = list.First();
  while (e && !SamePhoneName(e->Name, name)) e = e->next.get();
  return e;
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
