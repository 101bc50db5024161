// outputStream_message: the buffer-full callback appends the buffer's text to
// the message window and hands the same memory back; the stream's own
// properties (position, CR/LF conversion, ANSI mode) are refused.
#include "kwi/kwimessage/outputstream_message.h"

#include <windows.h>

#include "kwi/kwimessage/kwimessage.h"
#include "qel6edit.h"
#include "stream/stream_exception.h"

namespace tav {

const ClassInfo outputStream_message::classInfo{L"com/corvane/kwi/message/outputStream_message",
                                                TAV_CLASS_VERSION};

outputStream_message::outputStream_message(uint8_t* memory)
    : memory_(memory), support_(nullptr, Mode::Unicode()) {}

outputStream_message* outputStream_message::New() {
  auto* memory = static_cast<uint8_t*>(K::Memory::AllocAtomicHeap(kBufferBytes));
  memory[kTextBytes] = memory[kTextBytes + 1] = 0;
  outputStream_message* s = NewObject<outputStream_message>(memory);
  s->support_ = outputSupport(outputBuffer::New(memory, kTextBytes, {&Full, s}), Mode::Unicode());
  return s;
}

void outputStream_message::Full(void* self, uint8_t* buffer, uint32_t used, uint8_t** next,
                                uint32_t* size) {
  auto* s = static_cast<outputStream_message*>(self);
  auto* text = reinterpret_cast<wchar_t*>(s->memory_);
  // The text starts at the memory's start: a carried unit lies before `buffer`.
  const uint32_t bytes = static_cast<uint32_t>(buffer - s->memory_) + used;
  uint32_t units = bytes / 2;
  wchar_t held = 0;
  if (bytes == kTextBytes && IS_HIGH_SURROGATE(text[units - 1])) held = text[--units];
  const LONG_PTR window = kwiMessage::trygetwin();
  if (window && units > 0) {
    if (held) {
      text[units] = 0;
    } else if (bytes != kTextBytes) {
      s->memory_[bytes] = s->memory_[bytes + 1] = 0;
      if (bytes + 2 < kBufferBytes) s->memory_[bytes + 2] = 0;
    }
    QEL_EDIT::edit_AppendStr_0(window, text);
  }
  s->carried_ = held ? 1 : 0;
  text[0] = held;
  *next = s->memory_ + 2 * s->carried_;
  *size = kTextBytes - 2 * s->carried_;
}

uint64_t outputStream_message::getposition() {
  stream_exception::raise_notsupportedproperty(&classInfo);
}

void outputStream_message::setposition(uint64_t) {
  stream_exception::raise_notsupportedproperty(&classInfo);
}

void outputStream_message::setcrlfconversion(bool on) {
  if (on) stream_exception::raise_nocrlfconversion(&classInfo);
}

void outputStream_message::setmode(Mode mode) {
  if (mode.kind == Mode::ansi)
    stream_exception::raise_wrongmode(&classInfo, L"outputStream_message::setmode", L"ansi");
  support_.setmode(mode);
}

void outputStream_message::write(const T::REllipsisArg* args) {
  support_.write(args);
  flush();
}
void outputStream_message::writequoted(const T::REllipsisArg* args) {
  support_.writequoted(args);
  flush();
}
void outputStream_message::writebytes(const void* bytes, uint32_t size) {
  support_.writebytes(bytes, size);
  flush();
}
void outputStream_message::writef(const wchar_t* format, const T::REllipsisArg* args) {
  support_.writef(format, args);
  flush();
}
void outputStream_message::nl() {
  support_.nl();
  flush();
}
void outputStream_message::save(const FactDB* db) {
  support_.save(db);
  flush();
}

}  // namespace tav
