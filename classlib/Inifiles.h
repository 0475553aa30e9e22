// INI files through the Win32 profile functions.
#pragma once

#include "Classes.h"

NEMBRA_EXCEPTION(EIniFileException, Exception);

class TIniFile : public TObject {
 public:
  // The name is made absolute, so the profile functions never fall back
  // to the Windows folder.
  explicit TIniFile(const String& fileName);
  ~TIniFile() override;
  const String& FileName() const { return fileName_; }

  String ReadString(const String& section, const String& ident, const String& def) const;
  // "Unable to write to %s" on failure.
  void WriteString(const String& section, const String& ident, const String& value);
  // Accepts decimal, "$" hex and "0x" hex; anything else gives def.
  int ReadInteger(const String& section, const String& ident, int def) const;
  void WriteInteger(const String& section, const String& ident, int value);
  bool ReadBool(const String& section, const String& ident, bool def) const;
  void WriteBool(const String& section, const String& ident, bool value);

  bool SectionExists(const String& section) const;
  bool ValueExists(const String& section, const String& ident) const;
  // The key names of a section, in file order.
  void ReadSection(const String& section, TStrings* strings) const;
  // The section names, in file order.
  void ReadSections(TStrings* strings) const;
  // "key=value" lines of a section.
  void ReadSectionValues(const String& section, TStrings* strings) const;
  void EraseSection(const String& section);
  void DeleteKey(const String& section, const String& ident);
  // Flushes the profile cache to disk.
  void UpdateFile();

 private:
  // Reads a double-NUL-terminated list from the profile functions.
  void ReadList(const char* section, TStrings* strings) const;
  String fileName_;
};
