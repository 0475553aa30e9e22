#include "Inifiles.h"

#include <vector>

TCustomIniFile::TCustomIniFile(const String& fileName) : fileName_(ExpandFileName(fileName)) {}

int TCustomIniFile::ReadInteger(const String& section, const String& ident, int def) const {
  String s = ReadString(section, ident, "");
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s = "$" + s.substr(2);
  return StrToIntDef(s, def);
}

void TCustomIniFile::WriteInteger(const String& section, const String& ident, int value) {
  WriteString(section, ident, IntToStr(value));
}

bool TCustomIniFile::ReadBool(const String& section, const String& ident, bool def) const {
  return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

void TCustomIniFile::WriteBool(const String& section, const String& ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

TIniFile::TIniFile(const String& fileName) : TCustomIniFile(fileName) {}

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
  TFinally guard([&] { strings->EndUpdate(); });
  strings->Clear();
  const char* p = buf.data();
  const char* end = buf.data() + n;
  while (p < end && *p) {
    String s(p);
    strings->Add(s);
    p += s.size() + 1;
  }
}

void TIniFile::ReadSection(const String& section, TStrings* strings) const { ReadList(section.c_str(), strings); }

void TIniFile::ReadSections(TStrings* strings) const { ReadList(nullptr, strings); }

void TIniFile::ReadSectionValues(const String& section, TStrings* strings) const {
  TStringList keys;
  ReadSection(section, &keys);
  strings->BeginUpdate();
  TFinally guard([&] { strings->EndUpdate(); });
  strings->Clear();
  for (int i = 0; i < keys.Count(); ++i) strings->Add(keys[i] + "=" + ReadString(section, keys[i], ""));
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

// ---------------------------------------------------------------- TMemIniFile

namespace {
// Names match as they read back from the file: trimmed and without regard
// to case (case folding only: a locale comparison could call different
// names equal).
bool SameName(const String& a, const String& b) { return AnsiUpperCase(Trim(a)) == AnsiUpperCase(Trim(b)); }

String OneLine(String s) {
  for (char& c : s)
    if (c == '\r' || c == '\n') c = ' ';
  return s;
}
}  // namespace

TMemIniFile::TMemIniFile(const String& fileName) : TCustomIniFile(fileName) { Load(); }

TMemIniFile::~TMemIniFile() = default;

void TMemIniFile::Rename(const String& fileName, bool reload) {
  fileName_ = ExpandFileName(fileName);
  if (reload) Load();
}

void TMemIniFile::Load() {
  TStringList lines;
  if (FileExists(fileName_)) lines.LoadFromFile(fileName_);
  SetStrings(&lines);
}

const TMemIniFile::Section* TMemIniFile::Find(const String& section) const {
  for (const Section& s : sections_)
    if (SameName(s.name, section)) return &s;
  return nullptr;
}

TMemIniFile::Section* TMemIniFile::Find(const String& section) {
  return const_cast<Section*>(static_cast<const TMemIniFile*>(this)->Find(section));
}

void TMemIniFile::SetStrings(const TStrings* strings) {
  std::vector<Section> sections;
  Section* current = nullptr;
  for (int i = 0; i < strings->Count(); ++i) {
    String line = Trim(strings->Get(i));
    if (line.empty() || line[0] == ';') continue;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      String name = Trim(line.substr(1, line.size() - 2));
      current = nullptr;
      for (Section& s : sections)
        if (SameName(s.name, name)) current = &s;
      if (!current) {
        sections.push_back(Section{name, {}});
        current = &sections.back();
      }
      continue;
    }
    auto eq = line.find('=');
    if (!current || eq == String::npos) continue;
    String key = Trim(line.substr(0, eq));
    if (key.empty()) continue;
    bool known = false;
    for (auto& kv : current->keys)
      if (SameName(kv.first, key)) known = true;
    if (!known) current->keys.emplace_back(key, Trim(line.substr(eq + 1)));
  }
  sections_ = std::move(sections);
}

void TMemIniFile::GetStrings(TStrings* strings) const {
  strings->BeginUpdate();
  TFinally guard([&] { strings->EndUpdate(); });
  strings->Clear();
  for (const Section& s : sections_) {
    strings->Add("[" + s.name + "]");
    for (auto& kv : s.keys) strings->Add(kv.first + "=" + kv.second);
    strings->Add("");
  }
}

void TMemIniFile::UpdateFile() {
  TStringList lines;
  GetStrings(&lines);
  ReplaceFileContents(fileName_, lines.Text());
}

String TMemIniFile::ReadString(const String& section, const String& ident, const String& def) const {
  if (const Section* s = Find(section))
    for (auto& kv : s->keys)
      if (SameName(kv.first, ident)) return kv.second;
  return def;
}

void TMemIniFile::WriteString(const String& section, const String& ident, const String& value) {
  Section* s = Find(section);
  if (!s) {
    sections_.push_back(Section{OneLine(section), {}});
    s = &sections_.back();
  }
  String key = OneLine(ident);
  for (auto& kv : s->keys)
    if (SameName(kv.first, key)) {
      kv.first = key;
      kv.second = OneLine(value);
      return;
    }
  s->keys.emplace_back(key, OneLine(value));
}

bool TMemIniFile::SectionExists(const String& section) const { return Find(section) != nullptr; }

bool TMemIniFile::ValueExists(const String& section, const String& ident) const {
  if (const Section* s = Find(section))
    for (auto& kv : s->keys)
      if (SameName(kv.first, ident)) return true;
  return false;
}

void TMemIniFile::ReadSection(const String& section, TStrings* strings) const {
  strings->BeginUpdate();
  TFinally guard([&] { strings->EndUpdate(); });
  strings->Clear();
  if (const Section* s = Find(section))
    for (auto& kv : s->keys) strings->Add(kv.first);
}

void TMemIniFile::ReadSections(TStrings* strings) const {
  strings->BeginUpdate();
  TFinally guard([&] { strings->EndUpdate(); });
  strings->Clear();
  for (const Section& s : sections_) strings->Add(s.name);
}

void TMemIniFile::ReadSectionValues(const String& section, TStrings* strings) const {
  strings->BeginUpdate();
  TFinally guard([&] { strings->EndUpdate(); });
  strings->Clear();
  if (const Section* s = Find(section))
    for (auto& kv : s->keys) strings->Add(kv.first + "=" + kv.second);
}

void TMemIniFile::EraseSection(const String& section) {
  for (auto it = sections_.begin(); it != sections_.end(); ++it)
    if (SameName(it->name, section)) {
      sections_.erase(it);
      return;
    }
}

void TMemIniFile::DeleteKey(const String& section, const String& ident) {
  if (Section* s = Find(section))
    for (auto it = s->keys.begin(); it != s->keys.end(); ++it)
      if (SameName(it->first, ident)) {
        s->keys.erase(it);
        return;
      }
}

void TMemIniFile::Clear() { sections_.clear(); }
