// The buffer objects, the support parts, the block input streams and the
// chained output streams (see stream.h for the invariants they keep).
#include "stream/stream.h"

#include <windows.h>

#include "exception/exception.h"
#include "memory/memory.h"
#include "stream/lineText.h"
#include "stream/stream_exception.h"
#include "stream/textScan.h"
#include "string/string.h"
#include "string8/string8.h"

namespace tav {

using K::Control::TPrologThreadData;

const ClassInfo inputBuffer::classInfo{L"com/corvane/stream/inputStreamSupport/inputBuffer",
                                       TAV_CLASS_VERSION};
const ClassInfo inputSupport::classInfo{L"com/corvane/stream/inputStreamSupport/inputSupport",
                                        TAV_CLASS_VERSION};
const ClassInfo outputBuffer::classInfo{L"com/corvane/stream/outputStreamSupport/outputBuffer",
                                        TAV_CLASS_VERSION};
const ClassInfo outputSupport::classInfo{L"com/corvane/stream/outputStreamSupport/outputSupport",
                                         TAV_CLASS_VERSION};

const wchar_t* Mode::Text() const {
  auto* t = static_cast<ModeTerm*>(GStackAlloc(sizeof(ModeTerm)));
  *t = ModeTerm{kind, kind == ansi ? codepage::Number(codePage).Term() : nullptr};
  return T::ToString(D(domains::mode), reinterpret_cast<term>(t));
}

// --- inputBuffer ---

static bool CallRefill(RefillCallback refill, uint8_t** buffer, uint32_t* length) {
  bool given = false;
  bool succeeded = K::Succeeds([&] { given = refill.code(refill.object, buffer, length); });
  return succeeded && given;
}

inputBuffer* inputBuffer::New(RefillCallback refill, RefillCallback lockedRefill) {
  uint8_t* buffer = nullptr;
  uint32_t length = 0;
  if (!CallRefill(refill, &buffer, &length)) return nullptr;
  return New(buffer, length, refill, lockedRefill);
}

inputBuffer* inputBuffer::New(uint8_t* buffer, uint32_t length, RefillCallback refill,
                              RefillCallback lockedRefill) {
  inputBuffer* b = NewObject<inputBuffer>(refill, lockedRefill);
  b->buffer_ = buffer;
  b->length_ = length;
  return b;
}

bool inputBuffer::Get(RefillCallback refill, uint8_t** buffer, uint32_t* length) {
  if (offset_ >= length_) {
    uint8_t* next = nullptr;
    uint32_t n = 0;
    if (!CallRefill(refill, &next, &n) || n == 0) return false;  // the end: keep what we have
    buffer_ = next;
    length_ = n;
    offset_ = 0;
  }
  *buffer = buffer_;
  *length = length_;
  return true;
}

void inputBuffer::NextBlock(uint8_t** base, uint32_t* length) {
  atEnd_ = !getbuffer(base, length);
  if (atEnd_) {
    *base = buffer_;
    *length = 0;
    scratch_ = 0;
  }
}

// --- inputSupport ---

void inputSupport::CheckText(const wchar_t* predicate) {
  if (mode_.IsBinary()) stream_exception::raise_wrongmode(&classInfo, predicate, L"binary");
  buffer_->BeginTransfer();
}

term inputSupport::read(const IDomainDefinition* d) {
  buffer_->BeginTransfer();
  return T::Streams::ParseFromStream(d, buffer_, mode_.IsBinary() ? 0 : 1);
}

const uint8_t* inputSupport::readbytes(uint32_t size) {
  if (!mode_.IsBinary()) stream_exception::raise_wrongmode(&classInfo, L"readbytes", mode_.Text());
  buffer_->BeginTransfer();
  uint8_t* base;
  uint32_t length;
  if (size > kSmallRead) {
    if (buffer_->getbuffer(&base, &length)) return T::Streams::ParseBytes(buffer_, size);
    size = 0;  // at the end: an empty binary
  }
  // Small reads are copied straight from the buffers into the global stack.
  auto* block = static_cast<uint8_t*>(GStackAlloc(size + 4));
  uint32_t copied = 0;
  while (copied < size && buffer_->getbuffer(&base, &length)) {
    uint32_t& pos = *buffer_->getoffsetpointer();
    uint32_t k = length - pos < size - copied ? length - pos : size - copied;
    memcpy(block + 4 + copied, base + pos, k);
    pos += k;
    copied += k;
  }
  uint32_t word = copied + 4;
  memcpy(block, &word, 4);
  K::Memory::AdjustGStackAlloc(block, word);
  return block + 4;
}

const wchar_t* inputSupport::readstring(uint32_t count) {
  CheckText(L"readstring");
  return T::Streams::ParseString(buffer_, count);
}

wchar_t inputSupport::readchar() {
  CheckText(L"readchar");
  return T::Streams::ParseChar(buffer_);
}

void inputSupport::ungetchar() {
  CheckText(L"ungetchar");
  T::Streams::ungetChar(buffer_);
}

void inputSupport::consult(const FactDB* db) {
  CheckText(L"consult");
  T::Streams::DataBaseInternal_consult(db, buffer_, 1);
}

// The line as it stands: up to LF, CR or a zero character, which is
// consumed; a unit split between two blocks is joined.  A line that ends
// in the block where it starts is copied once, straight into the result.
// At the end with nothing read: the runtime's 319.
const wchar_t* inputSupport::readline() {
  CheckText(L"readline");
  LineText text;
  int low = -1;
  bool ended = false;
  uint8_t* base;
  uint32_t length;
  while (!ended && buffer_->getbuffer(&base, &length)) {
    uint32_t& pos = *buffer_->getoffsetpointer();
    if (low >= 0) {
      uint8_t unit[2] = {static_cast<uint8_t>(low), base[pos++]};
      low = -1;
      wchar_t c = static_cast<wchar_t>(unit[0] | unit[1] << 8);
      if (c == 0 || c == L'\n' || c == L'\r') {
        ended = true;
        break;
      }
      text.Add(unit, 1);
    }
    uint32_t units = pos < length ? (length - pos) / 2 : 0;
    uint32_t k = scan::FindLineEnd(base + pos, units);
    if (k < units) {
      ended = true;
      if (text.Size() == 0) {
        wchar_t* line = string::NewString(k);
        scan::CopyUnits(reinterpret_cast<uint8_t*>(line), base + pos, k);
        pos += 2 * k + 2;
        return line;
      }
      text.Add(base + pos, k);
      pos += 2 * k + 2;
      break;
    }
    text.Add(base + pos, units);
    pos += 2 * units;
    if (pos + 1 == length) low = base[pos++];
  }
  uint32_t n = text.Size();
  if (!ended && n == 0) T::Streams::ParseChar(buffer_);  // raises 319 at the end
  return text.NewString();
}

// --- outputBuffer ---

outputBuffer* outputBuffer::New(uint8_t* buffer, uint32_t size, BufferFullCallback full) {
  outputBuffer* b = NewObject<outputBuffer>(full);
  b->buffer_ = buffer;
  b->size_ = size;
  return b;
}

void outputBuffer::getbuffer(uint8_t** buffer, uint32_t* size) {
  if (offset_ >= size_) {
    uint8_t* next = nullptr;
    uint32_t n = 0;
    full_.code(full_.object, buffer_, size_, &next, &n);  // may raise: nothing changed yet
    buffer_ = next;
    size_ = n;
    offset_ = 0;
  }
  *buffer = buffer_;
  *size = size_;
}

void outputBuffer::NextBlock(uint8_t** base, uint32_t* length) { getbuffer(base, length); }

void outputBuffer::flush() {
  uint8_t* mark = TPrologThreadData::GetGStackTop();
  uint8_t* next = nullptr;
  uint32_t n = 0;
  full_.code(full_.object, buffer_, offset_, &next, &n);
  buffer_ = next;
  size_ = n;
  TPrologThreadData::SetGStackTop(mark);
  offset_ = 0;
}

// --- outputSupport ---

void outputSupport::CheckText(const wchar_t* predicate) {
  if (mode_.IsBinary()) stream_exception::raise_wrongmode(&classInfo, predicate, L"binary");
}

void outputSupport::write(const T::REllipsisArg* args) {
  T::Format::corvane_Write2OutputStream(buffer_, 0, mode_.IsBinary() ? 0 : 1, args);
}

void outputSupport::writequoted(const T::REllipsisArg* args) {
  CheckText(L"writequoted");
  T::Format::corvane_Write2OutputStream(buffer_, 1, 1, args);
}

void outputSupport::writef(const wchar_t* format, const T::REllipsisArg* args) {
  CheckText(L"writef");
  T::Format::corvaneStream_Format(buffer_, format, args);
}

void outputSupport::writebytes(const void* bytes, uint32_t size) {
  if (!mode_.IsBinary())
    stream_exception::raise_wrongmode(&classInfo, L"writebytes", mode_.Text());
  T::Format::corvane_WriteBytes2OutputStream(buffer_, bytes, size);
}

void outputSupport::nl() {
  if (!mode_.IsBinary()) {
    // Text modes buffer UTF-16 units: the LF goes in as its two bytes, as
    // writing the string "\n" would put it.
    static const uint8_t kLf[2] = {'\n', 0};
    T::Format::corvane_WriteBytes2OutputStream(buffer_, kLf, sizeof kLf);
    return;
  }
  T::TEllipsisArgs<1> lf;
  lf.SetTerm(0, D(domains::string), L"\n");
  write(lf);
}

void outputSupport::save(const FactDB* db) {
  CheckText(L"save");
  T::Streams::DataBaseInternal_save(db, buffer_, 1);
}

// --- inputStream_block ---

static bool NoMoreData(void*, uint8_t**, uint32_t*) { return false; }

inputStream_block::inputStream_block(const StreamNames* names, uint8_t* data, uint32_t length,
                                     Mode mode)
    : names_(names),
      buffer_(inputBuffer::New(data, length, {&NoMoreData, nullptr}, {&NoMoreData, nullptr})),
      support_(buffer_, mode) {}

inputBuffer* inputStream_block::Buffer() {
  if (!buffer_) T::DBInternal::Error_SingleFactHasNoValue(T::Domain(names_->facts->head), 1);
  return buffer_;
}

uint64_t inputStream_block::getposition() { return *Buffer()->getoffsetpointer(); }

void inputStream_block::setposition(uint64_t position) {
  inputBuffer* b = Buffer();
  if (position > b->Length()) stream_exception::raise_endofstream(names_->classInfo);
  if (names_->oddCheck && getmode().kind == Mode::unicode && (position & 1))
    string_exception::raise_oddoffset(names_->classInfo, static_cast<uint32_t>(position));
  b->setoffset(static_cast<uint32_t>(position));
}

void inputStream_block::setcrlfconversion(bool on) {
  if (on) stream_exception::raise_nocrlfconversion(names_->classInfo);
}

void inputStream_block::setmode(Mode mode) {
  if (mode.kind == Mode::ansi)
    stream_exception::raise_wrongmode(names_->classInfo, names_->setmodeName, L"ansi");
  if (mode.kind == Mode::unicode && names_->oddCheck) {
    inputBuffer* b = Buffer();
    uint32_t offset = *b->getoffsetpointer();
    b->setoffset(offset + (offset & 1));
  }
  support_.setmode(mode);
}

bool inputStream_block::endofstream() {
  inputBuffer* b = Buffer();
  b->BeginTransfer();
  uint8_t* base;
  uint32_t length;
  return !b->getbuffer(&base, &length);
}

// --- outputStream_chain ---

outputStream_chain::outputStream_chain(const StreamNames* names, Mode mode)
    : names_(names), support_(nullptr, mode) {
  Record* first = NewBuffer(kBufferSize);
  buffer_ = outputBuffer::New(first->memory, first->size, {&Full, this});
  support_ = outputSupport(buffer_, mode);
}

outputStream_chain::Record* outputStream_chain::NewBuffer(uint64_t size) {
  uint32_t bytes = memory::checksize(size);
  uint64_t start = count_ ? records_[count_ - 1].start + records_[count_ - 1].size : 0;
  if (count_ == capacity_) {
    uint32_t capacity = capacity_ ? capacity_ * 2 : 8;
    auto* grown = static_cast<Record*>(
        K::Memory::AllocHeap(memory::checksize(uint64_t{capacity} * sizeof(Record))));
    if (count_) memcpy(grown, records_, count_ * sizeof(Record));
    records_ = grown;
    capacity_ = capacity;
  }
  uint8_t* memory;
  if (bytes == kBufferSize && count_ > 0) {
    // Standard buffers after the first are carved from larger zeroed blocks:
    // one collector allocation serves sixteen of them.  The first stands
    // alone, so a short text costs one small block.
    if (chunkLeft_ == 0) {
      constexpr uint32_t kChunk = 16 * kBufferSize;
      chunk_ = static_cast<uint8_t*>(K::Memory::AllocAtomicHeap(kChunk));
      memset(chunk_, 0, kChunk);
      chunkLeft_ = 16;
    }
    memory = chunk_;
    chunk_ += kBufferSize;
    --chunkLeft_;
  } else {
    memory = static_cast<uint8_t*>(K::Memory::AllocAtomicHeap(bytes ? bytes : 8));
    memset(memory, 0, bytes);
  }
  records_[count_] = Record{memory, 0, bytes, start};
  current_ = count_++;
  return &records_[current_];
}

outputStream_chain::Record* outputStream_chain::Current() {
  if (!records_ || current_ >= count_) {
    T::TEllipsisArgs<2> args;
    args.SetTerm(0, D(domains::string), names_->buffernotfoundText);
    args.SetValue(1, D(domains::unsigned_), current_);
    TAV_AT();
    common_exception::raise_error(names_->classInfo, names_->buffernotfoundName, args);
  }
  return &records_[current_];
}

outputSupport* outputStream_chain::Open() {
  Current();
  return &support_;
}

void outputStream_chain::UpdateCurrent() {
  Record* r = Current();
  uint32_t offset = *buffer_->getoffsetpointer();
  if (offset > r->used) r->used = offset;
}

void outputStream_chain::Full(void* self, uint8_t*, uint32_t, uint8_t** next, uint32_t* size) {
  auto* s = static_cast<outputStream_chain*>(self);
  s->UpdateCurrent();
  Record* r;
  if (s->current_ + 1 < s->count_)
    r = &s->records_[++s->current_];  // moved back earlier: go on in the next one
  else
    r = s->NewBuffer(kBufferSize);
  *next = r->memory;
  *size = r->size;
}

uint64_t outputStream_chain::getposition() {
  return Current()->start + *buffer_->getoffsetpointer();
}

void outputStream_chain::setposition(uint64_t position) {
  Current();
  if (position >> 32) stream_exception::raise_endofstream(names_->classInfo);
  if (names_->oddCheck && getmode().kind == Mode::unicode && (position & 1))
    string_exception::raise_oddoffset(names_->classInfo, static_cast<uint32_t>(position));
  for (uint32_t i = 0; i < count_; ++i) {
    const Record& r = records_[i];
    if (r.start <= position && position < r.start + r.size) {
      UpdateCurrent();
      current_ = i;
      buffer_->setcurrentbuffer(r.memory, r.size);
      buffer_->setoffset(static_cast<uint32_t>(position - r.start));
      return;
    }
  }
  // Beyond the last buffer: a gap buffer, checked before anything changes.
  Record& last = records_[count_ - 1];
  uint64_t gap = position - (last.start + last.size);
  uint64_t size = gap + (gap & 1) + kBufferSize;
  memory::checksize(size);
  UpdateCurrent();
  last.used = last.size;
  Record* r = NewBuffer(size);
  buffer_->setcurrentbuffer(r->memory, r->size);
  buffer_->setoffset(static_cast<uint32_t>(gap));
}

void outputStream_chain::setcrlfconversion(bool on) {
  if (on) stream_exception::raise_nocrlfconversion(names_->classInfo);
}

void outputStream_chain::close() {
  records_ = nullptr;
  chunk_ = nullptr;
  chunkLeft_ = 0;
  count_ = capacity_ = current_ = 0;
  buffer_ = nullptr;
}

void outputStream_chain::setmode(Mode mode) {
  if (mode.kind == Mode::ansi)
    stream_exception::raise_wrongmode(names_->classInfo, names_->setmodeName, L"ansi");
  if (mode.kind == Mode::unicode && names_->oddCheck) {
    Current();
    uint32_t offset = *buffer_->getoffsetpointer();
    buffer_->setoffset(offset + (offset & 1));
  }
  support_.setmode(mode);
}

uint32_t outputStream_chain::ContentSize() {
  UpdateCurrent();
  const Record& last = records_[count_ - 1];
  return memory::checksize(last.start + last.used);
}

void outputStream_chain::CopyContent(uint8_t* out) {
  uint32_t total = ContentSize();
  memset(out, 0, total);
  for (uint32_t i = 0; i < count_; ++i) {
    const Record& r = records_[i];
    if (r.start < total) memcpy(out + r.start, r.memory, r.used);
  }
}

// --- stdIO ---

const ClassInfo stdIO::classInfo{L"com/corvane/stream/stdIO", TAV_CLASS_VERSION};

// Class facts: static data, a root of the collector.
static inputStream* g_input;
static outputStream* g_output;
static outputStream* g_error;

template <class S>
static S* Need(S* s, const wchar_t* predicate) {
  if (!s) stream_exception::raise_nostream(&stdIO::classInfo, predicate);
  return s;
}

inputStream* stdIO::getinputstream() { return Need(g_input, L"stdIO::getinputstream"); }
outputStream* stdIO::getoutputstream() { return Need(g_output, L"stdIO::getoutputstream"); }
outputStream* stdIO::geterrorstream() { return Need(g_error, L"stdIO::geterrorstream"); }
inputStream* stdIO::trygetinputstream() { return g_input; }
outputStream* stdIO::trygetoutputstream() { return g_output; }
outputStream* stdIO::trygeterrorstream() { return g_error; }
void stdIO::setinputstream(inputStream* s) { g_input = s; }
void stdIO::setoutputstream(outputStream* s) { g_output = s; }
void stdIO::seterrorstream(outputStream* s) { g_error = s; }
void stdIO::write(const T::REllipsisArg* args) { Need(g_output, L"stdIO::write")->write(args); }
void stdIO::writef(const wchar_t* format, const T::REllipsisArg* args) {
  Need(g_output, L"stdIO::writef")->writef(format, args);
}
void stdIO::nl() { Need(g_output, L"stdIO::nl")->nl(); }
void stdIO::write_error(const T::REllipsisArg* args) {
  Need(g_error, L"stdIO::write_error")->write(args);
}
void stdIO::writef_error(const wchar_t* format, const T::REllipsisArg* args) {
  Need(g_error, L"stdIO::writef_error")->writef(format, args);
}
term stdIO::read(const IDomainDefinition* d) { return Need(g_input, L"stdIO::read")->read(d); }
const wchar_t* stdIO::readline() { return Need(g_input, L"stdIO::readline")->readline(); }
wchar_t stdIO::readchar() { return Need(g_input, L"stdIO::readchar")->readchar(); }

}  // namespace tav
