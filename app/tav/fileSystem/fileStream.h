// The file streams: inputStream_file reads a file as UTF-16 text (after an
// optional FF FE signature), as 8-bit text in a code page or as bytes;
// outputStream_file writes it the same three ways.  Both keep the Win32
// handle; a stream collected unclosed is flushed (output) and closed.
//
// Invariants of the input stream: the bytes read from the file and not yet
// delivered are the unconsumed part of the buffer in hand (plus the CRs
// removed inside it), a CR held back from the end of the last fill and, in
// ansi mode, the 8-bit bytes read and not yet converted: the whole
// characters from rawAt_ to rawWhole_, then the tail_ bytes of an
// incomplete one, carried to the front of the next read; the position is
// the file pointer less those bytes (less the signature).  In ansi mode a
// fill converts the 8-bit bytes in hand (reading more only when there are
// none); where 7-bit bytes stand for themselves, readline takes its lines
// from those bytes straight when the buffer in hand is consumed and no CR
// is held, and then hands over the unit that ended the line as the
// consumed buffer in hand, so that ungetchar and positions work as after a
// line read from converted text.
// Of the output stream: the file pointer stands where the buffer's first
// byte goes, in ansi mode where the first converted byte not yet written
// goes; there a high surrogate that ends a buffer waits for its pair.
#pragma once

#include <windows.h>

#include "fileSystem/fileSystem_api.h"
#include "stream/lineText.h"
#include "stream/stream.h"

namespace tav {

class inputStream_file final : public inputStream {
 public:
  static const ClassInfo classInfo;
  // File bytes one fill reads: as UTF-16 or bytes; as 8-bit text twice as
  // many (a line of it has half the bytes for the same work: fewer reads
  // make up for that).
  static constexpr uint32_t kBufferBytes = 8192;
  static constexpr uint32_t kAnsiBytes = 16384;
  // The read buffer's room: the units of an 8-bit fill (a byte makes at
  // most one).
  static constexpr uint32_t kReadBytes = 2 * kAnsiBytes;

  static inputStream_file* openfile(const wchar_t* fileName);
  static inputStream_file* openfile8(const wchar_t* fileName);
  static inputStream_file* openfile(const wchar_t* fileName, accesspermit share, Mode mode);
  // From byte 0.
  static inputStream_file* newhandlefile(HANDLE file, Mode mode);
  // From where the file pointer stands; a signature counts only at byte 0.
  static inputStream_file* newhandle(HANDLE file, Mode mode);

  uint64_t getposition() override;
  void setposition(uint64_t position) override;
  bool getcrlfconversion() override;
  void setcrlfconversion(bool on) override;
  void close() override;
  void setmode(Mode mode) override;
  Mode getmode() override { return support_.getmode(); }
  term read(const IDomainDefinition* d) override { return Open()->read(d); }
  const uint8_t* readbytes(uint32_t size) override { return Open()->readbytes(size); }
  const wchar_t* readstring(uint32_t count) override { return Open()->readstring(count); }
  wchar_t readchar() override { return Open()->readchar(); }
  void ungetchar() override { Open()->ungetchar(); }
  const wchar_t* readline() override;
  void consult(const FactDB* db) override { Open()->consult(db); }
  bool endofstream() override;

 private:
  inputStream_file(HANDLE file, Mode mode);
  template <class C, class... A>
  friend C* NewObject(A&&... args);
  static inputStream_file* Make(HANDLE file, Mode mode, bool fromStart, bool checkSignature);
  static void Finalize(void* self);
  static bool Refill(void* self, uint8_t** buffer, uint32_t* length);
  static bool RefillLocked(void* self, uint8_t** buffer, uint32_t* length);
  bool Fill(uint8_t** buffer, uint32_t* length);
  uint32_t Convert(const uint8_t* bytes, uint32_t whole, uint8_t* data);
  uint32_t SystemConvert(const uint8_t* bytes, uint32_t n, wchar_t* units, uint32_t room);
  void JoinAscii(const uint8_t* bytes, uint32_t whole, uint8_t** start, uint32_t* size);
  bool Load();
  uint32_t ReadRaw(void* into, uint32_t bytes);
  bool LinesFromBytes();
  const wchar_t* ReadLineBytes();
  const wchar_t* GatherLine();
  uint32_t LineEnd(const uint8_t* bytes, uint32_t n, bool* high) const;
  bool JoinsLead(const uint8_t* bytes, uint32_t at) const;
  void Decode(const uint8_t* bytes, uint32_t n, bool high, LineText* text);
  void EndLine(uint8_t end);
  const wchar_t* LastLine(const LineText& text);
  void Lend(wchar_t unit, bool pair);
  void ApplyMode(Mode mode);
  void LearnCodePage(uint32_t codePage);
  uint32_t IncompleteTail(const uint8_t* bytes, uint32_t n) const;
  void Reset();
  HANDLE Handle();  // 329 after close
  inputSupport* Open() {
    Handle();
    return &support_;
  }

  HANDLE file_;
  inputBuffer* buffer_ = nullptr;
  inputSupport support_;
  // The buffer refilled: kReadBytes + 8, the data after one unit in front
  // for a held CR (text) or after 8 bytes (binary).  It is landing_, outside
  // the collected heap, until a locked refill needs a new one.
  uint8_t* read_ = nullptr;
  uint8_t* landing_ = nullptr;
  uint8_t* ansi_ = nullptr;  // kAnsiBytes of 8-bit text (outside the collected heap)
  uint32_t rawAt_ = 0;
  uint32_t rawWhole_ = 0;
  uint32_t tail_ = 0;
  bool rawEnded_ = false;  // the last read of 8-bit text met the end of the file
  uint32_t* lfs_ = nullptr;       // offsets in the buffer in hand of the LFs whose CR went
  uint32_t lfCount_ = 0;
  bool crlf_ = false;
  bool heldCR_ = false;
  bool signature_ = false;
  // The ansi code page (its number, CP_ACP and CP_OEMCP resolved): UTF-8,
  // or double-byte with its lead bytes; whether 7-bit bytes stand for
  // themselves.
  uint32_t page_ = 0;
  bool utf8_ = false;
  bool dbcs_ = false;
  bool asciiSame_ = false;
  uint8_t leads_[32] = {};
};

class outputStream_file final : public outputStream {
 public:
  static const ClassInfo classInfo;
  static constexpr uint32_t kBufferBytes = 8192;

  static outputStream_file* create(const wchar_t* fileName);
  static outputStream_file* create8(const wchar_t* fileName);
  static outputStream_file* create(const wchar_t* fileName, uint32_t attributes);
  static outputStream_file* create8(const wchar_t* fileName, uint32_t attributes);
  static outputStream_file* create(const wchar_t* fileName, uint32_t attributes,
                                   accesspermit share, Mode mode);
  static outputStream_file* openfile(const wchar_t* fileName);
  static outputStream_file* openfile8(const wchar_t* fileName);
  static outputStream_file* openfile(const wchar_t* fileName, accesspermit share, Mode mode);
  static outputStream_file* append(const wchar_t* fileName);
  static outputStream_file* append8(const wchar_t* fileName);
  static outputStream_file* append(const wchar_t* fileName, Mode mode);
  static outputStream_file* newhandlefile(HANDLE file, Mode mode);
  static outputStream_file* newhandle(HANDLE file, Mode mode);

  uint64_t getposition() override;
  void setposition(uint64_t position) override;
  bool getcrlfconversion() override;
  void setcrlfconversion(bool on) override;
  void close() override;
  void setmode(Mode mode) override;
  Mode getmode() override { return support_.getmode(); }
  void write(const T::REllipsisArg* args) override { Open()->write(args); }
  void writequoted(const T::REllipsisArg* args) override { Open()->writequoted(args); }
  // A binary block of a buffer or more goes to the file in one write, after
  // what the buffer holds.
  void writebytes(const void* bytes, uint32_t size) override;
  void writef(const wchar_t* format, const T::REllipsisArg* args) override {
    Open()->writef(format, args);
  }
  void nl() override { Open()->nl(); }
  void save(const FactDB* db) override { Open()->save(db); }
  void flush() override;

 private:
  enum class Signature { none, check, checkOrWrite, write };
  outputStream_file(HANDLE file, Mode mode);
  template <class C, class... A>
  friend C* NewObject(A&&... args);
  static outputStream_file* Make(HANDLE file, Mode mode, Signature signature);
  static void Finalize(void* self);
  static void Full(void* self, uint8_t* buffer, uint32_t used, uint8_t** next, uint32_t* size);
  void WriteOut(uint8_t* buffer, uint32_t used, bool final);
  void WriteConverted(uint8_t* buffer, uint32_t used, bool final);
  void WriteAll(const void* bytes, uint32_t size);
  void Drain(bool final);  // the buffer's bytes to the file
  void WritePending();     // the converted bytes of ansi mode
  HANDLE Handle();
  outputSupport* Open() {
    Handle();
    return &support_;
  }

  HANDLE file_;
  outputBuffer* buffer_ = nullptr;
  outputSupport support_;
  uint8_t* memory_ = nullptr;
  wchar_t highSurrogate_ = 0;  // ansi: waits for its pair
  // ansi: converted bytes gathered for one write (outside the collected heap).
  static constexpr uint32_t kAnsiOutBytes = 2 * kBufferBytes;
  uint8_t* ansiOut_ = nullptr;
  uint32_t ansiUsed_ = 0;
  bool crlf_ = true;
  bool signature_ = false;
};

}  // namespace tav
