// Connection profiles: the file accounts.dat in the program's folder, one
// INI section per profile, named after the profile. Every window that
// reads or writes profiles holds its own TMemIniFile copy of the file.
#pragma once

#include "classlib/Inifiles.h"

struct TProfile {
  String Name;  // the section name
  bool Proxy = false;
  bool Passive = false;
  String ProxyName;
  String HostName;
  String UserName;
  String PassWord;  // kept in plain text, as existing files have it
  String StartDir;  // empty: none
  int Port = 21;
  bool Anonymous = false;
  // The listing format 0..5; the profile manager also stores 6 (its blank
  // entry) and -1 (no selection).
  int ServerType = 0;
};

// Which window writes a profile; it decides the keys and their order.
enum TProfileWriter { pwProfileManager, pwWizard };

// The program's folder + "accounts.dat".
String ProfileFileName();

// The profile names in file order.
void ReadProfileNames(const TMemIniFile* ini, TStrings* names);
// A profile of the copy; a key that is absent, or not a number where a
// number belongs, gives the default of TProfile.
TProfile ReadProfile(const TMemIniFile* ini, const String& name);
// Sets the profile's keys in the copy. The profile manager writes Proxy,
// Passive, ProxyName, HostName, UserName, PassWord, StartDir, Port,
// Anonymous, ServerType; the wizard the same without StartDir and with Port
// 21. Keys of an existing section keep their place, other keys stay.
void WriteProfile(TMemIniFile* ini, const TProfile& profile, TProfileWriter writer);
// WriteProfile, then the whole copy to the file.
void SaveProfile(TMemIniFile* ini, const TProfile& profile, TProfileWriter writer);
// Erases the profile's section from the copy, then writes the copy to the
// file; the other sections keep their order.
void DeleteProfile(TMemIniFile* ini, const String& name);
