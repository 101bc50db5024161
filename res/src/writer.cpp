// The output file, its entry headers and the writer's state.  The file holds
// whole entries only: each call's entries reach it in one write.  A failed
// write or seek is remembered until end_resgen reports it.
#include "writer.h"

#include <cstdlib>
#include <cstring>

#include "qel6kernel.h"

namespace QelResource::detail {

namespace Memory = Qel::RunTime::Kernel::Memory;

WriterState g_writer;
FileCalls g_fileCalls = {WriteFile};

void Bytes::Release() {
  free(data);
  data = nullptr;
  size = capacity = 0;
  failed = false;
}

uint8_t* Bytes::Grow(size_t n) {
  if (failed) return nullptr;
  if (n > capacity - size) {
    size_t want = capacity ? capacity : 4096;
    while (want - size < n) {
      if (want > SIZE_MAX / 2) { failed = true; return nullptr; }
      want *= 2;
    }
    auto* grown = static_cast<uint8_t*>(realloc(data, want));
    if (!grown) { failed = true; return nullptr; }
    data = grown;
    capacity = want;
  }
  uint8_t* p = data + size;
  size += n;
  return p;
}

void Bytes::U8(uint8_t v) {
  if (uint8_t* p = Grow(1)) *p = v;
}
void Bytes::U16(uint16_t v) {
  if (uint8_t* p = Grow(2)) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
  }
}
void Bytes::U32(uint32_t v) {
  if (uint8_t* p = Grow(4))
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> 8 * i);
}
void Bytes::Raw(const void* src, size_t n) {
  if (uint8_t* p = Grow(n)) memcpy(p, src, n);
}
void Bytes::Zeros(size_t n) {
  if (uint8_t* p = Grow(n)) memset(p, 0, n);
}
void Bytes::String(const u16* s) {
  size_t n = Length(s);
  if (uint8_t* p = Grow(2 * n + 2)) {
    for (size_t i = 0; i < n; ++i) {
      p[2 * i] = static_cast<uint8_t>(s[i]);
      p[2 * i + 1] = static_cast<uint8_t>(s[i] >> 8);
    }
    p[2 * n] = p[2 * n + 1] = 0;
  }
}
void Bytes::Pad4() { Zeros((4 - size % 4) % 4); }
void Bytes::Patch16(size_t at, uint16_t v) {
  if (failed) return;
  data[at] = static_cast<uint8_t>(v);
  data[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Bytes::Patch32(size_t at, uint32_t v) {
  if (failed) return;
  for (int i = 0; i < 4; ++i) data[at + i] = static_cast<uint8_t>(v >> 8 * i);
}

size_t Length(const u16* s) { return s ? wcslen(s) : 0; }

static void PutName(Bytes& out, ResName n) {
  if (n.text) {
    out.String(n.text);
  } else {
    out.U16(0xFFFF);
    out.U16(n.ordinal);
  }
}
static uint64_t NameBytes(ResName n) { return n.text ? 2 * Length(n.text) + 2 : 4; }

size_t PutHeader(Bytes& out, uint32_t dataSize, ResName type, ResName name, uint16_t memoryFlags) {
  uint64_t names = NameBytes(type) + NameBytes(name);
  uint64_t headerSize = 8 + names + (4 - names % 4) % 4 + 16;
  size_t at = out.size;
  out.U32(dataSize);
  out.U32(headerSize > UINT32_MAX ? (out.failed = true, 0) : static_cast<uint32_t>(headerSize));
  PutName(out, type);
  PutName(out, name);
  out.Pad4();
  out.U32(0);  // DataVersion
  out.U16(memoryFlags);
  out.U16(0);  // LanguageId
  out.U32(0);  // Version
  out.U32(0);  // Characteristics
  return at;
}

static void WriteAll(const uint8_t* p, size_t n) {
  while (n) {
    DWORD chunk = n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n);
    DWORD done = 0;
    if (!g_fileCalls.write(g_writer.file, p, chunk, &done, nullptr) || done != chunk) {
      g_writer.ioFailed = true;
      return;
    }
    p += chunk;
    n -= chunk;
  }
}

bool BeginCall() {
  g_writer.out.Clear();
  g_writer.read.Clear();
  return Writing();
}

void CommitCall() {
  Bytes& out = g_writer.out;
  if (!out.failed && out.size) WriteAll(out.data, out.size);
  out.Clear();
}

void AddPendingGroup(const uint8_t* entry, size_t n) {
  uint64_t total = uint64_t{g_writer.pendingSize} + n;
  if (total > UINT32_MAX) return;
  auto* block = static_cast<uint8_t*>(Memory::AllocHeap(static_cast<uint32_t>(total)));
  if (g_writer.pendingSize) memcpy(block, g_writer.pendingGroups, g_writer.pendingSize);
  memcpy(block + g_writer.pendingSize, entry, n);
  g_writer.pendingGroups = block;
  g_writer.pendingSize = static_cast<uint32_t>(total);
}

bool Source::Open(const u16* name) {
  handle = CreateFileW(name ? name : L"", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER end;
  if (!SetFilePointerEx(handle, LARGE_INTEGER{}, &end, FILE_END)) {
    Close();
    return false;
  }
  size = static_cast<uint64_t>(end.QuadPart);
  return true;
}

void Source::Close() {
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  handle = INVALID_HANDLE_VALUE;
}

bool Source::ReadAt(uint64_t offset, void* p, size_t n) {
  if (!Holds(offset, n)) return false;
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(handle, at, nullptr, FILE_BEGIN)) return false;
  auto* dst = static_cast<uint8_t*>(p);
  while (n) {
    DWORD chunk = n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n);
    DWORD done = 0;
    if (!ReadFile(handle, dst, chunk, &done, nullptr) || done == 0) return false;
    dst += done;
    n -= done;
  }
  return true;
}

bool Source::AppendTo(Bytes& out, uint64_t offset, size_t n) {
  if (!Holds(offset, n)) return false;
  uint8_t* p = out.Grow(n);
  return p && ReadAt(offset, p, n);
}

}  // namespace QelResource::detail

namespace QelResource {

using namespace detail;

static const uint8_t kEmptyEntry[32] = {0, 0, 0, 0, 32, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0};

int end_resgen() {
  if (!Writing()) return 0;
  if (g_writer.pendingSize) {
    BeginCall();
    g_writer.out.Raw(g_writer.pendingGroups, g_writer.pendingSize);
    CommitCall();
  }
  g_writer.pendingGroups = nullptr;
  g_writer.pendingSize = 0;
  if (!CloseHandle(g_writer.file)) g_writer.ioFailed = true;
  g_writer.file = INVALID_HANDLE_VALUE;
  g_writer.out.Release();
  g_writer.read.Release();
  return g_writer.ioFailed ? 0 : 1;
}

int begin_resgen(const u16* fileName, const u16*) {
  if (Writing()) end_resgen();
  g_writer.nextIcon = g_writer.nextCursor = 1;
  g_writer.pendingGroups = nullptr;
  g_writer.pendingSize = 0;
  g_writer.ioFailed = false;
  g_writer.file = CreateFileW(fileName ? fileName : L"", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (!Writing()) return 0;
  BeginCall();
  g_writer.out.Raw(kEmptyEntry, sizeof kEmptyEntry);
  CommitCall();
  return 1;
}

}  // namespace QelResource
