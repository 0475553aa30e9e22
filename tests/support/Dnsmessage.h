// Pieces of DNS messages for scripted name servers (RFC 1035 layout, 16-
// and 32-bit fields in network order).
#pragma once

#include <cstdint>

#include "classlib/Sysutils.h"

namespace dnsmsg {

String Be16(int v);
String Be32(uint32_t v);
// The 12-byte header.
String Header(int id, int flags, int qd, int an, int ns = 0, int ar = 0);
// A name as labels, uncompressed ("a.b" -> 1 'a' 1 'b' 0).
String Name(const String& dotted);
// A compression pointer to an offset of the message.
String Pointer(int offset);
// A resource record of class IN.
String Record(const String& name, int type, const String& rdata, uint32_t ttl = 300);
// Four address bytes, and the same as a 32-bit value in network order.
String Ipv4(int a, int b, int c, int d);
uint32_t NetAddr(int a, int b, int c, int d);
// The ID of a query, and its question (all that follows the header).
int QueryId(const String& query);
String QuestionOf(const String& query);

}  // namespace dnsmsg
