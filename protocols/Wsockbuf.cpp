#include "Wsockbuf.h"

#include <algorithm>
#include <cstring>

namespace {
const int kDefaultBufSize = 1514;
}

TBuffer::TBuffer(int Size) { SetBufSize(Size); }

TBuffer::~TBuffer() { delete[] FBuf; }

void TBuffer::SetBufSize(int NewSize) {
  if (NewSize <= 0) NewSize = kDefaultBufSize;
  if (NewSize == FBufSize && FBuf) return;
  char* fresh = new char[NewSize];
  if (FWrCount != FRdCount) {
    // Keep what is stored; a smaller block keeps only its first bytes.
    int keep = std::min(FWrCount, NewSize);
    std::memcpy(fresh, FBuf, keep);
    FWrCount = keep;
    FRdCount = std::min(FRdCount, keep);
  } else {
    FWrCount = 0;
    FRdCount = 0;
  }
  delete[] FBuf;
  FBuf = fresh;
  FBufSize = NewSize;
}

int TBuffer::Write(const void* Data, int Len) {
  int n = std::min(FBufSize - FWrCount, Len);
  if (n <= 0) return 0;
  std::memcpy(FBuf + FWrCount, Data, n);
  FWrCount += n;
  return n;
}

int TBuffer::Read(void* Data, int Len) {
  int n = std::min(FWrCount - FRdCount, Len);
  if (n <= 0) return 0;
  std::memcpy(Data, FBuf + FRdCount, n);
  return Remove(n);
}

const char* TBuffer::Peek(int& Len) const {
  Len = FWrCount - FRdCount;
  if (Len <= 0) {
    Len = 0;
    return nullptr;
  }
  return FBuf + FRdCount;
}

int TBuffer::Remove(int Len) {
  int n = std::min(FWrCount - FRdCount, Len);
  if (n <= 0) return 0;
  FRdCount += n;
  if (FRdCount >= FWrCount) {
    FRdCount = 0;
    FWrCount = 0;
  }
  return n;
}
