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

TEST(MemIniFile, WritesInPlaceAppendsAndMatchesWithoutCase) {
  String dir = MakeTempFolder("memini");
  String file = dir + "\\m.ini";
  WriteFileBytes(file, "[S]\r\na=1\r\nb=2\r\n");
  TMemIniFile ini(file);
  ini.WriteString("s", "A", "9");
  ini.WriteString("S", "c", "3");
  ini.WriteInteger("T", "n", -4);
  ini.WriteBool("T", "f", true);
  EXPECT_EQ(ini.ReadInteger("t", "N", 0), -4);
  EXPECT_TRUE(ini.ReadBool("T", "F", false));
  EXPECT_EQ(ini.ReadString("S", "missing", "def"), "def");
  EXPECT_EQ(ini.ReadInteger("S", "missing", 21), 21);
  EXPECT_TRUE(ini.SectionExists(" t "));
  EXPECT_FALSE(ini.ValueExists("T", "x"));

  TStringList keys, values, lines;
  ini.ReadSection("S", &keys);
  EXPECT_EQ(keys.CommaText(), "A,b,c");
  ini.ReadSectionValues("S", &values);
  EXPECT_EQ(values.Values("b"), "2");
  ini.GetStrings(&lines);
  const String text = "[S]\r\nA=9\r\nb=2\r\nc=3\r\n\r\n[T]\r\nn=-4\r\nf=1\r\n\r\n";
  EXPECT_EQ(lines.Text(), text);
  EXPECT_EQ(ReadFileBytes(file), "[S]\r\na=1\r\nb=2\r\n");  // only UpdateFile writes
  ini.UpdateFile();
  EXPECT_EQ(ReadFileBytes(file), text);

  ini.DeleteKey("s", "B");
  ini.EraseSection("t");
  ini.GetStrings(&lines);
  EXPECT_EQ(lines.Text(), "[S]\r\nA=9\r\nc=3\r\n\r\n");
  ini.Rename(file, true);  // read again
  EXPECT_TRUE(ini.ValueExists("S", "b"));
  ini.Rename(dir + "\\none.ini", true);
  EXPECT_FALSE(ini.SectionExists("S"));
}

TEST(MemIniFile, LineBreaksCannotAddLinesOrSections) {
  String file = MakeTempFolder("memini") + "\\m.ini";
  TMemIniFile ini(file);
  ini.WriteString("P\r\n[Q]", "PassWord", "x\r\n[Evil]\nHostName=bad");
  ini.UpdateFile();
  TMemIniFile again(file);
  TStringList sections;
  again.ReadSections(&sections);
  EXPECT_EQ(sections.CommaText(), "\"P  [Q]\"");
  EXPECT_EQ(again.ReadString("P  [Q]", "PassWord", ""), "x  [Evil] HostName=bad");
}

TEST(MemIniFile, AFileThatCannotBeReadRaises) {
  String file = MakeTempFolder("memini") + "\\locked.ini";
  WriteFileBytes(file, "[S]\r\n");
  HANDLE h = CreateFileA(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_THROW(TMemIniFile ini(file), EFOpenError);
  CloseHandle(h);
}
