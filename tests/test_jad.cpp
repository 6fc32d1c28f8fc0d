// Descriptor attribute reading, lenient numbers, version order and marks.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "content/MidletPage.h"

namespace {

struct AttrCase {
  const char* label;
  std::string text;
  const char* key;
  bool found;
  std::string value;
};

TEST(GetJadAttribute, Table) {
  const AttrCase cases[] = {
      {"LF lines", "MIDlet-Name: Game\nMIDlet-Version: 1.0\n", "MIDlet-Version", true, "1.0"},
      {"CR LF lines", "MIDlet-Name: Game\r\nMIDlet-Version: 1.0\r\n", "MIDlet-Version", true, "1.0"},
      {"CR LF first line", "MIDlet-Name: Game\r\nMIDlet-Version: 1.0\r\n", "MIDlet-Name", true, "Game"},
      {"last line without end", "A: 1\nMIDlet-Version: 2.0", "MIDlet-Version", true, "2.0"},
      {"last line CR without LF", "A: 1\nMIDlet-Version: 2.0\r", "MIDlet-Version", true, "2.0"},
      {"only line, no end", "MIDlet-Vendor: Acme", "MIDlet-Vendor", true, "Acme"},
      {"wrong case key", "midlet-name: Game\n", "MIDlet-Name", false, ""},
      {"wrong case text", "MIDlet-Name: Game\n", "MIDLET-NAME", false, ""},
      {"byte-order mark hides first line", "\xEF\xBB\xBFMIDlet-Name: Game\nMIDlet-Vendor: V\n", "MIDlet-Name",
       false, ""},
      {"byte-order mark, later line read", "\xEF\xBB\xBFMIDlet-Name: Game\nMIDlet-Vendor: V\n", "MIDlet-Vendor",
       true, "V"},
      {"duplicate: first wins", "MIDlet-Name: One\nMIDlet-Name: Two\n", "MIDlet-Name", true, "One"},
      {"longer key is a carrying line", "MIDlet-Name2: x\n", "MIDlet-Name", true, "2: x"},
      {"longer key before the real one", "MIDlet-Name2: x\nMIDlet-Name: Game\n", "MIDlet-Name", true, "2: x"},
      {"colon, no blank", "MIDlet-Name:Game\n", "MIDlet-Name", true, "Game"},
      {"blank, no colon", "MIDlet-Name Game\n", "MIDlet-Name", true, "Game"},
      {"blanks both sides", "MIDlet-Name  :  Game\n", "MIDlet-Name", true, "Game"},
      {"trailing blanks dropped", "Key  :  v  \n", "Key", true, "v"},
      {"trailing blanks before CR LF", "Key: v  \r\n", "Key", true, "v"},
      {"inner blanks kept", "Key: a b  \n", "Key", true, "a b"},
      {"tab after key not skipped", "MIDlet-Name\t: Game\n", "MIDlet-Name", true, "\t: Game"},
      {"tab after colon not skipped", "MIDlet-Name:\tGame\n", "MIDlet-Name", true, "\tGame"},
      {"trailing tab kept", "Key: v\t\n", "Key", true, "v\t"},
      {"only one colon skipped", "Key:: v\n", "Key", true, ": v"},
      {"empty value is present", "MIDlet-Vendor:\nX: 1\n", "MIDlet-Vendor", true, ""},
      {"blank value is present", "MIDlet-Vendor:   \r\n", "MIDlet-Vendor", true, ""},
      {"key alone at end of text", "A: 1\nMIDlet-Vendor", "MIDlet-Vendor", true, ""},
      {"not in first column", " MIDlet-Name: Game\n", "MIDlet-Name", false, ""},
      {"inside another line", "X-MIDlet-Name: Game\n", "MIDlet-Name", false, ""},
      {"value has no line end of next line", "K: a\nL: b\n", "K", true, "a"},
      {"empty text", "", "MIDlet-Name", false, ""},
      {"empty lines first", "\n\r\n\nK: v\n", "K", true, "v"},
      {"key split across lines", "MIDlet-\nName: x\n", "MIDlet-Name", false, ""},
  };
  for (const AttrCase& c : cases) {
    std::string value = "untouched";
    bool found = GetJadAttribute(c.text, c.key, &value);
    EXPECT_EQ(found, c.found) << c.label;
    if (c.found) {
      EXPECT_EQ(value, c.value) << c.label;
    }
  }
}

TEST(GetJadAttribute, SameValuesForCrLfAndLf) {
  const char* keys[] = {"MIDlet-Jar-Size", "MIDlet-Name", "MIDlet-Version", "MIDlet-Vendor", "MIDlet-Jar-URL"};
  const std::string lf =
      "MIDlet-Jar-Size: 1234\nMIDlet-Name: Star Game\nMIDlet-Version: 1.2.3\nMIDlet-Vendor: Acme "
      "Ltd\nMIDlet-Jar-URL: star.jar\n";
  std::string crlf;
  for (char c : lf) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  for (const char* key : keys) {
    std::string a, b;
    ASSERT_TRUE(GetJadAttribute(lf, key, &a)) << key;
    ASSERT_TRUE(GetJadAttribute(crlf, key, &b)) << key;
    EXPECT_EQ(a, b) << key;
    EXPECT_EQ(a.find('\r'), std::string::npos) << key;
  }
}

TEST(LenientToInt, Table) {
  struct Case {
    const char* text;
    int32_t value;
  } cases[] = {
      {"123", 123},
      {"  42abc", 42},
      {"\t\n 9", 9},
      {"-7", -7},
      {"+5", 5},
      {"abc", 0},
      {"", 0},
      {"12 34", 12},
      {"- 3", 0},
      {"0x1F", 0},
      {"007", 7},
      {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"99999999999999999999", INT32_MAX},
      {"-99999999999999999999", INT32_MIN},
  };
  for (const Case& c : cases) EXPECT_EQ(LenientToInt(c.text), c.value) << '"' << c.text << '"';
}

TEST(CompareMidletVersions, Table) {
  struct Case {
    const char* pc;
    const char* phone;
    int status;
  } cases[] = {
      {"1.0", "1.0.0", 1},
      {"1.0.0", "1.0", 1},
      {"1.10", "1.9", 2},
      {"1.9", "1.10", 3},
      {"1.2.3.4", "1.2.3", 1},
      {"1.2.3.9", "1.2.3.1", 1},
      {"", "", 1},
      {"", "0.0.0", 1},
      {"1", "", 2},
      {"", "0.1", 3},
      {"2.0\n", "2.0", 1},
      {"2.0\n9", "2.0", 1},
      {"2.0", "2.0\n.5", 1},
      {"1.a.2", "1.0.2", 1},
      {" 1. 2", "1.2", 1},
      {"1.2.4", "1.2.3", 2},
      {"1.2.9.9", "1.3", 3},
      {"2", "10", 3},
      {"1..3", "1.0.3", 1},
      {"1.0.1", "1.0.0", 2},
      // Parts past 32 bits: digit strings, leading zeros aside, the longer the larger.
      {"1.4294967297", "1.4294967296", 2},
      {"1.99999999999", "1.100000000000", 3},
      {"1.007", "1.7", 1},
      {"-1", "0", 3},
      {"-12", "-9", 3},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CompareMidletVersions(c.pc, c.phone), c.status) << "pc '" << c.pc << "' phone '" << c.phone << "'";
}

TEST(StatusMark, Table) {
  struct Case {
    int status;
    const char* mark;
  } cases[] = {{0, "[_]"}, {1, "[V]"}, {2, "[_]"}, {3, "[X]"}, {-1, "[_]"}, {7, "[_]"}};
  for (const Case& c : cases) EXPECT_STREQ(StatusMark(c.status), c.mark) << c.status;
}

}  // namespace
