#include <gtest/gtest.h>

#include "classlib/Registry.h"

namespace {
String TestRoot() { return "\\Software\\NembraTests\\classlib-" + IntToStr(GetCurrentProcessId()); }

struct RegistryTest : ::testing::Test {
  void TearDown() override {
    TRegistry r;
    r.DeleteKey(TestRoot());
  }
};
}  // namespace

TEST_F(RegistryTest, TypedRoundTrip) {
  TRegistry r;
  ASSERT_TRUE(r.OpenKey(TestRoot() + "\\Settings", true));
  EXPECT_EQ(r.CurrentPath(), TestRoot().substr(1) + "\\Settings");
  r.WriteString("Name", "Nembra");
  r.WriteInteger("Count", -5);
  r.WriteBool("Flag", true);
  r.WriteFloat("When", 45000.25);
  unsigned char bin[3] = {1, 2, 3};
  r.WriteBinaryData("Blob", bin, 3);

  EXPECT_EQ(r.ReadString("Name"), "Nembra");
  EXPECT_EQ(r.ReadInteger("Count"), -5);
  EXPECT_TRUE(r.ReadBool("Flag"));
  EXPECT_EQ(r.ReadFloat("When"), 45000.25);
  unsigned char out[8] = {};
  EXPECT_EQ(r.ReadBinaryData("Blob", out, sizeof out), 3);
  EXPECT_EQ(out[2], 3);
  EXPECT_EQ(r.GetDataType("Name"), rdString);
  EXPECT_EQ(r.GetDataType("Count"), rdInteger);
  EXPECT_EQ(r.GetDataType("Blob"), rdBinary);
  EXPECT_EQ(r.GetDataSize("Missing"), -1);
  EXPECT_EQ(r.ReadString("Missing"), "");

  TStringList names;
  r.GetValueNames(&names);
  names.SetSorted(true);
  EXPECT_EQ(names.CommaText(), "Blob,Count,Flag,Name,When");
  EXPECT_TRUE(r.DeleteValue("Blob"));
  EXPECT_FALSE(r.ValueExists("Blob"));
}

TEST_F(RegistryTest, WrongTypeAndMissingValuesRaise) {
  TRegistry r;
  ASSERT_TRUE(r.OpenKey(TestRoot(), true));
  r.WriteString("Text", "12");
  r.WriteInteger("Number", 12);
  try {
    r.ReadInteger("Text");
    FAIL();
  } catch (ERegistryException& e) {
    EXPECT_EQ(e.Message, "Invalid data type for 'Text'");
  }
  EXPECT_THROW(r.ReadString("Number"), ERegistryException);
  try {
    r.ReadInteger("Missing");
    FAIL();
  } catch (ERegistryException& e) {
    EXPECT_EQ(e.Message, "Failed to get data for 'Missing'");
  }
}

TEST_F(RegistryTest, OpenWithoutCreateLeavesNothingAndRelativePaths) {
  TRegistry r;
  EXPECT_FALSE(r.OpenKey(TestRoot() + "\\Absent", false));
  EXPECT_FALSE(r.KeyExists(TestRoot() + "\\Absent"));
  ASSERT_TRUE(r.OpenKey(TestRoot(), true));
  ASSERT_TRUE(r.OpenKey("Child\\Grandchild", true));
  EXPECT_EQ(r.CurrentPath(), TestRoot().substr(1) + "\\Child\\Grandchild");
  r.CloseKey();
  EXPECT_TRUE(r.KeyExists(TestRoot() + "\\Child\\Grandchild"));
  ASSERT_TRUE(r.OpenKey(TestRoot(), false));
  TStringList keys;
  r.GetKeyNames(&keys);
  EXPECT_EQ(keys.CommaText(), "Child");
  EXPECT_TRUE(r.HasSubKeys());
  r.CloseKey();
  EXPECT_TRUE(r.DeleteKey(TestRoot() + "\\Child"));
  EXPECT_FALSE(r.KeyExists(TestRoot() + "\\Child"));
}
