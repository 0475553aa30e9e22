#include <gtest/gtest.h>

#include "protocols/Httpprot.h"

namespace {

struct UrlParts {
  String proto, user, pass, host, port, path;
  bool operator==(const UrlParts&) const = default;
};

std::ostream& operator<<(std::ostream& os, const UrlParts& p) {
  return os << "{proto '" << p.proto << "' user '" << p.user << "' pass '" << p.pass << "' host '" << p.host
            << "' port '" << p.port << "' path '" << p.path << "'}";
}

UrlParts Parse(const String& url, const String& base = "") {
  UrlParts p;
  p.path = base;
  ParseURL(url, p.proto, p.user, p.pass, p.host, p.port, p.path);
  return p;
}

}  // namespace

TEST(ParseURL, AbsoluteAndSchemeLessForms) {
  struct Case {
    const char* url;
    UrlParts want;
  } cases[] = {
      {"ftp://u:p@h:21/d/f?q", {"ftp", "u", "p", "h", "21", "/d/f?q"}},
      {"http://h", {"http", "", "", "h", "", ""}},
      {"http://h:8080", {"http", "", "", "h", "8080", ""}},
      {"http://h?q=1/2", {"http", "", "", "h", "", "?q=1/2"}},
      {"http://user@h/", {"http", "user", "", "h", "", "/"}},
      {"http://user:pa:ss@h/", {"http", "user", "pa:ss", "h", "", "/"}},
      {"http://u:p@x@h:81/a", {"http", "u", "p@x", "h", "81", "/a"}},
      {"svn+ssh://h/r", {"svn+ssh", "", "", "h", "", "/r"}},
      // Schemes are compared without case and returned in lower case.
      {"HTTP://Host.Example:8080/P", {"http", "", "", "Host.Example", "8080", "/P"}},
      {"Ftp://h/", {"ftp", "", "", "h", "", "/"}},
      // No scheme.
      {"h/x", {"", "", "", "h", "", "/x"}},
      {"h:81", {"", "", "", "h", "81", ""}},
      {"u@h/x", {"", "u", "", "h", "", "/x"}},
      {"/x", {"http", "", "", "", "", "/x"}},
      {"/x?u=a://b", {"http", "", "", "", "", "/x?u=a://b"}},
      {"//h:81/x", {"http", "", "", "h", "81", "/x"}},
      {"http:/x", {"http", "", "", "", "", "/x"}},
      // A "://" after a non-scheme character is no scheme: read as above.
      {"h/x?next=http://y/z", {"", "", "", "h", "", "/x?next=http://y/z"}},
      {"ht_p://h/x", {"", "", "", "ht_p", "", "//h/x"}},
      {"mailto:joe@example.com", {"mailto", "joe", "", "example.com", "", ""}},
      {"MailTo:joe@example.com?subject=a/b", {"mailto", "joe", "", "example.com", "", "?subject=a/b"}},
      {"", {}},
  };
  for (auto& c : cases) EXPECT_EQ(Parse(c.url, "/base/page.htm"), c.want) << c.url;
}

TEST(ParseURL, RelativeFormsResolveAgainstIncomingPath) {
  struct Case {
    const char* url;
    const char* base;
    const char* path;
  } cases[] = {
      {"./y", "/a/b/z.htm", "/a/b/y"},
      {"./", "/a/b/", "/a/b/"},
      {"./y", "z.htm", "/y"},
      {"./y", "", "/y"},
      {"./y", "/a/b?r=/c/d", "/a/y"},
      {"../y", "/a/b/c/z.htm", "/a/b/y"},
      {"../../y", "/a/b/c/z.htm", "/a/y"},
      {"../../y/../w", "/a/b/c/z.htm", "/a/y/../w"},
      {"../../../../y", "/a/b/z.htm", "/y"},
      {"../", "/a/b/z.htm", "/a/"},
  };
  for (auto& c : cases) {
    EXPECT_EQ(Parse(c.url, c.base), (UrlParts{"", "", "", "", "", c.path})) << c.url << " on " << c.base;
  }
}

TEST(ParseURL, OutputsMayShareTheInputString) {
  String s = "http://h/x", user, pass, host, port;
  ParseURL(s, s, user, pass, host, port, port);
  EXPECT_EQ(s, "http");
  EXPECT_EQ(host, "h");
  EXPECT_EQ(port, "/x");
}

TEST(Posn, CountsFromEitherEnd) {
  struct Case {
    const char* s;
    const char* str;
    int count;
    int want;
  } cases[] = {
      {"/", "/a/b", 1, 1},   {"/", "/a/b", 2, 3},  {"/", "/a/b", 3, 5},  {"/", "/a/b", -1, 3},
      {"/", "/a/b", -2, 1},  {"/", "/a/b", -3, 0}, {"/", "/a/b", 0, 0},  {"ab", "xabyab", -1, 5},
      {"ab", "xabyab", 2, 5}, {"aa", "aaa", 2, 2},  {"aa", "aaa", -2, 1}, {"x", "", 1, 1},
      {"x", "", -1, 0},      {"", "abc", 1, 4},    {"abcd", "abc", 1, 4},
  };
  for (auto& c : cases) EXPECT_EQ(Posn(c.s, c.str, c.count), c.want) << c.s << " in " << c.str << " #" << c.count;
}

TEST(Encoders, Base64KnownVectors) {
  struct Case {
    String in;
    const char* want;
  } cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {"abc", "YWJj"},
      {"ab", "YWI="},
      {String("\x00\xff\xfe", 3), "AP/+"},
      {"\xfb\xff", "+/8="},
      {"Aladdin:open sesame", "QWxhZGRpbjpvcGVuIHNlc2FtZQ=="},
  };
  for (auto& c : cases) {
    EXPECT_EQ(EncodeStr(encBase64, c.in), c.want) << c.in;
    EXPECT_EQ(EncodeStr(encMime, c.in), c.want) << c.in;
  }
}

TEST(Encoders, UULinesMatchUuencode) {
  struct Case {
    String in;
    const char* want;
  } cases[] = {
      {"", "`"},
      {"a", "!80``"},
      {"Ca", "\"0V$`"},
      {"Cat", "#0V%T"},
      {String(3, '\0'), "#````"},
      {"\xff\xfe\xfd\xfc", "$__[]_```"},
      {String("\x00\xff\x10", 3), "#`/\\0"},
      {"The quick brown fox jumps over the lazy dog!!",
       "M5&AE(\'%U:6-K(&)R;W=N(&9O>\"!J=6UP<R!O=F5R(\'1H92!L87IY(&1O9R$A"},
  };
  for (auto& c : cases) EXPECT_EQ(EncodeStr(encUUEncode, c.in), c.want) << c.in;
  // The length character wraps every 64 bytes.
  EXPECT_EQ(EncodeStr(encUUEncode, String(64, 'x'))[0], '`');
  EXPECT_EQ(EncodeLine(encBase64, nullptr, 5), "");
}

TEST(UrlEncoding, EncodeKeepsOnlyLettersAndDigits) {
  EXPECT_EQ(UrlEncode("AZaz09"), "AZaz09");
  EXPECT_EQ(UrlEncode("a b"), "a%20b");
  EXPECT_EQ(UrlEncode("-_.~/?&=+%"), "%2D%5F%2E%7E%2F%3F%26%3D%2B%25");
  EXPECT_EQ(UrlEncode(String("\xe9\x00\xff", 3)), "%E9%00%FF");
  EXPECT_EQ(UrlEncode(""), "");
}

TEST(UrlEncoding, DecodeTable) {
  struct Case {
    const char* in;
    String want;
  } cases[] = {
      {"a+b%41&c", "a bA"},
      {"%2a%2A", "**"},
      {"%e9", "\xe9"},
      {"a%26b", "a&b"},
      {"&x", ""},
      {"%00x", String("\0x", 2)},
      // A "%" without two hex digits behind it is kept as it is.
      {"%", "%"},
      {"a%", "a%"},
      {"a%4", "a%4"},
      {"%4&b", "%4"},
      {"%zz", "%zz"},
      {"%4g1", "%4g1"},
      {"% 41", "% 41"},
      {"%41%", "A%"},
      {"%%41", "%A"},
  };
  for (auto& c : cases) EXPECT_EQ(UrlDecode(c.in), c.want) << c.in;
}

TEST(UrlEncoding, EveryByteSurvivesARoundTrip) {
  String all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(UrlDecode(UrlEncode(all)), all);
}

TEST(HexHelpers, ReadWithinTheGivenLength) {
  EXPECT_EQ(htoin(" 1f", 3), 31);
  EXPECT_EQ(htoin("1fz9", 4), 31);
  EXPECT_EQ(htoin("fff", 2), 255);
  EXPECT_EQ(htoin("1", 5), 1);
  EXPECT_EQ(htoin("zz", 2), 0);
  EXPECT_EQ(htoin("  ", 2), 0);
  EXPECT_EQ(htoin("12", 0), 0);
  EXPECT_EQ(htoi2("A0"), 160);
  EXPECT_EQ(htoi2(" 7"), 7);
  EXPECT_EQ(XDigit('7'), 7);
  EXPECT_EQ(XDigit('a'), 10);
  EXPECT_EQ(XDigit('F'), 15);
  EXPECT_TRUE(IsXDigit('f'));
  EXPECT_FALSE(IsXDigit('g'));
  EXPECT_FALSE(IsXDigit('G'));
  EXPECT_FALSE(IsDigit('a'));
  EXPECT_TRUE(IsDigit('9'));
}
