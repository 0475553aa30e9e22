#include "Dxbarstrs.h"

String dxBarLoadStr(int id) {
  char buf[1024];
  int n = LoadStringA(GetModuleHandleA(nullptr), static_cast<UINT>(id), buf, sizeof buf);
  if (n <= 0) return Format("String %d", id);
  return String(buf, static_cast<size_t>(n));
}
