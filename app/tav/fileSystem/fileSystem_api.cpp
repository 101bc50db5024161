// fileSystem_api.  Invariants: every Windows failure becomes the class's
// exception with the error read right after the failing call; ambiguous
// results (4294967295) raise only with a non-zero last error, which is
// cleared before the call; CR/LF conversion never reads or writes past the
// given size and makes one search pass and one copy per segment.
#include "fileSystem/fileSystem_api.h"

#include <shlobj.h>

#include <cwchar>

#include "exception/exception.h"
#include "memory/memory.h"
#include "stream/textScan.h"

namespace tav {

const ClassInfo fileSystem_api::classInfo{L"com/corvane/fileSystem/fileSystem_api",
                                          TAV_CLASS_VERSION};
const ExceptionDescriptor fileSystem_api::cannotgetfilesize{
    &fileSystem_api::classInfo, L"cannotgetfilesize", L"Cannot get file size"};
const ExceptionDescriptor fileSystem_api::cannotcreate{
    &fileSystem_api::classInfo, L"cannotcreate", L"Cannot create or open the specified file"};
const ExceptionDescriptor fileSystem_api::cannotsetfilepointer{
    &fileSystem_api::classInfo, L"cannotsetfilepointer", L"Cannot set new file pointer"};

// "Error code" and "Error description" of the thread's last error, after `front`.
static const NamedValueList* WithLastError(std::initializer_list<Named> front) {
  uint32_t code;
  const wchar_t* text;
  common_exception::getlasterror(&code, &text);
  return Prepend(front, Values({{L"Error code", value::unsigned_(code)},
                                {L"Error description", value::string(text)}}));
}

static const ValueTerm* HandleValue(HANDLE h) {
  return value::unsigned_(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h)));
}

static void Raise(const ExceptionDescriptor* e, const NamedValueList* extra) {
  exception::raise_withpos(&fileSystem_api::classInfo, programControl::getlastsavedsourceposition(),
                           e, extra);
}

void fileSystem_api::raise_cannotgetfilesize(HANDLE file) {
  Raise(&cannotgetfilesize, WithLastError({{L"File handle", HandleValue(file)}}));
  __builtin_unreachable();
}
void fileSystem_api::raise_cannotcreate(const wchar_t* fileName) {
  Raise(&cannotcreate, WithLastError({{L"File name", value::string(fileName)}}));
  __builtin_unreachable();
}
void fileSystem_api::raise_cannotsetfilepointer(HANDLE file, int64_t position,
                                                uint32_t moveMethod) {
  Raise(&cannotsetfilepointer, WithLastError({{L"File handle", HandleValue(file)},
                                              {L"File pointer", value::integer64(position)},
                                              {L"start position", value::unsigned_(moveMethod)}}));
  __builtin_unreachable();
}

// --- files and volumes ---

HANDLE fileSystem_api::createfile(const wchar_t* fileName, uint32_t access, accesspermit sharing,
                                  uint32_t creationDisposition, uint32_t attributes) {
  HANDLE h = CreateFileW(fileName, access, accesspermitvalue(sharing), nullptr,
                         creationDisposition, attributes, nullptr);
  if (h == INVALID_HANDLE_VALUE) raise_cannotcreate(fileName);
  return h;
}

uint64_t fileSystem_api::getfilesize(HANDLE file) {
  DWORD high = 0;
  SetLastError(0);
  DWORD low = GetFileSize(file, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != 0) raise_cannotgetfilesize(file);
  return (uint64_t{high} << 32) | low;
}

uint64_t fileSystem_api::setfilepointer(HANDLE file, int64_t position, uint32_t moveMethod) {
  LONG high = static_cast<LONG>(position >> 32);
  SetLastError(0);
  DWORD low = SetFilePointer(file, static_cast<LONG>(position & 0xFFFFFFFF), &high, moveMethod);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != 0)
    raise_cannotsetfilepointer(file, position, moveMethod);
  return (uint64_t{static_cast<uint32_t>(high)} << 32) | low;
}

void fileSystem_api::getvolumeinformation(const wchar_t* rootPath, const wchar_t** volumeName,
                                          uint32_t* serialNumber, const wchar_t** fileSystemName) {
  wchar_t* volume = memory::allocstringbuffer(32);
  wchar_t* system = memory::allocstringbuffer(32);
  DWORD serial = 0, maxLength, flags;
  if (!GetVolumeInformationW(rootPath, volume, 32, &serial, &maxLength, &flags, system, 32))
    common_exception::raise_nativecallexception(&classInfo, L"GetVolumeInformation",
                                                Values({{L"Volume", value::string(rootPath)}}));
  *volumeName = volume;
  *serialNumber = serial;
  *fileSystemName = system;
}

// --- attribute and sharing values ---

uint32_t fileSystem_api::accesspermitvalue(accesspermit p) {
  switch (p) {
    case accesspermit::permitread:
      return FILE_SHARE_READ;
    case accesspermit::permitwrite:
      return FILE_SHARE_WRITE;
    case accesspermit::permitreadwrite:
      return FILE_SHARE_READ | FILE_SHARE_WRITE;
    default:
      return 0;
  }
}

static const uint32_t kAttributeBits[] = {
    FILE_ATTRIBUTE_READONLY,  FILE_ATTRIBUTE_SYSTEM,    FILE_ATTRIBUTE_HIDDEN,
    FILE_ATTRIBUTE_ARCHIVE,   FILE_ATTRIBUTE_COMPRESSED, FILE_ATTRIBUTE_ENCRYPTED,
    FILE_ATTRIBUTE_TEMPORARY, FILE_ATTRIBUTE_OFFLINE};

uint32_t fileSystem_api::attributevalue(fileattributeatom a) {
  return kAttributeBits[static_cast<uint32_t>(a) - 1];
}

uint32_t fileSystem_api::toapiattributes(std::initializer_list<fileattributeatom> attributes) {
  uint32_t v = FILE_ATTRIBUTE_NORMAL;
  for (fileattributeatom a : attributes) v |= attributevalue(a);
  return v;
}

uint32_t fileSystem_api::fromapiattributes(uint32_t value, fileattributeatom* out) {
  uint32_t n = 0;
  for (uint32_t i = 0; i < 8; ++i)
    if (value & kAttributeBits[i]) out[n++] = static_cast<fileattributeatom>(i + 1);
  return n;
}

uint32_t fileSystem_api::toapiattributes(const AttributeList* attributes) {
  uint32_t v = FILE_ATTRIBUTE_NORMAL;
  for (const AttributeList* l = attributes; !l->Empty(); l = l->tail)
    v |= attributevalue(static_cast<fileattributeatom>(l->head->functor));
  return v;
}

const AttributeList* fileSystem_api::fromapiattributes(uint32_t value) {
  fileattributeatom atoms[8];
  uint32_t n = fromapiattributes(value, atoms);
  auto* cells = static_cast<AttributeList*>(GStackAlloc((n + 1) * sizeof(AttributeList)));
  cells[n] = AttributeList{2, nullptr, nullptr};
  for (uint32_t i = n; i-- > 0;)
    cells[i] = AttributeList{1, Constant(static_cast<uint64_t>(atoms[i])), &cells[i + 1]};
  return cells;
}

// --- CR/LF ---

static uint64_t SizeOfText(const uint8_t* buffer, int64_t size) {
  return size < 0 ? (uint64_t{wcslen(reinterpret_cast<const wchar_t*>(buffer))} + 1) * 2
                  : static_cast<uint64_t>(size);
}

static uint16_t Unit(const uint8_t* buffer, uint64_t i) {
  uint16_t u;
  memcpy(&u, buffer + 2 * i, 2);
  return u;
}

fileSystem_api::CrLf fileSystem_api::crlf_lf(uint8_t* buffer, int64_t size, bool inPlace) {
  CrLf r{buffer, 0, nullptr, 0, false};
  uint64_t searched = SizeOfText(buffer, size);
  if (size > 2 && size % 2 == 0 && Unit(buffer, size / 2 - 1) == 13) {
    searched = size - 2;
    r.lastCharCR = true;
  }
  memory::checksize(searched);
  const uint32_t units = static_cast<uint32_t>(searched / 2);
  // Up to the first pair the text stays where it is; from there one pass
  // drops the CRs.
  uint32_t first = scan::FindPair(buffer, units);
  r.newSize = static_cast<uint32_t>(searched);
  if (first == units) {
    r.pairs = static_cast<uint32_t*>(GStackAlloc(4));
    return r;
  }
  if (first == 0 && scan::FindPair(buffer + 4, units - 2) == units - 2) {
    auto* pair = static_cast<uint32_t*>(GStackAlloc(4));
    *pair = 0;
    r.pairs = pair;
    r.pairCount = 1;
    r.newSize -= 2;
    r.result = buffer + 2;
    return r;
  }
  uint32_t most = (units - first + 1) / 2;
  auto* pairs = static_cast<uint32_t*>(GStackAlloc(most * 4));
  uint8_t* out = buffer;
  if (!inPlace) {
    uint32_t size = static_cast<uint32_t>(searched) - 2 * scan::CountPairs(buffer, units);
    out = static_cast<uint8_t*>(K::Memory::AllocAtomicHeap(size + 16));
    memcpy(out, buffer, 2 * first);
  }
  uint32_t count = scan::DropPairCrs(buffer, units, first, out, pairs);
  K::Memory::AdjustGStackAlloc(pairs, count * 4);
  r.pairs = pairs;
  r.pairCount = count;
  r.newSize -= 2 * count;
  if (searched & 1) out[r.newSize - 1] = buffer[searched - 1];  // an odd last byte is kept
  r.result = out;
  return r;
}

void fileSystem_api::crlf_lf(wchar_t* text) {
  wchar_t* write = text;
  const wchar_t* read = text;
  while (const wchar_t* at = wcsstr(read, L"\r\n")) {
    size_t n = at - read;
    memmove(write, read, n * sizeof(wchar_t));
    write += n;
    read = at + 1;  // the LF stays
  }
  memmove(write, read, (wcslen(read) + 1) * sizeof(wchar_t));
}

uint8_t* fileSystem_api::lf_crlf(const uint8_t* buffer, int64_t size, uint32_t* newSize) {
  uint64_t bytes = memory::checksize(SizeOfText(buffer, size));
  const uint32_t units = static_cast<uint32_t>(bytes / 2);
  uint32_t count = scan::Count(buffer, units, 10);
  uint32_t total = memory::checksize(bytes + 2 * uint64_t{count});
  *newSize = total;
  if (count == 0) return const_cast<uint8_t*>(buffer);
  auto* out = static_cast<uint8_t*>(K::Memory::AllocAtomicHeap(total));
  uint8_t* end = scan::CopyLfAsCrLf(buffer, units, out);
  if (bytes & 1) *end = buffer[bytes - 1];
  return out;
}

// --- functions bound at their first call ---

namespace {
struct SpecialFolderNames {
  static constexpr const wchar_t* module = L"shell32.dll";
  static constexpr const char* function = "SHGetSpecialFolderPathW";
};
struct LongPathNames {
  static constexpr const wchar_t* module = L"kernel32.dll";
  static constexpr const char* function = "GetLongPathNameW";
};
}  // namespace

BOOL fileSystem_api::SHGetSpecialFolderPathW(HWND owner, LPWSTR path, int folder, BOOL create) {
  return LateBound<SpecialFolderNames, decltype(&::SHGetSpecialFolderPathW)>::cell(owner, path,
                                                                                   folder, create);
}

DWORD fileSystem_api::GetLongPathNameW(LPCWSTR shortPath, LPWSTR longPath, DWORD units) {
  return LateBound<LongPathNames, decltype(&::GetLongPathNameW)>::cell(shortPath, longPath, units);
}

}  // namespace tav
