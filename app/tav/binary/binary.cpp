// binary and binary_exception.  Invariants: every check (null binary, size
// word, range, sizeterm) is made before the new block is allocated or the
// given one written; every result binary's size word counts itself.
#include "binary/binary.h"

#include <cstring>

#include "exception/exception.h"
#include "memory/memory.h"

namespace tav {

const ClassInfo binary::classInfo{L"com/corvane/binary/binary", TAV_CLASS_VERSION};
const ClassInfo binary_exception::classInfo{L"com/corvane/binary/binary_exception",
                                            TAV_CLASS_VERSION};
const ExceptionDescriptor binary_exception::indexoutofrange{
    &binary_exception::classInfo, L"indexoutofrange", L"Index out of binary limits"};
const ExceptionDescriptor binary_exception::invalidcompressionformat{
    &binary_exception::classInfo, L"invalidcompressionformat", L"Invalid compression format"};
const ExceptionDescriptor binary_exception::internaldecodeerror{
    &binary_exception::classInfo, L"internaldecodeerror", L"Internal decode error"};
const ExceptionDescriptor binary_exception::wrongbinaryformat{
    &binary_exception::classInfo, L"wrongbinaryformat", L"Wrong format of the binary"};

static void RaiseWith(const ClassInfo* ci, const ExceptionDescriptor* e, const Named& item) {
  exception::raise_withpos(ci, programControl::getlastsavedsourceposition(), e, Values({item}));
}
void binary_exception::raise_indexoutofrange(const ClassInfo* ci, uint32_t index) {
  RaiseWith(ci, &indexoutofrange, {L"Index", value::unsigned_(index)});
  __builtin_unreachable();
}
void binary_exception::raise_invalidcompressionformat(const ClassInfo* ci, const uint8_t* b) {
  RaiseWith(ci, &invalidcompressionformat, {L"Wrong binary", value::binary(b)});
  __builtin_unreachable();
}
void binary_exception::raise_internaldecodeerror(const ClassInfo* ci, const uint8_t* b) {
  RaiseWith(ci, &internaldecodeerror, {L"Wrong binary", value::binary(b)});
  __builtin_unreachable();
}
void binary_exception::raise_wrongbinaryformat(const ClassInfo* ci, const uint8_t* b) {
  // The binary itself cannot be copied into the entry: it has no valid size.
  RaiseWith(ci, &wrongbinaryformat, {L"Wrong binary", value::pointer(const_cast<uint8_t*>(b))});
  __builtin_unreachable();
}

namespace {

uint32_t SizeWord(const uint8_t* b) {
  uint32_t w;
  memcpy(&w, b - 4, 4);
  return w;
}

// A binary of n zero-filled or uninitialised bytes on the global stack.
uint8_t* NewBinary(uint64_t n, bool zero) {
  uint32_t total = memory::checksize(n + 4);
  uint8_t* block = static_cast<uint8_t*>(GStackAlloc(total));
  memcpy(block, &total, 4);
  if (zero) memset(block + 4, 0, total - 4);
  return block + 4;
}

// Raises indexoutofrange unless [offset, offset + width) lies in the data.
void CheckRange(uint32_t size, uint64_t offset, uint64_t width) {
  if (offset + width > size)
    binary_exception::raise_indexoutofrange(&binary::classInfo,
                                            offset > UINT32_MAX ? UINT32_MAX : uint32_t(offset));
}

template <class V>
V Read(const uint8_t* b, uint64_t offset) {
  CheckRange(binary::getsize(b), offset, sizeof(V));
  V v;
  memcpy(&v, b + offset, sizeof v);
  return v;
}
template <class V>
void Write(uint8_t* b, uint64_t offset, V v) {
  CheckRange(binary::getsize(b), offset, sizeof(V));
  memcpy(b + offset, &v, sizeof v);
}

// A string from at most `bytes` bytes: up to a zero character, or all of
// them (an odd last byte completed with a zero byte).
const wchar_t* StringFrom(const uint8_t* p, uint32_t bytes) {
  uint32_t units = bytes / 2;
  uint32_t i = 0;
  for (; i < units; ++i) {
    uint16_t c;
    memcpy(&c, p + 2 * i, 2);
    if (c == 0) break;
  }
  if (i < units) {
    wchar_t* s = string::NewString(i);
    memcpy(s, p, i * 2);
    return s;
  }
  uint32_t n = (bytes + 1) / 2;
  wchar_t* s = string::NewString(n);
  memcpy(s, p, bytes);
  if (bytes & 1) reinterpret_cast<uint8_t*>(s)[bytes] = 0;
  return s;
}

}  // namespace

uint32_t binary::getsize(const uint8_t* b) {
  if (reinterpret_cast<uintptr_t>(b) < 4) binary_exception::raise_wrongbinaryformat(&classInfo, b);
  uint32_t w = SizeWord(b);
  // Below 4 the difference is negative: the range error, not a size near 4 GiB.
  if (w < 4) return T::ConvertI2U(D(domains::binarysize), static_cast<int32_t>(w) - 4);
  return w - 4;
}

uint8_t* binary::create(uint32_t size) { return NewBinary(size, true); }
uint8_t* binary::create(uint32_t count, uint32_t elementSize) {
  return NewBinary(uint64_t{count} * elementSize, true);
}
uint8_t* binary::createcopy(const uint8_t* b) { return createfrompointer(b, getsize(b)); }
uint8_t* binary::createfrompointer(const void* p, uint32_t size) {
  uint8_t* r = NewBinary(size, false);
  memcpy(r, p, size);
  return r;
}
uint8_t* binary::createfromintegerlist(const int32_t* values, uint32_t count) {
  uint8_t* r = NewBinary(uint64_t{count} * 4, false);
  memcpy(r, values, uint64_t{count} * 4);
  return r;
}

uint8_t* binary::resize(const uint8_t* b, uint32_t newSize) {
  uint32_t size = getsize(b);
  uint8_t* r = NewBinary(newSize, false);
  uint32_t keep = size < newSize ? size : newSize;
  memcpy(r, b, keep);
  memset(r + keep, 0, newSize - keep);
  return r;
}

uint8_t* binary::concat(const uint8_t* first, const uint8_t* second) {
  uint32_t a = getsize(first), c = getsize(second);
  uint8_t* r = NewBinary(uint64_t{a} + c, false);
  memcpy(r, first, a);
  memcpy(r + a, second, c);
  return r;
}

uint8_t* binary::insert(const uint8_t* b, uint32_t offset, const uint8_t* inserted) {
  uint32_t size = getsize(b), n = getsize(inserted);
  CheckRange(size, offset, 0);
  uint8_t* r = NewBinary(uint64_t{size} + n, false);
  memcpy(r, b, offset);
  memcpy(r + offset, inserted, n);
  memcpy(r + offset + n, b + offset, size - offset);
  return r;
}

uint8_t* binary::delete_(const uint8_t* b, uint32_t offset, uint32_t count) {
  uint32_t size = getsize(b);
  CheckRange(size, offset, count);
  uint8_t* r = NewBinary(size - count, false);
  memcpy(r, b, offset);
  memcpy(r + offset, b + offset + count, size - offset - count);
  return r;
}

uint8_t* binary::getbinary(const uint8_t* b, uint32_t offset, uint32_t size) {
  CheckRange(getsize(b), offset, size);
  return createfrompointer(b + offset, size);
}

void binary::splitbinary(const uint8_t* b, uint32_t offset, uint8_t** first, uint8_t** second) {
  uint32_t size = getsize(b);
  CheckRange(size, offset, 0);
  *first = getbinary(b, 0, offset);
  *second = getbinary(b, offset, size - offset);
}

void binary::setbinary(uint8_t* b, uint32_t offset, const uint8_t* source) {
  uint32_t n = getsize(source);
  CheckRange(getsize(b), offset, n);
  memcpy(b + offset, source, n);
}

const StringList* binary::binarytostringlist(const uint8_t* b) {
  uint32_t rest = getsize(b);
  const uint8_t* p = b;
  const StringList* first = nullptr;
  StringList* last = nullptr;
  while (rest) {
    const wchar_t* s = StringFrom(p, rest);
    uint64_t used = (uint64_t{wcslen(s)} + 1) * 2;
    auto* cell = static_cast<StringList*>(GStackAlloc(sizeof(StringList)));
    *cell = StringList{1, s, EmptyStringList()};
    if (last)
      last->tail = cell;
    else
      first = cell;
    last = cell;
    rest = used >= rest ? 0 : rest - static_cast<uint32_t>(used);
    p += used;
  }
  return first ? first : EmptyStringList();
}

// --- indexed access: the index scaled in 64 bits ---

uint8_t binary::getindexed_unsigned8(const uint8_t* b, uint32_t i) { return Read<uint8_t>(b, i); }
uint16_t binary::getindexed_unsigned16(const uint8_t* b, uint32_t i) {
  return Read<uint16_t>(b, uint64_t{i} * 2);
}
uint32_t binary::getindexed_unsigned32(const uint8_t* b, uint32_t i) {
  return Read<uint32_t>(b, uint64_t{i} * 4);
}
uint64_t binary::getindexed_unsigned64(const uint8_t* b, uint32_t i) {
  return Read<uint64_t>(b, uint64_t{i} * 8);
}
uint32_t binary::getindexed_unsigned(const uint8_t* b, uint32_t i) {
  return Read<uint32_t>(b, uint64_t{i} * 4);
}
int8_t binary::getindexed_integer8(const uint8_t* b, uint32_t i) { return Read<int8_t>(b, i); }
int16_t binary::getindexed_integer16(const uint8_t* b, uint32_t i) {
  return Read<int16_t>(b, uint64_t{i} * 2);
}
int32_t binary::getindexed_integer32(const uint8_t* b, uint32_t i) {
  return Read<int32_t>(b, uint64_t{i} * 4);
}
int64_t binary::getindexed_integer64(const uint8_t* b, uint32_t i) {
  return Read<int64_t>(b, uint64_t{i} * 8);
}
int32_t binary::getindexed_integer(const uint8_t* b, uint32_t i) {
  return Read<int32_t>(b, uint64_t{i} * 4);
}
double binary::getindexed_real(const uint8_t* b, uint32_t i) {
  return Read<double>(b, uint64_t{i} * 8);
}
void binary::setindexed_unsigned8(uint8_t* b, uint32_t i, uint8_t v) { Write(b, i, v); }
void binary::setindexed_unsigned16(uint8_t* b, uint32_t i, uint16_t v) {
  Write(b, uint64_t{i} * 2, v);
}
void binary::setindexed_unsigned32(uint8_t* b, uint32_t i, uint32_t v) {
  Write(b, uint64_t{i} * 4, v);
}
void binary::setindexed_unsigned64(uint8_t* b, uint32_t i, uint64_t v) {
  Write(b, uint64_t{i} * 8, v);
}
void binary::setindexed_unsigned(uint8_t* b, uint32_t i, uint32_t v) {
  Write(b, uint64_t{i} * 4, v);
}
void binary::setindexed_integer8(uint8_t* b, uint32_t i, int8_t v) { Write(b, i, v); }
void binary::setindexed_integer16(uint8_t* b, uint32_t i, int16_t v) {
  Write(b, uint64_t{i} * 2, v);
}
void binary::setindexed_integer32(uint8_t* b, uint32_t i, int32_t v) {
  Write(b, uint64_t{i} * 4, v);
}
void binary::setindexed_integer64(uint8_t* b, uint32_t i, int64_t v) {
  Write(b, uint64_t{i} * 8, v);
}
void binary::setindexed_integer(uint8_t* b, uint32_t i, int32_t v) {
  Write(b, uint64_t{i} * 4, v);
}
void binary::setindexed_real(uint8_t* b, uint32_t i, double v) { Write(b, uint64_t{i} * 8, v); }

// --- values by byte offset ---

// Bytes of a value's stored form (object and pointer: 8 here).
static uint32_t StoredWidth(ValueKind k) {
  switch (k) {
    case ValueKind::unsigned64:
    case ValueKind::integer64:
    case ValueKind::real:
    case ValueKind::gmttimevalue:
    case ValueKind::object:
    case ValueKind::pointer:
      return 8;
    case ValueKind::unsigned_:
    case ValueKind::integer:
      return 4;
    case ValueKind::char_:
      return 2;
    default:
      return 0;
  }
}

void binary::setvalue(uint8_t* b, uint32_t offset, const ValueTerm* v) {
  uint32_t size = getsize(b);
  switch (v->Kind()) {
    case ValueKind::string: {
      const wchar_t* s = v->As<const wchar_t*>();
      uint64_t n = wcslen(s);
      CheckRange(size, offset, (n + 2) * 2);
      memcpy(b + offset, s, (n + 1) * 2);
      return;
    }
    case ValueKind::binary: {
      const uint8_t* source = v->As<const uint8_t*>();
      uint32_t n = getsize(source);
      CheckRange(size, offset, n);
      memcpy(b + offset, source, n);
      return;
    }
    default: {
      uint32_t width = StoredWidth(v->Kind());
      CheckRange(size, offset, width);
      memcpy(b + offset, &v->payload, width);
    }
  }
}

const ValueTerm* binary::getvalue(const uint8_t* b, uint32_t offset, ValueKind kind) {
  uint32_t size = getsize(b);
  switch (kind) {
    case ValueKind::none:
      CheckRange(size, offset, 0);
      return value::none();
    case ValueKind::boolean:
      CheckRange(size, offset, 0);
      return value::boolean(false);
    case ValueKind::string:
      CheckRange(size, offset, 0);
      return value::string(StringFrom(b + offset, size - offset));
    case ValueKind::binary:
      CheckRange(size, offset, 1);
      return value::binary(getbinary(b, offset, size - offset));
    default: {
      uint32_t width = StoredWidth(kind);
      CheckRange(size, offset, width);
      auto* v = static_cast<ValueTerm*>(GStackAlloc(sizeof(ValueTerm)));
      v->functor = static_cast<uint64_t>(kind);
      v->payload = 0;
      memcpy(&v->payload, b + offset, width);
      return v;
    }
  }
}

}  // namespace tav
