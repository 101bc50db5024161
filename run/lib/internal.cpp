#include "internal.h"

#include <windows.h>

#include <cstring>

#include "qel6kernel.h"

namespace CorvaneLib::detail {

using namespace Qel::RunTime::Kernel;

// The module this code is linked into: its string table holds the texts.
static HMODULE ThisModule() {
  static HMODULE module = [] {
    HMODULE m = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &m);
    return m;
  }();
  return module;
}

void Raise(uint32_t code, uintptr_t a0, uintptr_t a1, uintptr_t a2, uintptr_t a3) {
  Errors::RunTimeErrorFromModule(ThisModule(), code, a0, a1, a2, a3);
}

void RaiseProcessorException(uint32_t exceptionCode) {
  Errors::RunTimeError(1, exceptionCode, 777u,
                       reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
}

uint32_t BinaryLength(const uint8_t* binary) {
  uint32_t size;
  memcpy(&size, binary - 4, 4);
  if (size < 4) Raise(1081);
  return size - 4;
}

static void SetSizeWord(uint8_t* block, uint32_t n) {
  uint32_t size = n + 4;
  memcpy(block, &size, 4);
}

uint8_t* NewGStackBinary(uint32_t n) {
  if (n > 0xFFFFFFFFu - 4) Errors::RunTimeError(201, n);
  uint8_t* block = Memory::AllocGStack(n + 4);
  SetSizeWord(block, n);
  return block + 4;
}

uint8_t* NewHeapBinary(uint32_t n) {
  if (n > 0xFFFFFFFFu - 4) Errors::RunTimeError(206, n, n);
  uint8_t* block = static_cast<uint8_t*>(Memory::AllocAtomicHeap(n + 4));
  SetSizeWord(block, n);
  return block + 4;
}

}  // namespace CorvaneLib::detail
