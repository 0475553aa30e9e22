#include "Registry.h"

#include <vector>

namespace {
TRegDataType DataTypeOf(DWORD t) {
  switch (t) {
    case REG_SZ:
      return rdString;
    case REG_EXPAND_SZ:
      return rdExpandString;
    case REG_DWORD:
      return rdInteger;
    case REG_BINARY:
      return rdBinary;
    default:
      return rdUnknown;
  }
}

bool IsRelative(const String& key) { return key.empty() || key[0] != '\\'; }
}  // namespace

TRegistry::TRegistry() = default;

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(HKEY key) {
  if (key == rootKey_) return;
  CloseKey();
  rootKey_ = key;
}

HKEY TRegistry::BaseKey(bool relative) const { return (currentKey_ && relative) ? currentKey_ : rootKey_; }

bool TRegistry::OpenKey(const String& key, bool canCreate) {
  bool relative = IsRelative(key);
  String s = relative ? key : key.substr(1);
  HKEY k = nullptr;
  LONG r;
  if (canCreate && !s.empty()) {
    DWORD disp;
    r = RegCreateKeyExA(BaseKey(relative), s.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, Access, nullptr, &k, &disp);
  } else {
    r = RegOpenKeyExA(BaseKey(relative), s.c_str(), 0, Access, &k);
  }
  if (r != ERROR_SUCCESS) return false;
  String path = (relative && !currentPath_.empty()) ? currentPath_ + "\\" + s : s;
  CloseKey();
  currentKey_ = k;
  currentPath_ = path;
  return true;
}

bool TRegistry::OpenKeyReadOnly(const String& key) {
  REGSAM saved = Access;
  Access = KEY_READ;
  bool ok = OpenKey(key, false);
  Access = saved;
  return ok;
}

void TRegistry::CloseKey() {
  if (currentKey_) {
    if (!LazyWrite) RegFlushKey(currentKey_);
    RegCloseKey(currentKey_);
    currentKey_ = nullptr;
    currentPath_.clear();
  }
}

bool TRegistry::CreateKey(const String& key) {
  bool relative = IsRelative(key);
  String s = relative ? key : key.substr(1);
  HKEY k;
  DWORD disp;
  if (RegCreateKeyExA(BaseKey(relative), s.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &k,
                      &disp) != ERROR_SUCCESS)
    return false;
  RegCloseKey(k);
  return true;
}

namespace {
LONG DeleteTree(HKEY base, const String& sub) {
  HKEY k;
  if (RegOpenKeyExA(base, sub.c_str(), 0, KEY_ALL_ACCESS, &k) == ERROR_SUCCESS) {
    for (;;) {
      char name[512];
      DWORD len = sizeof name;
      if (RegEnumKeyExA(k, 0, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      if (DeleteTree(k, String(name, len)) != ERROR_SUCCESS) break;
    }
    RegCloseKey(k);
  }
  return RegDeleteKeyA(base, sub.c_str());
}
}  // namespace

bool TRegistry::DeleteKey(const String& key) {
  bool relative = IsRelative(key);
  String s = relative ? key : key.substr(1);
  return DeleteTree(BaseKey(relative), s) == ERROR_SUCCESS;
}

bool TRegistry::KeyExists(const String& key) {
  bool relative = IsRelative(key);
  String s = relative ? key : key.substr(1);
  HKEY k;
  if (RegOpenKeyExA(BaseKey(relative), s.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

bool TRegistry::HasSubKeys() {
  DWORD n = 0;
  if (!currentKey_) return false;
  RegQueryInfoKeyA(currentKey_, nullptr, nullptr, nullptr, &n, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                   nullptr);
  return n > 0;
}

void TRegistry::GetKeyNames(TStrings* strings) {
  strings->Clear();
  if (!currentKey_) return;
  for (DWORD i = 0;; ++i) {
    char name[512];
    DWORD len = sizeof name;
    if (RegEnumKeyExA(currentKey_, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    strings->Add(String(name, len));
  }
}

void TRegistry::GetValueNames(TStrings* strings) {
  strings->Clear();
  if (!currentKey_) return;
  for (DWORD i = 0;; ++i) {
    char name[16384];
    DWORD len = sizeof name;
    if (RegEnumValueA(currentKey_, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    strings->Add(String(name, len));
  }
}

bool TRegistry::GetDataInfo(const String& name, TRegDataInfo& info) {
  DWORD type = 0, size = 0;
  info = TRegDataInfo();
  HKEY k = currentKey_ ? currentKey_ : rootKey_;
  if (RegQueryValueExA(k, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  info.RegData = DataTypeOf(type);
  info.DataSize = static_cast<int>(size);
  return true;
}

bool TRegistry::ValueExists(const String& name) {
  TRegDataInfo info;
  return GetDataInfo(name, info);
}

bool TRegistry::DeleteValue(const String& name) {
  HKEY k = currentKey_ ? currentKey_ : rootKey_;
  return RegDeleteValueA(k, name.c_str()) == ERROR_SUCCESS;
}

int TRegistry::GetDataSize(const String& name) {
  TRegDataInfo info;
  return GetDataInfo(name, info) ? info.DataSize : -1;
}

TRegDataType TRegistry::GetDataType(const String& name) {
  TRegDataInfo info;
  return GetDataInfo(name, info) ? info.RegData : rdUnknown;
}

void TRegistry::PutData(const String& name, const void* buffer, DWORD size, DWORD type) {
  HKEY k = currentKey_ ? currentKey_ : rootKey_;
  if (RegSetValueExA(k, name.c_str(), 0, type, static_cast<const BYTE*>(buffer), size) != ERROR_SUCCESS)
    throw ERegistryException(Format("Failed to set data for '%s'", name));
}

int TRegistry::GetData(const String& name, void* buffer, DWORD size, TRegDataType& type) {
  HKEY k = currentKey_ ? currentKey_ : rootKey_;
  DWORD t = 0;
  if (RegQueryValueExA(k, name.c_str(), nullptr, &t, static_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
    throw ERegistryException(Format("Failed to get data for '%s'", name));
  type = DataTypeOf(t);
  return static_cast<int>(size);
}

String TRegistry::ReadString(const String& name) {
  TRegDataInfo info;
  if (!GetDataInfo(name, info)) return String();
  if (info.RegData != rdString && info.RegData != rdExpandString)
    throw ERegistryException(Format("Invalid data type for '%s'", name));
  if (info.DataSize <= 0) return String();
  std::vector<char> buf(info.DataSize + 1, '\0');
  TRegDataType t;
  int n = GetData(name, buf.data(), static_cast<DWORD>(info.DataSize), t);
  if (t != rdString && t != rdExpandString) throw ERegistryException(Format("Invalid data type for '%s'", name));
  String s(buf.data(), static_cast<size_t>(n));
  auto z = s.find('\0');
  if (z != String::npos) s.resize(z);
  return s;
}

void TRegistry::WriteString(const String& name, const String& value) {
  PutData(name, value.c_str(), static_cast<DWORD>(value.size() + 1), REG_SZ);
}

void TRegistry::WriteExpandString(const String& name, const String& value) {
  PutData(name, value.c_str(), static_cast<DWORD>(value.size() + 1), REG_EXPAND_SZ);
}

int TRegistry::ReadInteger(const String& name) {
  TRegDataInfo info;
  if (GetDataInfo(name, info) && (info.RegData != rdInteger || info.DataSize != 4))
    throw ERegistryException(Format("Invalid data type for '%s'", name));
  DWORD v = 0;
  TRegDataType t;
  GetData(name, &v, sizeof v, t);
  if (t != rdInteger) throw ERegistryException(Format("Invalid data type for '%s'", name));
  return static_cast<int>(v);
}

void TRegistry::WriteInteger(const String& name, int value) {
  DWORD v = static_cast<DWORD>(value);
  PutData(name, &v, sizeof v, REG_DWORD);
}

bool TRegistry::ReadBool(const String& name) { return ReadInteger(name) != 0; }
void TRegistry::WriteBool(const String& name, bool value) { WriteInteger(name, value ? 1 : 0); }

double TRegistry::ReadFloat(const String& name) {
  double v = 0;
  int n = ReadBinaryData(name, &v, sizeof v);
  if (n != sizeof v) throw ERegistryException(Format("Invalid data type for '%s'", name));
  return v;
}

void TRegistry::WriteFloat(const String& name, double value) { PutData(name, &value, sizeof value, REG_BINARY); }

int TRegistry::ReadBinaryData(const String& name, void* buffer, int bufSize) {
  TRegDataInfo info;
  if (!GetDataInfo(name, info)) throw ERegistryException(Format("Failed to get data for '%s'", name));
  if (info.RegData != rdBinary && info.RegData != rdUnknown)
    throw ERegistryException(Format("Invalid data type for '%s'", name));
  if (info.DataSize > bufSize) throw ERegistryException(Format("Invalid data type for '%s'", name));
  TRegDataType t;
  return GetData(name, buffer, static_cast<DWORD>(info.DataSize), t);
}

void TRegistry::WriteBinaryData(const String& name, const void* buffer, int bufSize) {
  PutData(name, buffer, static_cast<DWORD>(bufSize), REG_BINARY);
}
