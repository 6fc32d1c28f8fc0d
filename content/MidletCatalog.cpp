// The PC half of the Java page: descriptors in the chosen folder, their
// status against the phone's suites, and removal of a suite's two files.
#include <dirent.h>

#include <cctype>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "link/Text.h"
#include "content/MidletPage.h"

namespace {

// A line end is LF, with an optional CR in front of it.
std::string StripLineEnd(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

bool ReadWholeFile(const std::string& path, std::string* text) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
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

namespace {

// Three version parts; the text ends at its end or at a LF.
void SplitVersion(const std::string& version, int32_t parts[3]) {
  std::string text = version.substr(0, version.find('\n'));
  parts[0] = parts[1] = parts[2] = 0;
  size_t start = 0;
  for (int i = 0; i < 3; ++i) {
    size_t dot = text.find('.', start);
    parts[i] = LenientToInt(text.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
}

}  // namespace

int CompareMidletVersions(const std::string& pcVersion, const std::string& phoneVersion) {
  int32_t pc[3], phone[3];
  SplitVersion(pcVersion, pc);
  SplitVersion(phoneVersion, phone);
  for (int i = 0; i < 3; ++i) {
    if (phone[i] < pc[i]) return 2;
    if (phone[i] > pc[i]) return 3;
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
  DIR* dir = opendir(link_.PcFolder.c_str());
  if (!dir) {
    view.ShowMessage("Unable to open directory");
    return;
  }
  // Take the names first so a message box cannot hold the directory open.
  std::vector<std::string> names;
  while (dirent* entry = readdir(dir)) names.emplace_back(entry->d_name);
  closedir(dir);

  static const char* const kRequired[] = {"MIDlet-Jar-Size", "MIDlet-Name", "MIDlet-Version",
                                          "MIDlet-Vendor", "MIDlet-Jar-URL"};
  for (const std::string& name : names) {
    if (!EndsWithJad(name)) continue;
    const std::string path = link_.PcFolder + kPathSeparator + name;
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
      if (pc->name.compare(0, phone->name.size(), phone->name) != 0 || pc->name.size() < phone->name.size())
        continue;
      pc->status = CompareMidletVersions(pc->version, phone->version);
      break;
    }
  }
  for (MIDlet_Info* pc = PcSuites.First(); pc; pc = pc->next.get())
    link_.View().AddListRow(TListId::PcSuites,
                            {pc->name, pc->version, std::to_string(pc->jarSize), StatusMark(pc->status)});
}

MIDlet_Info* TMidletPage::SelectedPcSuite() {
  std::vector<int> rows = link_.View().SelectedRows(TListId::PcSuites);
  MIDlet_Info* rec = rows.empty() || rows[0] < 0 ? nullptr : PcSuites.At(static_cast<size_t>(rows[0]));
  if (!rec) link_.View().ShowMessage("No MIDlet on PC be selected");
  return rec;
}

void TMidletPage::LAD_PC_Remove_ButtonClick() {
  MIDlet_Info* rec = SelectedPcSuite();
  if (!rec) return;
  const std::string jarPath = rec->jarPath;
  if (std::remove(rec->jadPath.c_str()) != 0) {
    link_.View().ShowMessage("Remove JAD ERR");
    return;
  }
  if (std::remove(jarPath.c_str()) != 0) {
    link_.View().ShowMessage("Remove JAR ERR");
    return;
  }
  LocalAppDL_RefreshPage();
}
