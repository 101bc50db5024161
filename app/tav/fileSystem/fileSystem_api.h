// fileSystem_api: the thin layer over the Windows file functions: creation,
// size and pointer with the library's exceptions, attribute and sharing
// values, CR/LF conversion of 16-bit text blocks, and two functions bound by
// name at their first call.  Handles are pointer-sized; "File handle" in an
// exception carries the handle's low 32 bits (Windows handle values fit).
#pragma once

#include <windows.h>

#include "core/core.h"

namespace tav {

enum class fileattributeatom : uint32_t {
  readonly = 1, system, hidden, archive, compressed, encrypted, temporary, offline,
};
enum class accesspermit : uint32_t { permitread = 1, permitwrite, permitreadwrite, permitnone };

// fileattributes = fileattributeatom*: a cell holds the atom's constant term.
struct AttributeList {
  uint64_t functor;  // 1 a cell, 2 the empty list
  const ConstantTerm* head;
  const AttributeList* tail;

  bool Empty() const { return (functor & 0xFF) == 2; }
};
// The domains of class fileSystem_api: their functor numbers are the enums'.
namespace domains {
extern T::RCompoundDomain fileattributeatom, fileattributes, accesspermit;
}

// Binds a function of a module by name at its first call.  The cell starts
// at the resolver, which asks the kernel's LoadProcAddress to store the
// address in the cell and then runs the function with the caller's
// arguments; a missing module or function raises 15 or 16 and leaves the
// cell at the resolver, so the next call tries again.
//   struct Names { static constexpr const wchar_t* module = L"x.dll";
//                  static constexpr const char* function = "F"; };
//   LateBound<Names, decltype(&F)>::cell(args...)
template <class Names, class Fn>
class LateBound;
template <class Names, class R, class... A>
class LateBound<Names, R(WINAPI*)(A...)> {
 public:
  using Fn = R(WINAPI*)(A...);

 private:
  static R WINAPI Resolve(A... a);

 public:
  static inline Fn cell = &Resolve;
};
template <class Names, class R, class... A>
R WINAPI LateBound<Names, R(WINAPI*)(A...)>::Resolve(A... a) {
  K::LoadProcAddress(Names::module, Names::function, reinterpret_cast<void**>(&cell));
  return cell(a...);
}

class fileSystem_api {
 public:
  static const ClassInfo classInfo;
  static const ExceptionDescriptor cannotgetfilesize, cannotcreate, cannotsetfilepointer;
  [[noreturn]] static void raise_cannotgetfilesize(HANDLE file);
  [[noreturn]] static void raise_cannotcreate(const wchar_t* fileName);
  [[noreturn]] static void raise_cannotsetfilepointer(HANDLE file, int64_t position,
                                                      uint32_t moveMethod);

  // `attributes` is the Windows value (toapiattributes of the atoms).
  static HANDLE createfile(const wchar_t* fileName, uint32_t access, accesspermit sharing,
                           uint32_t creationDisposition, uint32_t attributes);
  static uint64_t getfilesize(HANDLE file);
  static uint64_t setfilepointer(HANDLE file, int64_t position, uint32_t moveMethod);
  static void getvolumeinformation(const wchar_t* rootPath, const wchar_t** volumeName,
                                   uint32_t* serialNumber, const wchar_t** fileSystemName);

  static uint32_t accesspermitvalue(accesspermit p);
  static uint32_t attributevalue(fileattributeatom a);
  static uint32_t toapiattributes(std::initializer_list<fileattributeatom> attributes);
  // The atoms whose bits are set, in table order; returns their count (<= 8).
  static uint32_t fromapiattributes(uint32_t value, fileattributeatom* out);
  // The same with the fileattributes term (a list on the global stack).
  static uint32_t toapiattributes(const AttributeList* attributes);
  static const AttributeList* fromapiattributes(uint32_t value);

  // CR LF to LF in a block of 16-bit text of `size` bytes (negative: a
  // zero-terminated string, terminator included).  A CR that ends an even
  // block of more than 2 bytes is left outside the converted size
  // (lastCharCR) for the caller to join with the next block; an odd last
  // byte is kept.  Pairs are byte offsets of the CRs removed, in text order.
  struct CrLf {
    uint8_t* result;
    uint32_t newSize;
    const uint32_t* pairs;  // on the global stack
    uint32_t pairCount;
    bool lastCharCR;
  };
  static CrLf crlf_lf(uint8_t* buffer, int64_t size, bool inPlace);
  static void crlf_lf(wchar_t* text);
  // LF to CR LF; the buffer itself when there is no LF, else a new heap block.
  static uint8_t* lf_crlf(const uint8_t* buffer, int64_t size, uint32_t* newSize);

  static BOOL SHGetSpecialFolderPathW(HWND owner, LPWSTR path, int folder, BOOL create);
  static DWORD GetLongPathNameW(LPCWSTR shortPath, LPWSTR longPath, DWORD units);
};

}  // namespace tav
