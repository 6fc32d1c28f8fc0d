// The native main window in this process on the in-memory virtual phone,
// driven through its own messages (button clicks, list selections, menu
// commands) and read back from its controls and from the folders on both
// sides. Run under Wine with an X server: scripts/wine-port-test.py.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <map>

#include "app/win32/WinPlatform.h"
#include "content/Backup.h"
#include "tests/win32/WindowRig.h"

using namespace win32gui;
using namespace windowrig;

namespace {

using WindowTest = WindowRig;

TEST_F(WindowTest, EachLanguageSwitchesEveryTextAndIsStored) {
  for (int lang : {0, 1, 2}) {
    SCOPED_TRACE(lang);
    Command(idEnglish + lang);
    EXPECT_EQ(Text(window_->Handle()), Tr(uitext::ProductName, lang));
    EXPECT_EQ(Text(C(idTitleBar)), Tr(uitext::LogoTitle, lang));
    EXPECT_EQ(Text(C(idStop)), Tr(uitext::StopButton, lang));
    EXPECT_EQ(window_->PanelText(1), Tr(uitext::StatusLinkCaption, lang) + L": " + Tr(uitext::StatusConnected, lang));
    EXPECT_EQ(window_->PanelText(2), Tr(uitext::StatusMaker, lang));
    // Every menu title has a mnemonic of its own, in every language.
    std::set<wchar_t> letters;
    const int titles = GetMenuItemCount(window_->Menu());
    for (int i = 0; i < titles; ++i) {
      wchar_t entry[128] = L"";
      GetMenuStringW(window_->Menu(), i, entry, 128, MF_BYPOSITION);
      const wchar_t* amp = wcschr(entry, L'&');
      ASSERT_TRUE(amp && amp[1]) << i;
      letters.insert(static_cast<wchar_t>(towupper(amp[1])));
    }
    EXPECT_EQ(letters.size(), static_cast<size_t>(titles));
    // Stored: the next start reads it back.
    UiLanguage() = -1;
    LoadLanguage();
    EXPECT_EQ(UiLanguage(), lang);
  }
}

TEST_F(WindowTest, EachPageShowsBothSides) {
  struct Case {
    int button, folder;
    std::vector<std::wstring> pcFiles;
  } cases[] = {
      {idRing, 1, {L"lullaby.mid", L"march.mid"}},
      {idAnimation, 2, {L"spinner.gif"}},
      {idPicture, 3, {L"beach.jpg", L"field.bmp", L"star.gif"}},
  };
  Command(idEnglish);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    OpenPage(c.button);
    EXPECT_TRUE(IsWindowVisible(C(idContentPage)));
    EXPECT_FALSE(IsWindowVisible(C(idLogo)));
    const std::vector<std::wstring> phone = Rows(idPhoneList);
    EXPECT_EQ(std::set<std::wstring>(phone.begin(), phone.end()), FilesIn(PhoneFolder(c.folder)));
    std::vector<std::wstring> pc = Rows(idPcList);
    std::sort(pc.begin(), pc.end());
    EXPECT_EQ(pc, c.pcFiles);
  }
  OpenPage(idJava);
  EXPECT_TRUE(IsWindowVisible(C(idMidletPage)));
  EXPECT_EQ(Text(C(idTitleBar)), Tr(uitext::LocalAppDW_Button, 0));
  EXPECT_EQ(Rows(idSuitePhoneList), std::vector<std::wstring>{L"Snake Run"});
  EXPECT_EQ(Rows(idSuitePcList).size(), 2u);
  EXPECT_TRUE(boxes_.empty()) << boxes_.front();
}

TEST_F(WindowTest, MenuEntriesOpenTheirDialogsAndTheLinkStaysAsItWas) {
  struct Case {
    int command, button;
  } cases[] = {{idAbout, IDOK}, {idPortSetup, IDCANCEL}, {idPortSetup, IDOK}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    AnswerDialogs([&c](HWND dialog) {
      Press(dialog, c.button);
      return true;
    });
    Command(c.command);
    ASSERT_TRUE(PumpUntilIdle());
    AnswerDialogs(nullptr);
    EXPECT_EQ(windlg::CurrentDialog(), nullptr);
    EXPECT_EQ(window_->PanelText(0), Tr(uitext::StatusPortCaption, window_->LanguageIndex()) + L": COM99");
  }
  // Still on the phone: a page opens on it.
  OpenPage(idRing);
  EXPECT_EQ(Rows(idPhoneList).size(), FilesIn(PhoneFolder(1)).size());
}

TEST_F(WindowTest, TabWalksThePageControlsInOrder) {
  OpenPage(idRing);
  const int order[] = {idPcList, idShowAll, idRemovePc, idSend, idFetch, idPhoneList, idRemovePhone, idRing};
  SetFocus(C(order[0]));
  for (size_t i = 1; i < sizeof order / sizeof order[0]; ++i) {
    MSG tab{GetFocus(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
    ASSERT_TRUE(window_->PreTranslate(tab));
    EXPECT_EQ(GetFocus(), C(order[i])) << i;
  }
}

TEST_F(WindowTest, ShowAllFilesAddsTheRefusedFilesWithWhyInTheWindowsLanguage) {
  Command(idEnglish);
  OpenPage(idPicture);
  const size_t listed = Rows(idPcList).size();
  Click(idShowAll);
  ASSERT_TRUE(PumpUntilIdle());
  const std::vector<std::wstring> rows = Rows(idPcList);
  ASSERT_GT(rows.size(), listed);
  EXPECT_NE(std::find(rows.begin() + listed, rows.end(), L"spinner.gif"), rows.end());
  auto reason = [this](int row) {
    wchar_t buf[260] = L"";
    LVITEMW item{};
    item.iSubItem = 2;
    item.pszText = buf;
    item.cchTextMax = 260;
    SendMessageW(C(idPcList), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return std::wstring(buf);
  };
  const std::wstring english = reason(static_cast<int>(listed));
  EXPECT_FALSE(english.empty());
  Command(idSimplified);
  EXPECT_NE(reason(static_cast<int>(listed)), english);
  EXPECT_FALSE(reason(static_cast<int>(listed)).empty());
  // A refused row is nothing to send: with it alone selected nothing goes.
  Select(idPcList, {rows[listed]});
  Click(idSend);
  ASSERT_TRUE(PumpUntilIdle());
  EXPECT_FALSE(fs::exists(PhoneFolder(3) / rows[listed]));
}

TEST_F(WindowTest, FilesDroppedOnThePhoneListAreJudgedThenSent) {
  OpenPage(idPicture);
  window_->DropOnPhoneList({Utf8((PcFolder() / L"beach.jpg").wstring()), Utf8((PcFolder() / L"march.mid").wstring())});
  ASSERT_TRUE(PumpUntilIdle());
  EXPECT_EQ(ReadAll(PhoneFolder(3) / L"beach.jpg"), ReadAll(PcFolder() / L"beach.jpg"));
  EXPECT_FALSE(fs::exists(PhoneFolder(3) / L"march.mid"));
  // The melody is named with why it was not sent.
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_NE(boxes_[0].find(L"march.mid"), std::wstring::npos);
}

TEST_F(WindowTest, SendFetchAndRemoveMoveTheFilesAndShowProgress) {
  OpenPage(idRing);
  // Two files up: both arrive whole, the total bar counted both.
  Select(idPcList, {L"march.mid", L"lullaby.mid"});
  Click(idSend);
  ASSERT_TRUE(PumpUntilIdle());
  for (const wchar_t* name : {L"march.mid", L"lullaby.mid"}) {
    EXPECT_EQ(ReadAll(PhoneFolder(1) / name), ReadAll(PcFolder() / name)) << name;
    const std::vector<std::wstring> rows = Rows(idPhoneList);
    EXPECT_NE(std::find(rows.begin(), rows.end(), name), rows.end()) << name;
  }
  EXPECT_EQ(SendMessageW(C(idTotalBar), PBM_GETPOS, 0, 0), 2);
  EXPECT_EQ(SendMessageW(C(idTotalBar), PBM_GETRANGE, FALSE, 0), 2);
  // The panel is empty again and the buttons are back.
  EXPECT_FALSE(IsWindowVisible(C(idTotalBar)));
  EXPECT_FALSE(IsWindowVisible(C(idStop)));
  EXPECT_TRUE(IsWindowEnabled(C(idSend)));

  // One down, byte for byte.
  OpenPage(idPicture);
  Select(idPhoneList, {L"photo.jpg"});
  Click(idFetch);
  ASSERT_TRUE(PumpUntilIdle());
  EXPECT_EQ(ReadAll(PcFolder() / L"photo.jpg"), ReadAll(PhoneFolder(3) / L"photo.jpg"));
  const std::vector<std::wstring> pc = Rows(idPcList);
  EXPECT_NE(std::find(pc.begin(), pc.end(), L"photo.jpg"), pc.end());

  // One removed from the phone: gone from its folder and its list.
  Select(idPhoneList, {L"tile.bmp"});
  Click(idRemovePhone);
  ASSERT_TRUE(PumpUntilIdle());
  EXPECT_FALSE(fs::exists(PhoneFolder(3) / L"tile.bmp"));
  const std::vector<std::wstring> phone = Rows(idPhoneList);
  EXPECT_EQ(std::find(phone.begin(), phone.end(), L"tile.bmp"), phone.end());
  EXPECT_TRUE(fs::exists(PhoneFolder(3) / L"sun.gif"));
}

TEST_F(WindowTest, StopDuringASendEndsItAndSaysWhatWasNotSent) {
  OpenPage(idPicture);
  // Every reply comes in two bursts: the batch takes long enough to stop.
  phonesim::Options slow = engine_->GetOptions();
  slow.splitPauseMs = 40;
  engine_->SetOptions(slow);
  Select(idPcList, {L"beach.jpg", L"field.bmp", L"star.gif"});
  Click(idSend);
  ASSERT_TRUE(PumpUntil([this] { return IsWindowVisible(C(idStop)) != FALSE; }));
  EXPECT_FALSE(IsWindowEnabled(C(idSend)));
  EXPECT_TRUE(IsWindowVisible(C(idTotalBar)));
  Click(idStop);
  ASSERT_TRUE(PumpUntilIdle());
  // Not all were sent; what was sent is whole, and the PC files are untouched.
  int sent = 0;
  for (const wchar_t* name : {L"beach.jpg", L"field.bmp", L"star.gif"}) {
    ASSERT_TRUE(fs::exists(PcFolder() / name));
    if (!fs::exists(PhoneFolder(3) / name)) continue;
    ++sent;
    EXPECT_EQ(ReadAll(PhoneFolder(3) / name), ReadAll(PcFolder() / name)) << name;
  }
  EXPECT_LT(sent, 3);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_FALSE(IsWindowVisible(C(idStop)));
  EXPECT_TRUE(IsWindowEnabled(C(idSend)));
}

TEST_F(WindowTest, JavaPageInstallsAndUninstallsASuite) {
  OpenPage(idJava);
  const fs::path suites = fs::path(Wide(phone_->PhoneFolder())) / L"4";
  const std::set<std::wstring> before = [&] {
    std::set<std::wstring> names;
    for (const auto& e : fs::directory_iterator(suites)) names.insert(e.path().filename().wstring());
    return names;
  }();
  // The PC suite the phone lacks goes up and shows in the phone's list.
  const std::vector<std::wstring> pc = Rows(idSuitePcList);
  const std::vector<std::wstring> onPhone = Rows(idSuitePhoneList);
  std::wstring missing;
  for (const std::wstring& name : pc)
    if (std::find(onPhone.begin(), onPhone.end(), name) == onPhone.end()) missing = name;
  ASSERT_FALSE(missing.empty());
  Select(idSuitePcList, {missing});
  Click(idInstall);
  ASSERT_TRUE(PumpUntilIdle());
  std::vector<std::wstring> after = Rows(idSuitePhoneList);
  EXPECT_NE(std::find(after.begin(), after.end(), missing), after.end());
  EXPECT_EQ(static_cast<size_t>(std::distance(fs::directory_iterator(suites), fs::directory_iterator())),
            before.size() + 1);
  // And comes off again.
  Select(idSuitePhoneList, {missing});
  Click(idUninstall);
  ASSERT_TRUE(PumpUntilIdle());
  after = Rows(idSuitePhoneList);
  EXPECT_EQ(std::find(after.begin(), after.end(), missing), after.end());
  EXPECT_EQ(static_cast<size_t>(std::distance(fs::directory_iterator(suites), fs::directory_iterator())),
            before.size());
  EXPECT_TRUE(IsWindowEnabled(C(idInstall)));
}

TEST_F(WindowTest, BackupAndRestoreFromTheMenuBringBackARemovedFile) {
  const fs::path made = BackUpThroughTheMenu();
  ASSERT_FALSE(made.empty());
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(ReadAll(made / L"pictures" / L"sun.gif"), ReadAll(PhoneFolder(3) / L"sun.gif"));
  EXPECT_EQ(ReadAll(made / L"melodies" / L"scale.mid"), ReadAll(PhoneFolder(1) / L"scale.mid"));

  const std::string kept = ReadAll(PhoneFolder(3) / L"sun.gif");
  fs::remove(PhoneFolder(3) / L"sun.gif");
  answer_ = Utf8(made.wstring());
  Command(idRestore);
  ASSERT_TRUE(PumpUntilIdle());
  EXPECT_EQ(ReadAll(PhoneFolder(3) / L"sun.gif"), kept);
  EXPECT_EQ(boxes_.size(), 2u);
}

TEST_F(WindowTest, ClosingDuringASendLeavesOnlyWholeFilesAndNoBox) {
  OpenPage(idPicture);
  phonesim::Options slow = engine_->GetOptions();
  slow.splitPauseMs = 40;
  engine_->SetOptions(slow);
  Select(idPcList, {L"beach.jpg", L"field.bmp", L"star.gif"});
  Click(idSend);
  ASSERT_TRUE(PumpUntil([this] { return IsWindowVisible(C(idStop)) != FALSE; }));
  SendMessageW(window_->Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(window_->Handle(), nullptr);
  window_->FinishSession(std::chrono::seconds(5));
  EXPECT_TRUE(window_->SessionIdle());
  for (const wchar_t* name : {L"beach.jpg", L"field.bmp", L"star.gif"}) {
    ASSERT_TRUE(fs::exists(PcFolder() / name));
    if (fs::exists(PhoneFolder(3) / name)) {
      EXPECT_EQ(ReadAll(PhoneFolder(3) / name), ReadAll(PcFolder() / name)) << name;
    }
  }
  // Nobody is there to read a box any more.
  EXPECT_TRUE(boxes_.empty());
}


// The window starts in the language stored in its registry key, before
// anything is chosen: its captions, tool buttons and menu titles in it.
struct StartRow {
  bool stored;
  DWORD code;
  int lang;
};

class WindowStartTest : public WindowRig, public ::testing::WithParamInterface<StartRow> {
 protected:
  void BeforeWindow() override {
    RegCreateKeyExW(HKEY_CURRENT_USER, kWinConnectSettingKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
    ASSERT_NE(key_, nullptr);
    DWORD size = sizeof kept_;
    hadValue_ = RegQueryValueExW(key_, L"Language", nullptr, nullptr, reinterpret_cast<BYTE*>(&kept_), &size) == 0;
    if (GetParam().stored)
      RegSetValueExW(key_, L"Language", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&GetParam().code), sizeof(DWORD));
    else
      RegDeleteValueW(key_, L"Language");
  }
  void TearDown() override {
    WindowRig::TearDown();
    if (!key_) return;
    if (hadValue_) RegSetValueExW(key_, L"Language", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&kept_), sizeof kept_);
    RegCloseKey(key_);
  }
  HKEY key_ = nullptr;
  DWORD kept_ = 0;
  bool hadValue_ = false;
};

TEST_P(WindowStartTest, StartsInTheStoredLanguage) {
  const int lang = GetParam().lang;
  EXPECT_EQ(window_->LanguageIndex(), lang);
  EXPECT_EQ(Text(window_->Handle()), Tr(uitext::ProductName, lang));
  EXPECT_EQ(window_->PanelText(1), Tr(uitext::StatusLinkCaption, lang) + L": " + Tr(uitext::StatusConnected, lang));
  const UiText* hints[] = {&uitext::Ring_Button, &uitext::Animation_Button, &uitext::DC_PIC_ToolButton,
                           &uitext::LocalAppDW_Button};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Text(C(idRing + i)), Tr(*hints[i], lang)) << i;
  // The menu titles: the table's words, a mnemonic aside.
  auto bare = [](std::wstring t) {
    t.erase(std::remove(t.begin(), t.end(), L'&'), t.end());
    return t;
  };
  const UiText* titles[] = {&uitext::mConnection1, &uitext::mConnSetting, &uitext::mLanguage, &uitext::mHelp};
  ASSERT_EQ(GetMenuItemCount(window_->Menu()), 4);
  for (int i = 0; i < 4; ++i) {
    wchar_t entry[128] = L"";
    GetMenuStringW(window_->Menu(), i, entry, 128, MF_BYPOSITION);
    EXPECT_EQ(bare(entry).rfind(bare(Tr(*titles[i], lang)), 0), 0u) << i;
  }
  // A page opened at once carries the language too.
  OpenPage(idJava);
  EXPECT_EQ(Text(C(idTitleBar)), Tr(uitext::LocalAppDW_Button, lang));
}

INSTANTIATE_TEST_SUITE_P(Languages, WindowStartTest,
                         ::testing::Values(StartRow{true, 9, 0}, StartRow{true, 1028, 1}, StartRow{true, 2052, 2},
                                           // An unknown code or none at all: English.
                                           StartRow{true, 1041, 0}, StartRow{false, 0, 0}));

// A name taken on the phone: the warning's answer, and for Rename the
// prompt's new names in turn (a name taken again is asked again).
TEST_F(WindowTest, AClashOnSendIsAnsweredInTheWarningAndItsRenamePrompt) {
  struct Case {
    const wchar_t* button;  // the warning's answer
    std::vector<std::wstring> names;  // typed in the prompt, one per warning
    const wchar_t* sentAs;  // where march.mid arrives; null: nowhere new
  } cases[] = {
      {L"Rename", {L"scale.mid", L"march 3.mid"}, L"march 3.mid"},
      {L"OK", {}, L"march.mid"},
      {L"Cancel", {}, nullptr},
  };
  const std::string pcMarch = ReadAll(PcFolder() / L"march.mid");
  const std::string scale = ReadAll(PhoneFolder(1) / L"scale.mid");
  const std::string old = ReadAll(PhoneFolder(1) / L"Morning Bell.mid");
  ASSERT_NE(old, pcMarch);
  window_->boxSeen = nullptr;  // the warning shows as the user sees it
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    const std::set<std::wstring> before = FilesIn(PhoneFolder(1));
    for (const std::wstring& name : before)
      if (name != L"scale.mid" && name != L"Morning Bell.mid") fs::remove(PhoneFolder(1) / name);
    {
      std::ofstream(PhoneFolder(1) / L"march.mid", std::ios::binary) << old;
    }
    OpenPage(idRing);
    Select(idPcList, {L"march.mid", L"lullaby.mid"});
    int warnings = 0;
    size_t typed = 0;
    std::vector<std::wstring> questions;
    AnswerDialogs([&](HWND dialog) {
      if (HWND edit = ChildOf(dialog, L"Edit")) {  // the rename prompt
        if (typed >= c.names.size()) return false;
        SetWindowTextW(edit, c.names[typed++].c_str());
        Press(dialog, IDOK);
        return true;
      }
      if (!ChildOf(dialog, L"Button", L"Rename")) {
        questions.push_back(DialogText(dialog));  // anything else is a box: noted, closed
        Press(dialog, IDOK);
        return true;
      }
      ++warnings;
      Press(dialog, c.button);
      return true;
    });
    Click(idSend);
    ASSERT_TRUE(PumpUntilIdle());
    AnswerDialogs(nullptr);
    EXPECT_EQ(warnings, std::max<int>(1, static_cast<int>(c.names.size())));
    EXPECT_TRUE(questions.empty()) << questions.front();
    EXPECT_EQ(ReadAll(PhoneFolder(1) / L"lullaby.mid"), ReadAll(PcFolder() / L"lullaby.mid"));
    EXPECT_EQ(ReadAll(PhoneFolder(1) / L"scale.mid"), scale);
    // The old phone file is replaced only when the warning was answered OK.
    EXPECT_EQ(ReadAll(PhoneFolder(1) / L"march.mid"), c.sentAs && std::wstring(c.sentAs) == L"march.mid" ? pcMarch : old);
    const std::vector<std::wstring> rows = Rows(idPhoneList);
    EXPECT_EQ(std::set<std::wstring>(rows.begin(), rows.end()), FilesIn(PhoneFolder(1)));
    std::set<std::wstring> expected = {L"scale.mid", L"Morning Bell.mid", L"march.mid", L"lullaby.mid"};
    if (c.sentAs) {
      EXPECT_EQ(ReadAll(PhoneFolder(1) / c.sentAs), pcMarch);
      expected.insert(c.sentAs);
    }
    EXPECT_EQ(FilesIn(PhoneFolder(1)), expected);
    EXPECT_EQ(ReadAll(PcFolder() / L"march.mid"), pcMarch);
  }
}

TEST_F(WindowTest, RemoveOnThePcSideTakesTheFileToTheRecycleBinOrKeepsItAndSays) {
  OpenPage(idRing);
  const std::string kept = ReadAll(PcFolder() / L"march.mid");
  const std::set<std::wstring> phone = FilesIn(PhoneFolder(1));
  SHQUERYRBINFO bin{sizeof bin, 0, 0};
  SHQueryRecycleBinW(nullptr, &bin);
  const long long inBin = bin.i64NumItems;
  Select(idPcList, {L"march.mid"});
  Click(idRemovePc);
  ASSERT_TRUE(PumpUntilIdle());
  const std::vector<std::wstring> rows = Rows(idPcList);
  EXPECT_TRUE(Contains(rows, L"lullaby.mid"));
  EXPECT_EQ(FilesIn(PhoneFolder(1)), phone);
  if (fs::exists(PcFolder() / L"march.mid")) {
    // No recycle bin to take it: the file stays whole, listed, and the boxes
    // say so and name it.
    EXPECT_EQ(ReadAll(PcFolder() / L"march.mid"), kept);
    EXPECT_TRUE(Contains(rows, L"march.mid"));
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(boxes_[1], L"Not removed: march.mid");
  } else {
    EXPECT_FALSE(Contains(rows, L"march.mid"));
    EXPECT_TRUE(boxes_.empty()) << boxes_.front();
    // Not deleted for good: the bin holds one more, the file as it was (under
    // Wine the bin is the desktop's trash folder, emptied of it here again).
    SHQUERYRBINFO bin{sizeof bin, 0, 0};
    EXPECT_EQ(SHQueryRecycleBinW(nullptr, &bin), S_OK);
    EXPECT_EQ(bin.i64NumItems, inBin + 1);
    EXPECT_TRUE(TakeOutOfTheBin({{L"march.mid", kept}}));
  }
}

TEST_F(WindowTest, DisconnectDuringASendEndsTheBatchWithWholeFilesAndSaysWhatWasNotSent) {
  OpenPage(idPicture);
  SlowPhone();
  const std::vector<std::wstring> names = {L"beach.jpg", L"field.bmp", L"star.gif"};
  Select(idPcList, names);
  Click(idSend);
  ASSERT_TRUE(PumpUntil([this] { return IsWindowVisible(C(idStop)) != FALSE; }));
  Command(idDisconnect);
  ASSERT_TRUE(PumpUntilIdle());
  std::vector<std::wstring> notSent;
  for (const std::wstring& name : names) {
    ASSERT_TRUE(fs::exists(PcFolder() / name));
    if (!fs::exists(PhoneFolder(3) / name)) {
      notSent.push_back(name);
      continue;
    }
    EXPECT_EQ(ReadAll(PhoneFolder(3) / name), ReadAll(PcFolder() / name)) << Utf8(name);
  }
  ASSERT_FALSE(notSent.empty());
  ASSERT_EQ(boxes_.size(), 1u);
  for (const std::wstring& name : notSent) EXPECT_NE(boxes_[0].find(name), std::wstring::npos) << Utf8(name);
  const int lang = window_->LanguageIndex();
  EXPECT_EQ(window_->PanelText(1), Tr(uitext::StatusLinkCaption, lang) + L": " + Tr(uitext::StatusDisconnected, lang));
  EXPECT_FALSE(IsWindowVisible(C(idStop)));
  EXPECT_FALSE(IsWindowVisible(C(idTotalBar)));
}

// The phone holds an older version of a PC suite: installing it asks to
// update; OK puts the PC's version on the phone, Cancel keeps the old one.
TEST_F(WindowTest, InstallingANewerSuiteAsksToUpdateAndOnlyOkReplacesIt) {
  const fs::path suites = fs::path(Wide(phone_->PhoneFolder())) / L"4";
  for (int button : {IDCANCEL, IDOK}) {
    SCOPED_TRACE(button);
    OpenPage(idJava);
    const std::vector<std::wstring> pcNames = Rows(idSuitePcList), pcVersions = Column(C(idSuitePcList), 1);
    const std::vector<std::wstring> phoneNames = Rows(idSuitePhoneList),
                                    phoneVersions = Column(C(idSuitePhoneList), 1);
    std::wstring name, oldVersion, newVersion;
    for (size_t i = 0; i < pcNames.size(); ++i)
      for (size_t j = 0; j < phoneNames.size(); ++j)
        if (pcNames[i] == phoneNames[j] && pcVersions[i] != phoneVersions[j])
          name = pcNames[i], newVersion = pcVersions[i], oldVersion = phoneVersions[j];
    ASSERT_FALSE(name.empty());
    const std::set<std::wstring> before = FilesIn(suites / name);
    std::map<std::wstring, std::string> was;
    for (const std::wstring& f : before) was[f] = ReadAll(suites / name / f);
    std::wstring question;
    window_->boxSeen = nullptr;
    AnswerDialogs([&](HWND dialog) {
      question = DialogText(dialog);
      window_->boxSeen = [this](const std::wstring& text) { boxes_.push_back(text); };
      Press(dialog, button);
      return true;
    });
    Select(idSuitePcList, {name});
    Click(idInstall);
    ASSERT_TRUE(PumpUntilIdle());
    AnswerDialogs(nullptr);
    EXPECT_NE(question.find(name), std::wstring::npos) << Utf8(question);
    const std::vector<std::wstring> names = Rows(idSuitePhoneList), versions = Column(C(idSuitePhoneList), 1);
    const auto at = std::find(names.begin(), names.end(), name);
    ASSERT_NE(at, names.end());
    EXPECT_EQ(std::count(names.begin(), names.end(), name), 1);
    EXPECT_EQ(versions[static_cast<size_t>(at - names.begin())], button == IDOK ? newVersion : oldVersion);
    if (button == IDCANCEL) {
      for (const auto& [f, bytes] : was) EXPECT_EQ(ReadAll(suites / name / f), bytes) << Utf8(f);
      EXPECT_TRUE(boxes_.empty()) << boxes_.front();
    }
    EXPECT_TRUE(IsWindowEnabled(C(idInstall)));
  }
}

// The restore shows its plan first, one row per file of the backup with
// what will be done; after OK the missing file comes back, and a file that
// changed since is a clash the user declines here, so it stays as it is.
TEST_F(WindowTest, RestoreShowsItsPlanRowByRowThenSendsWhatItSaid) {
  const fs::path made = BackUpThroughTheMenu();
  ASSERT_FALSE(made.empty());
  // What the backup holds, folder by folder, as the plan names them.
  std::map<std::wstring, std::wstring> folderOf;
  for (int folder = 1; folder <= 3; ++folder)
    for (const std::wstring& name : FilesIn(made / Wide(backup::FolderName(folder))))
      folderOf[name] = Wide(backup::FolderName(folder));
  ASSERT_TRUE(folderOf.count(L"sun.gif") && folderOf.count(L"tile.bmp"));

  const std::string sun = ReadAll(PhoneFolder(3) / L"sun.gif");
  fs::remove(PhoneFolder(3) / L"sun.gif");
  const std::string changed = "not the backup's tile";
  std::ofstream(PhoneFolder(3) / L"tile.bmp", std::ios::binary) << changed;
  boxes_.clear();
  answer_ = Utf8(made.wstring());
  window_->boxSeen = nullptr;
  std::vector<std::vector<std::wstring>> plan;
  AnswerDialogs([&](HWND dialog) {
    HWND list = ChildOf(dialog, WC_LISTVIEWW);
    if (!list) return false;
    for (int c = 0; c < 3; ++c) plan.push_back(Column(list, c));
    window_->boxSeen = [this](const std::wstring& text) { boxes_.push_back(text); };
    Press(dialog, IDOK);
    return true;
  });
  Command(idRestore);
  ASSERT_TRUE(PumpUntilIdle());
  AnswerDialogs(nullptr);
  ASSERT_EQ(plan.size(), 3u);
  const int lang = window_->LanguageIndex();
  std::map<std::wstring, std::wstring> action;
  for (size_t i = 0; i < plan[2].size(); ++i) {
    SCOPED_TRACE(Utf8(plan[2][i]));
    EXPECT_EQ(plan[1][i], folderOf[plan[2][i]]);
    EXPECT_TRUE(action.emplace(plan[2][i], plan[0][i]).second);
  }
  EXPECT_EQ(action.size(), folderOf.size());
  for (const auto& [name, folder] : folderOf) {
    SCOPED_TRACE(Utf8(name));
    const UiText& expected = name == L"sun.gif" ? uitext::PlanSend : name == L"tile.bmp" ? uitext::PlanClash
                                                                                         : uitext::PlanSame;
    EXPECT_EQ(action[name], Tr(expected, lang));
  }
  // Sent: the missing file whole; declined at its clash: the phone's own.
  EXPECT_EQ(ReadAll(PhoneFolder(3) / L"sun.gif"), sun);
  EXPECT_EQ(ReadAll(PhoneFolder(3) / L"tile.bmp"), changed);
  // The clash's question, then the end.
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_NE(boxes_[0].find(L"tile.bmp"), std::wstring::npos);
}

}  // namespace
