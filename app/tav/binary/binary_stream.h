// Streams over binaries: inputStream_binary reads a binary in place;
// outputStream_binary collects what is written and hands it out as one
// binary.  Both start in mode binary, accept unicode and refuse ansi;
// positions are byte offsets below 2^32; CR/LF is never converted.
#pragma once

#include "stream/stream.h"

namespace tav {

class inputStream_binary final : public inputStream_block {
 public:
  static const ClassInfo classInfo;
  static inputStream_binary* New(const uint8_t* binary);

 private:
  explicit inputStream_binary(const uint8_t* binary);
  template <class C, class... A>
  friend C* NewObject(A&&... args);
};

class outputStream_binary final : public outputStream_chain {
 public:
  static const ClassInfo classInfo;
  static outputStream_binary* New();
  // Everything written so far as a new binary on the global stack.
  virtual uint8_t* getbinary();

 private:
  outputStream_binary();
  template <class C, class... A>
  friend C* NewObject(A&&... args);
};

}  // namespace tav
