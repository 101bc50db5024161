// Streams over strings: inputStream_string reads a runtime string in place
// (mode unicode); outputStream_string collects what is written and hands it
// out as one string.  Positions are byte offsets below 2^32, even in mode
// unicode; CR/LF is never converted; mode ansi is refused.
#pragma once

#include "stream/stream.h"

namespace tav {

class inputStream_string final : public inputStream_block {
 public:
  static const ClassInfo classInfo;
  static inputStream_string* New(const wchar_t* text);

 private:
  explicit inputStream_string(const wchar_t* text);
  template <class C, class... A>
  friend C* NewObject(A&&... args);
};

class outputStream_string final : public outputStream_chain {
 public:
  static const ClassInfo classInfo;
  static outputStream_string* New();
  // Everything written so far as a fresh string (the text ends at the first
  // zero character, as every runtime string does).
  virtual const wchar_t* getstring();

 private:
  outputStream_string();
  template <class C, class... A>
  friend C* NewObject(A&&... args);
};

}  // namespace tav
