// Value terms and named-value lists on the global stack, the lookups of
// `core`, and small helpers.  Every block made here is 8-aligned, as terms
// need; nothing here keeps state.
#include "core/core.h"

#include <cwchar>

#include "memory/memory.h"

namespace tav {

const ClassInfo core::classInfo{L"com/corvane/core/core", TAV_CLASS_VERSION};

bool SameDescriptor(const ExceptionDescriptor* a, const ExceptionDescriptor* b) {
  if (a == b) return true;
  if (!a || !b) return false;
  return wcscmp(a->name, b->name) == 0 && wcscmp(a->description, b->description) == 0 &&
         wcscmp(a->declaring->name, b->declaring->name) == 0;
}

void* GStackAlloc(uint32_t bytes) {
  if (reinterpret_cast<uintptr_t>(K::Memory::MarkGStack()) & 7) K::Memory::AllocGStack(4);
  return K::Memory::AllocGStack(bytes);
}

wchar_t* HeapCopy(const wchar_t* s) {
  uint64_t units = wcslen(s) + 1;
  auto* copy = static_cast<wchar_t*>(K::Memory::AllocAtomicHeap(memory::checksize(units * 2)));
  memcpy(copy, s, units * 2);
  return copy;
}

const ConstantTerm* Constant(uint64_t functor) {
  auto* t = static_cast<ConstantTerm*>(GStackAlloc(sizeof(ConstantTerm)));
  t->functor = functor;
  return t;
}

void RaiseIntegerOverflow() {
  // As the processor's overflow trap reports it: code, a marker, the address.
  K::Errors::RunTimeError(1, 0xC0000095u, 777u,
                          reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
}

static const uint64_t kNilWord = 2;
const NamedValueList* EmptyList() { return reinterpret_cast<const NamedValueList*>(&kNilWord); }

namespace value {

static const ValueTerm* Make(ValueKind kind, const void* payload, size_t bytes) {
  auto* v = static_cast<ValueTerm*>(GStackAlloc(sizeof(ValueTerm)));
  v->functor = static_cast<uint64_t>(kind);
  v->payload = 0;
  memcpy(&v->payload, payload, bytes);
  return v;
}
template <class P>
static const ValueTerm* Make(ValueKind kind, P payload) {
  return Make(kind, &payload, sizeof payload);
}

static const uint64_t kNone = static_cast<uint64_t>(ValueKind::none);
static const BooleanTerm kFalse{1}, kTrue{2};

const ValueTerm* none() { return reinterpret_cast<const ValueTerm*>(&kNone); }
const ValueTerm* boolean(bool b) { return Make(ValueKind::boolean, b ? &kTrue : &kFalse); }
const ValueTerm* unsigned64(uint64_t v) { return Make(ValueKind::unsigned64, v); }
const ValueTerm* integer64(int64_t v) { return Make(ValueKind::integer64, v); }
const ValueTerm* unsigned_(uint32_t v) { return Make(ValueKind::unsigned_, v); }
const ValueTerm* integer(int32_t v) { return Make(ValueKind::integer, v); }
const ValueTerm* real(double v) { return Make(ValueKind::real, v); }
const ValueTerm* char_(wchar_t c) { return Make(ValueKind::char_, static_cast<uint16_t>(c)); }
const ValueTerm* string(const wchar_t* s) { return Make(ValueKind::string, s); }
const ValueTerm* binary(const uint8_t* b) { return Make(ValueKind::binary, b); }
const ValueTerm* object(void* o) { return Make(ValueKind::object, o); }
const ValueTerm* gmttimevalue(uint64_t v) { return Make(ValueKind::gmttimevalue, v); }
const ValueTerm* pointer(void* p) { return Make(ValueKind::pointer, p); }

}  // namespace value

const NamedValueList* Prepend(std::initializer_list<Named> front, const NamedValueList* rest) {
  const size_t n = front.size();
  auto* cells = static_cast<NamedValueList*>(GStackAlloc(
      static_cast<uint32_t>(n * (sizeof(NamedValueList) + sizeof(NamedValue)))));
  auto* pairs = reinterpret_cast<NamedValue*>(cells + n);
  size_t i = 0;
  for (const Named& item : front) {
    pairs[i] = NamedValue{1, item.first, item.second};
    cells[i] = NamedValueList{1, &pairs[i], i + 1 < n ? &cells[i + 1] : rest};
    ++i;
  }
  return n ? cells : rest;
}

const NamedValueList* Values(std::initializer_list<Named> items) {
  return Prepend(items, EmptyList());
}

const ValueTerm* core::trymaplookup(const NamedValueList* map, const wchar_t* key) {
  for (; map && !map->Empty(); map = map->tail)
    if (wcscmp(map->head->name, key) == 0) return map->head->value;
  return nullptr;
}

const ValueTerm* core::maplookup(const NamedValueList* map, const wchar_t* key,
                                 const ValueTerm* fallback) {
  const ValueTerm* v = trymaplookup(map, key);
  return v ? v : fallback;
}

bool core::lookup_nd(const NamedValueList* map, const wchar_t* key, Each<const ValueTerm*> k) {
  for (; map && !map->Empty(); map = map->tail)
    if (wcscmp(map->head->name, key) == 0 && TrySolution(k, map->head->value)) return true;
  return false;
}

}  // namespace tav
