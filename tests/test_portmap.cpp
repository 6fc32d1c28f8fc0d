// Port names: the settings store's own entries, then the system's devices
// under fixed names.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "app/qt/QtPlatform.h"
#include "port/ComPort.h"
#include "link/PortMap.h"
#include "link/Settings.h"
#include "support/TempDir.h"

namespace {

class PortMapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("qd_portmap_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    SetSettingsStoreFolder(dir_.string());
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

std::vector<std::string> Names(const std::vector<TPortEntry>& map) {
  std::vector<std::string> out;
  for (const auto& e : map) out.push_back(e.name);
  return out;
}

}  // namespace

TEST(PortNames, FixedFamilyNames) {
  struct Case {
    const char* device;
    const char* name;
  };
  const std::vector<Case> cases = {
      {"/dev/ttyS0", "COM1"},     {"/dev/ttyS3", "COM4"},     {"/dev/ttyS31", "COM32"},
      {"/dev/ttyUSB0", "COM33"},  {"/dev/ttyUSB12", "COM45"}, {"/dev/ttyUSB31", "COM64"},
      {"/dev/ttyACM0", "COM65"},  {"/dev/ttyACM31", "COM96"},
      // Past 31 a unit would take the next family's names.
      {"/dev/ttyS32", ""},        {"/dev/ttyUSB32", ""},      {"/dev/ttyACM99", ""},
      {"/dev/ttyS", ""},          {"/dev/ttyS01", ""},        {"/dev/ttyS1a", ""},
      {"/dev/ttyAMA0", ""},       {"/dev/pts/3", ""},         {"ttyS0", ""},
      {"/tmp/ttyS0", ""},         {"", ""},                   {"/dev/ttyUSB-1", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(PortNameForDevice(c.device), c.name) << c.device;
}

TEST_F(PortMapTest, StoreEntriesFirstInNaturalOrder) {
  AddPortMapEntry("COM40", "/tmp/a");
  AddPortMapEntry("COM100", "/tmp/c");
  AddPortMapEntry("COM9", "/tmp/b");
  AddPortMapEntry("PHONE", "/tmp/d");
  const auto map = SerialPortMap();
  ASSERT_GE(map.size(), 4u);
  EXPECT_EQ(Names({map.begin(), map.begin() + 4}),
            (std::vector<std::string>{"COM9", "COM40", "COM100", "PHONE"}));
  EXPECT_EQ(map[0].device, "/tmp/b");
  EXPECT_EQ(Names(SerialPortMap()), Names(map)) << "order not stable";

  std::set<std::string> seen;
  for (const auto& e : map) EXPECT_TRUE(seen.insert(e.name).second) << "duplicate " << e.name;
  // System devices follow, in COM-number order.
  int last = 0;
  for (size_t i = 4; i < map.size(); ++i) {
    EXPECT_EQ(PortNameForDevice(map[i].device), map[i].name);
    int n = std::stoi(map[i].name.substr(3));
    EXPECT_GT(n, last);
    last = n;
  }
}

TEST_F(PortMapTest, StoreEntryWinsOverSystemName) {
  AddPortMapEntry("COM1", "/tmp/mine");
  AddPortMapEntry("COM33", "/tmp/mine2");
  int com1 = 0;
  for (const auto& e : SerialPortMap()) {
    if (e.name == "COM1") {
      ++com1;
      EXPECT_EQ(e.device, "/tmp/mine");
    }
  }
  EXPECT_EQ(com1, 1);
  EXPECT_EQ(ResolvePortDevice("COM33"), "/tmp/mine2");
}

TEST_F(PortMapTest, ResolveAndRemove) {
  AddPortMapEntry("COM40", "/dev/pts/40");
  struct Case {
    const char* port;
    const char* device;
  };
  const std::vector<Case> cases = {{"COM40", "/dev/pts/40"}, {"com40", "/dev/pts/40"},
                                   {"/dev/ttyX9", "/dev/ttyX9"}, {"COM999", ""}, {"", ""}};
  for (const Case& c : cases) EXPECT_EQ(ResolvePortDevice(c.port), c.device) << c.port;
  RemovePortMapEntry("COM40");
  EXPECT_EQ(ResolvePortDevice("COM40"), "");
}

TEST_F(PortMapTest, UnstorableNamesIgnored) {
  AddPortMapEntry("A/B", "/tmp/x");
  AddPortMapEntry("", "/tmp/y");
  AddPortMapEntry("EMPTY", "");
  for (const auto& e : SerialPortMap()) {
    EXPECT_NE(e.device, "/tmp/x");
    EXPECT_NE(e.device, "/tmp/y");
    EXPECT_NE(e.name, "EMPTY");
  }
}

TEST(PortMapSession, SessionPortComesFirstAndIsNeverStored) {
  TempDir dir;
  IsolateSettings(dir);
  AddPortMapEntry("COM40", "/dev/stored");
  AddSessionPortEntry("COM99", "/dev/pts/77");
  AddSessionPortEntry("com99", "/dev/pts/78");  // same name again replaces it
  std::vector<TPortEntry> map = SerialPortMap();
  ASSERT_GE(map.size(), 2u);
  EXPECT_EQ(map[0].name, "com99");
  EXPECT_EQ(map[0].device, "/dev/pts/78");
  EXPECT_EQ(map[1].name, "COM40");
  EXPECT_EQ(ResolvePortDevice("COM99"), "/dev/pts/78");
  auto store = OpenSettingsStore();
  store->beginGroup(kSerialCommGroup);
  EXPECT_EQ(store->childKeys(), QStringList{"COM40"});
  RemoveSessionPortEntry("COM99");
  EXPECT_EQ(ResolvePortDevice("COM99"), "");
}
