#include "Dnsmessage.h"

#include <cstring>

namespace dnsmsg {

String Be16(int v) { return String{static_cast<char>(v >> 8), static_cast<char>(v)}; }

String Be32(uint32_t v) { return Be16(static_cast<int>(v >> 16)) + Be16(static_cast<int>(v & 0xFFFF)); }

String Header(int id, int flags, int qd, int an, int ns, int ar) {
  return Be16(id) + Be16(flags) + Be16(qd) + Be16(an) + Be16(ns) + Be16(ar);
}

String Name(const String& dotted) {
  String out;
  size_t start = 0;
  while (start < dotted.size()) {
    size_t dot = dotted.find('.', start);
    if (dot == String::npos) dot = dotted.size();
    out += static_cast<char>(dot - start);
    out += dotted.substr(start, dot - start);
    start = dot + 1;
  }
  return out + String(1, '\0');
}

String Pointer(int offset) { return String{static_cast<char>(0xC0 | offset >> 8), static_cast<char>(offset)}; }

String Record(const String& name, int type, const String& rdata, uint32_t ttl) {
  return name + Be16(type) + Be16(1) + Be32(ttl) + Be16(static_cast<int>(rdata.size())) + rdata;
}

String Ipv4(int a, int b, int c, int d) {
  return String{static_cast<char>(a), static_cast<char>(b), static_cast<char>(c), static_cast<char>(d)};
}

uint32_t NetAddr(int a, int b, int c, int d) {
  String s = Ipv4(a, b, c, d);
  uint32_t v;
  std::memcpy(&v, s.data(), 4);
  return v;
}

int QueryId(const String& q) { return static_cast<uint8_t>(q[0]) << 8 | static_cast<uint8_t>(q[1]); }

String QuestionOf(const String& q) { return q.substr(12); }

}  // namespace dnsmsg
