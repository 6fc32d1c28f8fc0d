// The backup's building blocks: its SHA-256, the sums file's lines and the
// choice of a folder name that never meets an earlier backup.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "content/Backup.h"
#include "content/Sha256.h"
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

}  // namespace
