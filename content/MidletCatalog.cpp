// The PC half of the Java page: descriptors in the chosen folder (or an
// archive's manifest when it has none), their status against the phone's
// suites, and removal of a suite's files.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>
#include <system_error>
#include <vector>

#include "link/Settings.h"
#include "link/Text.h"
#include "port/PlainFile.h"
#include "content/MidletPage.h"
#include "content/SuiteArchive.h"
#include "content/SuiteManifest.h"

namespace {

// A line end is LF, with an optional CR in front of it.
std::string StripLineEnd(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

bool ReadWholeFile(const std::string& path, std::string* text) {
  std::FILE* f = OpenSuiteFile(path);
  if (!f) return false;
  text->clear();
  char buf[4096];
  size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) text->append(buf, got);
  std::fclose(f);
  return true;
}

#ifdef _WIN32
constexpr const char* kPathSeparator = "\\";
#else
constexpr const char* kPathSeparator = "/";
#endif

bool EndsWithJad(const std::string& name) {
  return name.size() >= 4 && name.compare(name.size() - 4, 4, ".jad") == 0;
}

bool EndsWithJar(const std::string& name) {
  return name.size() >= 4 && name.compare(name.size() - 4, 4, ".jar") == 0;
}

// A suite from an archive's manifest: the same fields a descriptor gives,
// the archive's own size and name as MIDlet-Jar-Size and MIDlet-Jar-URL.
// False, with the message shown, when the archive or manifest falls short.
bool ReadManifestSuite(IFormView& view, const std::string& jarPath, const std::string& jarName, MIDlet_Info* rec) {
  std::string text, error;
  if (!suite::ReadArchiveEntry(jarPath, suite::kManifestEntry, suite::kManifestCap, &text, &error)) {
    view.ShowMessage(jarPath + ": " + error);
    return false;
  }
  const suite::TAttributes attributes = suite::ParseManifest(text);
  std::string values[3];
  static const char* const kRequired[] = {"MIDlet-Name", "MIDlet-Version", "MIDlet-Vendor"};
  for (int i = 0; i < 3; ++i) {
    if (!suite::FindAttribute(attributes, kRequired[i], &values[i])) {
      view.ShowMessage(jarPath + " lost <" + kRequired[i] + ">");
      return false;
    }
  }
  uint64_t size = 0;
  if (!PlainFileSize(jarPath, &size)) {
    view.ShowMessage("File Open Error");
    return false;
  }
  rec->name = values[0];
  rec->version = values[1];
  rec->jarSize = static_cast<int32_t>(std::min<uint64_t>(size, std::numeric_limits<int32_t>::max()));
  rec->jarPath = jarPath;
  rec->jadPath = jarPath.substr(0, jarPath.size() - 1) + "d";
  rec->madeDescriptor = suite::DescriptorFromManifest(attributes, jarName, static_cast<int64_t>(size));
  return true;
}

}  // namespace

bool GetJadAttribute(const std::string& text, const std::string& key, std::string* value) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t lf = text.find('\n', pos);
    size_t end = lf == std::string::npos ? text.size() : lf;
    if (text.compare(pos, key.size(), key) == 0 && pos + key.size() <= end) {
      std::string line = StripLineEnd(text.substr(pos, end - pos));
      size_t i = key.size();
      while (i < line.size() && line[i] == ' ') ++i;
      if (i < line.size() && line[i] == ':') ++i;
      while (i < line.size() && line[i] == ' ') ++i;
      std::string v = line.substr(i);
      while (!v.empty() && v.back() == ' ') v.pop_back();
      if (value) *value = v;
      return true;
    }
    if (lf == std::string::npos) break;
    pos = lf + 1;
  }
  return false;
}

int32_t LenientToInt(const std::string& text) { return LeadingDecimal(text); }

std::FILE* OpenSuiteFile(const std::string& path) { return OpenRegularFile(path); }

namespace {

// One version part as the lenient conversion reads it (leading blanks, a
// sign, digits), kept as digits so parts of any length compare.
struct TVersionPart {
  bool negative = false;
  std::string digits;  // no leading zeros; empty for zero
};

TVersionPart ReadVersionPart(const std::string& text) {
  TVersionPart part;
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) part.negative = text[i++] == '-';
  while (i < text.size() && text[i] == '0') ++i;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) part.digits += text[i++];
  if (part.digits.empty()) part.negative = false;
  return part;
}

// Below zero, equal or above: the longer digit string is the larger number.
int ComparePart(const TVersionPart& a, const TVersionPart& b) {
  if (a.negative != b.negative) return a.negative ? -1 : 1;
  int magnitude = a.digits.size() != b.digits.size() ? (a.digits.size() < b.digits.size() ? -1 : 1)
                                                     : a.digits.compare(b.digits);
  magnitude = magnitude < 0 ? -1 : magnitude > 0 ? 1 : 0;
  return a.negative ? -magnitude : magnitude;
}

// Three version parts; the text ends at its end or at a LF.
void SplitVersion(const std::string& version, TVersionPart parts[3]) {
  std::string text = version.substr(0, version.find('\n'));
  size_t start = 0;
  for (int i = 0; i < 3; ++i) {
    size_t dot = text.find('.', start);
    parts[i] = ReadVersionPart(text.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
}

}  // namespace

int CompareMidletVersions(const std::string& pcVersion, const std::string& phoneVersion) {
  TVersionPart pc[3], phone[3];
  SplitVersion(pcVersion, pc);
  SplitVersion(phoneVersion, phone);
  for (int i = 0; i < 3; ++i) {
    const int order = ComparePart(phone[i], pc[i]);
    if (order < 0) return 2;
    if (order > 0) return 3;
  }
  return 1;
}

const char* StatusMark(int status) {
  if (status == 1) return "[V]";
  if (status == 3) return "[X]";
  return "[_]";
}

void TMidletPage::LocalAppDL_ViewPcOperation() {
  IFormView& view = link_.View();
  PcSuites.Clear();
  // Take the names first so a message box cannot hold the directory open.
  std::vector<std::string> names;
  std::vector<TFolderEntry> found;
  if (!ReadFolder(pages_.PcFolder, &found)) {
    view.ShowMessage("Unable to open directory");
    return;
  }
  // Only regular files (links followed): opening a pipe would wait for a
  // writer for ever, and a folder is no descriptor. A dangling link is still
  // tried, so the user hears it cannot be read.
  for (const TFolderEntry& e : found)
    if (e.regular || e.dangling) names.push_back(e.name);

  static const char* const kRequired[] = {"MIDlet-Jar-Size", "MIDlet-Name", "MIDlet-Version",
                                          "MIDlet-Vendor", "MIDlet-Jar-URL"};
  for (const std::string& name : names) {
    if (EndsWithJar(name) &&
        std::find(names.begin(), names.end(), name.substr(0, name.size() - 1) + "d") == names.end()) {
      MIDlet_Info* rec = PcSuites.Append();
      if (!ReadManifestSuite(view, pages_.PcFolder + kPathSeparator + name, name, rec)) PcSuites.RemoveLast();
      continue;
    }
    if (!EndsWithJad(name)) continue;
    const std::string path = pages_.PcFolder + kPathSeparator + name;
    std::string text;
    if (!ReadWholeFile(path, &text)) {
      view.ShowMessage("File Open Error");
      continue;
    }
    MIDlet_Info* rec = PcSuites.Append();
    std::string values[5];
    bool complete = true;
    for (int i = 0; i < 5; ++i) {
      if (!GetJadAttribute(text, kRequired[i], &values[i])) {
        view.ShowMessage(path + " lost <" + kRequired[i] + ">");
        PcSuites.RemoveLast();
        complete = false;
        break;
      }
    }
    if (!complete) continue;
    rec->jarSize = LenientToInt(values[0]);
    rec->name = values[1];
    rec->version = values[2];
    rec->jadPath = path;
    rec->jarPath = path.substr(0, path.size() - 1) + "r";
  }
}

void TMidletPage::LocalAppDL_CompareVersions() {
  for (MIDlet_Info* pc = PcSuites.First(); pc; pc = pc->next.get()) {
    pc->status = 0;
    for (Mobile_info* phone = PhoneSuites.First(); phone; phone = phone->next.get()) {
      // Whole names only: "Snake Run" on the phone is no older "Snake Run 2".
      if (pc->name != phone->name) continue;
      pc->status = CompareMidletVersions(pc->version, phone->version);
      break;
    }
  }
  for (MIDlet_Info* pc = PcSuites.First(); pc; pc = pc->next.get())
    link_.View().AddListRow(TListId::PcSuites,
                            {pc->name, pc->version, std::to_string(pc->jarSize), StatusMark(pc->status)});
}
