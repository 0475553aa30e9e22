// Registry access with a current key, as the platform's registry class.
#pragma once

#include "Classes.h"

NEMBRA_EXCEPTION(ERegistryException, Exception);

enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

struct TRegDataInfo {
  TRegDataType RegData = rdUnknown;
  int DataSize = 0;
};

class TRegistry : public TObject {
 public:
  TRegistry();
  ~TRegistry() override;

  HKEY RootKey() const { return rootKey_; }
  void SetRootKey(HKEY key);
  HKEY CurrentKey() const { return currentKey_; }
  const String& CurrentPath() const { return currentPath_; }
  // Whether CloseKey leaves writing to the system (true) or flushes.
  bool LazyWrite = true;
  REGSAM Access = KEY_ALL_ACCESS;

  // A key starting with '\' is taken from the root, otherwise from the
  // current key. Returns whether the key was opened (or made).
  bool OpenKey(const String& key, bool canCreate);
  bool OpenKeyReadOnly(const String& key);
  void CloseKey();
  bool CreateKey(const String& key);
  bool DeleteKey(const String& key);  // with its subkeys
  bool KeyExists(const String& key);
  bool HasSubKeys();
  void GetKeyNames(TStrings* strings);
  void GetValueNames(TStrings* strings);

  bool ValueExists(const String& name);
  bool DeleteValue(const String& name);
  bool GetDataInfo(const String& name, TRegDataInfo& info);
  int GetDataSize(const String& name);  // -1 when missing
  TRegDataType GetDataType(const String& name);

  // Reads raise ERegistryException "Invalid data type for '%s'" for a value
  // of another type and "Failed to get data for '%s'" for a missing one
  // (ReadString gives "" for a missing value); writes raise
  // "Failed to set data for '%s'".
  String ReadString(const String& name);
  void WriteString(const String& name, const String& value);
  void WriteExpandString(const String& name, const String& value);
  int ReadInteger(const String& name);
  void WriteInteger(const String& name, int value);
  bool ReadBool(const String& name);
  void WriteBool(const String& name, bool value);
  double ReadFloat(const String& name);
  void WriteFloat(const String& name, double value);
  TDateTime ReadDateTime(const String& name) { return ReadFloat(name); }
  void WriteDateTime(const String& name, TDateTime value) { WriteFloat(name, value); }
  int ReadBinaryData(const String& name, void* buffer, int bufSize);
  void WriteBinaryData(const String& name, const void* buffer, int bufSize);

 private:
  HKEY BaseKey(bool relative) const;
  void PutData(const String& name, const void* buffer, DWORD size, DWORD type);
  int GetData(const String& name, void* buffer, DWORD size, TRegDataType& type);
  HKEY rootKey_ = HKEY_CURRENT_USER;
  HKEY currentKey_ = nullptr;
  String currentPath_;
  bool closeRoot_ = false;
};
