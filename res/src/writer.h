// Internals of the resource writer.
//
// Every gen_ call assembles its entries whole in the process's assembly
// buffer (Bytes) and hands them to the output file in one write, so that a
// refused resource writes nothing.  Numbers are written little-endian, field
// by field; every entry starts on a 4-byte boundary of the file.  The
// buffers hold no collected pointers (plain process memory); only the
// pending group-icon block lives on the collected heap.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "qel6res.h"

namespace QelResource::detail {

using namespace QEL_KWI;

// A growing byte buffer of the process (never freed across a raise: the
// writer's own code raises nothing).  A failed growth marks it `failed` and
// drops every later write.
struct Bytes {
  uint8_t* data = nullptr;
  size_t size = 0;
  size_t capacity = 0;
  bool failed = false;

  void Clear() { size = 0; failed = false; }
  void Release();
  // Room for n more bytes at the end; null (and `failed`) when there is none.
  uint8_t* Grow(size_t n);
  void U8(uint8_t v);
  void U16(uint16_t v);
  void U32(uint32_t v);
  void Raw(const void* p, size_t n);
  void Zeros(size_t n);
  // A zero-terminated string (null counts as empty).
  void String(const u16* s);
  // Zero bytes up to the next multiple of 4 (of the buffer's size).
  void Pad4();
  void Patch16(size_t at, uint16_t v);
  void Patch32(size_t at, uint32_t v);
};

// Characters of a zero-terminated string; null counts as empty.
size_t Length(const u16* s);

// A type or name field: an ordinal, or a non-empty string.
struct ResName {
  const u16* text;  // null or empty: the ordinal
  uint16_t ordinal;
};
inline ResName Ordinal(uint16_t n) { return {nullptr, n}; }
// The name rule of the gen_ functions: an empty name string means the id.
inline ResName IdOrName(unsigned id, const u16* name) {
  return {name && *name ? name : nullptr, static_cast<uint16_t>(id)};
}

// Memory flags of the entries.
constexpr uint16_t kMoveablePure = 0x0030;
constexpr uint16_t kDiscardableMoveable = 0x1010;
constexpr uint16_t kDiscardableMoveablePure = 0x1030;

// Resource types.
enum ResType : uint16_t {
  rt_cursor = 1, rt_bitmap = 2, rt_icon = 3, rt_menu = 4, rt_dialog = 5, rt_string = 6,
  rt_accelerator = 9, rt_groupcursor = 12, rt_groupicon = 14, rt_version = 16
};

// Appends an entry header; returns the offset of its DataSize for a later patch.
size_t PutHeader(Bytes& out, uint32_t dataSize, ResName type, ResName name, uint16_t memoryFlags);

// The writer's state.
struct WriterState {
  HANDLE file = INVALID_HANDLE_VALUE;
  uint16_t nextIcon = 1;
  uint16_t nextCursor = 1;
  bool ioFailed = false;
  uint8_t* pendingGroups = nullptr;  // collected heap
  uint32_t pendingSize = 0;
  Bytes out;   // the entries of the current call
  Bytes read;  // source-file bytes that are not copied straight into `out`
};
extern WriterState g_writer;

inline bool Writing() { return g_writer.file != INVALID_HANDLE_VALUE; }
// Starts a call's assembly; false when no file is open.
bool BeginCall();
// Writes what the call assembled (nothing when the buffer failed).
void CommitCall();

// The file calls of the output, replaceable by tests.
struct FileCalls {
  BOOL(WINAPI* write)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
};
extern FileCalls g_fileCalls;

// A source file: opened for reading, not shared; its size found by seeking.
struct Source {
  HANDLE handle = INVALID_HANDLE_VALUE;
  uint64_t size = 0;
  bool Open(const u16* name);
  void Close();
  // Whether [offset, offset + n) lies inside the file.
  bool Holds(uint64_t offset, uint64_t n) const { return offset <= size && n <= size - offset; }
  // Reads n bytes from offset into p; false unless all were read.
  bool ReadAt(uint64_t offset, void* p, size_t n);
  // Appends n bytes from offset to `out`.
  bool AppendTo(Bytes& out, uint64_t offset, size_t n);
};

inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t Get32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Appends an entry to the pending group-icon block (collected heap).
void AddPendingGroup(const uint8_t* entry, size_t n);

}  // namespace QelResource::detail
