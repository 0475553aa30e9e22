#include "Dnsquery.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

// ---------------------------------------------------------------- message format

namespace {

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
         p[3];
}

void Put16(uint8_t* p, int v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}

// Mantissa (high 4 bits) times ten to the exponent (low 4 bits).
int64_t LocPower(uint8_t b) {
  int64_t v = b >> 4;
  for (int i = 0; i < (b & 15); ++i) v *= 10;
  return v;
}

}  // namespace

void DnsBuildHeader(uint8_t* dst, uint16_t id, int opCode, bool recursionDesired, int qdCount, int anCount,
                    int nsCount, int arCount) {
  Put16(dst, id);
  Put16(dst + 2, (opCode & 15) << 11 | (recursionDesired ? 1 << 8 : 0));
  Put16(dst + 4, qdCount);
  Put16(dst + 6, anCount);
  Put16(dst + 8, nsCount);
  Put16(dst + 10, arCount);
}

int DnsBuildQuestion(uint8_t* dst, size_t room, const std::string& name, int qType, int qClass,
                     std::string& error) {
  std::string n = name;
  if (!n.empty() && n.back() == '.') n.pop_back();
  std::vector<uint8_t> wire;
  size_t start = 0;
  while (!n.empty() && start <= n.size()) {
    size_t dot = n.find('.', start);
    if (dot == std::string::npos) dot = n.size();
    size_t labelLen = dot - start;
    if (labelLen == 0) {
      error = "Invalid domain name \"" + name + "\": empty label";
      return -1;
    }
    if (labelLen > kDnsMaxLabel) {
      error = "Invalid domain name \"" + name + "\": label longer than 63 characters";
      return -1;
    }
    wire.push_back(static_cast<uint8_t>(labelLen));
    wire.insert(wire.end(), n.begin() + static_cast<ptrdiff_t>(start), n.begin() + static_cast<ptrdiff_t>(dot));
    start = dot + 1;
  }
  wire.push_back(0);
  if (wire.size() > kDnsMaxNameWire) {
    error = "Invalid domain name \"" + name + "\": name too long";
    return -1;
  }
  if (qType < 0 || qType > 0xFFFF || qClass < 0 || qClass > 0xFFFF) {
    error = "Invalid query type or class";
    return -1;
  }
  if (wire.size() + 4 > room) {
    error = "The question does not fit in the query";
    return -1;
  }
  std::memcpy(dst, wire.data(), wire.size());
  Put16(dst + wire.size(), qType);
  Put16(dst + wire.size() + 2, qClass);
  return static_cast<int>(wire.size() + 4);
}

bool DnsExtractName(const uint8_t* data, size_t len, size_t& pos, std::string& name) {
  name.clear();
  size_t p = pos;
  size_t next = 0;  // where the caller goes on
  bool jumped = false;
  int hops = 0;
  size_t wire = 1;  // the final 0
  for (;;) {
    if (p >= len) return false;
    uint8_t b = data[p];
    if ((b & 0xC0) == 0xC0) {
      if (len - p < 2) return false;
      size_t target = static_cast<size_t>(b & 0x3F) << 8 | data[p + 1];
      if (!jumped) next = p + 2;
      jumped = true;
      if (++hops > kDnsMaxPointerHops || target >= len) return false;
      p = target;
      continue;
    }
    if (b & 0xC0) return false;  // extended and reserved label types
    if (b == 0) {
      if (!jumped) next = p + 1;
      break;
    }
    if (len - p - 1 < b) return false;
    wire += 1 + b;
    if (wire > kDnsMaxNameWire) return false;
    if (!name.empty()) name += '.';
    name.append(reinterpret_cast<const char*>(data + p + 1), b);
    p += 1 + b;
  }
  pos = next;
  return true;
}

bool DnsDecodeReply(const uint8_t* data, size_t len, TDnsReply& reply) {
  reply = TDnsReply{};
  if (len < kDnsHeaderSize) return false;
  uint16_t flags = Get16(data + 2);
  reply.ID = Get16(data);
  reply.Code = flags & 15;
  reply.OpCode = (flags >> 11) & 15;
  reply.Authoritative = (flags & 0x0400) != 0;
  reply.Truncated = (flags & 0x0200) != 0;
  reply.RecursionAvailable = (flags & 0x0080) != 0;
  reply.QDCount = Get16(data + 4);
  reply.ANCount = Get16(data + 6);
  reply.NSCount = Get16(data + 8);
  reply.ARCount = Get16(data + 10);

  auto fail = [&reply] {
    TDnsReply header = reply;
    reply = TDnsReply{};
    reply.ID = header.ID;
    reply.Code = header.Code;
    reply.OpCode = header.OpCode;
    reply.Authoritative = header.Authoritative;
    reply.Truncated = header.Truncated;
    reply.RecursionAvailable = header.RecursionAvailable;
    reply.QDCount = header.QDCount;
    reply.ANCount = header.ANCount;
    reply.NSCount = header.NSCount;
    reply.ARCount = header.ARCount;
    return false;
  };

  size_t pos = kDnsHeaderSize;
  std::string name;
  for (int q = 0; q < reply.QDCount; ++q) {
    if (!DnsExtractName(data, len, pos, name) || len - pos < 4) return fail();
    if (q == 0) {
      reply.QuestionName = name;
      reply.QuestionType = Get16(data + pos);
      reply.QuestionClass = Get16(data + pos + 2);
    }
    pos += 4;
  }

  for (int i = 0; i < reply.ANCount; ++i) {
    if (!DnsExtractName(data, len, pos, name) || len - pos < 10) return fail();
    int type = Get16(data + pos);
    int cls = Get16(data + pos + 2);
    uint32_t ttl = Get32(data + pos + 4);
    size_t rdLength = Get16(data + pos + 8);
    pos += 10;
    if (len - pos < rdLength) return fail();
    const size_t rdata = pos;
    const size_t rdEnd = pos + rdLength;
    pos = rdEnd;

    // Names inside RDATA may point anywhere before, but must end within it.
    std::string target;
    size_t p = rdata;
    switch (type) {
      case DnsQueryA:
        if (rdLength != 4) return fail();
        break;
      case DnsQueryPTR:
        if (!DnsExtractName(data, len, p, target) || p > rdEnd) return fail();
        break;
      case DnsQueryMX:
        if (rdLength < 2) return fail();
        p += 2;
        if (!DnsExtractName(data, len, p, target) || p > rdEnd) return fail();
        break;
      default:
        break;
    }
    if (i >= kDnsMaxAnswers) continue;

    TDnsAnswer& a = reply.Answers[static_cast<size_t>(i)];
    a.Name = name;
    a.Type = type;
    a.Class = cls;
    a.TTL = ttl;
    a.Tag = -1;
    switch (type) {
      case DnsQueryA:
        if (reply.ARecordCount < kDnsMaxARecords) {
          a.Tag = reply.ARecordCount++;
          std::memcpy(&reply.Address[static_cast<size_t>(a.Tag)], data + rdata, 4);
        }
        break;
      case DnsQueryPTR:
        if (reply.PTRRecordCount < kDnsMaxPTRRecords) {
          a.Tag = reply.PTRRecordCount++;
          reply.Hostname[static_cast<size_t>(a.Tag)] = target;
        }
        break;
      case DnsQueryMX:
        if (reply.MXRecordCount < kDnsMaxMXRecords) {
          a.Tag = reply.MXRecordCount++;
          reply.MXPreference[static_cast<size_t>(a.Tag)] = Get16(data + rdata);
          reply.MXExchange[static_cast<size_t>(a.Tag)] = target;
        }
        break;
      case DnsQueryLOC:
        if (rdLength == kDnsLocSize)
          std::memcpy(reply.Loc.data(), data + rdata, kDnsLocSize);
        else
          reply.Loc.fill(0);
        break;
      default:
        break;
    }
  }
  return true;
}

std::string ReverseIP(const std::string& ip) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t dot = ip.find('.', start);
    parts.push_back(ip.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  std::string result;
  for (size_t i = parts.size(); i-- > 0;) {
    result += parts[i];
    if (i > 0) result += '.';
  }
  return result;
}

std::string LongLatToDMS(uint32_t value, const std::string& hemis) {
  const int64_t equator = int64_t{1} << 31;
  int64_t distance = static_cast<int64_t>(value) - equator;
  if (distance < 0) distance = -distance;
  int64_t degrees = distance / 3600000;
  distance %= 3600000;
  int64_t minutes = distance / 60000;
  distance %= 60000;
  int64_t seconds = distance / 1000;
  int64_t thousandths = distance % 1000;
  char text[64];
  std::snprintf(text, sizeof text, "%d %02d %02d.%03d", static_cast<int>(degrees), static_cast<int>(minutes),
                static_cast<int>(seconds), static_cast<int>(thousandths));
  char letter = hemis.size() < 2 ? '?' : (value <= equator ? hemis[1] : hemis[0]);
  return std::string(text) + " " + letter;
}

TLOCInfo Loc2Geo(const TDnsLocRecord& loc) {
  TLOCInfo info;
  info.Version = loc[0];
  info.Size = LocPower(loc[1]);
  info.HorizPre = LocPower(loc[2]);
  info.VertPre = LocPower(loc[3]);
  info.Latitude = LongLatToDMS(Get32(loc.data() + 4), "NS");
  info.Longitude = LongLatToDMS(Get32(loc.data() + 8), "EW");
  // Centimetres above a base 100 000 m below the reference; ties to even.
  info.Altitude =
      static_cast<int64_t>(std::nearbyint((static_cast<double>(Get32(loc.data() + 12)) - 10000000.0) / 100.0));
  return info;
}

#ifndef NEMBRA_DNSQUERY_CORE

// ---------------------------------------------------------------- component

TDnsQuery::TDnsQuery(TComponent* AOwner) : TComponent(AOwner) {
  FWSocket = new TWSocket(nullptr);
  FWSocket->FreeNotification(this);
  FTimer = new TTimer(this);
  FTimer->SetEnabled(false);
  FTimer->SetOnTimer({this, &TDnsQuery::TimerTimeout});
}

TDnsQuery::~TDnsQuery() {
  FWaiting = false;
  if (FTimer) FTimer->SetEnabled(false);
  TWSocket* s = FWSocket;
  FWSocket = nullptr;
  if (s) s->Free();
}

void TDnsQuery::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == FWSocket) {
    FWSocket = nullptr;
    FWaiting = false;
  }
  if (AComponent == FTimer) FTimer = nullptr;
}

int TDnsQuery::ALookup(const String& Host) { return SendQuery(Host, DnsQueryA); }

int TDnsQuery::MXLookup(const String& Domain) { return SendQuery(Domain, DnsQueryMX); }

int TDnsQuery::PTRLookup(const String& IP) { return SendQuery(ReverseIP(IP) + ".in-addr.arpa", DnsQueryPTR); }

int TDnsQuery::QueryAny(const String& Name, int QType) { return SendQuery(Name, QType); }

void TDnsQuery::BuildRequestHeader(uint16_t ID, int OpCode, bool Recursion, int QDCount, int ANCount, int NSCount,
                                   int ARCount) {
  DnsBuildHeader(FQueryBuf, ID, OpCode, Recursion, QDCount, ANCount, NSCount, ARCount);
}

int TDnsQuery::BuildQuestionSection(const String& QName, int QType, int QClass) {
  String error;
  int n = DnsBuildQuestion(FQueryBuf + kDnsHeaderSize, sizeof FQueryBuf - kDnsHeaderSize, QName, QType, QClass, error);
  if (n < 0) throw EDnsException(error);
  return n;
}

int TDnsQuery::SendQuery(const String& Name, int QType) {
  if (!FWSocket) throw EDnsException("DNS query: the socket is gone");
  // The name is checked before the query takes an ID.
  int questionLen = BuildQuestionSection(Name, QType, DnsClassIN);
  ++FID;
  BuildRequestHeader(FID, 0, true, 1, 0, 0, 0);
  FQueryLen = kDnsHeaderSize + questionLen;

  FWaiting = false;
  if (FTimer) FTimer->SetEnabled(false);
  FResponseLen = -1;
  FReply = TDnsReply{};
  FWSocket->OnDataAvailable = nullptr;
  FWSocket->Abort();
  FWSocket->OnDataAvailable = {this, &TDnsQuery::WSocketDataAvailable};
  FWSocket->SetProto("udp");
  FWSocket->SetPort(FPort);
  FWSocket->SetAddr(FAddr);
  FWSocket->Connect();
  FWSocket->Send(FQueryBuf, FQueryLen);
  FWaiting = true;
  if (FTimer && FTimeout > 0) {
    FTimer->SetInterval(FTimeout);
    FTimer->SetEnabled(true);
  }
  return FID;
}

void TDnsQuery::WSocketDataAvailable(TObject* Sender, WORD Error) {
  // The datagram is taken in any case, so that the socket does not keep
  // announcing it.
  int len = FWSocket ? FWSocket->Receive(FResponseBuf, sizeof FResponseBuf) : -1;
  if (!FWaiting) return;
  if (Error != 0) {
    Finish(Error);
    return;
  }
  bool tooLong = false;
  if (len < 0) {
    int err = FWSocket ? FWSocket->LastError() : WSAENOTSOCK;
    if (err == WSAEWOULDBLOCK) return;
    if (err != WSAEMSGSIZE) {
      Finish(static_cast<WORD>(err));
      return;
    }
    // The first 512 bytes came; enough to see whether it is ours.
    tooLong = true;
    len = sizeof FResponseBuf;
  }
  // Not a reply, or not the reply to this query: dropped.
  if (len < kDnsHeaderSize || !(FResponseBuf[2] & 0x80)) return;
  if (Get16(FResponseBuf) != FID) return;
  FResponseLen = len;
  if (tooLong) {
    Finish(kDnsErrorTooLong);
    return;
  }
  bool ok = DnsDecodeReply(FResponseBuf, static_cast<size_t>(len), FReply);
  Finish(ok ? 0 : kDnsErrorMalformed);
}

void TDnsQuery::Finish(WORD Error) {
  FWaiting = false;
  if (FTimer) FTimer->SetEnabled(false);
  try {
    TriggerRequestDone(Error);
  } catch (...) {
    // A failing handler is the application's to report, once the message
    // has returned; the socket's background path would only abort it.
    HandleExceptionLater(this);
  }
}

void TDnsQuery::TimerTimeout(TObject*) {
  if (FTimer) FTimer->SetEnabled(false);
  if (!FWaiting) return;
  // A reply that comes later finds no socket.
  if (FWSocket) {
    FWSocket->OnDataAvailable = nullptr;
    FWSocket->Abort();
  }
  Finish(kDnsErrorTimeout);
}

void TDnsQuery::TriggerRequestDone(WORD Error) {
  if (OnRequestDone) OnRequestDone(this, Error);
}

namespace {

bool InRange(int index, int count) { return index >= 0 && index < count; }

}  // namespace

String TDnsQuery::GetAnswerName(int Index) const {
  return InRange(Index, kDnsMaxAnswers) ? FReply.Answers[static_cast<size_t>(Index)].Name : String();
}

int TDnsQuery::GetAnswerType(int Index) const {
  return InRange(Index, kDnsMaxAnswers) ? FReply.Answers[static_cast<size_t>(Index)].Type : 0;
}

int TDnsQuery::GetAnswerClass(int Index) const {
  return InRange(Index, kDnsMaxAnswers) ? FReply.Answers[static_cast<size_t>(Index)].Class : 0;
}

uint32_t TDnsQuery::GetAnswerTTL(int Index) const {
  return InRange(Index, kDnsMaxAnswers) ? FReply.Answers[static_cast<size_t>(Index)].TTL : 0;
}

int TDnsQuery::GetAnswerTag(int Index) const {
  return InRange(Index, kDnsMaxAnswers) ? FReply.Answers[static_cast<size_t>(Index)].Tag : -1;
}

int TDnsQuery::GetMXPreference(int Index) const {
  return InRange(Index, kDnsMaxMXRecords) ? FReply.MXPreference[static_cast<size_t>(Index)] : 0;
}

String TDnsQuery::GetMXExchange(int Index) const {
  return InRange(Index, kDnsMaxMXRecords) ? FReply.MXExchange[static_cast<size_t>(Index)] : String();
}

uint32_t TDnsQuery::GetAddress(int Index) const {
  return InRange(Index, kDnsMaxARecords) ? FReply.Address[static_cast<size_t>(Index)] : 0;
}

String TDnsQuery::GetHostname(int Index) const {
  return InRange(Index, kDnsMaxPTRRecords) ? FReply.Hostname[static_cast<size_t>(Index)] : String();
}

#endif  // NEMBRA_DNSQUERY_CORE
