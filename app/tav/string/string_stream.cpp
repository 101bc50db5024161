// The string streams: the medium-dependent parts over the shared block
// input and buffer-chain output of the stream package.
#include "string/string_stream.h"

#include <cwchar>

#include "memory/memory.h"

namespace tav {

namespace domains {
extern T::DBInternal::RFactDatabase inputStream_string_facts, outputStream_string_facts;
}

const ClassInfo inputStream_string::classInfo{L"com/corvane/string/inputStream_string",
                                              TAV_CLASS_VERSION};
const ClassInfo outputStream_string::classInfo{L"com/corvane/string/outputStream_string",
                                               TAV_CLASS_VERSION};

static const StreamNames kInputNames{&inputStream_string::classInfo,
                                     L"inputStream_string::setmode",
                                     L"inputStream_string::buffernotfound_exception",
                                     L"Buffer is not found. Buffer number:",
                                     &domains::inputStream_string_facts, true};
static const StreamNames kOutputNames{&outputStream_string::classInfo,
                                      L"outputStream_string::setmode",
                                      L"outputStream_string::buffernotfound_exception",
                                      L"Buffer is not found. Buffer number:",
                                      &domains::outputStream_string_facts, true};

static uint32_t TextBytes(const wchar_t* text) {
  return memory::checksize(uint64_t{wcslen(text)} * 2);
}

inputStream_string::inputStream_string(const wchar_t* text)
    : inputStream_block(&kInputNames, reinterpret_cast<uint8_t*>(const_cast<wchar_t*>(text)),
                        TextBytes(text), Mode::Unicode()) {}

inputStream_string* inputStream_string::New(const wchar_t* text) {
  return NewObject<inputStream_string>(text);
}

outputStream_string::outputStream_string() : outputStream_chain(&kOutputNames, Mode::Unicode()) {}

outputStream_string* outputStream_string::New() { return NewObject<outputStream_string>(); }

const wchar_t* outputStream_string::getstring() {
  uint32_t total = ContentSize();
  uint32_t bytes = memory::checksize(uint64_t{total} + (total & 1) + 2);
  auto* block = static_cast<uint8_t*>(K::Memory::AllocAtomicHeap(bytes));
  CopyContent(block);
  memset(block + total, 0, bytes - total);
  return reinterpret_cast<const wchar_t*>(block);
}

}  // namespace tav
