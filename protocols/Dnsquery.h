// DNS query component: one query (A, MX, PTR or any type) over UDP to a
// given name server; the answer section of the reply is decoded into arrays
// that the caller reads by index after OnRequestDone.
//
// The message format (query building, reply decoding, LOC formatting) uses
// only the standard library. Defining NEMBRA_DNSQUERY_CORE leaves the
// component out, so the decoder also builds outside the Windows tree.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// Sizes of the message format.
constexpr int kDnsMessageSize = 512;  // largest UDP message, query and reply
constexpr int kDnsHeaderSize = 12;
constexpr int kDnsMaxLabel = 63;
constexpr int kDnsMaxNameWire = 255;  // length bytes and labels, final 0 included
// A name has at most 127 labels; a longer chain of compression pointers is
// a loop.
constexpr int kDnsMaxPointerHops = 127;

// Capacities of the decoded arrays.
constexpr int kDnsMaxAnswers = 50;
constexpr int kDnsMaxARecords = 50;
constexpr int kDnsMaxMXRecords = 50;
constexpr int kDnsMaxPTRRecords = 10;
constexpr int kDnsLocSize = 16;

// Query types and the Internet class.
constexpr int DnsQueryA = 1;
constexpr int DnsQueryPTR = 12;
constexpr int DnsQueryMX = 15;
constexpr int DnsQueryLOC = 29;
constexpr int DnsClassIN = 1;

using TDnsLocRecord = std::array<uint8_t, kDnsLocSize>;

struct TDnsAnswer {
  std::string Name;
  int Type = 0;
  int Class = 0;
  uint32_t TTL = 0;
  // Entry in the typed array of the record's type; -1 when not stored there.
  int Tag = -1;
};

// A decoded reply: the header, the first question and the answer section.
struct TDnsReply {
  int ID = 0;
  int Code = 0;    // RCODE
  int OpCode = 0;
  bool Authoritative = false;
  bool Truncated = false;
  bool RecursionAvailable = false;
  int QDCount = 0;
  int ANCount = 0;
  int NSCount = 0;
  int ARCount = 0;

  std::string QuestionName;
  int QuestionType = 0;
  int QuestionClass = 0;

  // The first kDnsMaxAnswers answers.
  std::array<TDnsAnswer, kDnsMaxAnswers> Answers;
  int ARecordCount = 0;
  std::array<uint32_t, kDnsMaxARecords> Address{};  // IPv4, network order
  int MXRecordCount = 0;
  std::array<int, kDnsMaxMXRecords> MXPreference{};
  std::array<std::string, kDnsMaxMXRecords> MXExchange;
  int PTRRecordCount = 0;
  std::array<std::string, kDnsMaxPTRRecords> Hostname;
  // The last LOC answer of 16 bytes (zero when its length differs).
  TDnsLocRecord Loc{};
};

// Writes the 12-byte header: flags (OpCode shl 11) or (RecursionDesired shl 8).
void DnsBuildHeader(uint8_t* dst, uint16_t id, int opCode, bool recursionDesired, int qdCount, int anCount,
                    int nsCount, int arCount);

// Writes one question (name, type, class) into dst (room bytes) and returns
// its length. A trailing dot is dropped ("." is the root). An empty label,
// a label over 63 bytes, a name over 255 bytes on the wire or a question
// that does not fit gives -1 with the reason in error.
int DnsBuildQuestion(uint8_t* dst, size_t room, const std::string& name, int qType, int qClass,
                     std::string& error);

// Decodes the name at pos of the message data[0..len) into labels joined
// by "." and moves pos past it (past the first compression pointer when
// there is one). False when a label or pointer leaves the message, a
// pointer chain is too long, the name exceeds 255 bytes or a label type is
// unknown.
bool DnsExtractName(const uint8_t* data, size_t len, size_t& pos, std::string& name);

// Decodes a reply. The header is read when len is at least 12; then every
// question the header announces is passed (the first one is kept) and the
// answer section decoded; the authority and additional sections are not
// read. False for a message shorter than 12 bytes or whose sections leave
// it or break a rule of the format; the question and answers are then empty.
bool DnsDecodeReply(const uint8_t* data, size_t len, TDnsReply& reply);

// The dot-separated parts of ip in reverse order ("1.2.3.4" -> "4.3.2.1").
std::string ReverseIP(const std::string& ip);

// A LOC record as numbers and text.
struct TLOCInfo {
  int Version = 0;
  // Mantissa times ten to the exponent, in centimetres.
  int64_t Size = 0;
  int64_t HorizPre = 0;
  int64_t VertPre = 0;
  std::string Latitude;   // "42 21 54.000 N"
  std::string Longitude;  // "71 06 18.000 W"
  int64_t Altitude = 0;   // metres above the reference
};

TLOCInfo Loc2Geo(const TDnsLocRecord& loc);
// value: thousandths of an arc-second, 2^31 at the equator or the prime
// meridian. hemis: "NS" or "EW"; the first letter north of or east of it.
std::string LongLatToDMS(uint32_t value, const std::string& hemis);

#ifndef NEMBRA_DNSQUERY_CORE

#include "protocols/Wsocket.h"
#include "classlib/Extctrls.h"

NEMBRA_EXCEPTION(EDnsException, Exception);

using TDnsRequestDoneEvent = TEvent<TObject*, WORD>;

// OnRequestDone errors of the component's own.
constexpr WORD kDnsErrorTimeout = 10060;    // no reply in Timeout ms (WSAETIMEDOUT)
constexpr WORD kDnsErrorMalformed = 11003;  // the reply cannot be decoded (WSANO_RECOVERY)
constexpr WORD kDnsErrorTooLong = 10040;    // the reply exceeds 512 bytes (WSAEMSGSIZE)
constexpr unsigned kDnsDefaultTimeout = 5000;

class TDnsQuery : public TComponent {
 public:
  explicit TDnsQuery(TComponent* AOwner);
  ~TDnsQuery() override;

  // Each sends one query, replacing any query still waiting, and returns its
  // ID. OnRequestDone tells the end: Error 0 with the reply decoded, a socket
  // error, kDnsErrorTimeout, kDnsErrorMalformed or kDnsErrorTooLong. An
  // invalid name raises EDnsException; a socket that cannot be set up
  // raises ESocketException.
  int ALookup(const String& Host);
  int MXLookup(const String& Domain);
  // Asks for ReverseIP(IP) + ".in-addr.arpa".
  int PTRLookup(const String& IP);
  int QueryAny(const String& Name, int QType);

  // ---- properties
  const String& Port() const { return FPort; }
  void SetPort(const String& Value) { FPort = Value; }
  const String& Addr() const { return FAddr; }
  void SetAddr(const String& Value) { FAddr = Value; }
  // Milliseconds to wait for the reply; 0 waits for ever.
  unsigned Timeout() const { return FTimeout; }
  void SetTimeout(unsigned Value) { FTimeout = Value; }
  // ID of the last query sent (0 before the first).
  int ID() const { return FID; }

  // ---- the last reply
  int ResponseLen() const { return FResponseLen; }  // -1 while waiting
  int ResponseID() const { return FReply.ID; }
  int ResponseCode() const { return FReply.Code; }
  int ResponseOpCode() const { return FReply.OpCode; }
  bool ResponseAuthoritative() const { return FReply.Authoritative; }
  bool ResponseTruncated() const { return FReply.Truncated; }
  bool ResponseRecursionAvailable() const { return FReply.RecursionAvailable; }
  int ResponseQDCount() const { return FReply.QDCount; }
  int ResponseANCount() const { return FReply.ANCount; }
  int ResponseNSCount() const { return FReply.NSCount; }
  int ResponseARCount() const { return FReply.ARCount; }
  const String& QuestionName() const { return FReply.QuestionName; }
  int QuestionType() const { return FReply.QuestionType; }
  int QuestionClass() const { return FReply.QuestionClass; }
  int MXRecordCount() const { return FReply.MXRecordCount; }
  int ARecordCount() const { return FReply.ARecordCount; }
  int PTRRecordCount() const { return FReply.PTRRecordCount; }
  const TDnsLocRecord& LocRecord() const { return FReply.Loc; }

  // By index from 0; outside the arrays 0, empty or (tag) -1.
  String GetAnswerName(int Index) const;
  int GetAnswerType(int Index) const;
  int GetAnswerClass(int Index) const;
  uint32_t GetAnswerTTL(int Index) const;
  int GetAnswerTag(int Index) const;
  int GetMXPreference(int Index) const;
  String GetMXExchange(int Index) const;
  uint32_t GetAddress(int Index) const;  // network order
  String GetHostname(int Index) const;
  // The 512-byte response buffer.
  const uint8_t* GetResponseBuf() const { return FResponseBuf; }

  TDnsRequestDoneEvent OnRequestDone;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

  virtual void BuildRequestHeader(uint16_t ID, int OpCode, bool Recursion, int QDCount, int ANCount, int NSCount,
                                  int ARCount);
  // Returns the question's length; EDnsException for an invalid name.
  virtual int BuildQuestionSection(const String& QName, int QType, int QClass);
  virtual void WSocketDataAvailable(TObject* Sender, WORD Error);
  virtual void TriggerRequestDone(WORD Error);

 private:
  int SendQuery(const String& Name, int QType);
  // Ends the waiting query and fires OnRequestDone.
  void Finish(WORD Error);
  void TimerTimeout(TObject* Sender);

  TWSocket* FWSocket = nullptr;
  TTimer* FTimer = nullptr;
  String FPort = "53";
  String FAddr;
  unsigned FTimeout = kDnsDefaultTimeout;
  uint16_t FID = 0;
  bool FWaiting = false;
  uint8_t FQueryBuf[kDnsMessageSize]{};
  int FQueryLen = 0;
  uint8_t FResponseBuf[kDnsMessageSize]{};
  int FResponseLen = -1;
  TDnsReply FReply;
};

#endif  // NEMBRA_DNSQUERY_CORE
