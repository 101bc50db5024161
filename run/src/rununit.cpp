// Run units: the module registry, linking of class descriptors, class
// initialisation, termination, and the system description.
//
// Invariants:
//  - The registry is a doubly linked list in registration order; its records
//    are uncollectable heap blocks, freed when a module is taken out.
//  - A descriptor's word 0 below 100 is its kind code (not yet linked);
//    otherwise it is its method table.
//  - A module's chain runs through word 3 and ends with -1, so a descriptor
//    that is on a chain never has word 3 = 0 and is not pushed again.
//  - Names are compared ordinally.
#include "dbhooks.h"
#include "domains.h"

#include <cstdio>
#include <cwchar>

namespace Qel::RunTime {

using namespace detail;

namespace {

auto* const kChainEnd = reinterpret_cast<RScopeClassDescriptor*>(intptr_t{-1});

RModuleRecord* g_head = nullptr;
RModuleRecord* g_tail = nullptr;

// The registry and the name search across modules are serialised by the
// kernel's core critical section.
void Lock() { Multithreading::EnterQelCoreCriticalSection(); }
void Unlock() { Multithreading::LeaveQelCoreCriticalSection(); }

void InitKind1(RScopeClassDescriptor* d) {
  if (d->initialize) d->initialize();
}
void InitKind2(RScopeClassDescriptor* d) {
  if (d->initialize) d->initialize();
  InitializeObjectClass(d);
}
const wchar_t* NameOf(const RScopeClassDescriptor* d) { return d->name; }
const TFullCursor* PositionOf(const RScopeClassDescriptor* d) { return &d->position; }
void* NoState(const RScopeClassDescriptor*) { return nullptr; }
void* StateOf(const RScopeClassDescriptor* d) {
  return d->thunkState ? static_cast<void*>(d->thunkState()) : nullptr;
}
const Terms::RDomainRecord* NoDomain(const RScopeClassDescriptor*) { return nullptr; }
const Terms::RDomainRecord* ObjectDomainOf(const RScopeClassDescriptor* d) {
  return d->objectDomain;
}

const RDescriptorMethods g_kind1{InitKind1, NameOf, NameOf, PositionOf, NoState, NoDomain};
const RDescriptorMethods g_kind2{InitKind2, NameOf, NameOf, PositionOf, StateOf, ObjectDomainOf};

RScopeClassDescriptor* FindByName(const wchar_t* name) {
  for (RModuleRecord* m = g_head; m; m = m->next)
    for (RScopeClassDescriptor* d = m->chain; d && d != kChainEnd; d = d->link)
      if (d->name && name && wcscmp(d->name, name) == 0) return d;
  return nullptr;
}

// Links one descriptor.  Nothing here fails or raises with a lock held
// except the activation, which runs outside the lock.
void LinkDescriptor(RModuleRecord* module, RScopeClassDescriptor* d) {
  uint32_t old = OSInterface::OSProtectWrite(d, kDescriptorHeaderBytes);
  if (d->kind < 100) {
    for (Terms::RDomainRecord* r = d->domains; r; r = r->next) {
      Terms::ActivateDomain(r);
      Terms::Domain(*r)->PostInitialize();
    }
    if (d->kind == 1) d->kind = reinterpret_cast<uintptr_t>(&g_kind1);
    else if (d->kind == 2) d->kind = reinterpret_cast<uintptr_t>(&g_kind2);
  }
  Lock();
  if (!d->link) {
    d->link = module->chain;
    module->chain = d;
  }
  RScopeClassDescriptor* first = FindByName(d->name);
  d->canonical = first ? first : d;
  Unlock();
  OSInterface::OSProtectRestore(d, kDescriptorHeaderBytes, old);
}

template <class F>
void ForEachDescriptor(const RScopeClassDescriptor* const* table, F&& fn) {
  if (!table) return;
  for (const RScopeClassDescriptor* const* p = table + 1;
       reinterpret_cast<intptr_t>(*p) != -2; ++p)
    if (*p) fn(const_cast<RScopeClassDescriptor*>(*p));
}

void LinkTable(void* module, bool removable, const RScopeClassDescriptor* const* table) {
  auto* m = static_cast<RModuleRecord*>(Memory::AllocUncollectableHeap(sizeof(RModuleRecord)));
  m->module = module;
  m->chain = kChainEnd;
  m->removable = removable;
  m->next = nullptr;
  Lock();
  m->prev = g_tail;
  (g_tail ? g_tail->next : g_head) = m;
  g_tail = m;
  Unlock();

  ForEachDescriptor(table, [&](RScopeClassDescriptor* d) { LinkDescriptor(m, d); });
  ForEachDescriptor(table, [&](RScopeClassDescriptor* d) {
    uint32_t old = OSInterface::OSProtectWrite(d, kDescriptorHeaderBytes);
    if (d->kind >= 100) d->Methods()->initialize(d);
    OSInterface::OSProtectRestore(d, kDescriptorHeaderBytes, old);
  });
}

// The facts of a database as entries of the class-facts and object-facts
// contexts, keyed as the fact allocations open them.
struct FactEntries final : Terms::DBInternal::RFactVisitor {
  Memory::Statistics::RContextsBuilder* builder;
  const wchar_t* moduleName;
  const TFullCursor* position;
  FactEntries(Memory::Statistics::RContextsBuilder* b, const wchar_t* m, const TFullCursor* p)
      : builder(b), moduleName(m), position(p) {}
  void ClassFact(const Terms::DBInternal::RFactDescriptor* f, const wchar_t* name,
                 Terms::DBInternal::RFactHead*, const wchar_t* database) override {
    builder->AddClassFacts(FactProfileKey(*f), moduleName, position, database, name);
  }
  void ObjectFact(const Terms::DBInternal::RFactDescriptor* f, const wchar_t* name,
                  Terms::DBInternal::RFactHead*, const wchar_t* database) override {
    builder->AddObjectFacts(FactProfileKey(*f), moduleName, position, database, name);
  }
};

// The memory profiler's predefined contexts: the facts of every database
// and the classes with objects, of every module.
void BuildProfileContexts(Memory::Statistics::RContextsBuilder* builder) {
  for (RModuleRecord* m = g_head; m; m = m->next) {
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(static_cast<HMODULE>(m->module), path, MAX_PATH);
    const wchar_t* moduleName = path;
    for (const wchar_t* p = path; *p; ++p)
      if (*p == L'\\' || *p == L'/') moduleName = p + 1;
    for (RScopeClassDescriptor* d = m->chain; d && d != kChainEnd; d = d->link) {
      if (d->kind < 100) continue;
      for (Terms::RDomainRecord* r = d->domains; r; r = r->next) {
        FactEntries entries(builder, moduleName, &r->position);
        Terms::Domain(*r)->EnumerateFacts(nullptr, &entries);
      }
      const RDescriptorMethods* t = d->Methods();
      if (void* key = t->thunkState(d)) {
        const Terms::RDomainRecord* object = t->objectDomain(d);
        builder->AddClass(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(key)), moduleName,
                          t->position(d), object && object->name ? object->name : L"", t->name(d));
      }
    }
  }
}

}  // namespace

int RunUnitInitialization(void* module, void* second, const RScopeClassDescriptor* const* table,
                          const wchar_t* const* symbols) {
  Errors::qelLogPrintf(5, "qel6run RunUnitInitialization( %08llX, %08llX )\n",
                       reinterpret_cast<unsigned long long>(module),
                       reinterpret_cast<unsigned long long>(second));
  EnsureDomainClassTable();
  uint32_t code = RunTrapped([&] {
    // A failure inside linking ends it without an error.
    Succeeds([&] {
      if (symbols)
        for (const wchar_t* const* s = symbols + 1; *s; ++s) InternSymbol(*s, false);
      LinkTable(module, second == nullptr, table);
    });
  });
  Memory::Statistics::memProf_SetContextsBuilder(BuildProfileContexts);
  if (code) RunTrapped([] { Errors::DisplayErrorMessage(); });
  return static_cast<int>(code);
}

void RunUnitTermination(void* module) {
  Lock();
  RModuleRecord* m = g_head;
  while (m && m->module != module) m = m->next;
  if (m && m->removable) {
    m->chain = nullptr;
    if (m == g_head) g_head = m->next;
    if (m == g_tail) g_tail = m->prev;
    if (m->next) m->next->prev = m->prev;
    if (m->prev) m->prev->next = m->next;
    Memory::ReleaseHeap(m);
  }
  Unlock();
  if (!m)
    Errors::qelLogPrintf(5, "qel6run unloadScopes: Module %08llX not found",
                         reinterpret_cast<unsigned long long>(module));
  Errors::qelLogPrintf(5, "qel6run RunUnitTermination( %08llX )\n",
                       reinterpret_cast<unsigned long long>(module));
}

RModuleRecord* FirstRegisteredModule() { return g_head; }

// --- PrintSystemVersion -----------------------------------------------------------

namespace {

struct Out {
  prologOutputStream* s;
  void Put(const wchar_t* text) {
    s->Write(text, static_cast<uint32_t>(wcslen(text) * sizeof(wchar_t)));
  }
  void Number(unsigned long n) {
    wchar_t buf[24];
    swprintf(buf, 24, L"%lu", n);
    Put(buf);
  }
  // "version <major>.<minor> "
  void Version(unsigned long major, unsigned long minor) {
    Put(L"version ");
    Number(major);
    Put(L".");
    Number(minor);
    Put(L" ");
  }
};

// A registry string of at most `bytes` bytes; false when absent.
bool RegText(HKEY key, const wchar_t* name, wchar_t* out, DWORD bytes) {
  DWORD type, size = bytes - sizeof(wchar_t);
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &size) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return false;
  out[size / sizeof(wchar_t)] = 0;
  return true;
}

}  // namespace

void PrintSystemVersion(prologOutputStream* stream) {
  Out o{stream};
  OSVERSIONINFOEXW v{};
  v.dwOSVersionInfoSize = sizeof v;
  bool extended = GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&v));
  if (!extended) {
    v.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&v))) return;
  }
  DWORD major = v.dwMajorVersion, minor = v.dwMinorVersion;
  if (v.dwPlatformId == VER_PLATFORM_WIN32s) {
    o.Put(L"Microsoft Win32s");
  } else if (v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
    wchar_t c = v.szCSDVersion[0] ? v.szCSDVersion[1] : 0;
    if (major == 4 && minor == 0) {
      o.Put(L"Microsoft Windows 95 ");
      if (c == L'C' || c == L'B') o.Put(L"OSR2 ");
    } else if (major == 4 && minor == 10) {
      o.Put(L"Microsoft Windows 98 ");
      if (c == L'A') o.Put(L"SE ");
    } else if (major == 4 && minor == 90) {
      o.Put(L"Microsoft Windows Millennium Edition");
    }
  } else if (v.dwPlatformId == VER_PLATFORM_WIN32_NT) {
    // Versions the table does not name are described by their numbers.
    bool known = major <= 4 || (major == 5 && minor <= 2);
    if (major == 5 && minor == 2) o.Put(L"Microsoft Windows .NET Server 2002 family ");
    else if (major == 5 && minor == 1) o.Put(L"Microsoft Windows XP ");
    else if (major == 5 && minor == 0) o.Put(L"Microsoft Windows 2000 ");
    else o.Put(L"Microsoft Windows NT ");
    if (!known) o.Version(major, minor);
    if (extended) {
      WORD suite = v.wSuiteMask;
      if (v.wProductType == VER_NT_WORKSTATION) {
        if (!known) o.Put(L"Workstation ");
        else if (major == 4) o.Put(L"Workstation 4.0 ");
        else if (suite & VER_SUITE_PERSONAL) o.Put(L"Home Edition ");
        else o.Put(L"Professional ");
      } else if (v.wProductType == VER_NT_SERVER || v.wProductType == VER_NT_DOMAIN_CONTROLLER) {
        if (!known) o.Put(L"Server ");
        else if (major == 5 && minor == 2) {
          if (suite & VER_SUITE_DATACENTER) o.Put(L"DataCenter Edition ");
          else if (suite & VER_SUITE_ENTERPRISE) o.Put(L"Enterprise Edition ");
          else if (suite == VER_SUITE_BLADE) o.Put(L"Web Edition ");
          else o.Put(L"Standard Edition ");
        } else if (major == 5 && minor == 0) {
          if (suite & VER_SUITE_DATACENTER) o.Put(L"DataCenter Server ");
          else if (suite & VER_SUITE_ENTERPRISE) o.Put(L"Enterprise Server ");
          else o.Put(L"Server ");
        } else {
          o.Put(suite & VER_SUITE_ENTERPRISE ? L"Server 4.0, Enterprise Edition " : L"Server 4.0 ");
        }
      }
    } else {
      HKEY key;
      if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions",
                        0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return;
      wchar_t type[41];
      bool ok = RegText(key, L"ProductType", type, 80);
      RegCloseKey(key);
      if (!ok) return;
      if (!_wcsicmp(type, L"WINNT")) o.Put(L"Workstation ");
      else if (!_wcsicmp(type, L"LANMANNT")) o.Put(L"Server ");
      else if (!_wcsicmp(type, L"SERVERNT")) o.Put(L"Advanced Server ");
    }
    if (major <= 4) o.Version(major, minor);
    o.Put(v.szCSDVersion);
    o.Put(L" (Build ");
    o.Number(v.dwBuildNumber & 0xFFFF);
    o.Put(L")");
  }
  SYSTEM_INFO si;
  GetSystemInfo(&si);
  o.Put(L"\nNumber of processors: ");
  o.Number(si.dwNumberOfProcessors);
  o.Put(L"  Page size: ");
  o.Number(si.dwPageSize);
  o.Put(L"  Processor: ");
  o.Number(si.dwProcessorType);
  o.Put(L" level ");
  o.Number(si.wProcessorLevel);
  o.Put(L" revision: ");
  o.Number(si.wProcessorRevision);
  HKEY cpu;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", 0,
                    KEY_QUERY_VALUE, &cpu) != ERROR_SUCCESS)
    return;
  static const wchar_t* const names[][2] = {{L"ProcessorNameString", L"\nProcessorNameString: "},
                                            {L"VendorIdentifier", L"\nVendorIdentifier: "},
                                            {L"Identifier", L"\nIdentifier: "}};
  for (const auto& n : names) {
    wchar_t text[81];
    if (RegText(cpu, n[0], text, 160)) {
      o.Put(n[1]);
      o.Put(text);
    }
  }
  DWORD mhz = 0, type, size = sizeof mhz;
  if (RegQueryValueExW(cpu, L"~MHz", nullptr, &type, reinterpret_cast<BYTE*>(&mhz), &size) ==
          ERROR_SUCCESS &&
      type == REG_DWORD && mhz) {
    o.Put(L"\n~MHz: ");
    o.Number(mhz);
  }
  RegCloseKey(cpu);
}

}  // namespace Qel::RunTime
