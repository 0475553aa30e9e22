#include <gtest/gtest.h>

#include "classlib/Inifiles.h"
#include "support/Testutil.h"

TEST(IniFile, RoundTripAndSections) {
  String dir = MakeTempFolder("ini");
  TIniFile ini(dir + "\\t.ini");
  EXPECT_EQ(ini.ReadString("S", "k", "def"), "def");
  ini.WriteString("Second", "Name", "value with = sign");
  ini.WriteInteger("First", "Port", 2121);
  ini.WriteBool("First", "Passive", true);
  ini.WriteString("First", "Hex", "0x1F");
  ini.UpdateFile();

  EXPECT_EQ(ini.ReadString("second", "name", ""), "value with = sign");
  EXPECT_EQ(ini.ReadInteger("First", "Port", 21), 2121);
  EXPECT_EQ(ini.ReadInteger("First", "Hex", 0), 31);
  EXPECT_EQ(ini.ReadInteger("Second", "Name", 7), 7);
  EXPECT_TRUE(ini.ReadBool("First", "Passive", false));
  EXPECT_TRUE(ini.ValueExists("First", "port"));
  EXPECT_FALSE(ini.ValueExists("First", "nothing"));

  TStringList sections, keys, values;
  ini.ReadSections(&sections);
  EXPECT_EQ(sections.CommaText(), "Second,First");
  ini.ReadSection("First", &keys);
  EXPECT_EQ(keys.CommaText(), "Port,Passive,Hex");
  ini.ReadSectionValues("First", &values);
  EXPECT_EQ(values.Values("Port"), "2121");

  ini.DeleteKey("First", "Hex");
  ini.EraseSection("Second");
  ini.UpdateFile();
  EXPECT_FALSE(ini.SectionExists("Second"));
  EXPECT_FALSE(ini.ValueExists("First", "Hex"));
  EXPECT_EQ(ReadFileBytes(dir + "\\t.ini").find("Second"), String::npos);
}

TEST(IniFile, RelativeNameIsMadeAbsolute) {
  TIniFile ini("relative.ini");
  EXPECT_EQ(ini.FileName(), ExpandFileName("relative.ini"));
}
