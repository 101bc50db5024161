// The debugger's memory provider and the runtime's view of another process
// (debug_child.exe), with this process's runtime loaded away from its
// preferred base, so that the module base offset is not zero.
//
// The runtime is loaded by LoadLibraryW after its preferred range has been
// reserved; its functions are taken by their exported names.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "qel6run_debug.h"

using namespace Qel::RunTime::Terms;
using namespace Qel::RunTime::Terms::Debugger;
using Qel::RunTime::Kernel::Debugger::IMemoryProvider;
using Qel::RunTime::Kernel::Debugger::RMemoryAnotherProcess;
using Addr = unsigned long long;

namespace {

// The view's exports, called as plain functions (the object first).
struct Api {
  RDebugMemory* (*Create)(void*);
  void (*Destroy)(RDebugMemory*);
  const IDomainDefinition* (*Registered)(RDebugMemory*, Addr);
  const wchar_t* (*ClassName)(RDebugMemory*, Addr);
  TObjectList* (*SubObjects)(RDebugMemory*, Addr);
  int32_t (*TotalClassFacts)(RDebugMemory*, Addr, uint32_t);
  int32_t (*TotalObjectFacts)(RDebugMemory*, Addr, Addr, uint32_t);
  const wchar_t* (*ClassFact)(RDebugMemory*, Addr, uint32_t, uint32_t);
  const wchar_t* (*ObjectFact)(RDebugMemory*, Addr, Addr, uint32_t, uint32_t);
  TStringList* (*ClassFactRange)(RDebugMemory*, Addr, uint32_t, uint32_t, uint32_t, uint32_t);
  bool (*DeleteClassFact)(RDebugMemory*, Addr, uint32_t);
  bool (*DeleteClassFactRange)(RDebugMemory*, Addr, uint32_t, uint32_t, uint32_t);
  bool (*DeleteObjectFactRange)(RDebugMemory*, Addr, Addr, uint32_t, uint32_t, uint32_t);
  wchar_t* (*ToStringForDebug)(RDebugMemory*, Addr, Addr, uint32_t);
  void (*RegisterOffset)(int64_t);
  const uintptr_t* (*ClassTable)();
};

template <class F>
void Take(HMODULE m, const char* name, F* f) {
  *f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name)));
  ASSERT_NE(*f, nullptr) << name;
}

#define VIEW "_ZN3Qel7RunTime5Terms8Debugger12RDebugMemory"

// The child and its lines.
struct Child {
  PROCESS_INFORMATION pi{};
  HANDLE in = nullptr, out = nullptr;
  std::vector<std::string> lines;

  std::string ReadLine() {
    std::string s;
    char c;
    DWORD got;
    while (ReadFile(out, &c, 1, &got, nullptr) && got == 1 && c != '\n')
      if (c != '\r') s += c;
    return s;
  }
  std::string Ask(const std::string& command) {
    std::string line = command + "\n";
    DWORD done;
    WriteFile(in, line.data(), static_cast<DWORD>(line.size()), &done, nullptr);
    return ReadLine();
  }
  // The words of the first line that starts with `key` (after the key).
  std::vector<std::string> Words(const std::string& key) const {
    for (const std::string& l : lines)
      if (l.compare(0, key.size() + 1, key + " ") == 0) {
        std::istringstream s(l.substr(key.size() + 1));
        std::vector<std::string> w;
        for (std::string x; s >> x;) w.push_back(x);
        return w;
      }
    return {};
  }
  Addr At(const std::string& key, size_t i = 0) const {
    auto w = Words(key);
    return i < w.size() ? std::stoull(w[i], nullptr, 16) : 0;
  }
};

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  return p.substr(0, p.find_last_of(L"\\/") + 1);
}

std::string Narrow(const wchar_t* w) {
  std::string s;
  for (; w && *w; ++w) s += *w < 128 ? static_cast<char>(*w) : '?';
  return s;
}

std::vector<std::string> Texts(TStringList* l) {
  std::vector<std::string> v;
  for (; l && l->functor == 1; l = l->next) v.push_back(Narrow(l->element));
  return v;
}

class Debugger : public ::testing::Test {
 protected:
  static Child child;
  static Api api;
  static HMODULE runtime;
  static RDebugMemory* view;

  static void SetUpTestSuite() {
    // The child: pipes for its standard input and output.
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE childIn, childOut;
    CreatePipe(&childIn, &child.in, &sa, 0);
    CreatePipe(&child.out, &childOut, &sa, 0);
    SetHandleInformation(child.in, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(child.out, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = childIn;
    si.hStdOutput = childOut;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::wstring cmd = L"\"" + ProgramFolder() + L"debug_child.exe\"";
    BOOL made = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &child.pi);
    CloseHandle(childIn);
    CloseHandle(childOut);
    ASSERT_TRUE(made);
    for (std::string l; (l = child.ReadLine()) != "ready";) {
      ASSERT_FALSE(l.empty()) << "the child stopped early";
      child.lines.push_back(l);
    }

    // This process's runtime, loaded where the child's cannot be.
    std::wstring dll = ProgramFolder() + L"qel6run.dll";
    HANDLE f = CreateFileW(dll.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    std::vector<char> head(4096);
    DWORD got;
    ReadFile(f, head.data(), 4096, &got, nullptr);
    CloseHandle(f);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(head.data());
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS64*>(head.data() + dos->e_lfanew);
    void* blocked = VirtualAlloc(reinterpret_cast<void*>(nt->OptionalHeader.ImageBase),
                                 nt->OptionalHeader.SizeOfImage, MEM_RESERVE, PAGE_NOACCESS);
    ASSERT_NE(blocked, nullptr);
    runtime = LoadLibraryW(dll.c_str());
    ASSERT_NE(runtime, nullptr);
    ASSERT_NE(reinterpret_cast<uintptr_t>(runtime), nt->OptionalHeader.ImageBase);

    Take(runtime, VIEW "6CreateEPv", &api.Create);
    Take(runtime, VIEW "7DestroyEv", &api.Destroy);
    Take(runtime, VIEW "26RegisteredDomainDefinitionEy", &api.Registered);
    Take(runtime, VIEW "21GetClassNameForObjectEy", &api.ClassName);
    Take(runtime, VIEW "26GetSubObjecstListForObjectEy", &api.SubObjects);
    Take(runtime, VIEW "18GetTotalClassFactsEyj", &api.TotalClassFacts);
    Take(runtime, VIEW "19GetTotalObjectFactsEyyj", &api.TotalObjectFacts);
    Take(runtime, VIEW "12GetClassFactEyjj", &api.ClassFact);
    Take(runtime, VIEW "13GetObjectFactEyyjj", &api.ObjectFact);
    Take(runtime, VIEW "17GetClassFactRangeEyjjjj", &api.ClassFactRange);
    Take(runtime, VIEW "15DeleteClassFactEyj", &api.DeleteClassFact);
    Take(runtime, VIEW "20DeleteClassFactRangeEyjjj", &api.DeleteClassFactRange);
    Take(runtime, VIEW "21DeleteObjectFactRangeEyyjjj", &api.DeleteObjectFactRange);
    Take(runtime, "_ZN3Qel7RunTime5Terms8Debugger16ToStringForDebugEPNS2_12RDebugMemoryEyyj",
         &api.ToStringForDebug);
    Take(runtime, "_ZN3Qel7RunTime5Terms8Debugger32RegisterModuleBaseOffsetForDebugEx", &api.RegisterOffset);
    Take(runtime, "_ZN3Qel7RunTime5Terms21BuildDomainClassTableEv", &api.ClassTable);

    api.RegisterOffset(static_cast<int64_t>(reinterpret_cast<uintptr_t>(runtime) - child.At("base")));
    view = api.Create(child.pi.hProcess);
    ASSERT_NE(view, nullptr);
  }
  static void TearDownTestSuite() {
    if (view) api.Destroy(view);
    child.Ask("quit");
    WaitForSingleObject(child.pi.hProcess, 10000);
    CloseHandle(child.pi.hProcess);
    CloseHandle(child.pi.hThread);
    CloseHandle(child.in);
    CloseHandle(child.out);
  }

  IMemoryProvider* P() { return view->provider; }
  // The view's text of a "value" line of the child, and the child's own.
  std::pair<std::string, std::string> Value(const std::string& name) {
    for (const std::string& l : child.lines)
      if (l.compare(0, 7 + name.size(), "value " + name + " ") == 0) {
        std::istringstream s(l.substr(7 + name.size()));
        Addr domain, cell;
        s >> std::hex >> domain >> cell;
        std::string own;
        std::getline(s, own);
        own.erase(0, 1);
        wchar_t* text = api.ToStringForDebug(view, domain, cell, 10);
        return {text ? Narrow(text) : "<none>", own};
      }
    return {"<no line>", ""};
  }
};
Child Debugger::child;
Api Debugger::api;
HMODULE Debugger::runtime;
RDebugMemory* Debugger::view;

TEST_F(Debugger, EveryKindReadsAsTheChildWritesIt) {
  for (const char* name : {"integer", "small", "int64", "real", "char", "pointer", "string", "symbol", "binary",
                           "string8", "compound", "list", "empty", "refString", "unbound", "refInt", "refList"}) {
    auto [seen, own] = Value(name);
    EXPECT_FALSE(own.empty()) << name;
    EXPECT_EQ(seen, own) << name;
  }
}

TEST_F(Debugger, ACopiedRecordUsesThisProcesssDomainClass) {
  Addr remote = child.At("value integer", 0);
  const IDomainDefinition* copy = api.Registered(view, remote);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(*reinterpret_cast<const uintptr_t*>(copy), api.ClassTable()[kInteger]);
  EXPECT_EQ(api.Registered(view, remote), copy);  // copied once
  uint64_t remoteTable = 0;
  P()->Read(remote, &remoteTable, 8);
  EXPECT_NE(remoteTable, *reinterpret_cast<const uintptr_t*>(copy));
}

TEST_F(Debugger, TextsBeyondTheLimitEndWithDots) {
  auto [seen, own] = Value("long");
  ASSERT_GT(own.size(), 1000u);
  EXPECT_EQ(seen, own.substr(0, 997) + "...");
  // A list whose cells point at each other stops at the buffer.
  wchar_t* text = api.ToStringForDebug(view, child.At("cyclic", 0), child.At("cyclic", 1), 10);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(Narrow(text).substr(0, 13), "[10,11,10,11,");
  EXPECT_EQ(Narrow(text).size(), 1000u);
  EXPECT_EQ(Narrow(text).substr(997), "...");
}

TEST_F(Debugger, IntegralViewSixteenWritesHex) {
  wchar_t* text = api.ToStringForDebug(view, child.At("value refInt", 0), child.At("value refInt", 1), 16);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(Narrow(text), "0x7");
}

TEST_F(Debugger, ARecordWithoutItsMagicGivesNone) {
  EXPECT_EQ(api.Registered(view, child.At("nomagic", 0)), nullptr);
  EXPECT_EQ(api.ToStringForDebug(view, child.At("nomagic", 0), child.At("nomagic", 1), 10), nullptr);
  EXPECT_EQ(api.ToStringForDebug(view, 0x10, 0x10, 10), nullptr);  // not readable at all
  EXPECT_EQ(api.Registered(view, child.At("shortrecord")), nullptr);
}

TEST_F(Debugger, ObjectsGiveTheirClassNameAndInterfaces) {
  Addr object = child.At("object");
  EXPECT_EQ(Narrow(api.ClassName(view, object)), "debugClass");
  EXPECT_EQ(Narrow(api.ClassName(view, object + 16)), "debugClass");
  EXPECT_EQ(Narrow(api.ClassName(view, 0x10)), "");
  std::vector<Addr> subs;
  for (TObjectList* l = api.SubObjects(view, object); l->functor == 1; l = l->next) subs.push_back(l->element);
  EXPECT_EQ(subs, (std::vector<Addr>{object, object + 16}));
  EXPECT_EQ(api.SubObjects(view, 0x10)->functor, 2u);
}

TEST_F(Debugger, ClassFactsCountAndRead) {
  Addr db = child.At("facts");
  EXPECT_EQ(api.TotalClassFacts(view, db, 1), 3);
  EXPECT_EQ(api.TotalClassFacts(view, db, 2), 1);  // single
  EXPECT_EQ(api.TotalClassFacts(view, db, 3), 0);  // empty
  EXPECT_EQ(api.TotalClassFacts(view, db, 9), 0);  // no such fact
  std::vector<std::string> own;
  for (const std::string& l : child.lines)
    if (l.compare(0, 7, "fact 1 ") == 0) own.push_back(l.substr(7));
  ASSERT_EQ(own.size(), 3u);
  for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(Narrow(api.ClassFact(view, db, 1, i)), own[i]);
  EXPECT_EQ(Narrow(api.ClassFact(view, db, 2, 0)), "counter(42)");
  EXPECT_EQ(Narrow(api.ClassFact(view, db, 4, 0)), child.Words("fact 4").at(0));
  EXPECT_EQ(api.ClassFact(view, db, 1, 3), nullptr);
  EXPECT_EQ(P()->GetState(), 2u);
  EXPECT_EQ(Texts(api.ClassFactRange(view, db, 1, 1, 5, 10)), (std::vector<std::string>{own[1], own[2]}));
  EXPECT_EQ(Texts(api.ClassFactRange(view, db, 1, 0, 3, 16)).at(0), "person(\"ann\",0x1E)");
  uint32_t limit = P()->GetStringLimit();
  P()->SetStringLimit(10);
  EXPECT_EQ(Narrow(api.ClassFact(view, db, 1, 0)), "person(...");
  P()->SetStringLimit(limit);
}

TEST_F(Debugger, ObjectFactsOfAnObject) {
  Addr db = child.At("objfacts", 0), holder = child.At("objfacts", 1);
  EXPECT_EQ(api.TotalObjectFacts(view, db, holder, 1), 2);
  std::vector<std::string> own;
  for (const std::string& l : child.lines)
    if (l.compare(0, 8, "ofact 1 ") == 0) own.push_back(l.substr(8));
  ASSERT_EQ(own.size(), 2u);
  EXPECT_EQ(Narrow(api.ObjectFact(view, db, holder, 1, 1)), own[1]);
  EXPECT_EQ(api.TotalClassFacts(view, db, 1), 0);  // not a class database
}

TEST_F(Debugger, ACyclicChainIsWalkedToABound) {
  Addr db = child.At("loopfacts");
  int32_t n = api.TotalClassFacts(view, db, 1);  // ends at the first revisit
  EXPECT_GE(n, 2);
  EXPECT_LE(n, 8);
  EXPECT_EQ(Texts(api.ClassFactRange(view, db, 1, 0, 3, 10)),
            (std::vector<std::string>{"person(\"p\",1)", "person(\"q\",2)", "person(\"p\",1)"}));
}

TEST_F(Debugger, DeletesChangeTheChildsChains) {
  Addr db = child.At("facts");
  EXPECT_TRUE(api.DeleteClassFactRange(view, db, 1, 1, 1));
  EXPECT_EQ(child.Ask("chain 1"), "chain person(\"ann\",30) person(\"cy\",52)");
  EXPECT_TRUE(api.DeleteClassFactRange(view, db, 1, 1, 5));  // to the end: last moves back
  EXPECT_EQ(child.Ask("chain 1"), "chain person(\"ann\",30)");
  uint64_t head[2];
  EXPECT_FALSE(api.DeleteClassFactRange(view, db, 1, 3, 1));  // past the end
  EXPECT_TRUE(api.DeleteClassFact(view, db, 1));
  EXPECT_EQ(child.Ask("chain 1"), "chain");
  EXPECT_EQ(api.TotalClassFacts(view, db, 1), 0);
  P()->Read(db, head, 8);  // still readable: only the chain went
  Addr odb = child.At("objfacts", 0), holder = child.At("objfacts", 1);
  EXPECT_TRUE(api.DeleteObjectFactRange(view, odb, holder, 1, 0, 1));
  EXPECT_EQ(child.Ask("ochain 1"), "chain person(\"y\",1)");
}

TEST_F(Debugger, ProviderReadsFailAndCutAtRegionEnds) {
  uint8_t b[8];
  EXPECT_EQ(P()->Read(0x10, b, 8), 0u);
  EXPECT_EQ(P()->GetState(), 2u);
  EXPECT_NE(P()->GetLastError(), 0u);
  EXPECT_EQ(P()->ReadWord32OrZero(0x10), 0u);

  Addr text = child.At("edge", 0);
  EXPECT_EQ(P()->ReadableLength(text, 4096), 100u);
  wchar_t* z = P()->ReadZString(text);
  ASSERT_NE(z, nullptr);
  EXPECT_EQ(std::wstring(z), std::wstring(50, L'z'));
  EXPECT_EQ(P()->GetState(), 1u);
  wchar_t* s = P()->ReadString(text, 400);
  EXPECT_EQ(std::wstring(s), std::wstring(50, L'z'));
  EXPECT_EQ(P()->GetState(), 1u);
  s = P()->ReadString(text, 20);
  EXPECT_EQ(std::wstring(s), std::wstring(10, L'z'));
  EXPECT_EQ(P()->GetState(), 0u);

  // A binary whose size word claims 2 GB: cut to what is readable.
  uint8_t* data = P()->ReadBinary(child.At("edge", 1), -1);
  ASSERT_NE(data, nullptr);
  uint32_t size;
  memcpy(&size, data - 4, 4);
  EXPECT_EQ(size, 196u + 4u);
  EXPECT_EQ(P()->GetState(), 1u);
  EXPECT_EQ(P()->ReadBinary(0x10, -1), nullptr);
  EXPECT_EQ(P()->GetState(), 2u);
}

TEST_F(Debugger, BreakpointsAreHiddenFromReadsAndRestored) {
  Addr code = child.At("code");
  char hex[32], want[16];
  snprintf(hex, sizeof hex, "%llx", code);
  uint8_t original = 0, seen = 0;
  ASSERT_EQ(P()->RawRead(code, &original, 1), 1u);
  ASSERT_NE(original, 0xCC);
  snprintf(want, sizeof want, "byte %02x", original);
  ASSERT_TRUE(P()->SetBreakpoint(code));
  EXPECT_EQ(child.Ask(std::string("byte ") + hex), "byte cc");
  EXPECT_TRUE(P()->IsBreakpointByte(code));
  EXPECT_TRUE(P()->IsBreakpointRemembered(code));
  EXPECT_EQ(P()->Read(code, &seen, 1), 1u);
  EXPECT_EQ(seen, original);
  P()->RemoveBreakpoint(code);
  EXPECT_EQ(child.Ask(std::string("byte ") + hex), want);
  EXPECT_FALSE(P()->IsBreakpointRemembered(code));

  // Overwritten by the process after it was set: removal leaves the byte.
  ASSERT_TRUE(P()->SetBreakpoint(code));
  EXPECT_EQ(child.Ask(std::string("poke ") + hex), "ok");
  P()->RemoveBreakpoint(code);
  EXPECT_EQ(child.Ask(std::string("byte ") + hex), "byte 90");
  EXPECT_FALSE(P()->IsBreakpointRemembered(code));
}

}  // namespace
