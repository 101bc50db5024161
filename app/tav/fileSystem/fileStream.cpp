// The file streams (see fileStream.h for the invariants they keep).
#include "fileSystem/fileStream.h"

#include <new>

#include "exception/exception.h"
#include "fileSystem/fileSystem_exception.h"
#include "memory/memory.h"
#include "stream/stream_exception.h"
#include "stream/textScan.h"
#include "string/string.h"
#include "string8/string8.h"

namespace tav {

namespace domains {
extern T::DBInternal::RFactDatabase inputStream_file_facts, outputStream_file_facts;
}

const ClassInfo inputStream_file::classInfo{L"com/corvane/fileSystem/inputStream_file",
                                            TAV_CLASS_VERSION};
const ClassInfo outputStream_file::classInfo{L"com/corvane/string/outputStream_file",
                                             TAV_CLASS_VERSION};

namespace {

constexpr uint8_t kSignature[2] = {0xFF, 0xFE};

// An object of class C on the collected heap whose finaliser runs when it is
// collected.
template <class C>
void* AllocFinalized(K::Memory::TFinalizer finalize) {
  static const Qel::RunTime::Objects::RClassDescriptorInfo info{sizeof(C), 1};
  void* block = Qel::RunTime::Objects::AllocateObject(&info, finalize);
  memset(block, 0, sizeof(C));
  return block;
}

[[noreturn]] void RaiseNative(const ClassInfo* ci, const wchar_t* api) {
  TAV_AT();
  common_exception::raise_nativecallexception(ci, api, EmptyList());
}

uint32_t AnsiPage(Mode mode) { return mode.codePage; }

}  // namespace

// --- inputStream_file ---

inputStream_file::inputStream_file(HANDLE file, Mode mode)
    : file_(file), support_(nullptr, mode) {}

inputStream_file* inputStream_file::Make(HANDLE file, Mode mode, bool fromStart,
                                         bool checkSignature) {
  auto* s = new (AllocFinalized<inputStream_file>(&Finalize)) inputStream_file(file, mode);
  // The system writes into collected memory slowly (its pages are watched):
  // the buffer that is refilled lives outside the collected heap.
  s->landing_ = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, kReadBytes + 8));
  if (!s->landing_) K::Errors::RunTimeError(206);
  s->read_ = s->landing_;
  s->lfs_ = static_cast<uint32_t*>(K::Memory::AllocAtomicHeap(4 * (kReadBytes / 4 + 1)));
  s->buffer_ = inputBuffer::New(s->read_ + 2, 0, {&Refill, s}, {&RefillLocked, s});
  s->support_ = inputSupport(s->buffer_, mode);
  if (fromStart) fileSystem_api::setfilepointer(file, 0, FILE_BEGIN);
  s->ApplyMode(mode);
  if (mode.kind == Mode::unicode && checkSignature &&
      fileSystem_api::setfilepointer(file, 0, FILE_CURRENT) == 0) {
    uint8_t head[2];
    if (s->ReadRaw(head, 2) == 2 && memcmp(head, kSignature, 2) == 0)
      s->signature_ = true;
    else
      fileSystem_api::setfilepointer(file, 0, FILE_BEGIN);
  }
  return s;
}

inputStream_file* inputStream_file::openfile(const wchar_t* fileName) {
  return openfile(fileName, accesspermit::permitread, Mode::Unicode());
}
inputStream_file* inputStream_file::openfile8(const wchar_t* fileName) {
  return openfile(fileName, accesspermit::permitread, Mode::Ansi(GetACP()));
}
inputStream_file* inputStream_file::openfile(const wchar_t* fileName, accesspermit share,
                                             Mode mode) {
  HANDLE h = fileSystem_api::createfile(fileName, GENERIC_READ, share, OPEN_EXISTING, 0);
  volatile HANDLE file = h;
  inputStream_file* volatile s = nullptr;
  if (uint32_t error = K::RunTrapped([&] { s = Make(file, mode, false, true); })) {
    CloseHandle(file);
    K::Errors::Qel_ErrorExit(error);
  }
  return s;
}
inputStream_file* inputStream_file::newhandlefile(HANDLE file, Mode mode) {
  return Make(file, mode, true, true);
}
inputStream_file* inputStream_file::newhandle(HANDLE file, Mode mode) {
  return Make(file, mode, false, true);
}

void inputStream_file::Finalize(void* self) {
  auto* s = static_cast<inputStream_file*>(self);
  if (s->file_) CloseHandle(s->file_);
  s->file_ = nullptr;
  if (s->landing_) HeapFree(GetProcessHeap(), 0, s->landing_);
  if (s->ansi_) HeapFree(GetProcessHeap(), 0, s->ansi_);
  s->landing_ = s->ansi_ = nullptr;
}

HANDLE inputStream_file::Handle() {
  if (!file_) T::DBInternal::Error_SingleFactHasNoValue(T::Domain(domains::inputStream_file_facts.head), 1);
  return file_;
}

void inputStream_file::ApplyMode(Mode mode) {
  if (mode.kind != Mode::binary) crlf_ = true;
  if (mode.kind != Mode::ansi) return;
  if (!ansi_) ansi_ = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, kAnsiBytes));
  LearnCodePage(AnsiPage(mode));
}

void inputStream_file::LearnCodePage(uint32_t codePage) {
  uint32_t page = codePage == CP_ACP ? GetACP() : codePage == CP_OEMCP ? GetOEMCP() : codePage;
  page_ = page;
  utf8_ = page == CP_UTF8;
  dbcs_ = false;
  memset(leads_, 0, sizeof leads_);
  CPINFO info;
  bool known = GetCPInfo(page, &info);
  bool lowLead = false;
  if (known && !utf8_ && info.MaxCharSize >= 2) {
    for (int r = 0; r + 1 < MAX_LEADBYTES && info.LeadByte[r]; r += 2) {
      for (uint32_t b = info.LeadByte[r]; b <= info.LeadByte[r + 1]; ++b) {
        leads_[b >> 3] |= static_cast<uint8_t>(1u << (b & 7));
        dbcs_ = true;
        lowLead |= b < 0x80;
      }
    }
  }
  // 7-bit bytes are widened without the system when the page maps each to
  // itself and none of them starts a longer character.
  asciiSame_ = false;
  if (known && !lowLead && (utf8_ || info.MaxCharSize <= 2)) {
    char bytes[128];
    wchar_t units[128];
    for (int i = 0; i < 128; ++i) bytes[i] = static_cast<char>(i);
    asciiSame_ = MultiByteToWideChar(page, 0, bytes, 128, units, 128) == 128;
    for (int i = 0; i < 128 && asciiSame_; ++i) asciiSame_ = units[i] == i;
  }
}

// The number of bytes at the end of an 8-bit block that begin a character
// whose remaining bytes are not in the block (the block starts at a
// character).
uint32_t inputStream_file::IncompleteTail(const uint8_t* bytes, uint32_t n) const {
  if (n == 0) return 0;
  if (utf8_) {
    for (uint32_t back = 1; back <= 3 && back <= n; ++back) {
      uint8_t b = bytes[n - back];
      if ((b & 0xC0) == 0x80) continue;  // a continuation byte: look further back
      uint32_t need = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
      return need > back ? back : 0;
    }
    return 0;
  }
  if (!dbcs_) return 0;
  // A byte that cannot lead ends a character; the lead-byte values after
  // the last one pair up, and an odd one out starts a character.
  uint32_t run = 0;
  while (run < n && (leads_[bytes[n - 1 - run] >> 3] >> (bytes[n - 1 - run] & 7) & 1)) ++run;
  return run & 1;
}

uint32_t inputStream_file::ReadRaw(void* into, uint32_t bytes) {
  DWORD done = 0;
  BOOL ok = ReadFile(file_, into, bytes, &done, nullptr);
  TAV_AT();
  fileSystem_exception::checkfilereadresult(&classInfo, ok);
  return done;
}

bool inputStream_file::Refill(void* self, uint8_t** buffer, uint32_t* length) {
  return static_cast<inputStream_file*>(self)->Fill(buffer, length);
}

bool inputStream_file::RefillLocked(void* self, uint8_t** buffer, uint32_t* length) {
  // The old buffer stays with the reader: fill a new one.
  auto* s = static_cast<inputStream_file*>(self);
  s->read_ = static_cast<uint8_t*>(K::Memory::AllocAtomicHeap(kReadBytes + 8));
  return s->Fill(buffer, length);
}

bool inputStream_file::Fill(uint8_t** out, uint32_t* outLength) {
  Handle();
  const Mode mode = support_.getmode();
  for (;;) {
    uint8_t* data = read_ + 2;
    uint32_t n;  // 16-bit text bytes made
    bool more;   // the file may go on: a CR that ends the block waits
    if (mode.kind == Mode::ansi) {
      if (rawAt_ == rawWhole_) Load();
      const uint8_t* bytes = ansi_ + rawAt_;
      uint32_t whole = rawWhole_ - rawAt_;
      rawAt_ = rawWhole_;
      more = !rawEnded_;
      if (more && whole && crlf_ && asciiSame_ && scan::AsciiRun(bytes, whole) == whole) {
        uint8_t* start;  // 7-bit text: one pass
        uint32_t size;
        JoinAscii(bytes, whole, &start, &size);
        if (size == 0) continue;  // only a CR, held for the next fill
        *out = start;
        *outLength = size;
        return true;
      }
      n = 2 * Convert(bytes, whole, data);
    } else if (mode.kind == Mode::binary) {
      data = read_ + 8;  // aligned: no CR is ever put in front
      n = ReadRaw(data, kBufferBytes);
      more = n != 0;
    } else {
      n = ReadRaw(data, kBufferBytes);
      more = n != 0;
    }
    lfCount_ = 0;
    uint8_t* start = data;
    uint32_t size = n;
    if (heldCR_) {
      read_[0] = 13;
      read_[1] = 0;
      start = read_;
      size += 2;
      heldCR_ = false;
    }
    if (size == 0) return false;
    // At the end of the file a held CR is delivered alone.
    if (mode.kind != Mode::binary && crlf_ && more) {
      // The pair offsets are kept here; their global-stack copy goes at once.
      uint8_t* mark = K::Memory::MarkGStack();
      fileSystem_api::CrLf r = fileSystem_api::crlf_lf(start, size, true);
      for (uint32_t k = 0; k < r.pairCount; ++k) lfs_[lfCount_++] = r.pairs[k] - 2 * k;
      K::Memory::ReleaseGStack(mark);
      heldCR_ = r.lastCharCR;
      start = r.result;
      size = r.newSize;
      if (size == 0) continue;  // only a CR, held for the next fill
    }
    *out = start;
    *outLength = size;
    return true;
  }
}

// `whole` bytes of 8-bit text (whole characters) as units at `data`; their
// number.  The 7-bit run in front is widened here, the rest converted by
// the system.  A byte makes at most one unit, so the buffer always has
// room.
uint32_t inputStream_file::Convert(const uint8_t* bytes, uint32_t whole, uint8_t* data) {
  uint32_t ascii = asciiSame_ ? scan::AsciiRun(bytes, whole) : 0;
  scan::Widen(bytes, ascii, data);
  if (whole == ascii) return ascii;
  return ascii + SystemConvert(bytes + ascii, whole - ascii, reinterpret_cast<wchar_t*>(data) + ascii,
                               kReadBytes / 2 - ascii);
}

// `n` bytes of whole characters converted by the system into at most
// `room` units; their number.  One conversion, whose size is asked for only
// when it failed (which raises).
uint32_t inputStream_file::SystemConvert(const uint8_t* bytes, uint32_t n, wchar_t* units, uint32_t room) {
  const auto* chars = reinterpret_cast<const char*>(bytes);
  int made = MultiByteToWideChar(page_, 0, chars, static_cast<int>(n), units, static_cast<int>(room));
  if (made > 0) return static_cast<uint32_t>(made);
  codepage cp = codepage::Number(AnsiPage(support_.getmode()));
  uint32_t size = string8_api::lenwidechar(cp, chars, static_cast<int32_t>(n));
  string8_api::towidechar(cp, chars, static_cast<int32_t>(n), units, room);
  return size;
}

// 7-bit text of `whole` bytes widened into the read buffer in one pass that
// also joins its CR LF pairs, as the general way (conversion, then crlf_lf
// from a held CR on) would deliver it.
void inputStream_file::JoinAscii(const uint8_t* bytes, uint32_t whole, uint8_t** start,
                                 uint32_t* size) {
  uint8_t* data = read_ + 2;
  const bool held = heldCR_;
  uint32_t n = whole;
  heldCR_ = bytes[n - 1] == '\r' && n + held > 1;  // waits for the next fill
  if (heldCR_) --n;
  lfCount_ = 0;
  uint32_t shift = 0;
  *start = data;
  if (held && bytes[0] == '\n') {
    lfs_[lfCount_++] = 0;  // the held CR and this LF make a pair
  } else if (held) {
    read_[0] = 13;
    read_[1] = 0;
    *start = read_;
    shift = 2;
  }
  uint32_t pairs;
  uint32_t made = scan::WidenJoiningPairs(bytes, n, data, lfs_ + lfCount_, &pairs);
  for (uint32_t k = lfCount_; k < lfCount_ + pairs; ++k) lfs_[k] = 2 * lfs_[k] + shift;
  lfCount_ += pairs;
  *size = 2 * made + shift;
}

// Reads 8-bit text behind the carried tail until it holds a whole
// character or the file ends (where an incomplete one counts as whole).
// False when nothing is left.
bool inputStream_file::Load() {
  memmove(ansi_, ansi_ + rawWhole_, tail_);
  rawAt_ = rawWhole_ = 0;
  for (;;) {
    uint32_t raw = ReadRaw(ansi_ + tail_, kAnsiBytes - tail_);
    uint32_t total = tail_ + raw;
    rawEnded_ = raw == 0;
    tail_ = raw ? IncompleteTail(ansi_, total) : 0;
    rawWhole_ = total - tail_;
    if (rawWhole_ || rawEnded_) return rawWhole_ != 0;
  }
}

// --- Lines read from 8-bit text ---
//
// In the code pages whose 7-bit bytes stand for themselves a LF, CR or zero
// byte is that character, unless the system joins it to a lead byte in
// front (invalid double-byte text); a line is found among the bytes and
// converted once, straight into its string when it is 7-bit.

const wchar_t* inputStream_file::readline() {
  Handle();
  if (!LinesFromBytes()) return support_.readline();
  buffer_->BeginTransfer();
  return ReadLineBytes();
}

bool inputStream_file::LinesFromBytes() {
  return support_.getmode().kind == Mode::ansi && asciiSame_ && !heldCR_ &&
         *buffer_->getoffsetpointer() >= buffer_->Length();
}

const wchar_t* inputStream_file::ReadLineBytes() {
  if (rawAt_ < rawWhole_) {  // the common line: 7-bit and in hand
    const uint8_t* bytes = ansi_ + rawAt_;
    bool high;
    uint32_t k = scan::FindByteLineEnd(bytes, rawWhole_ - rawAt_, &high);
    if (k < rawWhole_ - rawAt_ && !high) {
      wchar_t* line = string::NewString(k);
      scan::Widen(bytes, k, reinterpret_cast<uint8_t*>(line));
      rawAt_ += k + 1;
      EndLine(bytes[k]);
      return line;
    }
  }
  return GatherLine();
}

// A line that spans reads or has 8-bit characters.
const wchar_t* inputStream_file::GatherLine() {
  LineText text;
  for (;;) {
    if (rawAt_ == rawWhole_ && !Load()) return LastLine(text);
    const uint8_t* bytes = ansi_ + rawAt_;
    uint32_t n = rawWhole_ - rawAt_;
    bool high;
    uint32_t k = LineEnd(bytes, n, &high);
    if (k == n) {
      Decode(bytes, n, high, &text);
      rawAt_ = rawWhole_;
      continue;
    }
    Decode(bytes, k, high, &text);
    wchar_t* line = text.NewString();
    rawAt_ += k + 1;
    EndLine(bytes[k]);
    return line;
  }
}

// The offset of the first line end among `n` bytes that start a character
// (`n` when there is none); `high` tells whether an 8-bit byte comes first.
uint32_t inputStream_file::LineEnd(const uint8_t* bytes, uint32_t n, bool* high) const {
  uint32_t k = scan::FindByteLineEnd(bytes, n, high);
  while (k < n && *high && dbcs_ && JoinsLead(bytes, k)) {
    bool more;
    k += 1 + scan::FindByteLineEnd(bytes + k + 1, n - k - 1, &more);
  }
  return k;
}

// Whether the system makes one character of byte `at` and the lead byte
// in front of it (the bytes start a character).
bool inputStream_file::JoinsLead(const uint8_t* bytes, uint32_t at) const {
  if (IncompleteTail(bytes, at) == 0) return false;
  const char pair[2] = {static_cast<char>(bytes[at - 1]), static_cast<char>(bytes[at])};
  wchar_t units[2];
  return MultiByteToWideChar(page_, 0, pair, 2, units, 2) == 1;
}

// `n` bytes of whole characters added to the line as units.
void inputStream_file::Decode(const uint8_t* bytes, uint32_t n, bool high, LineText* text) {
  if (n == 0) return;
  if (!high) {
    scan::Widen(bytes, n, reinterpret_cast<uint8_t*>(text->Room(n)));
    text->Added(n);
    return;
  }
  text->Added(SystemConvert(bytes, n, text->Room(n), n));
}

// The line end byte before rawAt_ consumed: a CR takes the LF after it
// along under CR LF conversion, reading on when the LF may be next.
void inputStream_file::EndLine(uint8_t end) {
  bool pair = false;
  if (end == '\r' && crlf_) {
    if (rawAt_ == rawWhole_ && tail_ == 0) Load();
    pair = rawAt_ < rawWhole_ && ansi_[rawAt_] == '\n';
    rawAt_ += pair;
  }
  Lend(pair ? L'\n' : static_cast<wchar_t>(end), pair);
}

// The end of the file: the line without an end, or 319 when it is empty.
const wchar_t* inputStream_file::LastLine(const LineText& text) {
  uint32_t n = text.Size();
  if (n == 0) {
    T::Streams::ParseChar(buffer_);  // raises 319 at the end
    return string::NewString(0);
  }
  Lend(text.Text()[n - 1], false);
  return text.NewString();
}

// The unit delivered last as the consumed buffer in hand (the LF of a pair
// whose CR went), where ungetchar finds it.
void inputStream_file::Lend(wchar_t unit, bool pair) {
  memcpy(read_ + 2, &unit, 2);
  buffer_->setbuffer(read_ + 2, 2, 2);
  lfs_[0] = 0;
  lfCount_ = pair;
}

uint64_t inputStream_file::getposition() {
  Handle();
  const Mode mode = support_.getmode();
  uint64_t pointer = fileSystem_api::setfilepointer(file_, 0, FILE_CURRENT);
  uint32_t offset = *buffer_->getoffsetpointer();
  uint32_t length = buffer_->Length();
  uint64_t pending = 0;
  if (offset < length) {
    uint32_t removed = 0;
    for (uint32_t k = 0; k < lfCount_; ++k) removed += lfs_[k] >= offset;
    if (mode.kind == Mode::ansi) {
      const auto* text = reinterpret_cast<const wchar_t*>(buffer_->Buffer() + offset);
      pending = string8_api::lenmultibyte(codepage::Number(AnsiPage(mode)), text,
                                          static_cast<int32_t>((length - offset) / 2)) +
                removed;
    } else {
      pending = length - offset + 2 * removed;
    }
  }
  if (heldCR_) pending += mode.kind == Mode::ansi ? 1 : 2;
  pending += rawWhole_ - rawAt_ + tail_;
  uint64_t position = pointer - pending;
  return signature_ && position >= 2 ? position - 2 : position;
}

void inputStream_file::Reset() {
  buffer_->setoffset(buffer_->Length());
  heldCR_ = false;
  rawAt_ = rawWhole_ = tail_ = 0;
  rawEnded_ = false;
  lfCount_ = 0;
}

void inputStream_file::setposition(uint64_t position) {
  Handle();
  if (support_.getmode().kind == Mode::unicode && (position & 1)) {
    TAV_AT();
    string_exception::raise_oddoffset(&classInfo, static_cast<uint32_t>(position));
  }
  uint64_t at = position + (signature_ ? 2 : 0);
  if (at > fileSystem_api::getfilesize(file_)) {
    TAV_AT();
    stream_exception::raise_endofstream(&classInfo);
  }
  fileSystem_api::setfilepointer(file_, static_cast<int64_t>(at), FILE_BEGIN);
  Reset();
}

bool inputStream_file::getcrlfconversion() {
  Handle();
  return support_.getmode().kind != Mode::binary && crlf_;
}

void inputStream_file::setcrlfconversion(bool on) {
  Handle();
  if (support_.getmode().kind == Mode::binary) {
    TAV_AT();
    stream_exception::raise_wrongmode(&classInfo, L"inputStream_file::setcrlfconversion",
                                      L"binary()");
  }
  crlf_ = on;
}

void inputStream_file::close() {
  HANDLE h = Handle();
  file_ = nullptr;
  if (!CloseHandle(h)) RaiseNative(&classInfo, L"CloseHandle");
}

void inputStream_file::setmode(Mode mode) {
  uint64_t position = getposition();
  if (mode.kind == Mode::unicode) position += position & 1;
  ApplyMode(mode);
  support_.setmode(mode);
  setposition(position);
}

bool inputStream_file::endofstream() {
  Handle();
  buffer_->BeginTransfer();
  if (heldCR_ || tail_ || rawAt_ < rawWhole_) return false;
  // The end is where a fill finds nothing more: no data in hand and none
  // read.  In ansi mode the bytes are read, not yet converted (readline may
  // take its lines from them).
  if (support_.getmode().kind == Mode::ansi && *buffer_->getoffsetpointer() >= buffer_->Length())
    return !Load();
  uint8_t* base;
  uint32_t length;
  return !buffer_->getbuffer(&base, &length);
}

// --- outputStream_file ---

outputStream_file::outputStream_file(HANDLE file, Mode mode)
    : file_(file), support_(nullptr, mode) {}

outputStream_file* outputStream_file::Make(HANDLE file, Mode mode, Signature signature) {
  auto* s = new (AllocFinalized<outputStream_file>(&Finalize)) outputStream_file(file, mode);
  s->crlf_ = true;
  // Outside the collected heap, as the input buffer (see there).
  s->memory_ = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kBufferBytes));
  if (!s->memory_) K::Errors::RunTimeError(206);
  s->buffer_ = outputBuffer::New(s->memory_, kBufferBytes, {&Full, s});
  s->support_ = outputSupport(s->buffer_, mode);
  if (mode.kind != Mode::unicode || signature == Signature::none) return s;
  bool writeIt = signature == Signature::write;
  if (!writeIt) {
    uint8_t head[2];
    DWORD done = 0;
    if (!ReadFile(file, head, 2, &done, nullptr)) RaiseNative(&classInfo, L"ReadFile");
    if (done == 2 && memcmp(head, kSignature, 2) == 0)
      s->signature_ = true;
    else if (done == 0 && signature == Signature::checkOrWrite)
      writeIt = true;
    else if (done != 0)
      fileSystem_api::setfilepointer(file, 0, FILE_BEGIN);
  }
  if (writeIt) {
    memcpy(s->memory_, kSignature, 2);
    s->buffer_->setoffset(2);
    s->signature_ = true;
  }
  return s;
}

// Opens the file and makes the stream; the handle is closed again when
// making the stream raised.
static outputStream_file* Opened(const wchar_t* fileName, uint32_t access, accesspermit share,
                                 uint32_t disposition, uint32_t attributes,
                                 outputStream_file* (*make)(HANDLE, void*), void* context) {
  volatile HANDLE file = fileSystem_api::createfile(fileName, access, share, disposition, attributes);
  outputStream_file* volatile s = nullptr;
  if (uint32_t error = K::RunTrapped([&] { s = make(file, context); })) {
    CloseHandle(file);
    K::Errors::Qel_ErrorExit(error);
  }
  return s;
}

outputStream_file* outputStream_file::create(const wchar_t* fileName) {
  return create(fileName, 0, accesspermit::permitread, Mode::Unicode());
}
outputStream_file* outputStream_file::create8(const wchar_t* fileName) {
  return create8(fileName, 0);
}
outputStream_file* outputStream_file::create(const wchar_t* fileName, uint32_t attributes) {
  return create(fileName, attributes, accesspermit::permitread, Mode::Unicode());
}
outputStream_file* outputStream_file::create8(const wchar_t* fileName, uint32_t attributes) {
  return create(fileName, attributes, accesspermit::permitread, Mode::Ansi(GetACP()));
}
outputStream_file* outputStream_file::create(const wchar_t* fileName, uint32_t attributes,
                                             accesspermit share, Mode mode) {
  return Opened(fileName, GENERIC_WRITE, share, CREATE_ALWAYS, attributes,
                [](HANDLE h, void* m) { return Make(h, *static_cast<Mode*>(m), Signature::write); },
                &mode);
}
outputStream_file* outputStream_file::openfile(const wchar_t* fileName) {
  return openfile(fileName, accesspermit::permitread, Mode::Unicode());
}
outputStream_file* outputStream_file::openfile8(const wchar_t* fileName) {
  return openfile(fileName, accesspermit::permitread, Mode::Ansi(GetACP()));
}
outputStream_file* outputStream_file::openfile(const wchar_t* fileName, accesspermit share,
                                               Mode mode) {
  return Opened(fileName, GENERIC_READ | GENERIC_WRITE, share, OPEN_EXISTING, 0,
                [](HANDLE h, void* m) { return Make(h, *static_cast<Mode*>(m), Signature::check); },
                &mode);
}
outputStream_file* outputStream_file::append(const wchar_t* fileName) {
  return append(fileName, Mode::Unicode());
}
outputStream_file* outputStream_file::append8(const wchar_t* fileName) {
  return append(fileName, Mode::Ansi(GetACP()));
}
outputStream_file* outputStream_file::append(const wchar_t* fileName, Mode mode) {
  return Opened(fileName, GENERIC_READ | GENERIC_WRITE, accesspermit::permitread, OPEN_ALWAYS, 0,
                [](HANDLE h, void* m) {
                  outputStream_file* s = Make(h, *static_cast<Mode*>(m), Signature::checkOrWrite);
                  fileSystem_api::setfilepointer(h, 0, FILE_END);
                  return s;
                },
                &mode);
}
outputStream_file* outputStream_file::newhandlefile(HANDLE file, Mode mode) {
  fileSystem_api::setfilepointer(file, 0, FILE_BEGIN);
  return Make(file, mode, Signature::check);
}
outputStream_file* outputStream_file::newhandle(HANDLE file, Mode mode) {
  return Make(file, mode, Signature::none);
}

void outputStream_file::Finalize(void* self) {
  auto* s = static_cast<outputStream_file*>(self);
  if (HANDLE h = s->file_) {
    // Whatever writing raises ends at the collector's boundary; the handle
    // is closed in any case.
    K::RunTrapped([&] { s->Drain(true); });
    s->file_ = nullptr;
    CloseHandle(h);
  }
  HeapFree(GetProcessHeap(), 0, s->memory_);
  if (s->ansiOut_) HeapFree(GetProcessHeap(), 0, s->ansiOut_);
  s->memory_ = s->ansiOut_ = nullptr;
}

HANDLE outputStream_file::Handle() {
  if (!file_)
    T::DBInternal::Error_SingleFactHasNoValue(T::Domain(domains::outputStream_file_facts.head), 1);
  return file_;
}

void outputStream_file::WriteAll(const void* bytes, uint32_t size) {
  const auto* p = static_cast<const uint8_t*>(bytes);
  while (size) {
    DWORD done = 0;
    if (!WriteFile(file_, p, size, &done, nullptr)) RaiseNative(&classInfo, L"WriteFile");
    if (done == 0) {
      // A device that takes nothing more: reported as the full disk it is.
      SetLastError(ERROR_DISK_FULL);
      RaiseNative(&classInfo, L"WriteFile");
    }
    p += done;
    size -= done;
  }
}

void outputStream_file::WriteOut(uint8_t* buffer, uint32_t used, bool final) {
  // The converted copies live on the global stack only until they are written.
  uint8_t* mark = K::Memory::MarkGStack();
  WriteConverted(buffer, used, final);
  K::Memory::ReleaseGStack(mark);
}

void outputStream_file::WriteConverted(uint8_t* buffer, uint32_t used, bool final) {
  const Mode mode = support_.getmode();
  if (mode.kind == Mode::binary) {
    WriteAll(buffer, used);
    return;
  }
  const bool ansi = mode.kind == Mode::ansi;
  const uint32_t units = used / 2;
  const uint32_t lfs = crlf_ ? scan::Count(buffer, units, 10) : 0;
  if (!ansi && lfs == 0) {
    WriteAll(buffer, used);
    return;
  }
  // One copy on the global stack: a held high surrogate in front (ansi),
  // a CR before every LF, an odd last byte kept (unicode).
  auto* text = static_cast<uint8_t*>(GStackAlloc(2 * (1 + units + lfs) + 2));
  uint8_t* end = text;
  if (ansi && highSurrogate_) {
    memcpy(end, &highSurrogate_, 2);
    end += 2;
  }
  highSurrogate_ = 0;
  if (lfs) {
    end = scan::CopyLfAsCrLf(buffer, units, end);
  } else {
    memcpy(end, buffer, 2 * units);
    end += 2 * units;
  }
  if (!ansi) {
    if (used & 1) *end++ = buffer[used - 1];
    WriteAll(text, static_cast<uint32_t>(end - text));
    return;
  }
  auto* chars = reinterpret_cast<wchar_t*>(text);
  uint32_t n = static_cast<uint32_t>(end - text) / 2;
  if (!final && n && IS_HIGH_SURROGATE(chars[n - 1])) highSurrogate_ = chars[--n];
  codepage cp = codepage::Number(AnsiPage(mode));
  // One pass into room that fits most code pages, at the end of the 8-bit
  // block (written out once it holds a buffer's worth: a text line makes
  // about half as many bytes as units); the exact size is asked for only
  // when that room is not enough (or the conversion fails).
  uint32_t room = memory::checksize(uint64_t{n} * 3 + 1);
  if (!ansiOut_) {
    ansiOut_ = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, kAnsiOutBytes));
    if (!ansiOut_) K::Errors::RunTimeError(206);
  }
  if (ansiUsed_ + room > kAnsiOutBytes) WritePending();
  bool inBlock = room <= kAnsiOutBytes;
  auto* out = inBlock ? reinterpret_cast<char*>(ansiOut_ + ansiUsed_)
                      : static_cast<char*>(GStackAlloc(room));
  int made = n ? WideCharToMultiByte(string8_api::toapicodepage(cp), 0, chars,
                                     static_cast<int>(n), out, static_cast<int>(room), nullptr,
                                     nullptr)
               : 0;
  if (n && made <= 0) {
    uint32_t bytes = string8_api::lenmultibyte(cp, chars, static_cast<int32_t>(n));
    out = static_cast<char*>(GStackAlloc(bytes ? bytes : 1));
    string8_api::tomultibyte(cp, chars, static_cast<int32_t>(n), out, bytes);
    WritePending();
    WriteAll(out, bytes);
    return;
  }
  if (!inBlock) {
    WritePending();
    WriteAll(out, static_cast<uint32_t>(made));
    return;
  }
  ansiUsed_ += static_cast<uint32_t>(made);
  if (ansiUsed_ >= kBufferBytes) WritePending();
}

void outputStream_file::WritePending() {
  uint32_t n = ansiUsed_;
  ansiUsed_ = 0;  // a failed write loses them, as it loses the buffer
  if (n) WriteAll(ansiOut_, n);
}

void outputStream_file::Full(void* self, uint8_t* buffer, uint32_t used, uint8_t** next,
                             uint32_t* size) {
  auto* s = static_cast<outputStream_file*>(self);
  s->Handle();
  if (used) s->WriteOut(buffer, used, false);
  *next = s->memory_;
  *size = kBufferBytes;
}

void outputStream_file::Drain(bool final) {
  buffer_->flush();
  if (final && highSurrogate_) WriteOut(memory_, 0, true);
  WritePending();
}

void outputStream_file::writebytes(const void* bytes, uint32_t size) {
  outputSupport* support = Open();
  if (size < kBufferBytes || support->getmode().kind != Mode::binary) {
    support->writebytes(bytes, size);  // also refuses the text modes
    return;
  }
  Drain(false);
  WriteAll(bytes, size);
}

void outputStream_file::flush() {
  Handle();
  Drain(false);
  if (!FlushFileBuffers(file_)) RaiseNative(&classInfo, L"FlushFileBuffers");
}

uint64_t outputStream_file::getposition() {
  Handle();
  Drain(false);
  uint64_t pointer = fileSystem_api::setfilepointer(file_, 0, FILE_CURRENT);
  return support_.getmode().kind == Mode::unicode && signature_ && pointer >= 2 ? pointer - 2
                                                                               : pointer;
}

void outputStream_file::setposition(uint64_t position) {
  Handle();
  Drain(false);
  bool unicode = support_.getmode().kind == Mode::unicode;
  if (unicode && (position & 1)) {
    TAV_AT();
    string_exception::raise_oddoffset(&classInfo, static_cast<uint32_t>(position));
  }
  uint64_t at = position + (unicode && signature_ ? 2 : 0);
  fileSystem_api::setfilepointer(file_, static_cast<int64_t>(at), FILE_BEGIN);
}

bool outputStream_file::getcrlfconversion() {
  Handle();
  return support_.getmode().kind != Mode::binary && crlf_;
}

void outputStream_file::setcrlfconversion(bool on) {
  Handle();
  if (support_.getmode().kind == Mode::binary) {
    TAV_AT();
    stream_exception::raise_wrongmode(&classInfo, L"outputStream_file::setcrlfconversion",
                                      L"binary()");
  }
  Drain(false);
  crlf_ = on;
}

void outputStream_file::close() {
  HANDLE h = Handle();
  // Written out, not forced to the disk: closing loses nothing.
  volatile uint32_t error = K::RunTrapped([&] { Drain(true); });
  file_ = nullptr;
  BOOL closed = CloseHandle(h);
  if (error) K::Errors::Qel_ErrorExit(error);
  if (!closed) RaiseNative(&classInfo, L"CloseHandle");
}

void outputStream_file::setmode(Mode mode) {
  uint64_t position = getposition();
  if (mode.kind == Mode::unicode) position += position & 1;
  support_.setmode(mode);
  setposition(position);
}

}  // namespace tav
