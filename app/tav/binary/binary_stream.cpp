// The binary streams: the medium-dependent parts over the shared block
// input and buffer-chain output of the stream package.
#include "binary/binary_stream.h"

#include "binary/binary.h"

namespace tav {

namespace domains {
extern T::DBInternal::RFactDatabase inputStream_binary_facts, outputStream_binary_facts;
}

const ClassInfo inputStream_binary::classInfo{L"com/corvane/binary/inputStream_binary",
                                              TAV_CLASS_VERSION};
const ClassInfo outputStream_binary::classInfo{L"com/corvane/binary/outputStream_binary",
                                               TAV_CLASS_VERSION};

static const StreamNames kInputNames{&inputStream_binary::classInfo,
                                     L"inputStream_binary::setmode",
                                     L"inputStream_binary::buffernotfound_exception",
                                     L"Buffer is not found. Buffer number: ",
                                     &domains::inputStream_binary_facts, false};
static const StreamNames kOutputNames{&outputStream_binary::classInfo,
                                      L"outputStream_binary::setmode",
                                      L"outputStream_binary::buffernotfound_exception",
                                      L"Buffer is not found. Buffer number: ",
                                      &domains::outputStream_binary_facts, false};

inputStream_binary::inputStream_binary(const uint8_t* b)
    : inputStream_block(&kInputNames, const_cast<uint8_t*>(b), binary::getsize(b),
                        Mode::Binary()) {}

inputStream_binary* inputStream_binary::New(const uint8_t* b) {
  binary::getsize(b);  // a null or damaged binary raises before the object is made
  return NewObject<inputStream_binary>(b);
}

outputStream_binary::outputStream_binary() : outputStream_chain(&kOutputNames, Mode::Binary()) {}

outputStream_binary* outputStream_binary::New() { return NewObject<outputStream_binary>(); }

uint8_t* outputStream_binary::getbinary() {
  uint8_t* b = binary::create(ContentSize());
  CopyContent(b);
  return b;
}

}  // namespace tav
