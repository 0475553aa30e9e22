// HTTP unit: URL parsing and the text encoders used by the HTTP client.
#pragma once

#include <cstdint>
#include <string_view>

#include "classlib/Sysutils.h"

// ---------------------------------------------------------------- URLs

// Splits URL into its parts. Path comes in as the base for the relative
// forms "./x" and "../x"; every output is cleared before parsing. The scheme
// is compared without case and returned in lower case. Defaults (scheme,
// port, path) are left to the caller.
void ParseURL(const String& URL, String& Proto, String& User, String& Pass, String& Host, String& Port,
              String& Path);

// 1-based position of the Count-th occurrence of S in Str; Count < 0 counts
// from the end. Not found: Length(Str) + 1 for Count > 0, 0 otherwise.
int Posn(const String& S, const String& Str, int Count);

// ---------------------------------------------------------------- encoders

enum THttpEncoding { encUUEncode, encBase64, encMime };

// One line of UU or Base64 (encMime is Base64), without a line break. A UU
// line starts with its length character and is padded to whole 3-byte groups.
String EncodeLine(THttpEncoding Encoding, const void* SrcData, int64_t Size);
String EncodeStr(THttpEncoding Encoding, const String& Value);

// Form encoding: letters and digits stay, every other byte becomes %XX.
String UrlEncode(const String& S);
// Up to the first "&": "+" is a blank, "%XX" a byte. A "%" without two hex
// digits behind it is kept as it is.
String UrlDecode(const String& S);

// ---------------------------------------------------------------- hex helpers

bool IsDigit(char Ch);
bool IsXDigit(char Ch);
// Value of a hex digit (of a decimal digit, else (Ch and 15) + 9).
int XDigit(char Ch);
// Reads hex digits within the first Len characters of Value, after leading
// blanks, up to the first other character; 0 when there are none.
int htoin(std::string_view Value, int Len);
int htoi2(std::string_view Value);
