// The native window's pictures and names: a picture the phone would not
// take, dropped on the phone list, goes over as a fitted copy once the user
// says Yes; the PC list shows small pictures of what can be decoded, and
// long names cut in the middle.
#include "tests/win32/WindowRig.h"

#include "content/PcScan.h"

namespace {

using namespace windowrig;
using win32gui::idAnimation;
using win32gui::idFitToPhone;
using win32gui::idPcList;
using win32gui::idPicture;
using win32gui::idShowAll;

// A 24-bit bottom-up BMP of w x h, far over the page's size and dimensions;
// bands of plain colour, so its copy is small and quick to send.
std::string MakeBmp(int w, int h) {
  const int row = (w * 3 + 3) & ~3;
  const uint32_t data = static_cast<uint32_t>(row * h), total = 54 + data;
  std::string b(total, '\0');
  auto put = [&b](size_t at, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  put(2, total, 4);
  put(10, 54, 4);
  put(14, 40, 4);
  put(18, static_cast<uint32_t>(w), 4);
  put(22, static_cast<uint32_t>(h), 4);
  put(26, 1, 2);
  put(28, 24, 2);
  put(34, data, 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c)
        b[54 + static_cast<size_t>(y) * row + x * 3 + c] = static_cast<char>(y / 100 * 40 + c * 60);
  return b;
}

int RowImage(HWND list, const std::wstring& name) {
  const std::vector<std::wstring> rows = Column(list);
  const auto at = std::find(rows.begin(), rows.end(), name);
  if (at == rows.end()) return -100;
  LVITEMW item{};
  item.mask = LVIF_IMAGE;
  item.iItem = static_cast<int>(at - rows.begin());
  SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  return item.iImage;
}

class WindowFitTest : public WindowRig {
 protected:
  // The system's own boxes (no test hook takes them here): each one's
  // text is kept, and it is answered Yes, or OK when it has no Yes.
  void AnswerBoxesYes() {
    window_->boxSeen = nullptr;
    AnswerDialogs([this](HWND box) {
      asked_.push_back(DialogText(box));
      Press(box, GetDlgItem(box, IDYES) ? IDYES : IDOK);
      return true;
    });
  }
  std::vector<std::wstring> asked_;
};

TEST_F(WindowFitTest, DroppedPictureTooLargeGoesAsAFittedCopyAfterYes) {
  const std::string original = MakeBmp(900, 700);
  std::ofstream(PcFolder() / L"huge.bmp", std::ios::binary) << original;
  // Listed by the page's header rules, but no decoder can make a picture of it.
  std::ofstream(PcFolder() / L"broken.jpg", std::ios::binary)
      << std::string("\xFF\xD8\xFF\xC0\x00\x11\x08\x00\x10\x00\x10\x03\x01\x22\x00", 15) << std::string(40, '\x55');
  OpenPage(idPicture);
  ASSERT_TRUE(PumpUntil([this] { return window_->ThumbnailsPending() == 0; }));
  EXPECT_LT(RowImage(C(idPcList), L"broken.jpg"), 0) << "a picture for a file that cannot be decoded";
  EXPECT_TRUE(boxes_.empty()) << "a box for a file without a thumbnail";

  AnswerBoxesYes();
  window_->DropOnPhoneList({Utf8((PcFolder() / L"huge.bmp").wstring())});
  ASSERT_TRUE(PumpUntilIdle());
  // One question, naming the file; nothing else to tell.
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_NE(asked_[0].find(L"huge.bmp"), std::wstring::npos) << asked_[0];
  const fs::path copy = PcFolder() / L"huge-fit.jpg";
  ASSERT_TRUE(fs::exists(copy));
  EXPECT_EQ(pcscan::JudgeFile(3, Utf8(copy.wstring())).reason, pcscan::TReason::None);
  EXPECT_EQ(ReadAll(PhoneFolder(3) / L"huge-fit.jpg"), ReadAll(copy));
  EXPECT_FALSE(fs::exists(PhoneFolder(3) / L"huge.bmp"));
  EXPECT_EQ(ReadAll(PcFolder() / L"huge.bmp"), original) << "the original changed";
  // The page read its folder again: the copy is listed with its picture.
  ASSERT_TRUE(PumpUntil([this] { return window_->ThumbnailsPending() == 0; }));
  EXPECT_GE(RowImage(C(idPcList), L"huge-fit.jpg"), 0);
  EXPECT_LT(RowImage(C(idPcList), L"broken.jpg"), 0);
}

// "Fit to phone" offers itself for one greyed picture it can fit, on the
// picture page only, and makes the copy beside it, selected in the list.
TEST_F(WindowFitTest, FitToPhoneMakesTheCopyOfTheSelectedGreyedPicture) {
  const std::string original = MakeBmp(700, 900);
  std::ofstream(PcFolder() / L"tall.bmp", std::ios::binary) << original;
  OpenPage(idAnimation);
  EXPECT_FALSE(IsWindowVisible(C(idFitToPhone)));
  OpenPage(idPicture);
  Click(idShowAll);
  ASSERT_TRUE(PumpUntilIdle());
  EXPECT_TRUE(IsWindowVisible(C(idFitToPhone)));
  Select(idPcList, {L"spinner.gif"});  // an animation: nothing to fit
  EXPECT_FALSE(IsWindowEnabled(C(idFitToPhone)));
  Select(idPcList, {L"tall.bmp"});
  ASSERT_TRUE(IsWindowEnabled(C(idFitToPhone)));
  Click(idFitToPhone);
  ASSERT_TRUE(PumpUntilIdle());
  EXPECT_TRUE(boxes_.empty()) << boxes_.front();
  const fs::path copy = PcFolder() / L"tall-fit.jpg";
  ASSERT_TRUE(fs::exists(copy));
  EXPECT_EQ(pcscan::JudgeFile(3, Utf8(copy.wstring())).reason, pcscan::TReason::None);
  EXPECT_EQ(ReadAll(PcFolder() / L"tall.bmp"), original);
  const std::vector<std::wstring> rows = Rows(idPcList);
  const auto at = std::find(rows.begin(), rows.end(), L"tall-fit.jpg");
  ASSERT_NE(at, rows.end());
  EXPECT_EQ(SendMessageW(C(idPcList), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), at - rows.begin());
}

// A name wider than its column shows its start and its end with the middle
// cut; the row's tip and every action still have the whole name.
TEST_F(WindowFitTest, LongNamesAreCutInTheMiddleWithTheWholeNameAsTheTip) {
  const std::wstring name = L"a very long picture name from the camera roll of an \u00e9t\u00e9 \u97f3\u4e50 ending 0042.bmp";
  std::ofstream(PcFolder() / name, std::ios::binary) << MakeBmp(20, 20);
  OpenPage(idPicture);
  const std::vector<std::wstring> rows = Rows(idPcList);
  const auto cut = std::find_if(rows.begin(), rows.end(),
                                [](const std::wstring& r) { return r.find(L"\u2026") != std::wstring::npos; });
  ASSERT_NE(cut, rows.end()) << "no name was cut";
  const std::wstring shown = *cut;
  const size_t dots = shown.find(L"\u2026");
  EXPECT_EQ(name.compare(0, dots, shown, 0, dots), 0) << "the start is not the name's";
  EXPECT_TRUE(name.ends_with(shown.substr(dots + 1))) << "the end is not the name's";
  EXPECT_GT(dots, 4u);
  EXPECT_GT(shown.size() - dots - 1, 4u);

  wchar_t text[MAX_PATH] = L"";
  NMLVGETINFOTIPW tip{};
  tip.hdr.hwndFrom = C(idPcList);
  tip.hdr.idFrom = idPcList;
  tip.hdr.code = LVN_GETINFOTIPW;
  tip.pszText = text;
  tip.cchTextMax = MAX_PATH;
  tip.iItem = static_cast<int>(cut - rows.begin());
  SendMessageW(window_->Handle(), WM_NOTIFY, idPcList, reinterpret_cast<LPARAM>(&tip));
  EXPECT_EQ(std::wstring(text), name);

  // The narrower name column of "Show all files" cuts it anew.
  Click(idShowAll);
  ASSERT_TRUE(PumpUntilIdle());
  const std::vector<std::wstring> narrower = Rows(idPcList);
  const auto again = std::find_if(narrower.begin(), narrower.end(),
                                  [](const std::wstring& r) { return r.find(L"\u2026") != std::wstring::npos; });
  ASSERT_NE(again, narrower.end());
  EXPECT_LT(again->size(), shown.size());

  // Sent by its whole name.
  LVITEMW on{};
  on.stateMask = on.state = LVIS_SELECTED;
  SendMessageW(C(idPcList), LVM_SETITEMSTATE, static_cast<WPARAM>(again - narrower.begin()),
               reinterpret_cast<LPARAM>(&on));
  Click(win32gui::idSend);
  ASSERT_TRUE(PumpUntilIdle());
  EXPECT_TRUE(boxes_.empty()) << Utf8(boxes_.front());
  EXPECT_EQ(ReadAll(PhoneFolder(3) / name), MakeBmp(20, 20));
}

}  // namespace
