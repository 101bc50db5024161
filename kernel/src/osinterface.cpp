// Thin wrappers over the platform for memory, strings, character classes and
// page protection, and the kernel's own OS helpers.
#include "ptd.h"

#include <gc.h>

#include <cwchar>

namespace Qel::RunTime::Kernel {
namespace detail {

void* GlobalAllocZero(size_t bytes) {
  void* p = GlobalAlloc(GPTR, bytes);
  if (!p) Errors::SystemAPIError("GlobalAlloc");
  return p;
}

HMODULE ExeModule() { return GetModuleHandleW(nullptr); }

bool IsConsoleProgram() {
  HMODULE exe = GetModuleHandleA(nullptr);
  if (!exe) Errors::SystemAPIError("GetModuleHandleA");
  auto* base = reinterpret_cast<const uint8_t*>(exe);
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (OSInterface::OSIsBadReadPtr(dos, sizeof *dos) || dos->e_magic != IMAGE_DOS_SIGNATURE)
    return false;
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  if (OSInterface::OSIsBadReadPtr(nt, sizeof *nt) || nt->Signature != IMAGE_NT_SIGNATURE)
    return false;
  return nt->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_CUI;
}

bool IsNTFamily() { return (GetVersion() & 0x80000000u) == 0; }

void ModuleFileName(HMODULE module, wchar_t* out, DWORD units) {
  DWORD n = GetModuleFileNameW(module, out, units);
  if (n == 0) Errors::SystemAPIError("GetModuleFileName");
  out[units - 1] = 0;
}

HMODULE KernelModule() {
  static HMODULE self = nullptr;
  if (!self)
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&KernelModule), &self);
  return self;
}

// The folder of a module's file, without the trailing separator; `name`
// receives the file name.
static void ModuleFolder(HMODULE module, wchar_t* out, DWORD units, const wchar_t** name = nullptr) {
  out[0] = 0;
  if (name) *name = out;
  if (!GetModuleFileNameW(module, out, units)) return;
  out[units - 1] = 0;
  wchar_t* slash = wcsrchr(out, L'\\');
  if (slash) {
    *slash = 0;
    if (name) *name = slash + 1;
  }
}

bool IsProjectCode(const void* address) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          static_cast<LPCWSTR>(address), &module) || !module)
    return false;
  // Ours: the modules beside the kernel, except the collector, which is not
  // ours to resume (it may hold its lock).
  wchar_t mine[MAX_PATH], theirs[MAX_PATH];
  const wchar_t* name;
  ModuleFolder(KernelModule(), mine, MAX_PATH);
  ModuleFolder(module, theirs, MAX_PATH, &name);
  if (CompareStringOrdinal(name, 5, L"libgc", 5, TRUE) == CSTR_EQUAL) return false;
  return mine[0] && CompareStringOrdinal(mine, -1, theirs, -1, TRUE) == CSTR_EQUAL;
}

// The section of a loaded module that holds `p`, or null.  A module's
// headers stay readable while it is loaded.  The thread's last error is
// kept.
static const IMAGE_SECTION_HEADER* ModuleSection(const void* p, uintptr_t* rva) {
  DWORD lastError = GetLastError();
  HMODULE module = nullptr;
  BOOL found = GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      static_cast<LPCWSTR>(p), &module);
  SetLastError(lastError);
  if (!found || !module) return nullptr;
  auto* base = reinterpret_cast<const uint8_t*>(module);
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  *rva = reinterpret_cast<uintptr_t>(p) - reinterpret_cast<uintptr_t>(base);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  for (unsigned i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section)
    if (*rva >= section->VirtualAddress && *rva - section->VirtualAddress < section->Misc.VirtualSize)
      return section;
  return nullptr;
}

// Bytes of the readable section holding `p` from `p` on (0: none; with
// `code`, the section must also be executable).
static uintptr_t ModuleBytesFrom(const void* p, bool code) {
  uintptr_t rva;
  const IMAGE_SECTION_HEADER* section = ModuleSection(p, &rva);
  if (!section || !(section->Characteristics & IMAGE_SCN_MEM_READ)) return 0;
  if (code && !(section->Characteristics & IMAGE_SCN_MEM_EXECUTE)) return 0;
  return section->VirtualAddress + section->Misc.VirtualSize - rva;
}

// Bytes of the collected block holding `p` from `p` on (0: none).
static uintptr_t HeapBytesFrom(const void* p) {
  void* base = GC_base(const_cast<void*>(p));
  if (!base) return 0;
  return static_cast<const uint8_t*>(base) + GC_size(base) - static_cast<const uint8_t*>(p);
}

bool ReadableMemory(const void* p, size_t n) {
  if (p && (ModuleBytesFrom(p, false) >= n || HeapBytesFrom(p) >= n)) return true;
  return !OSInterface::OSIsBadReadPtr(p, static_cast<uint32_t>(n));
}

bool ExecutableCode(const void* p) {
  return (p && ModuleBytesFrom(p, true)) || !OSInterface::OSIsBadCodePtr(p);
}

bool ReadableString(const wchar_t* s, uint32_t max) {
  if (s) {
    uintptr_t units = ModuleBytesFrom(s, false) / sizeof(wchar_t);
    if (!units) units = HeapBytesFrom(s) / sizeof(wchar_t);
    for (uintptr_t i = 0; i < units; ++i)
      if (i == max || s[i] == 0) return true;
  }
  return !OSInterface::OSIsBadStringPtr(s, max);
}

void SystemErrorText(DWORD code, wchar_t* out, DWORD units) {
  out[0] = 0;
  wchar_t* text = nullptr;
  if (FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                         FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                     reinterpret_cast<wchar_t*>(&text), 0, nullptr) && text) {
    lstrcpynW(out, text, units);
    LocalFree(text);
  }
}

}  // namespace detail

namespace OSInterface {

void OSCopyMemory(void* dst, const void* src, uint32_t n) { memcpy(dst, src, n); }
void OSMoveMemory(void* dst, const void* src, uint32_t n) { memmove(dst, src, n); }
void OSFillMemory(void* dst, uint32_t n, uint8_t value) { memset(dst, value, n); }
void OSZeroMemory(void* dst, uint32_t n) { memset(dst, 0, n); }
int OSlstrlen(const wchar_t* s) { return s ? static_cast<int>(wcslen(s)) : 0; }
int OSlstrlenA(const char* s) { return s ? static_cast<int>(strlen(s)) : 0; }
wchar_t* OSlstrcpy(wchar_t* dst, const wchar_t* src) { return wcscpy(dst, src); }
wchar_t* OSlstrcat(wchar_t* dst, const wchar_t* src) { return wcscat(dst, src); }

wchar_t* OSlstrcpyn(wchar_t* dst, const wchar_t* src, int n) {
  if (n <= 0) return dst;
  int i = 0;
  for (; i < n - 1 && src[i]; ++i) dst[i] = src[i];
  dst[i] = 0;
  return dst;
}

static bool Readable(DWORD protect) {
  if (protect & (PAGE_GUARD | PAGE_NOACCESS)) return false;
  return protect & (PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                    PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY);
}

bool OSIsBadReadPtr(const void* p, uint32_t n) {
  if (n == 0) return false;
  if (!p) return true;
  auto a = reinterpret_cast<uintptr_t>(p);
  uintptr_t end = a + n;
  if (end < a) return true;
  while (a < end) {
    MEMORY_BASIC_INFORMATION mbi;
    if (!VirtualQuery(reinterpret_cast<void*>(a), &mbi, sizeof mbi)) return true;
    if (mbi.State != MEM_COMMIT || !Readable(mbi.Protect)) return true;
    a = reinterpret_cast<uintptr_t>(mbi.BaseAddress) + mbi.RegionSize;
  }
  return false;
}

bool OSIsBadCodePtr(const void* p) {
  MEMORY_BASIC_INFORMATION mbi;
  if (!p || !VirtualQuery(p, &mbi, sizeof mbi) || mbi.State != MEM_COMMIT) return true;
  return !(mbi.Protect & (PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE |
                          PAGE_EXECUTE_WRITECOPY)) ||
         (mbi.Protect & (PAGE_GUARD | PAGE_NOACCESS));
}

template <class Char>
static bool BadString(const Char* s, uint32_t max) {
  if (!s) return true;
  // Check page by page until the terminator or max units.
  uintptr_t a = reinterpret_cast<uintptr_t>(s);
  for (uint32_t i = 0; i < max; ++i, a += sizeof(Char)) {
    if (i == 0 || (a & 0xFFF) < sizeof(Char))
      if (OSIsBadReadPtr(reinterpret_cast<const void*>(a), sizeof(Char))) return true;
    if (s[i] == 0) break;
  }
  return false;
}

bool OSIsBadStringPtr(const wchar_t* s, uint32_t max) { return BadString(s, max); }
bool OSIsBadStringAPtr(const char* s, uint32_t max) { return BadString(s, max); }

int OSConvertUnicodeToANSI(const wchar_t* src, char* dst, int dstSize, uint32_t codePage) {
  return WideCharToMultiByte(codePage, 0, src, -1, dst, dstSize, nullptr, nullptr);
}

int OSConvertAnsiToUnicode(const char* src, wchar_t* dst, int dstSize, uint32_t codePage) {
  return MultiByteToWideChar(codePage, 0, src, -1, dst, dstSize);
}

int OSCharConvertUnicodeToANSI(wchar_t c, char* out, uint32_t codePage) {
  return WideCharToMultiByte(codePage, 0, &c, 1, out, 2, nullptr, nullptr);
}

int OSCompareStrings(const wchar_t* a, const wchar_t* b) { return lstrcmpW(a, b); }
int OSCompareStringsA(const char* a, const char* b) { return lstrcmpA(a, b); }

int OSCompareStringsIgnoreCase(const wchar_t* a, const wchar_t* b) {
  int r = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a, -1, b, -1);
  return r == CSTR_LESS_THAN ? -1 : r == CSTR_EQUAL ? 0 : 1;
}

wchar_t OSConvertCharToLowerCase(wchar_t c) {
  return static_cast<wchar_t>(reinterpret_cast<uintptr_t>(CharLowerW(
      reinterpret_cast<LPWSTR>(static_cast<uintptr_t>(c)))));
}

uint32_t OSProtectWrite(void* p, uint32_t n) {
  DWORD old;
  if (!VirtualProtect(p, n, PAGE_READWRITE, &old)) Errors::SystemAPIError("VirtualProtect");
  return old;
}

void OSProtectRestore(void* p, uint32_t n, uint32_t oldProtection) {
  DWORD old;
  if (!VirtualProtect(p, n, oldProtection, &old)) Errors::SystemAPIError("VirtualProtect");
}

static WORD CharType(wchar_t c) {
  WORD type = 0;
  GetStringTypeW(CT_CTYPE1, &c, 1, &type);
  return type;
}

bool IsCharWhiteSpace(wchar_t c) { return CharType(c) & C1_SPACE; }
bool IsCharLowerCase(wchar_t c) { return CharType(c) & C1_LOWER; }
bool IsValid1stFunctorName(wchar_t c) { return c == L'@' || (CharType(c) & C1_LOWER); }
bool IsCharAlphaNumerical(wchar_t c) { return CharType(c) & (C1_ALPHA | C1_DIGIT); }

}  // namespace OSInterface
}  // namespace Qel::RunTime::Kernel
