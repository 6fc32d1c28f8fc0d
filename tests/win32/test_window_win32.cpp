// The native main window in this process on the in-memory virtual phone,
// driven through its own messages (button clicks, list selections, menu
// commands) and read back from its controls and from the folders on both
// sides. Run under Wine with an X server: scripts/wine-port-test.py.
#include <windows.h>

#include <commctrl.h>

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
  const fs::path root = home_ / L"backups";
  fs::create_directories(root);
  answer_ = Utf8(root.wstring());
  Command(idBackup);
  ASSERT_TRUE(PumpUntilIdle());
  ASSERT_EQ(boxes_.size(), 1u);
  fs::path made;
  for (const auto& e : fs::directory_iterator(root)) made = e.path();
  ASSERT_FALSE(made.empty());
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

}  // namespace
