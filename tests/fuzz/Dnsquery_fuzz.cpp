// libFuzzer target for the DNS message format, built natively.
// The input is decoded as a reply; it is also taken as a name for a question,
// which must decode back to the same name.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "protocols/Dnsquery.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

// Labels of at most 63 bytes and 255 bytes on the wire: at most 253 characters.
void CheckName(const std::string& name) { Check(name.size() <= 253, "name longer than 253 characters"); }

void CheckReply(const uint8_t* data, size_t size) {
  TDnsReply reply;
  bool ok = DnsDecodeReply(data, size, reply);
  if (size < kDnsHeaderSize) {
    Check(!ok, "a message shorter than the header decoded");
    return;
  }
  Check(reply.ID == (data[0] << 8 | data[1]), "header ID");
  if (!ok) {
    Check(reply.QuestionName.empty() && reply.ARecordCount == 0 && reply.MXRecordCount == 0 &&
              reply.PTRRecordCount == 0 && reply.Answers[0].Name.empty(),
          "a rejected reply left sections behind");
    return;
  }
  CheckName(reply.QuestionName);
  Check(reply.ARecordCount >= 0 && reply.ARecordCount <= kDnsMaxARecords, "A count");
  Check(reply.MXRecordCount >= 0 && reply.MXRecordCount <= kDnsMaxMXRecords, "MX count");
  Check(reply.PTRRecordCount >= 0 && reply.PTRRecordCount <= kDnsMaxPTRRecords, "PTR count");
  int a = 0, mx = 0, ptr = 0;
  int stored = reply.ANCount < kDnsMaxAnswers ? reply.ANCount : kDnsMaxAnswers;
  for (int i = 0; i < stored; ++i) {
    const TDnsAnswer& ans = reply.Answers[static_cast<size_t>(i)];
    CheckName(ans.Name);
    int* count = ans.Type == DnsQueryA ? &a : ans.Type == DnsQueryMX ? &mx : ans.Type == DnsQueryPTR ? &ptr : nullptr;
    if (ans.Tag < 0) {
      Check(ans.Tag == -1, "negative tag other than -1");
      continue;
    }
    Check(count != nullptr, "tag on a type without an array");
    Check(ans.Tag == (*count)++, "tags out of order");
  }
  Check(a == reply.ARecordCount && mx == reply.MXRecordCount && ptr == reply.PTRRecordCount,
        "counts differ from the tags");
  for (int i = 0; i < reply.MXRecordCount; ++i) CheckName(reply.MXExchange[static_cast<size_t>(i)]);
  for (int i = 0; i < reply.PTRRecordCount; ++i) CheckName(reply.Hostname[static_cast<size_t>(i)]);
  TLOCInfo loc = Loc2Geo(reply.Loc);
  Check(loc.Latitude.size() < 32 && loc.Longitude.size() < 32, "LOC text");
}

void CheckNameRoundTrip(const uint8_t* data, size_t size) {
  std::string name(reinterpret_cast<const char*>(data), size < 300 ? size : 300);
  uint8_t buf[kDnsMessageSize];
  std::string error;
  int n = DnsBuildQuestion(buf, sizeof buf, name, DnsQueryA, DnsClassIN, error);
  if (n < 0) {
    Check(!error.empty(), "refusal without a reason");
    return;
  }
  size_t pos = 0;
  std::string back;
  Check(DnsExtractName(buf, static_cast<size_t>(n), pos, back), "a built question does not decode");
  Check(pos + 4 == static_cast<size_t>(n), "question length");
  std::string expected = name;
  if (!expected.empty() && expected.back() == '.') expected.pop_back();
  Check(back == expected, "name changed on the way");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckReply(data, size);
  CheckNameRoundTrip(data, size);
  return 0;
}
