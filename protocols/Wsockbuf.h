// One fixed-size block of a socket's send queue.
#pragma once

#include "classlib/Classes.h"

class TBuffer : public TObject {
 public:
  // A size of 0 or less gives the default block size (1514 bytes).
  explicit TBuffer(int Size);
  ~TBuffer() override;

  // Resizes the storage; pending bytes are kept (as many as fit).
  void SetBufSize(int NewSize);
  // Appends up to Len bytes; returns how many fitted (0 when full).
  int Write(const void* Data, int Len);
  // Takes up to Len pending bytes; the counts return to 0 once all is read.
  int Read(void* Data, int Len);
  // The first pending byte and the pending count, or nullptr and 0.
  const char* Peek(int& Len) const;
  // Drops up to Len pending bytes from the front; returns how many.
  int Remove(int Len);

  int BufSize() const { return FBufSize; }
  int Pending() const { return FWrCount - FRdCount; }

 private:
  char* FBuf = nullptr;
  int FBufSize = 0;
  int FWrCount = 0;
  int FRdCount = 0;
};
