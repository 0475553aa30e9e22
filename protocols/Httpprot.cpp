#include "Httpprot.h"

#include <algorithm>

namespace {

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool IsSchemeChar(char c) { return IsAsciiLetter(c) || IsDigit(c) || c == '+' || c == '-' || c == '.'; }

bool StartsWithNoCase(const String& s, const char* prefix) {
  const size_t n = std::char_traits<char>::length(prefix);
  return s.size() >= n && SameText(s.substr(0, n), prefix);
}

// The folder of a base path: up to and including its last "/" (the query
// left out), or "/" when it has none.
String BaseDir(const String& base) {
  const String path = base.substr(0, base.find('?'));
  const size_t slash = path.rfind('/');
  return slash == String::npos ? String("/") : path.substr(0, slash + 1);
}

// The parent of a folder that ends in "/"; the root stays the root.
String ParentDir(const String& dir) {
  const size_t last = dir.rfind('/');
  const String cut = last == String::npos ? String() : dir.substr(0, last);
  const size_t slash = cut.rfind('/');
  return slash == String::npos ? String("/") : cut.substr(0, slash + 1);
}

char UUChar(unsigned v) { return v == 0 ? '`' : static_cast<char>(v + 32); }

}  // namespace

// ---------------------------------------------------------------- URLs

void ParseURL(const String& URL, String& Proto, String& User, String& Pass, String& Host, String& Port,
              String& Path) {
  // Copies first: an output may be the same string as the input.
  const String url = URL;
  const String base = Path;
  Proto.clear();
  User.clear();
  Pass.clear();
  Host.clear();
  Port.clear();
  Path.clear();
  if (url.empty()) return;

  if (url.compare(0, 2, "./") == 0) {
    Path = BaseDir(base) + url.substr(2);
    return;
  }
  if (url.compare(0, 3, "../") == 0) {
    String dir = BaseDir(base);
    String rest = url.substr(3);
    for (;;) {
      dir = ParentDir(dir);
      if (rest.compare(0, 3, "../") != 0) break;
      rest.erase(0, 3);
    }
    Path = dir + rest;
    return;
  }

  size_t start = 0;
  bool scheme = false;
  const size_t sep = url.find("://");
  if (sep != String::npos && std::all_of(url.begin(), url.begin() + sep, IsSchemeChar)) {
    Proto = LowerCase(url.substr(0, sep));
    start = sep + 3;
    scheme = true;
  }
  if (!scheme) {
    // A "://" further on (in a query, say) does not make a scheme; such a
    // URL is read like any other one without a scheme.
    if (url[0] == '/') {
      Proto = "http";
      if (url.size() < 2 || url[1] != '/') {
        Path = url;
        return;
      }
      start = 2;  // "//host/path"
    } else if (StartsWithNoCase(url, "http:")) {
      Proto = "http";
      if (url.size() > 6 && url[6] != '/') {
        Path = url.substr(5);
        return;
      }
      start = 5;
    } else if (StartsWithNoCase(url, "mailto:")) {
      Proto = "mailto";
      start = 7;
    }
  }

  const String rest = url.substr(start);
  const size_t pathStart = rest.find_first_of("/?");
  const String authority = rest.substr(0, pathStart);
  if (pathStart != String::npos) Path = rest.substr(pathStart);

  const size_t colon = authority.rfind(':');
  const size_t at = authority.rfind('@');
  String credentials;
  bool hasCredentials = false;
  if (colon == String::npos && at == String::npos) {
    Host = authority;
  } else if (at != String::npos && (colon == String::npos || at > colon)) {
    Host = authority.substr(at + 1);
    credentials = authority.substr(0, at);
    hasCredentials = true;
  } else {
    Port = authority.substr(colon + 1);
    const size_t hostStart = at == String::npos ? 0 : at + 1;
    Host = authority.substr(hostStart, colon - hostStart);
    if (at != String::npos) {
      credentials = authority.substr(0, at);
      hasCredentials = true;
    }
  }
  if (hasCredentials) {
    const size_t c = credentials.find(':');
    if (c == String::npos) {
      User = credentials;
    } else {
      User = credentials.substr(0, c);
      Pass = credentials.substr(c + 1);
    }
  }
}

int Posn(const String& S, const String& Str, int Count) {
  if (Count == 0) return 0;
  const int notFound = Count > 0 ? static_cast<int>(Str.size()) + 1 : 0;
  if (S.empty() || S.size() > Str.size()) return notFound;
  if (Count > 0) {
    size_t from = 0;
    for (;;) {
      const size_t p = Str.find(S, from);
      if (p == String::npos) return notFound;
      if (--Count == 0) return static_cast<int>(p) + 1;
      from = p + 1;
    }
  }
  size_t from = Str.size() - S.size();
  for (;;) {
    const size_t p = Str.rfind(S, from);
    if (p == String::npos) return 0;
    if (++Count == 0) return static_cast<int>(p) + 1;
    if (p == 0) return 0;
    from = p - 1;
  }
}

// ---------------------------------------------------------------- encoders

String EncodeLine(THttpEncoding Encoding, const void* SrcData, int64_t Size) {
  if (!SrcData || Size < 0) Size = 0;
  const auto* src = static_cast<const unsigned char*>(SrcData);
  auto byteAt = [&](int64_t i) -> unsigned { return i < Size ? src[i] : 0u; };
  String out;

  if (Encoding == encUUEncode) {
    out.reserve(static_cast<size_t>(1 + (Size + 2) / 3 * 4));
    out += static_cast<char>(((Size - 1) & 63) + 33);
    for (int64_t i = 0; i < Size; i += 3) {
      const unsigned v = (byteAt(i) << 16) | (byteAt(i + 1) << 8) | byteAt(i + 2);
      out += UUChar((v >> 18) & 63);
      out += UUChar((v >> 12) & 63);
      out += UUChar((v >> 6) & 63);
      out += UUChar(v & 63);
    }
    return out;
  }

  out.reserve(static_cast<size_t>((Size + 2) / 3 * 4));
  for (int64_t i = 0; i < Size; i += 3) {
    const int64_t left = Size - i;
    const unsigned v = (byteAt(i) << 16) | (byteAt(i + 1) << 8) | byteAt(i + 2);
    out += kBase64[(v >> 18) & 63];
    out += kBase64[(v >> 12) & 63];
    if (left > 1) out += kBase64[(v >> 6) & 63];
    if (left > 2) out += kBase64[v & 63];
  }
  while (out.size() % 4 != 0) out += '=';
  return out;
}

String EncodeStr(THttpEncoding Encoding, const String& Value) {
  return EncodeLine(Encoding, Value.data(), static_cast<int64_t>(Value.size()));
}

String UrlEncode(const String& S) {
  static const char hex[] = "0123456789ABCDEF";
  String out;
  out.reserve(S.size());
  for (char c : S) {
    if (IsAsciiLetter(c) || IsDigit(c)) {
      out += c;
    } else {
      const auto b = static_cast<unsigned char>(c);
      out += '%';
      out += hex[b >> 4];
      out += hex[b & 15];
    }
  }
  return out;
}

String UrlDecode(const String& S) {
  String out;
  out.reserve(S.size());
  const size_t n = S.size();
  for (size_t i = 0; i < n; ++i) {
    const char c = S[i];
    if (c == '&') break;
    if (c == '+') {
      out += ' ';
    } else if (c == '%' && i + 2 < n && IsXDigit(S[i + 1]) && IsXDigit(S[i + 2])) {
      out += static_cast<char>(htoi2(std::string_view(S).substr(i + 1, 2)));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

// ---------------------------------------------------------------- hex helpers

bool IsDigit(char Ch) { return Ch >= '0' && Ch <= '9'; }

bool IsXDigit(char Ch) { return IsDigit(Ch) || (Ch >= 'a' && Ch <= 'f') || (Ch >= 'A' && Ch <= 'F'); }

int XDigit(char Ch) { return IsDigit(Ch) ? Ch - '0' : (Ch & 15) + 9; }

int htoin(std::string_view Value, int Len) {
  const size_t n = Len <= 0 ? 0 : std::min(Value.size(), static_cast<size_t>(Len));
  size_t i = 0;
  while (i < n && Value[i] == ' ') ++i;
  unsigned result = 0;
  for (; i < n && IsXDigit(Value[i]); ++i) result = result * 16 + static_cast<unsigned>(XDigit(Value[i]));
  return static_cast<int>(result);
}

int htoi2(std::string_view Value) { return htoin(Value, 2); }
