// registry and registry_exception.  Invariants: every key handle opened here
// is closed before a raise leaves the predicate; data read back is converted
// within the byte count the system reported for it (odd, unterminated or
// short data never read past); results live on the caller's global stack.
#include "registry/registry.h"

#include <windows.h>

#include "binary/binary.h"
#include "exception/exception.h"
#include "programControl/programControl.h"

namespace tav {

const ClassInfo registry::classInfo{L"com/corvane/registry/registry", TAV_CLASS_VERSION};
const ClassInfo registry_exception::classInfo{L"com/corvane/registry/registry_exception",
                                              TAV_CLASS_VERSION};
const ExceptionDescriptor registry_exception::wrongvalue{
    &registry_exception::classInfo, L"wrongvalue", L"The operation under the value failed"};
const ExceptionDescriptor registry_exception::nopath{&registry_exception::classInfo, L"nopath",
                                                     L"The path is wrong"};
const ExceptionDescriptor registry_exception::cannotcreatekey{
    &registry_exception::classInfo, L"cannotcreatekey", L"The key cannot be created"};

namespace {

constexpr REGSAM kWrite = 0x20006, kRead = 0x20019;

struct Root {
  HKEY handle;
  const wchar_t* name;
};
Root RootOf(rootkey r) {
  switch (r) {
    case rootkey::classesroot: return {HKEY_CLASSES_ROOT, L"HKEY_CLASSES_ROOT"};
    case rootkey::currentconfig: return {HKEY_CURRENT_CONFIG, L"HKEY_CURRENT_CONFIG"};
    case rootkey::currentuser: return {HKEY_CURRENT_USER, L"HKEY_CURRENT_USER"};
    case rootkey::localmachine: return {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE"};
    case rootkey::users: return {HKEY_USERS, L"HKEY_USERS"};
    case rootkey::performancedata: return {HKEY_PERFORMANCE_DATA, L"HKEY_PERFORMANCE_DATA"};
    case rootkey::dynamicdata: return {HKEY_DYN_DATA, L"HKEY_DYN_DATA"};
  }
  return {HKEY_CURRENT_USER, L"HKEY_CURRENT_USER"};
}

// The system's text for `code`, trimmed.
const wchar_t* SystemText(uint32_t code) {
  auto* buffer = static_cast<wchar_t*>(GStackAlloc(2048 * sizeof(wchar_t)));
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           code, 0, buffer, 2048, nullptr);
  buffer[n < 2048 ? n : 2047] = 0;
  return string::trim(buffer);
}

[[noreturn]] void Raise(const ClassInfo* ci, const ExceptionDescriptor* e, uint32_t code,
                        rootkey root, const wchar_t* path, const wchar_t* name) {
  const CursorTerm* at = programControl::getlastsavedsourceposition();
  const wchar_t* text = SystemText(code);
  const NamedValueList* extra =
      name ? Values({{L"root key", value::string(RootOf(root).name)},
                     {L"Name of key", value::string(path)},
                     {L"value", value::string(name)},
                     {L"System description", value::string(text)}})
           : Values({{L"root key", value::string(RootOf(root).name)},
                     {L"Name of key", value::string(path)},
                     {L"System description", value::string(text)}});
  exception::raise_withpos(ci, at, e, extra);
}

HKEY Open(rootkey root, const wchar_t* path, REGSAM access) {
  HKEY key;
  LSTATUS r = RegOpenKeyExW(RootOf(root).handle, path, 0, access, &key);
  if (r != ERROR_SUCCESS) registry_exception::raise_nopath(&registry::classInfo, r, root, path, L"");
  return key;
}

HKEY Create(rootkey root, const wchar_t* path) {
  HKEY key;
  LSTATUS r = RegCreateKeyExW(RootOf(root).handle, path, 0, const_cast<wchar_t*>(L""), 0, kWrite,
                              nullptr, &key, nullptr);
  if (r != ERROR_SUCCESS)
    registry_exception::raise_cannotcreatekey(&registry::classInfo, r, root, path);
  return key;
}

// The registry form of a value: type, bytes and their count.
struct Data {
  DWORD type;
  const void* bytes;
  DWORD size;
};
Data ToData(const ValueTerm* v, uint64_t* scratch) {
  switch (v->Kind()) {
    case ValueKind::none: return {REG_NONE, nullptr, 0};
    case ValueKind::boolean:
      *scratch = v->As<const BooleanTerm*>()->functor == 2;
      return {REG_DWORD, scratch, 4};
    case ValueKind::unsigned_:
    case ValueKind::integer:
      *scratch = v->As<uint32_t>();
      return {REG_DWORD, scratch, 4};
    case ValueKind::char_:
      *scratch = v->As<uint16_t>();
      return {REG_DWORD, scratch, 4};
    case ValueKind::string: {
      const wchar_t* s = v->As<const wchar_t*>();
      return {REG_SZ, s, static_cast<DWORD>((wcslen(s) + 1) * 2)};
    }
    case ValueKind::binary: {
      const uint8_t* b = v->As<const uint8_t*>();
      return {REG_BINARY, b, binary::getsize(b)};
    }
    default:  // 64-bit numbers, reals, times, objects and pointers: 8 bytes
      *scratch = v->payload;
      return {REG_BINARY, scratch, 8};
  }
}

// A heap-free string of the `bytes` bytes at `data`, cut at the first zero.
const wchar_t* StringOf(const uint8_t* data, uint32_t bytes) {
  uint32_t units = bytes / 2, n = 0;
  const auto* w = reinterpret_cast<const wchar_t*>(data);
  while (n < units && w[n]) ++n;
  wchar_t* s = string::NewString(n);
  memcpy(s, data, n * 2);
  return s;
}

// The strings of a string list within `bytes`, joined.
const wchar_t* JoinedList(const uint8_t* data, uint32_t bytes) {
  uint32_t units = bytes / 2, n = 0;
  const auto* w = reinterpret_cast<const wchar_t*>(data);
  for (uint32_t i = 0; i < units; ++i)
    if (w[i]) ++n;
  wchar_t* s = string::NewString(n);
  for (uint32_t i = 0, j = 0; i < units; ++i)
    if (w[i]) s[j++] = w[i];
  return s;
}

// The value of registry data, or null when it cannot be read as its type.
const ValueTerm* FromData(DWORD type, const uint8_t* data, uint32_t size) {
  switch (type) {
    case REG_NONE: return value::none();
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_LINK: return value::string(StringOf(data, size));
    case REG_BINARY: return value::binary(binary::createfrompointer(data, size));
    case REG_DWORD:
    case 8:
    case 9: {
      if (size < 4) return nullptr;
      uint32_t u;
      memcpy(&u, data, 4);
      return value::unsigned_(u);
    }
    case REG_DWORD_BIG_ENDIAN: {
      if (size < 4) return nullptr;
      return value::unsigned_(uint32_t{data[0]} << 24 | uint32_t{data[1]} << 16 |
                              uint32_t{data[2]} << 8 | data[3]);
    }
    case REG_MULTI_SZ: return value::string(JoinedList(data, size));
    case 10: {
      auto* copy = static_cast<uint8_t*>(K::Memory::AllocAtomicHeap(size ? size : 1));
      memcpy(copy, data, size);
      return value::pointer(copy);
    }
    default: return value::none();
  }
}

bool EmptyPath(const wchar_t* path) {
  for (; *path; ++path)
    if (*path != L'\\') return false;
  return true;
}

}  // namespace

const wchar_t* registry::RootName(rootkey root) { return RootOf(root).name; }

void registry_exception::raise_wrongvalue(const ClassInfo* ci, uint32_t code, rootkey root,
                                          const wchar_t* path, const wchar_t* name) {
  Raise(ci, &wrongvalue, code, root, path, name);
}
void registry_exception::raise_nopath(const ClassInfo* ci, uint32_t code, rootkey root,
                                      const wchar_t* path, const wchar_t* name) {
  Raise(ci, &nopath, code, root, path, name);
}
void registry_exception::raise_cannotcreatekey(const ClassInfo* ci, uint32_t code, rootkey root,
                                               const wchar_t* path) {
  Raise(ci, &cannotcreatekey, code, root, path, nullptr);
}

void registry::setvalue(rootkey root, const wchar_t* path, const NamedValueList* values) {
  HKEY key = Create(root, path);
  for (; !values->Empty(); values = values->tail) {
    uint64_t scratch = 0;
    Data d = ToData(values->head->value, &scratch);
    LSTATUS r = RegSetValueExW(key, values->head->name, 0, d.type,
                               static_cast<const BYTE*>(d.bytes), d.size);
    if (r != ERROR_SUCCESS) {
      RegCloseKey(key);
      registry_exception::raise_wrongvalue(&classInfo, r, root, path, values->head->name);
    }
  }
  RegCloseKey(key);
}

const ValueTerm* registry::getvalue(rootkey root, const wchar_t* path, const wchar_t* name) {
  HKEY key = Open(root, path, kRead);
  DWORD type = 0, size = 0;
  LSTATUS r = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
  uint8_t* data = nullptr;
  // A value that grows between the size query and the read is asked again.
  for (int attempt = 0; r == ERROR_SUCCESS || r == ERROR_MORE_DATA; ++attempt) {
    if (attempt == 4) break;
    DWORD room = size;
    data = static_cast<uint8_t*>(GStackAlloc(room ? room : 8));
    r = RegQueryValueExW(key, name, nullptr, &type, data, &size);
    if (r == ERROR_SUCCESS && size <= room) break;
  }
  RegCloseKey(key);
  if (r != ERROR_SUCCESS) registry_exception::raise_wrongvalue(&classInfo, r, root, path, name);
  const ValueTerm* v = FromData(type, data, size);
  if (!v) registry_exception::raise_wrongvalue(&classInfo, ERROR_INVALID_DATA, root, path, name);
  return v;
}

void registry::removevalue(rootkey root, const wchar_t* path, const StringList* names) {
  HKEY key = Open(root, path, kWrite);
  for (; !names->Empty() && names->head[0]; names = names->tail) {
    LSTATUS r = RegDeleteValueW(key, names->head);
    if (r != ERROR_SUCCESS) {
      RegCloseKey(key);
      registry_exception::raise_wrongvalue(&classInfo, r, root, path, names->head);
    }
  }
  RegCloseKey(key);
}

void registry::createkey(rootkey root, const wchar_t* path) { RegCloseKey(Create(root, path)); }

void registry::deletekey(rootkey root, const wchar_t* path) {
  if (EmptyPath(path))
    registry_exception::raise_nopath(&classInfo, ERROR_INVALID_PARAMETER, root, path, L"");
  for (const StringList* l = getsubkeys(root, path); !l->Empty(); l = l->tail)
    deletekey(root, string::concat(path, L"\\", l->head));
  for (const NamedValueList* l = getallvalues(root, path); !l->Empty(); l = l->tail)
    removevalue(root, path, MakeStringList({l->head->name}));
  LSTATUS r = RegDeleteKeyW(RootOf(root).handle, path);
  if (r != ERROR_SUCCESS) registry_exception::raise_nopath(&classInfo, r, root, path, L"");
}

const StringList* registry::getsubkeys(rootkey root, const wchar_t* path) {
  HKEY key = Open(root, path, kRead);
  DWORD count = 0;
  LSTATUS r = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr);
  if (r != ERROR_SUCCESS) {
    RegCloseKey(key);
    registry_exception::raise_nopath(&classInfo, r, root, path, L"");
  }
  const StringList* head = EmptyStringList();
  StringList* last = nullptr;
  wchar_t name[2050];
  for (DWORD i = count; i-- > 0;) {
    DWORD length = 2050;
    name[0] = 0;
    r = RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (r != ERROR_SUCCESS) {
      RegCloseKey(key);
      name[2049] = 0;
      registry_exception::raise_wrongvalue(&classInfo, r, root, path, string::createcopy(name));
    }
    auto* cell = static_cast<StringList*>(GStackAlloc(sizeof(StringList)));
    *cell = StringList{1, string::createcopy(name), EmptyStringList()};
    (last ? last->tail : head) = cell;
    last = cell;
  }
  RegCloseKey(key);
  return head;
}

const NamedValueList* registry::getallvalues(rootkey root, const wchar_t* path) {
  HKEY key = Open(root, path, kRead);
  DWORD count = 0, longestName = 0, longestData = 0;
  LSTATUS r = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                               &longestName, &longestData, nullptr, nullptr);
  if (r != ERROR_SUCCESS) {
    RegCloseKey(key);
    registry_exception::raise_wrongvalue(&classInfo, r, root, path, L"");
  }
  if (count == 0) {
    RegCloseKey(key);
    return Values({{L"", value::none()}});
  }
  const NamedValueList* head = EmptyList();
  NamedValueList* last = nullptr;
  auto* name = static_cast<wchar_t*>(GStackAlloc((longestName + 1) * 2));
  auto* data = static_cast<uint8_t*>(GStackAlloc(longestData ? longestData : 8));
  for (DWORD i = count; i-- > 0;) {
    DWORD nameLength = longestName + 1, type = 0, size = longestData;
    r = RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &size);
    if (r == ERROR_MORE_DATA && size <= longestData) r = ERROR_SUCCESS;
    if (r != ERROR_SUCCESS) {
      RegCloseKey(key);
      registry_exception::raise_wrongvalue(&classInfo, r, root, path, L"");
    }
    const ValueTerm* v = FromData(type, data, size);
    name[nameLength <= longestName ? nameLength : longestName] = 0;
    const wchar_t* copy = string::createcopy(name);
    if (!v) {
      RegCloseKey(key);
      registry_exception::raise_wrongvalue(&classInfo, ERROR_INVALID_DATA, root, path, copy);
    }
    auto* pair = static_cast<NamedValue*>(GStackAlloc(sizeof(NamedValue)));
    *pair = NamedValue{1, copy, v};
    auto* cell = static_cast<NamedValueList*>(GStackAlloc(sizeof(NamedValueList)));
    *cell = NamedValueList{1, pair, EmptyList()};
    (last ? last->tail : head) = cell;
    last = cell;
  }
  RegCloseKey(key);
  return head;
}

}  // namespace tav
