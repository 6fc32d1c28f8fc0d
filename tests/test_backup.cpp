// The backup's building blocks: its SHA-256, the sums file's lines, the
// choice of a folder name that never meets an earlier backup, and the check
// a restore makes of a backup that anyone may have altered.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/core/BackupText.h"
#include "content/UiTextDecoder.h"
#include "content/Backup.h"
#include "content/Sha256.h"
#include "link/Batch.h"
#include "support/FaultHelpers.h"
#include "support/SimLink.h"
#include "support/TempDir.h"

namespace {

TEST(Sha256, Fips180Vectors) {
  const struct {
    std::string message;
    const char* digest;
  } cases[] = {
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Sha256Hex(c.message), c.digest) << c.message.size();
    // The same bytes in uneven pieces, across block boundaries.
    TSha256 pieces;
    for (size_t at = 0, step = 1; at < c.message.size(); at += step, step = step * 3 % 97 + 1)
      pieces.Update(std::string_view(c.message).substr(at, step));
    EXPECT_EQ(pieces.HexDigest(), c.digest) << c.message.size();
  }
  TempDir dir;
  dir.Write("a.bin", std::string(1000000, 'a'));
  EXPECT_EQ(Sha256File(dir.File("a.bin")), cases[3].digest);
  EXPECT_EQ(Sha256File(dir.File("missing.bin")), "");
}

TEST(BackupSums, LinesAsSha256sumWritesThem) {
  const std::string hex(64, 'a');
  const struct {
    std::string path, line;
  } cases[] = {
      {"pictures/OK (2).gif", hex + "  pictures/OK (2).gif\n"},
      {"melodies/a\\b.mid", "\\" + hex + "  melodies/a\\\\b.mid\n"},
      {"melodies/a\nb.mid", "\\" + hex + "  melodies/a\\nb.mid\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(backup::SumLine(hex, c.path), c.line);
    std::string gotHex, gotPath;
    ASSERT_TRUE(backup::ParseSumLine(c.line.substr(0, c.line.size() - 1), &gotHex, &gotPath)) << c.line;
    EXPECT_EQ(gotHex, hex);
    EXPECT_EQ(gotPath, c.path);
  }
  std::string h, p;
  for (const std::string& bad : {std::string(), hex, hex + " x", "zz" + hex.substr(2) + "  x", "\\" + hex + "  a\\qb"})
    EXPECT_FALSE(backup::ParseSumLine(bad, &h, &p)) << bad;
  EXPECT_TRUE(backup::ParseSumLine(hex + " *binary.gif", &h, &p));
}

TEST(BackupFolder, NeverMeetsAnEarlierBackup) {
  // Which names exist already, and the one the new backup gets.
  const struct {
    std::vector<std::string> existing;
    std::string expected;
  } cases[] = {
      {{}, "b"},
      {{"b"}, "b-2"},
      {{"b.partial"}, "b-2"},
      {{"b", "b-2.partial"}, "b-3"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    for (const std::string& name : c.existing) std::filesystem::create_directory(dir.File(name));
    std::string finalPath;
    EXPECT_EQ(backup::MakePartialFolder(dir.path(), "b", &finalPath), dir.File(c.expected + ".partial"));
    EXPECT_EQ(finalPath, dir.File(c.expected));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File(c.expected + ".partial")));
  }
  EXPECT_EQ(backup::BackupBaseName(0).size(), std::string("quendrel-backup-19700101-000000").size());
}

// One phone entry, one PC file: which entries of a listing the backup takes,
// on a file system that tells case apart and on one that does not.
TEST(BackupNames, NoTwoEntriesBecomeOneFile) {
  const struct {
    std::vector<std::string> listed;
    bool caseBlind;
    std::vector<size_t> held;
    std::vector<std::string> left;  // "name: why" in order
  } cases[] = {
      {{"a.gif", "b.gif"}, true, {0, 1}, {}},
      {{"a.gif", "a.gif", "b.gif"}, false, {0, 2}, {"a.gif: listed a second time; the backup holds one file of this name"}},
      {{"Sun.gif", "sun.GIF", "SUN.gif"}, false, {0, 1, 2}, {}},
      {{"Sun.gif", "sun.GIF", "x", "SUN.gif"}, true, {0, 2},
       {"sun.GIF: differs from Sun.gif only in case, which this PC's file system does not tell apart",
        "SUN.gif: differs from Sun.gif only in case, which this PC's file system does not tell apart"}},
      {{"", ".", "..", "a\\b.gif", "a/b.gif", std::string("a\0b", 3), "ok.gif"}, false, {6},
       {": a name this PC cannot hold as a file", ".: a name this PC cannot hold as a file",
        "..: a name this PC cannot hold as a file", "a\\b.gif: a name this PC cannot hold as a file",
        "a/b.gif: a name this PC cannot hold as a file", std::string("a\0b", 3) + ": a name this PC cannot hold as a file"}},
  };
  for (const auto& c : cases) {
    std::vector<backup::TNotBackedUp> left;
    EXPECT_EQ(backup::HoldableEntries(2, c.listed, c.caseBlind, &left), c.held) << c.listed.size();
    std::vector<std::string> named;
    for (const auto& e : left) {
      EXPECT_EQ(e.folder, 2);
      named.push_back(e.name + ": " + e.why);
    }
    EXPECT_EQ(named, c.left) << c.listed.size();
  }
  // This test system's folders tell case apart; the probe leaves nothing behind.
  TempDir dir;
  EXPECT_FALSE(backup::IgnoresCase(dir.path()));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  EXPECT_TRUE(backup::IgnoresCase(dir.File("missing")));
}

// Where backups go without --to: the documents folder as XDG names it.
TEST(BackupFolder, DefaultIsInTheDocumentsFolder) {
  TempDir home;
  home.Write("config/user-dirs.dirs", "# comment\nXDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n");
  const struct {
    const char* documentsEnv;  // XDG_DOCUMENTS_DIR, null when unset
    const char* configHome;    // below home, null when unset
    std::string expected;      // below home
  } cases[] = {
      {"/elsewhere/Docs", "config", ""},
      {nullptr, "config", "/Papers/Quendrel backups"},
      {nullptr, nullptr, "/Documents/Quendrel backups"},
  };
  setenv("HOME", home.path().c_str(), 1);
  for (const auto& c : cases) {
    if (c.documentsEnv) setenv("XDG_DOCUMENTS_DIR", c.documentsEnv, 1);
    else unsetenv("XDG_DOCUMENTS_DIR");
    if (c.configHome) setenv("XDG_CONFIG_HOME", home.File(c.configHome).c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(backup::DefaultBackupRoot(),
              c.documentsEnv ? std::string(c.documentsEnv) + "/Quendrel backups" : home.path() + c.expected);
  }
}

// The backup fetches its files with the batches' pause between them, as
// the phone's line times show.
TEST(BackupRun, PausesBetweenFiles) {
  SimLink rig;
  setenv("HOME", rig.dir.path().c_str(), 1);  // the transfer log's place
  for (const char* name : {"a.mid", "b.mid"}) rig.dir.Write(std::string("phone/1/") + name, std::string(300, 'm'));
  rig.link->SetClock(TClock(0.05));
  rig.Connect();
  faults::TimedLines lines([&rig] { return rig.sim->ReceivedLines(); });
  backup::TBackup run(*rig.link);
  EXPECT_TRUE(run.Run(rig.dir.File("backups"), 0));
  const faults::TimedLines::Gap gap = lines.GapBefore("AT*FDWN=\"b.mid\"");
  EXPECT_GE(gap.ms, kPauseBetweenFilesMs * rig.link->Clock().DelayScale()) << gap.before;
}

// The end box offers the backup's folder: opened only when the user asks,
// and a restore of a backup that is not whole is refused in a box of its own.
TEST(BackupRun, EndBoxesOfAWindowsRun) {
  for (const bool open : {false, true}) {
    SimLink rig;
    setenv("HOME", rig.dir.path().c_str(), 1);
    rig.dir.Write("phone/1/a.mid", std::string(300, 'm'));
    rig.link->SetClock(TClock(0.05));
    rig.Connect();
    rig.view.openBackupAnswers = {open};
    const backup::TBackupReport r = backup::BackUpAndTell(*rig.link, rig.dir.File("backups"), TEnglishDecoder());
    ASSERT_FALSE(r.folder.empty());
    ASSERT_EQ(rig.view.messages.size(), 1u);
    EXPECT_NE(rig.view.messages[0].find(r.folder), std::string::npos) << rig.view.messages[0];
    EXPECT_EQ(rig.view.opened, open ? std::vector<std::string>{r.folder} : std::vector<std::string>{});

    rig.view.messages.clear();
    rig.dir.Write(r.folder.substr(rig.dir.path().size() + 1) + "/melodies/a.mid", std::string(300, 'x'));
    const backup::TRestoreReport back = backup::RestoreAndTell(*rig.link, r.folder, {}, TEnglishDecoder());
    EXPECT_FALSE(back.bad.empty());
    ASSERT_EQ(rig.view.messages.size(), 1u);
    EXPECT_NE(rig.view.messages[0].find("melodies/a.mid"), std::string::npos) << rig.view.messages[0];
    EXPECT_EQ(rig.dir.Read("phone/1/a.mid"), std::string(300, 'm'));
  }
}

// ---- the check before a restore ----

namespace fs = std::filesystem;

const std::string kMelodyA = std::string("MThd\0\0\0\6", 8) + "melody a";
const std::string kMelodyB = std::string("MThd\0\0\0\6", 8) + "melody b";

void AddSum(const TempDir& dir, const std::string& rel, const std::string& bytes) {
  dir.Write("bk/SHA256SUMS", dir.Read("bk/SHA256SUMS") + backup::SumLine(Sha256Hex(bytes), rel));
}

// A whole backup in dir/bk as a backup writes it, and a secret file beside it.
void MakeBackup(const TempDir& dir) {
  dir.Write("bk/melodies/a.mid", kMelodyA);
  dir.Write("bk/melodies/b.mid", kMelodyB);
  fs::create_directories(dir.File("bk/animations"));
  fs::create_directories(dir.File("bk/pictures"));
  dir.Write("bk/suites.tsv", backup::SuitesText({{"Game", "1.0", "game.jar", 100}}));
  dir.Write("bk/SHA256SUMS", "");
  AddSum(dir, "melodies/a.mid", kMelodyA);
  AddSum(dir, "melodies/b.mid", kMelodyB);
  AddSum(dir, "suites.tsv", dir.Read("bk/suites.tsv"));
  dir.Write("secret.txt", kMelodyA);  // a PC file of the very bytes a sum names
}

// Each altered backup is refused whole (nothing to send), or its extra file
// is named and left out; none hangs on a pipe or reads without bound.
TEST(RestoreCheck, AlteredBackupsAreRefusedOrLeftOut) {
  using Tamper = std::function<bool(const TempDir&)>;  // false: cannot be made here
  // A file summed as it was and then changed, in whichever part of the backup.
  const auto altered = [](const std::string& rel) -> Tamper {
    return [rel](const TempDir& d) {
      if (!fs::exists(d.File("bk/" + rel))) AddSum(d, rel, kMelodyA);
      d.Write("bk/" + rel, d.Read("bk/" + rel) + "altered");
      return true;
    };
  };
  const auto fifo = [](const std::string& path) { return ::mkfifo(path.c_str(), 0600) == 0; };
  const struct {
    const char* what;
    Tamper tamper;
    std::vector<std::string> bad, extra;
    unsigned long long fileLimit = 0;  // bytes a file may have on this PC's disk; 0: any
    std::string pcFault = {};          // how it begins
    std::vector<std::string> lacks = {};
  } cases[] = {
      {"whole", [](const TempDir&) { return true; }, {}, {}},
      {"empty sums (a full disk)", [](const TempDir& d) { d.Write("bk/SHA256SUMS", ""); return true; },
       {"SHA256SUMS"}, {}},
      {"sums cut to the first line",
       [](const TempDir& d) {
         const std::string s = d.Read("bk/SHA256SUMS");
         d.Write("bk/SHA256SUMS", s.substr(0, s.find('\n') + 1));
         return true;
       },
       {"SHA256SUMS"}, {}},
      {"sums cut inside the last line's sum",
       [](const TempDir& d) {
         const std::string s = d.Read("bk/SHA256SUMS");
         d.Write("bk/SHA256SUMS", s.substr(0, s.rfind('\n', s.size() - 2) + 30));
         return true;
       },
       {"SHA256SUMS line 3"}, {}},
      {"a name summed twice",
       [](const TempDir& d) { AddSum(d, "melodies/a.mid", kMelodyA); return true; }, {"SHA256SUMS line 4"}, {}},
      {"sums as a Windows editor saves them: a BOM, CR LF, binary marks, the last line unended",
       [](const TempDir& d) {
         std::string s = "\xEF\xBB\xBF" + d.Read("bk/SHA256SUMS");
         for (size_t at; (at = s.find("  ")) != std::string::npos;) s.replace(at, 2, " *");
         for (size_t at = 0; (at = s.find('\n', at)) != std::string::npos; at += 2) s.replace(at, 1, "\r\n");
         d.Write("bk/SHA256SUMS", s.substr(0, s.size() - 2));
         return true;
       },
       {}, {}},
      {"a blank line in the sums",
       [](const TempDir& d) {
         const std::string s = d.Read("bk/SHA256SUMS");
         d.Write("bk/SHA256SUMS", s.substr(0, s.find('\n') + 1) + "\r\n" + s.substr(s.find('\n') + 1));
         return true;
       },
       {"SHA256SUMS line 2"}, {}},
      // This PC's own failures are told as such, never blamed on the backup.
      {"no temporary folder",
       [](const TempDir& d) { return setenv("TMPDIR", d.File("gone").c_str(), 1) == 0; }, {}, {}, 0,
       "Cannot make a temporary folder for the backup's files: "},
      {"a full disk under the copies", [](const TempDir&) { return true; }, {}, {}, 12,
       "Cannot copy melodies/a.mid to the temporary folder: File too large"},
      // A backup that never finished says what it lacks.
      {"unfinished, without the suites",
       [](const TempDir& d) {
         const std::string s = d.Read("bk/SHA256SUMS");
         d.Write("bk/SHA256SUMS", s.substr(0, s.rfind('\n', s.size() - 2) + 1));
         fs::rename(d.File("bk"), d.File("bk.partial"));
         return true;
       },
       {}, {}, 0, "", {"suites.tsv, the phone's suites", "any file of animations", "any file of pictures"}},
      {"unfinished, without sums",
       [](const TempDir& d) {
         fs::remove(d.File("bk/SHA256SUMS"));
         fs::rename(d.File("bk"), d.File("bk.partial"));
         return true;
       },
       {"SHA256SUMS"}, {}, 0, "", {"SHA256SUMS, so none of its files can be checked"}},
      {"huge sums",
       [](const TempDir& d) {
         fs::resize_file(d.File("bk/SHA256SUMS"), backup::kMaxSumsBytes + 1);
         return true;
       },
       {"SHA256SUMS"}, {}},
      {"endless sums",
       [](const TempDir& d) {
         fs::remove(d.File("bk/SHA256SUMS"));
         fs::create_symlink("/dev/zero", d.File("bk/SHA256SUMS"));
         return true;
       },
       {"SHA256SUMS"}, {}},
      {"sums a pipe",
       [&](const TempDir& d) { fs::remove(d.File("bk/SHA256SUMS")); return fifo(d.File("bk/SHA256SUMS")); },
       {"SHA256SUMS"}, {}},
      {"suites.tsv altered", altered("suites.tsv"), {"suites.tsv"}, {}},
      {"a melody altered", altered("melodies/b.mid"), {"melodies/b.mid"}, {}},
      {"an animation altered", altered("animations/x.gif"), {"animations/x.gif"}, {}},
      {"a picture altered", altered("pictures/x.gif"), {"pictures/x.gif"}, {}},
      {"a name outside the folders",
       [](const TempDir& d) { AddSum(d, "melodies/../../secret.txt", kMelodyA); return true; },
       {"melodies/../../secret.txt"}, {}},
      {"an extra file and a file manager's own",
       [](const TempDir& d) {
         for (const char* n : {"melodies/extra.mid", "melodies/Thumbs.db", "pictures/.DS_Store", "pictures/desktop.ini"})
           d.Write(std::string("bk/") + n, kMelodyB);
         return true;
       },
       {}, {"melodies/extra.mid"}},
      {"a link out to a file of the summed bytes",
       [](const TempDir& d) {
         fs::remove(d.File("bk/melodies/a.mid"));
         fs::create_symlink(d.File("secret.txt"), d.File("bk/melodies/a.mid"));
         return true;
       },
       {"melodies/a.mid"}, {}},
      {"a link to a device",
       [](const TempDir& d) {
         fs::create_symlink("/dev/zero", d.File("bk/melodies/z.mid"));
         AddSum(d, "melodies/z.mid", "");
         return true;
       },
       {"melodies/z.mid"}, {}},
      {"a pipe named in the sums",
       [&](const TempDir& d) {
         AddSum(d, "melodies/p.mid", "");
         return fifo(d.File("bk/melodies/p.mid"));
       },
       {"melodies/p.mid"}, {}},
      {"a pipe not named", [&](const TempDir& d) { return fifo(d.File("bk/pictures/p.gif")); }, {"pictures/p.gif"}, {}},
      {"a character device",
       [](const TempDir& d) {
         AddSum(d, "melodies/null.mid", "");
         return ::mknod(d.File("bk/melodies/null.mid").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;
       },
       {"melodies/null.mid"}, {}},
      {"a folder linked elsewhere",
       [](const TempDir& d) {
         fs::remove(d.File("bk/pictures"));
         fs::create_symlink(d.path(), d.File("bk/pictures"));
         return true;
       },
       {"pictures"}, {}},
      {"a file past the bound",
       [](const TempDir& d) {
         d.Write("bk/melodies/big.mid", "");
         fs::resize_file(d.File("bk/melodies/big.mid"), backup::kMaxFileBytes + 1);
         AddSum(d, "melodies/big.mid", "");
         return true;
       },
       {"melodies/big.mid"}, {}},
  };
  const char* tmpBefore = std::getenv("TMPDIR");
  const std::string tmp = tmpBefore ? tmpBefore : "";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    MakeBackup(dir);
    if (!c.tamper(dir)) {
      std::printf("not made here: %s\n", c.what);
      continue;
    }
    const auto t0 = std::chrono::steady_clock::now();
    const std::string folder = dir.File(fs::exists(dir.File("bk")) ? "bk" : "bk.partial");
    const backup::TBackupContents got =
        c.fileLimit ? faults::UnderFileSizeLimit(c.fileLimit, [&] { return backup::CheckBackup(folder); })
                    : backup::CheckBackup(folder);
    if (tmpBefore) setenv("TMPDIR", tmp.c_str(), 1);
    else unsetenv("TMPDIR");
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3));
    EXPECT_EQ(got.bad, c.bad);
    EXPECT_EQ(got.extra, c.extra);
    EXPECT_EQ(got.lacks, c.lacks);
    EXPECT_EQ(got.unfinished, folder != dir.File("bk"));
    EXPECT_EQ(got.pcFault.substr(0, c.pcFault.size()), c.pcFault);
    EXPECT_EQ(got.pcFault.empty(), c.pcFault.empty()) << got.pcFault;
    if (!c.bad.empty() || !c.pcFault.empty()) {
      EXPECT_TRUE(got.files.empty());
      continue;
    }
    // What would be sent is a private copy of the bytes checked.
    ASSERT_EQ(got.files.size(), 2u);
    EXPECT_EQ(got.suites.size(), got.unfinished ? 0u : 1u);
    for (const backup::TBackupFile& f : got.files) {
      EXPECT_EQ(f.path.rfind(dir.path(), 0), std::string::npos) << f.path;
      std::ifstream in(f.path, std::ios::binary);
      EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), f.name == "a.mid" ? kMelodyA : kMelodyB);
    }
  }
}

// A file swapped for a link after the check: the phone still gets the
// bytes that were checked, never the file the link points at.
TEST(RestoreCheck, WhatIsSentIsWhatWasChecked) {
  SimLink rig;
  rig.link->SetClock(TClock(0.02));  // the pauses between files, not the bytes, would take the time
  setenv("HOME", rig.dir.path().c_str(), 1);  // the transfer log's place
  rig.Connect();
  MakeBackup(rig.dir);
  const backup::TBackupContents contents = backup::CheckBackup(rig.dir.File("bk"));
  ASSERT_TRUE(contents.bad.empty());
  rig.dir.Write("secret.txt", std::string("MThd\0\0\0\6", 8) + "the PC's own secret");
  fs::remove(rig.dir.File("bk/melodies/a.mid"));
  fs::create_symlink(rig.dir.File("secret.txt"), rig.dir.File("bk/melodies/a.mid"));
  rig.dir.Write("bk/melodies/b.mid", std::string("MThd\0\0\0\6", 8) + "changed");
  backup::TRestore restore(*rig.link, contents);
  ASSERT_TRUE(restore.MakePlan());
  ASSERT_TRUE(restore.Send()) << ::testing::PrintToString(rig.view.messages);
  EXPECT_EQ(rig.dir.Read("phone/1/a.mid"), kMelodyA);
  EXPECT_EQ(rig.dir.Read("phone/1/b.mid"), kMelodyB);
}

// The restore compares names as the phone does and bytes when asked to;
// a file of the backup that is not on the phone as it was is named.
TEST(RestoreRun, WhatThePhoneHoldsAfterwards) {
  const std::string kTuneA = kMelodyA + "A", kTuneB = kMelodyB + "bb";
  const struct {
    const char* what;
    bool caseBlind, verify;
    std::vector<std::pair<std::string, std::string>> onPhone;  // melodies before
    std::vector<std::pair<std::string, std::string>> expected;  // melodies after
    std::vector<std::string> notRestored;
  } cases[] = {
      {"names equal but for case, onto an empty phone", false, false, {},
       {{"Tune.mid", kTuneA}, {"a.mid", kMelodyA}, {"b.mid", kMelodyB}, {"tune.mid", kTuneB}}, {}},
      {"the same onto a phone that ignores case", true, false, {},
       {{"Tune.mid", kTuneB}, {"a.mid", kMelodyA}, {"b.mid", kMelodyB}},
       {"tune.mid: the phone keeps it as Tune.mid: it does not tell names apart by case"}},
      {"a clash kept as the phone had it", false, false, {{"b.mid", "other"}},
       {{"Tune.mid", kTuneA}, {"a.mid", kMelodyA}, {"b.mid", "other"}, {"tune.mid", kTuneB}},
       {"b.mid: the phone's own b.mid was kept in its place"}},
      {"other bytes of the same size, compared", false, true, {{"a.mid", std::string(kMelodyA.size(), 'x')}},
       {{"Tune.mid", kTuneA}, {"a.mid", kMelodyA}, {"b.mid", kMelodyB}, {"tune.mid", kTuneB}}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    phonesim::Options o;
    o.caseBlind = c.caseBlind;
    SimLink rig(o);
    rig.link->SetClock(TClock(0.02));
    setenv("HOME", rig.dir.path().c_str(), 1);  // the transfer log's place
    for (const auto& [name, bytes] : c.onPhone) rig.dir.Write("phone/1/" + name, bytes);
    rig.Connect();
    MakeBackup(rig.dir);
    rig.dir.Write("bk/melodies/Tune.mid", kTuneA);
    rig.dir.Write("bk/melodies/tune.mid", kTuneB);
    AddSum(rig.dir, "melodies/Tune.mid", kTuneA);
    AddSum(rig.dir, "melodies/tune.mid", kTuneB);
    backup::TRestoreOptions options;
    options.verify = c.verify;
    const backup::TRestoreReport r = backup::RestoreFromBackup(*rig.link, rig.dir.File("bk"), options);
    std::vector<std::string> named;
    for (const backup::TNotBackedUp& e : r.notRestored) named.push_back(e.name + ": " + e.why);
    EXPECT_EQ(named, c.notRestored);
    EXPECT_EQ(r.Whole(), c.notRestored.empty()) << ::testing::PrintToString(rig.view.messages);
    std::vector<std::pair<std::string, std::string>> after;
    for (const auto& [name, bytes] : faults::Snapshot(rig.dir.File("phone/1"))) after.emplace_back(name, bytes);
    EXPECT_EQ(after, c.expected);
  }
}

// A folder the phone will not list leaves the backup under its partial name.
TEST(BackupRun, AFolderThePhoneRefusesKeepsThePartialName) {
  phonesim::Options o;
  o.errorPrefix = "AT*FLIST=2";
  SimLink rig(o);
  setenv("HOME", rig.dir.path().c_str(), 1);
  rig.dir.Write("phone/1/a.mid", kMelodyA);
  rig.link->SetClock(TClock(0.05));
  rig.Connect();
  backup::TBackup run(*rig.link);
  EXPECT_FALSE(run.Run(rig.dir.File("backups"), 0));
  EXPECT_EQ(run.UnlistedFolders(), std::vector<int>{2});
  EXPECT_EQ(fs::path(run.Folder()).extension().string(), backup::kPartialSuffix);
  EXPECT_TRUE(fs::is_directory(run.Folder()));
}

}  // namespace
