#include "Newaccount.h"

#include "classlib/Forms.h"

String ProfileFileName() { return ExtractFilePath(Application->ExeName()) + "accounts.dat"; }

void ReadProfileNames(const TMemIniFile* ini, TStrings* names) { ini->ReadSections(names); }

TProfile ReadProfile(const TMemIniFile* ini, const String& name) {
  TProfile p;
  p.Name = name;
  p.Proxy = ini->ReadBool(name, "Proxy", p.Proxy);
  p.Passive = ini->ReadBool(name, "Passive", p.Passive);
  p.ProxyName = ini->ReadString(name, "ProxyName", p.ProxyName);
  p.HostName = ini->ReadString(name, "HostName", p.HostName);
  p.UserName = ini->ReadString(name, "UserName", p.UserName);
  p.PassWord = ini->ReadString(name, "PassWord", p.PassWord);
  p.StartDir = ini->ReadString(name, "StartDir", p.StartDir);
  p.Port = ini->ReadInteger(name, "Port", p.Port);
  p.Anonymous = ini->ReadBool(name, "Anonymous", p.Anonymous);
  p.ServerType = ini->ReadInteger(name, "ServerType", p.ServerType);
  return p;
}

void WriteProfile(TMemIniFile* ini, const TProfile& profile, TProfileWriter writer) {
  const String& s = profile.Name;
  ini->WriteBool(s, "Proxy", profile.Proxy);
  ini->WriteBool(s, "Passive", profile.Passive);
  ini->WriteString(s, "ProxyName", profile.ProxyName);
  ini->WriteString(s, "HostName", profile.HostName);
  ini->WriteString(s, "UserName", profile.UserName);
  ini->WriteString(s, "PassWord", profile.PassWord);
  if (writer == pwProfileManager) ini->WriteString(s, "StartDir", profile.StartDir);
  ini->WriteInteger(s, "Port", writer == pwWizard ? 21 : profile.Port);
  ini->WriteBool(s, "Anonymous", profile.Anonymous);
  ini->WriteInteger(s, "ServerType", profile.ServerType);
}

void SaveProfile(TMemIniFile* ini, const TProfile& profile, TProfileWriter writer) {
  WriteProfile(ini, profile, writer);
  ini->UpdateFile();
}

void DeleteProfile(TMemIniFile* ini, const String& name) {
  ini->EraseSection(name);
  ini->UpdateFile();
}
