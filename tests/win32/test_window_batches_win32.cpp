// The batches the Linux tests run through the Qt window and the command
// line, run here through the native window and the command line, each on
// an in-memory phone of its own (the rows whose fault that phone can
// play): both end with the same files on both sides and the same verdict,
// the batch goes through or not as the row says, and nothing is left
// half-written on either side.
#include <windows.h>

#include <functional>
#include <map>

#include "app/cli/CliCommands.h"
#include "tests/win32/WindowRig.h"
#include "virtualphone/EnginePort.h"

using namespace win32gui;
using namespace windowrig;

namespace {

using TFiles = std::map<std::wstring, std::string>;

// A picture the page lists, its bytes after the header set by seed.
std::string Picture(int seed) {
  std::string body;
  for (int i = 0; i < 480; ++i) body.push_back(static_cast<char>((i * 31 + seed * 17 + i / 7) & 0xFF));
  return "BM" + std::string(16, '\0') + std::string("\x10\0\0\0\x10\0\0\0", 8) + body;
}

enum class TOp { Send, Fetch, Remove, RemovePc };

struct BatchRow {
  const char* label;
  TOp op;
  std::vector<std::wstring> names = {};  // what the batch takes, in list order
  TFiles pc = {}, phone = {};            // the PC folder and the phone's picture folder at the start
  std::function<void(phonesim::Options&)> fault = [](phonesim::Options&) {};
  bool overwrite = true;  // the answer to the overwrite warning
  bool drop = false;      // dropped on the phone list rather than the button
  bool ok = true;         // the batch goes through (or is passed over by the user's answer)
};

void PrintTo(const BatchRow& r, std::ostream* os) { *os << r.label; }

// The PC folder at the start: the row's files and one picture outside the
// batch, so that the refresh afterwards has no empty folder to tell of.
TFiles PcAtStart(const BatchRow& row) {
  TFiles files = row.pc;
  files.emplace(L"keep.bmp", Picture(30));
  return files;
}

TFiles Snapshot(const fs::path& folder) {
  TFiles files;
  for (const std::wstring& name : FilesIn(folder)) files[name] = ReadAll(folder / name);
  return files;
}

void Write(const fs::path& folder, const TFiles& files) {
  std::error_code ec;
  fs::remove_all(folder, ec);
  fs::create_directories(folder);
  for (const auto& [name, bytes] : files) std::ofstream(folder / name, std::ios::binary) << bytes;
}

// Where a batch that went through leaves both sides.
std::pair<TFiles, TFiles> Expected(const BatchRow& row) {
  TFiles pc = PcAtStart(row), phone = row.phone;
  for (const std::wstring& n : row.names) {
    if (row.op == TOp::Send && (!phone.count(n) || row.overwrite)) phone[n] = pc.at(n);
    if (row.op == TOp::Fetch && (!pc.count(n) || row.overwrite)) pc[n] = phone.at(n);
    if (row.op == TOp::Remove) phone.erase(n);
    if (row.op == TOp::RemovePc) pc.erase(n);
  }
  return {pc, phone};
}

std::string Names(const TFiles& files) {
  std::string out;
  for (const auto& [name, bytes] : files) out += Utf8(name) + " (" + std::to_string(bytes.size()) + ") ";
  return out;
}

// The row run by the command line's own command on a phone of its own with
// the same start: the PC folder and the phone's picture folder after it,
// and whether it exited 0.
struct CliOutcome {
  TFiles pc, phone;
  bool ok;
};

CliOutcome OnCommandLine(const BatchRow& row, const fs::path& home) {
  const fs::path pc = home / L"pc", phone = home / L"phone";
  Write(pc, PcAtStart(row));
  for (const wchar_t* f : {L"1", L"2", L"4"}) fs::create_directories(phone / f);
  Write(phone / L"3", row.phone);
  TCliOptions opt;
  opt.port = "COM99";
  opt.onConflict = row.overwrite ? "overwrite" : "skip";
  // A drop's twin judges the files as the phone list does.
  opt.onlySuitable = row.drop;
  opt.to = Utf8(pc.wstring());
  // The phone in memory answers at once: its pauses and waits may run fast.
  opt.timeScale = 0.1;
  opt.backend = [&row, &phone]() -> std::unique_ptr<IComBackend> {
    phonesim::Options o;
    o.contentDir = Utf8(phone.wstring());
    row.fault(o);
    return std::make_unique<phonesim::EngineBackend>(o);
  };
  std::vector<std::string> args = {row.op == TOp::Send ? "put" : row.op == TOp::Fetch ? "get" : "rm", "3"};
  if (row.op == TOp::RemovePc) args = {"trash"};
  const bool pcFiles = row.op == TOp::Send || row.op == TOp::RemovePc;
  for (const std::wstring& n : row.names) args.push_back(Utf8(pcFiles ? (pc / n).wstring() : n));
  const int status = RunCliCommand(opt, args);
  return {Snapshot(pc), Snapshot(phone / L"3"), status == 0};
}

class WindowBatchTest : public WindowRig, public ::testing::WithParamInterface<BatchRow> {};

TEST_P(WindowBatchTest, EndsAsTheRowSaysWithOnlyWholeFiles) {
  const BatchRow& row = GetParam();
  const fs::path pc = home_ / L"pc";
  Write(pc, PcAtStart(row));
  Write(PhoneFolder(3), row.phone);
  answer_ = Utf8(pc.wstring());
  // The phone is the same from the start: the page's opening meets its faults too.
  phonesim::Options o = engine_->GetOptions();
  row.fault(o);
  engine_->SetOptions(o);
  // Every box and question is shown as the user sees it and answered here.
  std::string said;
  window_->boxSeen = nullptr;
  AnswerDialogs([&](HWND dialog) {
    if (ChildOf(dialog, L"Button", L"Rename")) {
      Press(dialog, row.overwrite ? L"OK" : L"Cancel");
    } else {
      said += Utf8(DialogText(dialog)) + "\n";
      Press(dialog, IDOK);
    }
    return true;
  });
  OpenPage(idPicture);
  said.clear();  // an empty folder on opening is no part of the batch
  const bool send = row.op == TOp::Send;
  if (send && row.drop) {
    std::vector<std::string> paths;
    for (const std::wstring& n : row.names) paths.push_back(Utf8((pc / n).wstring()));
    window_->DropOnPhoneList(paths);
  } else {
    const bool onPc = row.op == TOp::RemovePc;
    Select(send || onPc ? idPcList : idPhoneList, row.names);
    Click(send ? idSend : row.op == TOp::Fetch ? idFetch : onPc ? idRemovePc : idRemovePhone);
  }
  ASSERT_TRUE(PumpUntil([this] { return window_->SessionIdle(); }, 60000));
  ASSERT_TRUE(PumpUntilIdle());
  AnswerDialogs(nullptr);
  const TFiles pcAfter = Snapshot(pc), phoneAfter = Snapshot(PhoneFolder(3));
  EXPECT_EQ(said.empty(), row.ok) << said;
  if (row.ok) {
    const auto [pcWanted, phoneWanted] = Expected(row);
    EXPECT_TRUE(pcAfter == pcWanted) << Names(pcAfter);
    EXPECT_TRUE(phoneAfter == phoneWanted) << Names(phoneAfter);
  }
  // Nothing half-written on either side: each file is as it was, or a whole copy of the other side's.
  auto whole = [](const TFiles& after, const TFiles& before, const TFiles& other) {
    for (const auto& [name, bytes] : after)
      EXPECT_TRUE((before.count(name) && before.at(name) == bytes) || (other.count(name) && other.at(name) == bytes))
          << Utf8(name);
  };
  whole(pcAfter, PcAtStart(row), row.phone);
  whole(phoneAfter, row.phone, row.pc);
  // The command line ends the same way.
  const CliOutcome cli = OnCommandLine(row, home_ / L"cli");
  EXPECT_TRUE(cli.pc == pcAfter) << "command line: " << Names(cli.pc) << "\nwindow: " << Names(pcAfter);
  EXPECT_TRUE(cli.phone == phoneAfter) << "command line: " << Names(cli.phone) << "\nwindow: " << Names(phoneAfter);
  EXPECT_EQ(cli.ok, said.empty()) << said;
  // What both fronts put in the Recycle Bin, twice each.
  if (row.op == TOp::RemovePc) {
    TFiles removed;
    for (const std::wstring& n : row.names) removed[n] = PcAtStart(row).at(n);
    EXPECT_TRUE(TakeOutOfTheBin(removed));
    EXPECT_TRUE(TakeOutOfTheBin(removed));
  }
  // The page shows what the phone holds.
  const std::vector<std::wstring> rows = Rows(idPhoneList);
  if (row.ok) {
    EXPECT_EQ(std::set<std::wstring>(rows.begin(), rows.end()), FilesIn(PhoneFolder(3)));
  }
}

const TFiles kTwo = {{L"a.bmp", Picture(31)}, {L"b.bmp", Picture(32)}};
const TFiles kThree = {{L"a.bmp", Picture(31)}, {L"b.bmp", Picture(32)}, {L"c.bmp", Picture(33)}};
const TFiles kOld = {{L"a.bmp", Picture(34)}};

INSTANTIATE_TEST_SUITE_P(
    Batches, WindowBatchTest,
    ::testing::Values(
        BatchRow{.label = "send two", .op = TOp::Send, .names = {L"a.bmp", L"b.bmp"}, .pc = kTwo},
        BatchRow{.label = "send two dropped", .op = TOp::Send, .names = {L"a.bmp", L"b.bmp"}, .pc = kTwo,
                 .drop = true},
        BatchRow{.label = "send two dropped, one the phone would not take", .op = TOp::Send,
                 .names = {L"a.bmp", L"notes.txt"}, .pc = {{L"a.bmp", Picture(31)}, {L"notes.txt", "a note"}},
                 .drop = true, .ok = false},
        BatchRow{.label = "send onto a clash, overwrite", .op = TOp::Send, .names = {L"a.bmp"}, .pc = kTwo,
                 .phone = kOld},
        BatchRow{.label = "send onto a clash, skip", .op = TOp::Send, .names = {L"a.bmp", L"b.bmp"}, .pc = kTwo,
                 .phone = kOld, .overwrite = false},
        BatchRow{.label = "send onto a clash, the listing refused", .op = TOp::Send, .names = {L"a.bmp"},
                 .pc = kTwo, .phone = kOld, .fault = [](phonesim::Options& o) { o.errorPrefix = "AT*FLIST?"; },
                 .overwrite = false, .ok = false},
        BatchRow{.label = "fetch two", .op = TOp::Fetch, .names = {L"a.bmp", L"b.bmp"}, .phone = kTwo},
        BatchRow{.label = "fetch two onto a PC file, skip", .op = TOp::Fetch, .names = {L"a.bmp", L"b.bmp"},
                 .pc = kOld, .phone = kTwo, .overwrite = false},
        BatchRow{.label = "remove two", .op = TOp::Remove, .names = {L"a.bmp", L"b.bmp"}, .phone = kThree},
        BatchRow{.label = "remove two on the PC", .op = TOp::RemovePc, .names = {L"a.bmp", L"b.bmp"}, .pc = kThree,
                 .phone = kOld},
        BatchRow{.label = "fetch two, the first one's packets out of order", .op = TOp::Fetch,
                 .names = {L"a.bmp", L"b.bmp"}, .phone = kTwo,
                 .fault = [](phonesim::Options& o) { o.swapDownloadPacket = 2; }, .ok = false}));

}  // namespace
