// The whole file of more than 4 GiB, downloaded once into a caller's stream
// that hashes what it is given: byte counts, progress and the data itself
// past 2^32. The sockets are set up as the connection window sets them up
// (one read per data event); the request ends as soon as the data is in,
// well before the server's idle time-out.
#include <gtest/gtest.h>

#include <algorithm>

#include "Ftpscript.h"
#include "support/Peers.h"
#include "support/Testutil.h"

namespace {

class THashStream : public TStream {
 public:
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override {
    Sum.Update(static_cast<const char*>(buffer), static_cast<size_t>(count));
    Position_ += count;
    return count;
  }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    if (origin == soBeginning) Position_ = offset;
    else if (origin == soCurrent) Position_ += offset;
    return Position_;
  }
  TSha256Sum Sum;
  int64_t Position_ = 0;
};

}  // namespace

TEST(FtpLargeFile, WholeFileBeyond4GiBIntoAStream) {
  auto manifest = PeerManifest("vsftpd");
  const int64_t size = manifest["sparse4g.bin"].Size;
  ASSERT_GT(size, int64_t{1} << 32);

  TComponent owner(nullptr);
  auto* ftp = NewPeerFtpClient(&owner, PeerPort(ppVsftpd));
  TFtpRecorder rec;
  rec.Attach(ftp);
  ftp->SetPassive(true);
  for (TWSocket* s : {ftp->CommandSocket(), ftp->TransferSocket()})
    s->SetComponentOptions(s->ComponentOptions() + wsoNoReceiveLoop);
  ftp->ConnectAsync();
  ASSERT_TRUE(rec.WaitDone(1, 30000));
  ASSERT_EQ(rec.Done[0].Error, 0) << rec.Done[0].ErrorMessage;
  ftp->TypeBinaryAsync();
  ASSERT_TRUE(rec.WaitDone(2, 30000));

  THashStream out;
  int64_t highest = 0;
  ULONGLONG allIn = 0;  // when the last byte had been read
  ftp->OnProgress = [&](TObject*, int64_t count, bool&) {
    highest = std::max(highest, count);
    if (count >= size && allIn == 0) allIn = GetTickCount64();
  };
  ftp->SetHostFileName("sparse4g.bin");
  ftp->SetLocalStream(&out);
  ftp->GetAsync();
  ASSERT_TRUE(rec.WaitDone(3, 900000)) << "no end after 15 minutes";
  const ULONGLONG ended = GetTickCount64();
  EXPECT_EQ(rec.Done[2].Error, 0) << rec.Done[2].ErrorMessage;
  EXPECT_EQ(ftp->ByteCount(), size);
  EXPECT_EQ(out.Position_, size);
  EXPECT_GT(highest, int64_t{1} << 32);
  EXPECT_EQ(out.Sum.Hex(), manifest["sparse4g.bin"].Sha256);
  ASSERT_NE(allIn, 0u);
  EXPECT_LT(ended - allIn, 60000u) << "the end waited for the server's idle time-out";
  ftp->SetLocalStream(nullptr);
}
