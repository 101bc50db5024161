// binary: binaries on the caller's global stack (a u32 size word that counts
// itself, then the data) and values read and written in them, unaligned and
// little-endian.  Offsets, sizes and ends are computed in 64 bits: an access
// that ends beyond the data raises `indexoutofrange`, a size beyond
// `sizeterm` raises 302, both before anything is allocated or written.
#pragma once

#include "core/core.h"
#include "string/string.h"

namespace tav {

namespace domains {
extern T::RIntegralDomain binarysize;
}

class binary_exception {
 public:
  static const ClassInfo classInfo;
  static const ExceptionDescriptor indexoutofrange, invalidcompressionformat, internaldecodeerror,
      wrongbinaryformat;
  [[noreturn]] static void raise_indexoutofrange(const ClassInfo* ci, uint32_t index);
  [[noreturn]] static void raise_invalidcompressionformat(const ClassInfo* ci, const uint8_t* b);
  [[noreturn]] static void raise_internaldecodeerror(const ClassInfo* ci, const uint8_t* b);
  [[noreturn]] static void raise_wrongbinaryformat(const ClassInfo* ci, const uint8_t* b);
};

class binary {
 public:
  static const ClassInfo classInfo;

  static uint8_t* create(uint32_t size);
  static uint8_t* create(uint32_t count, uint32_t elementSize);
  static uint8_t* createcopy(const uint8_t* b);
  static uint8_t* createfrompointer(const void* p, uint32_t size);
  static uint8_t* createfromintegerlist(const int32_t* values, uint32_t count);
  static uint8_t* resize(const uint8_t* b, uint32_t newSize);
  static uint8_t* concat(const uint8_t* first, const uint8_t* second);
  static uint8_t* insert(const uint8_t* b, uint32_t offset, const uint8_t* inserted);
  static uint8_t* delete_(const uint8_t* b, uint32_t offset, uint32_t count);
  static void splitbinary(const uint8_t* b, uint32_t offset, uint8_t** first, uint8_t** second);
  static uint8_t* getbinary(const uint8_t* b, uint32_t offset, uint32_t size);
  static const StringList* binarytostringlist(const uint8_t* b);
  static uint32_t getsize(const uint8_t* b);

  static uint8_t getindexed_unsigned8(const uint8_t* b, uint32_t i);
  static uint16_t getindexed_unsigned16(const uint8_t* b, uint32_t i);
  static uint32_t getindexed_unsigned32(const uint8_t* b, uint32_t i);
  static uint64_t getindexed_unsigned64(const uint8_t* b, uint32_t i);
  static uint32_t getindexed_unsigned(const uint8_t* b, uint32_t i);
  static int8_t getindexed_integer8(const uint8_t* b, uint32_t i);
  static int16_t getindexed_integer16(const uint8_t* b, uint32_t i);
  static int32_t getindexed_integer32(const uint8_t* b, uint32_t i);
  static int64_t getindexed_integer64(const uint8_t* b, uint32_t i);
  static int32_t getindexed_integer(const uint8_t* b, uint32_t i);
  static double getindexed_real(const uint8_t* b, uint32_t i);
  static void setindexed_unsigned8(uint8_t* b, uint32_t i, uint8_t v);
  static void setindexed_unsigned16(uint8_t* b, uint32_t i, uint16_t v);
  static void setindexed_unsigned32(uint8_t* b, uint32_t i, uint32_t v);
  static void setindexed_unsigned64(uint8_t* b, uint32_t i, uint64_t v);
  static void setindexed_unsigned(uint8_t* b, uint32_t i, uint32_t v);
  static void setindexed_integer8(uint8_t* b, uint32_t i, int8_t v);
  static void setindexed_integer16(uint8_t* b, uint32_t i, int16_t v);
  static void setindexed_integer32(uint8_t* b, uint32_t i, int32_t v);
  static void setindexed_integer64(uint8_t* b, uint32_t i, int64_t v);
  static void setindexed_integer(uint8_t* b, uint32_t i, int32_t v);
  static void setindexed_real(uint8_t* b, uint32_t i, double v);

  // Writes a value's stored form at offset (object and pointer: 8 bytes).
  static void setvalue(uint8_t* b, uint32_t offset, const ValueTerm* v);
  // Reads a value of `kind` at offset (a new term on the global stack).
  static const ValueTerm* getvalue(const uint8_t* b, uint32_t offset, ValueKind kind);
  static void setbinary(uint8_t* b, uint32_t offset, const uint8_t* source);
};

}  // namespace tav
