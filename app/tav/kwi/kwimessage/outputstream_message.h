// outputStream_message: an output stream whose text goes to the message
// window.  Every writing operation is flushed at once; its 1024-byte buffer
// (atomic heap) holds 511 UTF-16 units and keeps its last two bytes zero, so
// a full buffer is a terminated string.  A high surrogate that ends a full
// buffer waits at the start of the next one, so that a pair is never split
// between two appends.  Without a message window the text is dropped.
#pragma once

#include "stream/stream.h"

namespace tav {

class outputStream_message final : public outputStream {
 public:
  static const ClassInfo classInfo;
  static constexpr uint32_t kBufferBytes = 1024;
  static constexpr uint32_t kTextBytes = 1022;

  static outputStream_message* New();

  uint64_t getposition() override;
  void setposition(uint64_t position) override;
  bool getcrlfconversion() override { return false; }
  void setcrlfconversion(bool on) override;
  void close() override {}
  void setmode(Mode mode) override;
  Mode getmode() override { return support_.getmode(); }
  void write(const T::REllipsisArg* args) override;
  void writequoted(const T::REllipsisArg* args) override;
  void writebytes(const void* bytes, uint32_t size) override;
  void writef(const wchar_t* format, const T::REllipsisArg* args) override;
  void nl() override;
  void save(const FactDB* db) override;
  void flush() override { support_.flush(); }

 private:
  explicit outputStream_message(uint8_t* memory);
  template <class C, class... A>
  friend C* NewObject(A&&... args);
  static void Full(void* self, uint8_t* buffer, uint32_t used, uint8_t** next, uint32_t* size);

  uint8_t* memory_;
  outputSupport support_;
  uint32_t carried_ = 0;  // units waiting at the start of memory_ (0 or 1)
};

}  // namespace tav
