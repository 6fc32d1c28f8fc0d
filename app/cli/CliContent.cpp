// Page-level commands of quendrel-cli: the PC scan and the MIDlet suites.
#include <filesystem>
#include <iostream>

#include "app/cli/CliCommands.h"
#include "app/cli/ConsoleView.h"
#include "content/ScanReasonText.h"
#include "content/ContentPage.h"
#include "content/MidletPage.h"
#include "link/Link.h"
#include "link/Text.h"
#include "content/TempFolder.h"
#include "port/PlainFile.h"

int RunScanCommand(const std::vector<std::string>& args, bool all) {
  if (args.size() != 3 || (args[1] != "1" && args[1] != "2" && args[1] != "3")) return 2;
  ConsoleView view;
  TLink link(view);
  TPageState pages;
  TContentPage page(link, pages);
  pages.FolderNumber = args[1][0] - '0';
  pages.PcFolder = args[2];
  page.ShowAllFiles = all;
  page.ScanPcFolder();
  for (pic_info* p = page.PcFileList.First(); p; p = p->next.get())
    std::cout << EscapedName(p->Name) << "\t" << p->Size << "\n";
  for (const pcscan::TRejectedEntry& e : page.Unsuitable)
    std::cout << EscapedName(e.name) << "\t" << e.why.size << "\t"
              << EscapedName(ReasonText(e.why, pages.FolderNumber, 0)) << "\n";
  return 0;
}

namespace {


int FindSuiteRow(TMidletPage& page, const std::string& jadName) {
  // NAME.jar picks a suite by its archive (one without a descriptor file).
  const bool byArchive = jadName.size() > 4 && jadName.compare(jadName.size() - 4, 4, ".jar") == 0;
  int row = 0;
  for (MIDlet_Info* p = page.PcSuites.First(); p; p = p->next.get(), ++row) {
    const std::string& path = byArchive ? p->jarPath : p->jadPath;
    if (path.size() >= jadName.size() + 1 && path.compare(path.size() - jadName.size(), jadName.size(), jadName) == 0 &&
        (path[path.size() - jadName.size() - 1] == '/' || path[path.size() - jadName.size() - 1] == '\\'))
      return row;
  }
  return -1;
}

// The test the page's PC scan makes before it reads a folder.
bool DirectoryOpens(const std::string& path) {
  std::vector<TFolderEntry> entries;
  return ReadFolder(path, &entries);
}

int FindPhoneRow(TMidletPage& page, const std::string& name) {
  int row = 0;
  for (Mobile_info* p = page.PhoneSuites.First(); p; p = p->next.get(), ++row)
    if (p->name == name) return row;
  return -1;
}

int RunOnMidletPage(TLink& link, const TCliOptions& opt, const std::vector<std::string>& args,
                    const std::function<bool()>& connect);

}  // namespace

int RunMidletCommand(TLink& link, const TCliOptions& opt,
                     const std::vector<std::string>& args, const std::function<bool()>& connect) {
  // Every refresh reads the phone's suite list: a field the phone got
  // wrong fails the command, whichever refresh read it.
  try {
    return RunOnMidletPage(link, opt, args, connect);
  } catch (const TSuiteListError& e) {
    std::cerr << EscapedName(e.Describe()) << std::endl;
    return 1;
  }
}

namespace {

int RunOnMidletPage(TLink& link, const TCliOptions& opt, const std::vector<std::string>& args,
                    const std::function<bool()>& connect) {
  const std::string& cmd = args[0];
  if ((cmd == "midlets" && args.size() != 1) || (cmd == "install" && args.size() != 3) ||
      (cmd == "uninstall" && args.size() != 2))
    return 2;
  // Without a PC folder of the user's the page reads an empty one.
  TTempFolder empty;
  std::string pc = cmd == "install" ? args[1] : opt.pc;
  TPageState pages;
  pages.PcFolder = pc.empty() ? empty.Path() : pc;
  pages.FolderAsked = true;
  if (!connect()) return 1;

  TMidletPage page(link, pages);
  const TResult refreshed = page.LocalAppDL_RefreshPage();
  if (link.StopToken().Ended() || !refreshed.Ok()) return 1;

  if (cmd == "midlets") {
    for (Mobile_info* p = page.PhoneSuites.First(); p; p = p->next.get())
      std::cout << EscapedName(p->name) << "\t" << EscapedName(p->version) << "\t" << p->size << "\n";
    if (!opt.pc.empty())
      for (MIDlet_Info* p = page.PcSuites.First(); p; p = p->next.get())
        std::cout << "PC\t" << EscapedName(p->name) << "\t" << EscapedName(p->version) << "\t" << p->jarSize << "\t"
                  << StatusMark(p->status) << "\n";
    // The page has said "Unable to open directory": the PC half asked for
    // was not listed, so the command did not do what it was asked.
    if (!opt.pc.empty() && !DirectoryOpens(opt.pc)) return 1;
    return 0;
  }
  if (cmd == "install") {
    int row = FindSuiteRow(page, args[2]);
    if (row < 0) {
      std::cerr << "no usable descriptor " << EscapedName(args[2]) << " in " << EscapedName(args[1]) << std::endl;
      return 1;
    }
    const TResult installed = page.InstallSuite(*page.PcSuites.At(row));
    link.View().SetActionsEnabled(true);
    return installed.Ok() ? 0 : 1;
  }
  int row = FindPhoneRow(page, args[1]);
  if (row < 0) {
    std::cerr << "no suite named " << EscapedName(args[1]) << " on the phone" << std::endl;
    return 1;
  }
  return page.UninstallSuite(*page.PhoneSuites.At(row)).Ok() ? 0 : 1;
}

}  // namespace
