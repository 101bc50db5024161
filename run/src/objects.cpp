// Objects: allocation, conversion to interfaces, and the adjustor thunks
// that reach an inherited method through a derived class's method table.
//
// A thunk is x86-64 code written into a 16-byte cell of the program's code
// (made writable for the store): it adds a delta to the object argument in
// RCX and jumps to the method.
//   48 83 C1 ib     add rcx, imm8      (delta, as unsigned 32 bits, below 128)
//   48 81 C1 id     add rcx, imm32     (any other delta)
//   E9 rel32        jmp target
// Before it is written, bytes 8-15 of a cell may hold the default target.
#include "domains.h"

namespace Qel::RunTime {

using namespace detail;

namespace Objects {

namespace {

// Two descriptors name the same interface when their canonical descriptors
// are equal; a descriptor not yet linked only names itself.
bool SameInterface(const RInterfaceDescriptor* a, const RInterfaceDescriptor* b) {
  const RInterfaceDescriptor* x = a->canonical ? a->canonical : a;
  const RInterfaceDescriptor* y = b->canonical ? b->canonical : b;
  return x == y;
}

TObject* Convert(const RMethodTableHeader* h, const RInterfaceDescriptor* want,
                 const TObject* object) {
  const RInterfaceTable* t = h->interfaces;
  if (!t || !Readable(t, 8)) return nullptr;
  for (uintptr_t i = 0; i < t->count; ++i)
    if (SameInterface(t->entries[i].interface, want))
      return reinterpret_cast<TObject*>(reinterpret_cast<uintptr_t>(object) - h->offset +
                                        t->entries[i].offset);
  return nullptr;
}

}  // namespace

void* AllocateObject(const RClassDescriptorInfo* info, Memory::TFinalizer finalizer) {
  // Profile context 4 (classes), keyed by the low word of the class info.
  uint32_t depth = Memory::Statistics::memProf_ContextOpen(
      4, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(info)));
  void* object = info->needsFinalization
                     ? Memory::AllocHeapWithFinalization(info->size, finalizer)
                     : Memory::AllocHeap(info->size);
  Memory::Statistics::memProf_ContextClose(depth);
  return object;
}

TObject* TryConvertObject(const RInterfaceDescriptor* interface, const TObject* object) {
  const RMethodTableHeader* h = ObjectHeader(object);
  TObject* r = h ? Convert(h, interface, object) : nullptr;
  if (!r) Fail();
  return r;
}

TObject* ConvertObject(const RInterfaceDescriptor* interface, const TObject* object) {
  const RMethodTableHeader* h = ObjectHeader(object);
  TObject* r = h ? Convert(h, interface, object) : nullptr;
  if (!r) Raise(306, interface->name ? interface->name : L"");
  return r;
}

TObject* FirstBranchConvertObject(const RInterfaceDescriptor* interface, const TObject* object) {
  if (!ObjectHeader(object)) return const_cast<TObject*>(object);
  return ConvertObject(interface, object);
}

void WriteThunk(uint8_t* cell, int32_t delta, const void* target) {
  if (!target) memcpy(&target, cell + 8, 8);
  uint8_t code[16];
  memcpy(code, cell, 16);
  size_t n = 0;
  code[n++] = 0x48;
  if (static_cast<uint32_t>(delta) < 128) {
    code[n++] = 0x83;
    code[n++] = 0xC1;
    code[n++] = static_cast<uint8_t>(delta);
  } else {
    code[n++] = 0x81;
    code[n++] = 0xC1;
    memcpy(code + n, &delta, 4);
    n += 4;
  }
  int64_t rel = reinterpret_cast<intptr_t>(target) - reinterpret_cast<intptr_t>(cell + n + 5);
  if (rel != static_cast<int32_t>(rel))
    Errors::InternalError(L"WriteThunk : target out of reach of the cell");
  code[n++] = 0xE9;
  auto rel32 = static_cast<int32_t>(rel);
  memcpy(code + n, &rel32, 4);
  uint32_t old = OSInterface::OSProtectWrite(cell, 16);
  memcpy(cell, code, 16);
  OSInterface::OSProtectRestore(cell, 16, old);
  FlushInstructionCache(GetCurrentProcess(), cell, 16);
}

void DecodeThunk(const uint8_t* cell, int32_t* delta, const void** target) {
  *delta = 0;
  *target = cell;
  if (!cell) return;
  if (cell[0] != 0x48 || (cell[1] != 0x83 && cell[1] != 0x81) || cell[2] != 0xC1) return;
  const uint8_t* p = cell + 3;
  if (cell[1] == 0x83) {
    *delta = *p++;  // read unsigned
  } else {
    memcpy(delta, p, 4);
    p += 4;
  }
  if (*p == 0xE9) {
    int32_t rel;
    memcpy(&rel, p + 1, 4);
    *target = p + 5 + rel;
  } else if (*p == 0xEB) {
    *target = p + 2 + static_cast<int8_t>(p[1]);
  } else {
    Errors::InternalError(L"getNestedOffsetAndAddress : unknown thunk code");
  }
}

namespace {

// Initialises the thunks of `cls` (reached from `from`); returns its total
// offset and flag.
RThunkState InitializeThunks(const RScopeClassDescriptor* cls, const RScopeClassDescriptor* from) {
  if (!cls->thunkInit) Errors::InternalError(L"InitializeThunks : absent thunk initialization structure");
  RThunkState* state = cls->thunkState ? cls->thunkState() : nullptr;
  if (!state) Errors::InternalError(L"InitializeThunks : absent thunk state");
  if (state->value == 1) Raise(308, cls->name, from->name);
  if (state->value != 0) return *state;
  state->value = 1;
  uint32_t off = cls->thunkInit->startOffset;
  uint8_t flag = state->flag;
  for (uint32_t b = 0; b < cls->thunkInit->baseCount; ++b) {
    const RThunkBase& base = cls->thunkInit->bases[b];
    RThunkState baseState = InitializeThunks(base.base, cls);
    flag |= baseState.flag;
    for (uint32_t g = 0; g < base.groupCount; ++g) {
      const RThunkGroup& group = base.groups[g];
      int32_t baseDelta;
      const void* target;
      if (group.baseMethod) DecodeThunk(group.baseMethod, &baseDelta, &target);
      else baseDelta = 0, target = nullptr;
      for (uint32_t c = 0; c < group.cellCount; ++c)
        WriteThunk(group.cells[c].cell,
                   baseDelta - static_cast<int32_t>(group.cells[c].offset) + static_cast<int32_t>(off),
                   target);
    }
    off += baseState.value;
  }
  state->value = off;
  state->flag = flag;
  return *state;
}

}  // namespace
}  // namespace Objects

namespace detail {

const Objects::RMethodTableHeader* ObjectHeader(const void* object) {
  if (!Readable(object, 8)) return nullptr;
  const uint8_t* table;
  memcpy(&table, object, 8);
  if (!Readable(table - 8, 8)) return nullptr;
  const Objects::RMethodTableHeader* h;
  memcpy(&h, table - 8, 8);
  if (!Readable(h, sizeof *h)) return nullptr;
  const RScopeClassDescriptor* cls = h->classRecord;
  if (!Readable(cls, 16) || cls->magic != kClassRecordMagic) return nullptr;
  return h;
}

void InitializeObjectClass(RScopeClassDescriptor* d) { Objects::InitializeThunks(d, d); }
}  // namespace detail

}  // namespace Qel::RunTime
