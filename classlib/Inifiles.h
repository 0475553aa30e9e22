// INI files: through the Win32 profile functions, or held in memory.
#pragma once

#include <utility>
#include <vector>

#include "Classes.h"

NEMBRA_EXCEPTION(EIniFileException, Exception);

// What both INI classes share: the typed readers and writers over the
// text ones.
class TCustomIniFile : public TObject {
 public:
  explicit TCustomIniFile(const String& fileName);
  const String& FileName() const { return fileName_; }

  virtual String ReadString(const String& section, const String& ident, const String& def) const = 0;
  virtual void WriteString(const String& section, const String& ident, const String& value) = 0;
  // Accepts decimal, "$" hex and "0x" hex; anything else gives def.
  int ReadInteger(const String& section, const String& ident, int def) const;
  void WriteInteger(const String& section, const String& ident, int value);
  // Any integer but 0 reads as true; written as "1" or "0".
  bool ReadBool(const String& section, const String& ident, bool def) const;
  void WriteBool(const String& section, const String& ident, bool value);

 protected:
  String fileName_;
};

class TIniFile : public TCustomIniFile {
 public:
  // The name is made absolute, so the profile functions never fall back
  // to the Windows folder.
  explicit TIniFile(const String& fileName);
  ~TIniFile() override;

  String ReadString(const String& section, const String& ident, const String& def) const override;
  // "Unable to write to %s" on failure.
  void WriteString(const String& section, const String& ident, const String& value) override;

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
};

// An INI file held in memory: loaded when made, written back as a whole by
// UpdateFile. Reading rules: a line "[name]" opens a section; "key=value"
// lines belong to the section above them and are split at the first "=";
// names, keys and values are trimmed of surrounding blanks; lines starting
// with ";", lines without "=" and lines before the first section are not
// kept. Names and keys match trimmed and without regard to case, also
// before the copy is written and read again. A section that comes
// again is merged into its first occurrence, and of a key that comes again
// within a section the first value is kept.
class TMemIniFile : public TCustomIniFile {
 public:
  // The name is made absolute. A missing file gives an empty copy; one that
  // cannot be read raises EFOpenError.
  explicit TMemIniFile(const String& fileName);
  ~TMemIniFile() override;
  // Takes another file name; with reload the copy is read again from it.
  void Rename(const String& fileName, bool reload);

  String ReadString(const String& section, const String& ident, const String& def) const override;
  // A value written to an existing key replaces it in place; a new key goes
  // to the end of its section, a new section to the end of the file. Line
  // breaks in names, keys and values are stored as blanks.
  void WriteString(const String& section, const String& ident, const String& value) override;

  bool SectionExists(const String& section) const;
  bool ValueExists(const String& section, const String& ident) const;
  void ReadSection(const String& section, TStrings* strings) const;  // key names
  void ReadSections(TStrings* strings) const;                        // section names
  void ReadSectionValues(const String& section, TStrings* strings) const;  // "key=value"
  void EraseSection(const String& section);
  void DeleteKey(const String& section, const String& ident);
  void Clear();

  // The file's lines: each section's header, its "key=value" lines and one
  // empty line.
  void GetStrings(TStrings* strings) const;
  // Replaces the copy with the parsed lines.
  void SetStrings(const TStrings* strings);
  // Writes the copy to the file (CRLF lines) through ReplaceFileContents,
  // so a failed write leaves the old file whole.
  void UpdateFile();

 private:
  struct Section {
    String name;
    std::vector<std::pair<String, String>> keys;
  };
  const Section* Find(const String& section) const;
  Section* Find(const String& section);
  void Load();
  std::vector<Section> sections_;
};
