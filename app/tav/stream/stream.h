// The stream family: the `mode` domain, the interfaces `stream`,
// `inputStream` and `outputStream` (virtual functions in slot order), the
// buffer objects through which the runtime's readers and writers reach a
// stream's bytes, the support parts that implement reading and writing over
// them, and the chain of output buffers shared by the string and binary
// output streams.
//
// Invariants:
//  - An inputBuffer lends its current buffer while the offset is below its
//    length and asks its refill callback only then; a refill that gives no
//    data reports the end and keeps buffer, length and offset, so positions
//    stay valid after the end was met.  While it reports the end, the
//    runtime's position cell is a scratch cell: a reader that fetches again
//    cannot reset the real offset.
//  - An outputBuffer hands a buffer to its callback only when it is full or
//    flushed.  Buffers are zeroed when allocated: skipped bytes read 0.
//  - Objects live on the collected heap; buffers are atomic heap blocks;
//    the buffer chain's records are a heap array, never malloc memory.
#pragma once

#include "core/core.h"
#include <new>

#include "qel6run_db.h"

namespace tav {

struct codepage;
using FactDB = T::Streams::FactDB;

// mode = unicode | ansi(codepage) | binary; a Mode holds the code page's number.
struct Mode {
  enum Kind : uint64_t { unicode = 1, ansi = 2, binary = 3 };
  Kind kind = unicode;
  uint32_t codePage = 0;

  static Mode Unicode() { return {unicode, 0}; }
  static Mode Ansi(uint32_t codePage) { return {ansi, codePage}; }
  static Mode Binary() { return {binary, 0}; }
  bool IsBinary() const { return kind == binary; }
  // The runtime's text of the mode term ("unicode()", "ansi(1252)", ...).
  const wchar_t* Text() const;
};
// The term: a functor word, then for ansi the codepage term (a codepage(N)).
struct ModeTerm {
  uint64_t functor;
  const codepage* codePage;
};
namespace domains {
extern T::RCompoundDomain mode;
}

// --- Interfaces -------------------------------------------------------------------------

class stream {
 public:
  virtual uint64_t getposition() = 0;
  virtual void setposition(uint64_t position) = 0;
  virtual bool getcrlfconversion() = 0;
  virtual void setcrlfconversion(bool on) = 0;
  virtual void close() = 0;
  virtual void setmode(Mode mode) = 0;
  virtual Mode getmode() = 0;
};

class inputStream : public stream {
 public:
  // A term of domain d: its text form, or in mode binary its image.
  virtual term read(const IDomainDefinition* d) = 0;
  virtual const uint8_t* readbytes(uint32_t size) = 0;
  virtual const wchar_t* readstring(uint32_t count) = 0;
  virtual wchar_t readchar() = 0;
  virtual void ungetchar() = 0;
  // The line as it stands, without its end (LF, CR or a zero character).
  virtual const wchar_t* readline() = 0;
  virtual void consult(const FactDB* db) = 0;
  virtual bool endofstream() = 0;
};

class outputStream : public stream {
 public:
  virtual void write(const T::REllipsisArg* args) = 0;
  virtual void writequoted(const T::REllipsisArg* args) = 0;
  virtual void writebytes(const void* bytes, uint32_t size) = 0;
  virtual void writef(const wchar_t* format, const T::REllipsisArg* args) = 0;
  virtual void nl() = 0;
  virtual void save(const FactDB* db) = 0;
  virtual void flush() = 0;
};

// Objects of the family on the collected heap.
template <class C, class... A>
C* NewObject(A&&... args);

// --- Input --------------------------------------------------------------------------------

// The next buffer and its length; false (or a Fail()) when there is no more
// data.
struct RefillCallback {
  bool (*code)(void* object, uint8_t** buffer, uint32_t* length);
  void* object;
};

class inputBuffer final : public T::RBufferSource {
 public:
  static const ClassInfo classInfo;
  // The first buffer from one call of `refill`; null when it gives none.
  static inputBuffer* New(RefillCallback refill, RefillCallback lockedRefill);
  static inputBuffer* New(uint8_t* buffer, uint32_t length, RefillCallback refill,
                          RefillCallback lockedRefill);

  // The runtime's view.
  void NextBlock(uint8_t** base, uint32_t* length) override;
  uint32_t* PositionCell() override { return atEnd_ ? &scratch_ : &offset_; }

  bool getbuffer(uint8_t** buffer, uint32_t* length) { return Get(refill_, buffer, length); }
  bool getbufferlocked(uint8_t** buffer, uint32_t* length) {
    return Get(lockedRefill_, buffer, length);
  }
  uint32_t* getoffsetpointer() { return &offset_; }
  void setoffset(uint32_t offset) { offset_ = offset; }
  // A stream that reads around the buffer hands over the one in hand.
  void setbuffer(uint8_t* buffer, uint32_t length, uint32_t offset) {
    buffer_ = buffer;
    length_ = length;
    offset_ = offset;
  }
  // The buffer in hand and its length, without refilling.
  uint8_t* Buffer() const { return buffer_; }
  uint32_t Length() const { return length_; }
  // Each operation of a stream starts a new transfer.
  void BeginTransfer() { atEnd_ = false; }

 private:
  inputBuffer(RefillCallback refill, RefillCallback lockedRefill)
      : refill_(refill), lockedRefill_(lockedRefill) {}
  bool Get(RefillCallback refill, uint8_t** buffer, uint32_t* length);
  template <class C, class... A>
  friend C* NewObject(A&&... args);

  RefillCallback refill_, lockedRefill_;
  uint8_t* buffer_ = nullptr;
  uint32_t length_ = 0;
  uint32_t offset_ = 0;
  uint32_t scratch_ = 0;
  bool atEnd_ = false;
};

// The reading operations over one inputBuffer; a member of its stream.
class inputSupport {
 public:
  static const ClassInfo classInfo;
  inputSupport(inputBuffer* buffer, Mode mode) : buffer_(buffer), mode_(mode) {}

  term read(const IDomainDefinition* d);
  const uint8_t* readbytes(uint32_t size);
  const wchar_t* readstring(uint32_t count);
  wchar_t readchar();
  void ungetchar();
  const wchar_t* readline();
  void consult(const FactDB* db);
  void setmode(Mode mode) { mode_ = mode; }
  Mode getmode() const { return mode_; }
  inputBuffer* Buffer() const { return buffer_; }

 private:
  // Raises wrongmode in mode binary.
  void CheckText(const wchar_t* predicate);
  static constexpr uint32_t kSmallRead = 65536;
  inputBuffer* buffer_;
  Mode mode_;
};

// --- Output -------------------------------------------------------------------------------

// Takes `used` bytes of `buffer` and hands back the buffer to write into
// next and its capacity.
struct BufferFullCallback {
  void (*code)(void* object, uint8_t* buffer, uint32_t used, uint8_t** next, uint32_t* size);
  void* object;
};

class outputBuffer final : public T::RBufferSource {
 public:
  static const ClassInfo classInfo;
  static outputBuffer* New(uint8_t* buffer, uint32_t size, BufferFullCallback full);

  void NextBlock(uint8_t** base, uint32_t* length) override;
  uint32_t* PositionCell() override { return &offset_; }

  void getbuffer(uint8_t** buffer, uint32_t* size);
  uint32_t* getoffsetpointer() { return &offset_; }
  void setoffset(uint32_t offset) { offset_ = offset; }
  void setcurrentbuffer(uint8_t* buffer, uint32_t size) {
    buffer_ = buffer;
    size_ = size;
  }
  // Hands the bytes written so far to the callback.
  void flush();

 private:
  explicit outputBuffer(BufferFullCallback full) : full_(full) {}
  template <class C, class... A>
  friend C* NewObject(A&&... args);

  BufferFullCallback full_;
  uint8_t* buffer_ = nullptr;
  uint32_t size_ = 0;
  uint32_t offset_ = 0;
};

// The writing operations over one outputBuffer; a member of its stream.
class outputSupport {
 public:
  static const ClassInfo classInfo;
  outputSupport(outputBuffer* buffer, Mode mode) : buffer_(buffer), mode_(mode) {}

  void write(const T::REllipsisArg* args);
  void writequoted(const T::REllipsisArg* args);
  void writef(const wchar_t* format, const T::REllipsisArg* args);
  void writebytes(const void* bytes, uint32_t size);
  void nl();
  void save(const FactDB* db);
  void setmode(Mode mode) { mode_ = mode; }
  Mode getmode() const { return mode_; }
  void flush() { buffer_->flush(); }
  outputBuffer* Buffer() const { return buffer_; }

 private:
  void CheckText(const wchar_t* predicate);
  outputBuffer* buffer_;
  Mode mode_;
};

// --- Streams over one block and over a chain of buffers --------------------------------

// The names a stream class raises with.
struct StreamNames {
  const ClassInfo* classInfo;
  const wchar_t* setmodeName;            // "<class>::setmode"
  const wchar_t* buffernotfoundName;     // "<class>::buffernotfound_exception"
  const wchar_t* buffernotfoundText;     // "Buffer is not found. Buffer number:"
  T::DBInternal::RFactDatabase* facts;   // for 329 after close
  bool oddCheck;                         // unicode positions must be even
};

// An input stream over one block in memory (a string or a binary): the
// block is never copied; its end is the end of the stream.
class inputStream_block : public inputStream {
 public:
  uint64_t getposition() override;
  void setposition(uint64_t position) override;
  bool getcrlfconversion() override { return false; }
  void setcrlfconversion(bool on) override;
  void close() override { buffer_ = nullptr; }
  void setmode(Mode mode) override;
  Mode getmode() override { return support_.getmode(); }
  term read(const IDomainDefinition* d) override { return Open()->read(d); }
  const uint8_t* readbytes(uint32_t size) override { return Open()->readbytes(size); }
  const wchar_t* readstring(uint32_t count) override { return Open()->readstring(count); }
  wchar_t readchar() override { return Open()->readchar(); }
  void ungetchar() override { Open()->ungetchar(); }
  const wchar_t* readline() override { return Open()->readline(); }
  void consult(const FactDB* db) override { Open()->consult(db); }
  bool endofstream() override;

 protected:
  inputStream_block(const StreamNames* names, uint8_t* data, uint32_t length, Mode mode);

 private:
  inputBuffer* Buffer();  // 329 after close
  inputSupport* Open() {
    Buffer();
    return &support_;
  }
  const StreamNames* names_;
  inputBuffer* buffer_;
  inputSupport support_;
};

// An output stream into a chain of buffers that tile the output: buffer n+1
// starts where buffer n ends.  Written bytes are never copied while the
// stream grows; the content is joined once, by Content.
class outputStream_chain : public outputStream {
 public:
  uint64_t getposition() override;
  void setposition(uint64_t position) override;
  bool getcrlfconversion() override { return false; }
  void setcrlfconversion(bool on) override;
  void close() override;
  void setmode(Mode mode) override;
  Mode getmode() override { return support_.getmode(); }
  void write(const T::REllipsisArg* args) override { Open()->write(args); }
  void writequoted(const T::REllipsisArg* args) override { Open()->writequoted(args); }
  void writebytes(const void* bytes, uint32_t size) override { Open()->writebytes(bytes, size); }
  void writef(const wchar_t* format, const T::REllipsisArg* args) override {
    Open()->writef(format, args);
  }
  void nl() override { Open()->nl(); }
  void save(const FactDB* db) override { Open()->save(db); }
  void flush() override {}

 protected:
  outputStream_chain(const StreamNames* names, Mode mode);
  // The size of everything written, and a copy of it into `out` (zeroed
  // where nothing was written).
  uint32_t ContentSize();
  void CopyContent(uint8_t* out);

 private:
  struct Record {
    uint8_t* memory;
    uint32_t used;
    uint32_t size;
    uint64_t start;
  };
  static constexpr uint32_t kBufferSize = 4096;
  static void Full(void* self, uint8_t* buffer, uint32_t used, uint8_t** next, uint32_t* size);
  outputSupport* Open();
  Record* Current();  // the internal error when missing
  void UpdateCurrent();
  Record* NewBuffer(uint64_t size);

  const StreamNames* names_;
  outputBuffer* buffer_ = nullptr;
  outputSupport support_;
  Record* records_ = nullptr;  // heap array, `capacity_` records
  uint8_t* chunk_ = nullptr;   // zeroed memory that the next 4096-byte buffers come from
  uint32_t chunkLeft_ = 0;
  uint32_t capacity_ = 0;
  uint32_t count_ = 0;         // buffercount + 1
  uint32_t current_ = 0;       // buffercurrentnumber
};

// --- Standard streams ------------------------------------------------------------------

class stdIO {
 public:
  static const ClassInfo classInfo;
  static inputStream* getinputstream();
  static outputStream* getoutputstream();
  static outputStream* geterrorstream();
  static inputStream* trygetinputstream();
  static outputStream* trygetoutputstream();
  static outputStream* trygeterrorstream();
  static void setinputstream(inputStream* s);
  static void setoutputstream(outputStream* s);
  static void seterrorstream(outputStream* s);
  static void write(const T::REllipsisArg* args);
  static void writef(const wchar_t* format, const T::REllipsisArg* args);
  static void nl();
  static void write_error(const T::REllipsisArg* args);
  static void writef_error(const wchar_t* format, const T::REllipsisArg* args);
  static term read(const IDomainDefinition* d);
  static const wchar_t* readline();
  static wchar_t readchar();
};

template <class C, class... A>
C* NewObject(A&&... args) {
  static const Qel::RunTime::Objects::RClassDescriptorInfo info{sizeof(C), 0};
  void* block = Qel::RunTime::Objects::AllocateObject(&info, nullptr);
  memset(block, 0, sizeof(C));
  return new (block) C(static_cast<A&&>(args)...);
}

}  // namespace tav
