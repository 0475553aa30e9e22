#include "Inifiles.h"

#include <vector>

TIniFile::TIniFile(const String& fileName) : fileName_(ExpandFileName(fileName)) {}

TIniFile::~TIniFile() = default;

String TIniFile::ReadString(const String& section, const String& ident, const String& def) const {
  std::vector<char> buf(2048);
  for (;;) {
    DWORD n = GetPrivateProfileStringA(section.c_str(), ident.c_str(), def.c_str(), buf.data(),
                                       static_cast<DWORD>(buf.size()), fileName_.c_str());
    if (n < buf.size() - 1) return String(buf.data(), n);
    buf.resize(buf.size() * 2);
  }
}

void TIniFile::WriteString(const String& section, const String& ident, const String& value) {
  if (!WritePrivateProfileStringA(section.c_str(), ident.c_str(), value.c_str(), fileName_.c_str()))
    throw EIniFileException(Format("Unable to write to %s", fileName_));
}

int TIniFile::ReadInteger(const String& section, const String& ident, int def) const {
  String s = ReadString(section, ident, "");
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s = "$" + s.substr(2);
  return StrToIntDef(s, def);
}

void TIniFile::WriteInteger(const String& section, const String& ident, int value) {
  WriteString(section, ident, IntToStr(value));
}

bool TIniFile::ReadBool(const String& section, const String& ident, bool def) const {
  return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

void TIniFile::WriteBool(const String& section, const String& ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

void TIniFile::ReadList(const char* section, TStrings* strings) const {
  std::vector<char> buf(16384);
  DWORD n;
  for (;;) {
    n = GetPrivateProfileStringA(section, nullptr, nullptr, buf.data(), static_cast<DWORD>(buf.size()),
                                 fileName_.c_str());
    if (n < buf.size() - 2) break;
    buf.resize(buf.size() * 2);
  }
  strings->BeginUpdate();
  try {
    strings->Clear();
    const char* p = buf.data();
    const char* end = buf.data() + n;
    while (p < end && *p) {
      String s(p);
      strings->Add(s);
      p += s.size() + 1;
    }
  } catch (...) {
    strings->EndUpdate();
    throw;
  }
  strings->EndUpdate();
}

void TIniFile::ReadSection(const String& section, TStrings* strings) const { ReadList(section.c_str(), strings); }

void TIniFile::ReadSections(TStrings* strings) const { ReadList(nullptr, strings); }

void TIniFile::ReadSectionValues(const String& section, TStrings* strings) const {
  TStringList keys;
  ReadSection(section, &keys);
  strings->BeginUpdate();
  try {
    strings->Clear();
    for (int i = 0; i < keys.Count(); ++i) strings->Add(keys[i] + "=" + ReadString(section, keys[i], ""));
  } catch (...) {
    strings->EndUpdate();
    throw;
  }
  strings->EndUpdate();
}

bool TIniFile::SectionExists(const String& section) const {
  TStringList keys;
  ReadSection(section, &keys);
  return keys.Count() > 0;
}

bool TIniFile::ValueExists(const String& section, const String& ident) const {
  TStringList keys;
  ReadSection(section, &keys);
  return keys.IndexOf(ident) >= 0;
}

void TIniFile::EraseSection(const String& section) {
  if (!WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, fileName_.c_str()))
    throw EIniFileException(Format("Unable to write to %s", fileName_));
}

void TIniFile::DeleteKey(const String& section, const String& ident) {
  WritePrivateProfileStringA(section.c_str(), ident.c_str(), nullptr, fileName_.c_str());
}

void TIniFile::UpdateFile() { WritePrivateProfileStringA(nullptr, nullptr, nullptr, fileName_.c_str()); }
