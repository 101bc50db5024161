// Run units (registry, canonical descriptors, termination), objects and
// their conversions, adjustor thunks, and the system description.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "qel6run.h"
#include "run_test.h"

using namespace Qel::RunTime;
using namespace Qel::RunTime::Objects;
using namespace runtest;
using Qel::RunTime::Kernel::Succeeds;
namespace decl = Qel::RunTime::Decl;

extern "C" {
extern uint8_t run_thunk_cells[256];
void* run_thunk_target(void* object);
}

namespace {

RModuleRecord* RecordOf(void* module) {
  for (RModuleRecord* m = FirstRegisteredModule(); m; m = m->next)
    if (m->module == module) return m;
  return nullptr;
}

// The second argument of a program's own unit (not removable).
void* const kProgram = reinterpret_cast<void*>(0x140001000);

int CountRecords() {
  int n = 0;
  for (RModuleRecord* m = FirstRegisteredModule(); m; m = m->next) ++n;
  return n;
}

template <class T>
T Export(HMODULE m, const char* name) {
  return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

}  // namespace

TEST(RunUnits, LibrariesShareCanonicalDescriptorsAndLeaveTheRegistryLinked) {
  HMODULE a = LoadLibraryW(L"run_unit_a.dll");
  HMODULE b = LoadLibraryW(L"run_unit_b.dll");
  HMODULE c = LoadLibraryW(L"run_unit_c.dll");
  ASSERT_TRUE(a && b && c);
  auto descriptor = [](HMODULE m) { return Export<RScopeClassDescriptor* (*)()>(m, "UnitDescriptor")(); };
  for (HMODULE m : {a, b, c}) {
    EXPECT_EQ(Export<int (*)()>(m, "UnitResult")(), 0);
    EXPECT_EQ(Export<int (*)()>(m, "UnitInits")(), 1);
    EXPECT_GE(descriptor(m)->domains->kind, 100u);  // activated
    EXPECT_EQ(descriptor(m)->canonical, descriptor(a));
  }
  RModuleRecord *ra = RecordOf(a), *rb = RecordOf(b), *rc = RecordOf(c);
  ASSERT_TRUE(ra && rb && rc);
  EXPECT_TRUE(ra->removable && rb->removable && rc->removable);
  EXPECT_EQ(ra->next, rb);
  EXPECT_EQ(rc->prev, rb);
  EXPECT_EQ(rb->chain, descriptor(b));

  FreeLibrary(b);
  EXPECT_EQ(RecordOf(b), nullptr);
  EXPECT_EQ(ra->next, rc);
  EXPECT_EQ(rc->prev, ra);
  FreeLibrary(c);
  EXPECT_EQ(ra->next, nullptr);
  FreeLibrary(a);
  EXPECT_EQ(RecordOf(a), nullptr);
}

TEST(RunUnits, EmptyTablesUnknownModulesAndTheProgramsOwnUnit) {
  static decl::UnitTable<0> empty;
  void* removable = reinterpret_cast<void*>(0x7FF612340000);
  void* program = reinterpret_cast<void*>(0x7FF612350000);
  ASSERT_EQ(RunUnitInitialization(removable, nullptr, empty.Table(), nullptr), 0);
  ASSERT_EQ(RunUnitInitialization(program, kProgram, empty.Table(), nullptr), 0);
  RModuleRecord* r = RecordOf(removable);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->chain, reinterpret_cast<RScopeClassDescriptor*>(intptr_t{-1}));
  int n = CountRecords();
  RunUnitTermination(reinterpret_cast<void*>(0x1234));  // unknown: nothing changes
  EXPECT_EQ(CountRecords(), n);
  RunUnitTermination(program);  // not removable: stays
  EXPECT_NE(RecordOf(program), nullptr);
  RunUnitTermination(removable);
  EXPECT_EQ(RecordOf(removable), nullptr);
  EXPECT_EQ(CountRecords(), n - 1);
}

// Class names are told apart ordinally: names that a linguistic comparison
// would call equal stay distinct classes.
TEST(RunUnits, ClassNamesAreComparedOrdinally) {
  static RScopeClassDescriptor plain = decl::Class(L"co-op", QEL_HERE);
  static RScopeClassDescriptor soft = decl::Class(L"co\x00ADop", QEL_HERE);  // soft hyphen
  static RScopeClassDescriptor upper = decl::Class(L"CO-OP", QEL_HERE);
  static decl::UnitTable unit{&plain, &soft, &upper};
  ASSERT_EQ(RunUnitInitialization(nullptr, kProgram, unit.Table(), nullptr), 0);
  EXPECT_EQ(plain.canonical, &plain);
  EXPECT_EQ(soft.canonical, &soft);
  EXPECT_EQ(upper.canonical, &upper);
  // Listed again: keeps its table and chain, searched again.
  uintptr_t table = plain.kind;
  RScopeClassDescriptor* link = plain.link;
  ASSERT_EQ(RunUnitInitialization(nullptr, kProgram, unit.Table(), nullptr), 0);
  EXPECT_EQ(plain.kind, table);
  EXPECT_EQ(plain.link, link);
}

// --- Objects -------------------------------------------------------------------------

namespace {

RThunkState* NoThunkState() {
  static RThunkState s{};
  return &s;
}
const RThunkInit kNoThunks{8, 0, nullptr};

RScopeClassDescriptor ifaceA = decl::Class(L"ifaceA", QEL_HERE);
RScopeClassDescriptor ifaceB = decl::Class(L"ifaceB", QEL_HERE);
RScopeClassDescriptor ifaceC = decl::Class(L"ifaceC", QEL_HERE);
RScopeClassDescriptor widget =
    decl::ObjectClass(L"widget", QEL_HERE, nullptr, nullptr, nullptr, &kNoThunks, &NoThunkState);
// Another module's descriptor of the same interface.
RScopeClassDescriptor ifaceBElsewhere = decl::Class(L"ifaceB", QEL_HERE);

struct {
  uintptr_t count;
  RInterfaceEntry entries[3];
} widgetInterfaces{3, {{&widget, 0, 0}, {&ifaceA, 0, 0}, {&ifaceB, 8, 0}}};
const RMethodTableHeader mainHeader{&widget, 0, reinterpret_cast<const RInterfaceTable*>(&widgetInterfaces)};
const RMethodTableHeader bHeader{&widget, 8, reinterpret_cast<const RInterfaceTable*>(&widgetInterfaces)};
const void* mainTable[] = {&mainHeader, reinterpret_cast<const void*>(&run_thunk_target)};
const void* bTable[] = {&bHeader, reinterpret_cast<const void*>(&run_thunk_target)};

struct Widget {
  const void* mainVt;
  const void* bVt;
  int64_t data;
};

class Objects_ : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static decl::UnitTable one{&ifaceA, &ifaceB, &ifaceC, &widget};
    static decl::UnitTable two{&ifaceBElsewhere};
    ASSERT_EQ(RunUnitInitialization(reinterpret_cast<void*>(0x7FF600010000), kProgram, one.Table(), nullptr), 0);
    ASSERT_EQ(RunUnitInitialization(reinterpret_cast<void*>(0x7FF600020000), kProgram, two.Table(), nullptr), 0);
  }
  void SetUp() override {
    w = static_cast<Widget*>(AllocateObject(&info, nullptr));
    w->mainVt = &mainTable[1];
    w->bVt = &bTable[1];
  }
  static TObject* Ref(const void* p) { return const_cast<TObject*>(static_cast<const TObject*>(p)); }
  RClassDescriptorInfo info{sizeof(Widget), 0};
  Widget* w = nullptr;
};

}  // namespace

TEST_F(Objects_, ConvertReturnsTheInterfacesTablePointer) {
  EXPECT_EQ(ifaceBElsewhere.canonical, &ifaceB);
  struct Case {
    const char* what;
    const RInterfaceDescriptor* to;
    const void* from;
    const void* expected;
  } cases[] = {
      {"main to B (entry 2)", &ifaceB, &w->mainVt, &w->bVt},
      {"B to A", &ifaceA, &w->bVt, &w->mainVt},
      {"same interface from another module", &ifaceBElsewhere, &w->mainVt, &w->bVt},
      {"to its own class", &widget, &w->bVt, &w->mainVt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ConvertObject(c.to, Ref(c.from)), c.expected) << c.what;
    EXPECT_EQ(TryConvertObject(c.to, Ref(c.from)), c.expected) << c.what;
    EXPECT_EQ(FirstBranchConvertObject(c.to, Ref(c.from)), c.expected) << c.what;
  }
}

TEST_F(Objects_, UnsupportedInterfacesFailOrRaise306) {
  EXPECT_FALSE(Succeeds([&] { TryConvertObject(&ifaceC, Ref(&w->mainVt)); }));
  EXPECT_EQ(ErrorOf([&] { ConvertObject(&ifaceC, Ref(&w->mainVt)); }), 306u);
  EXPECT_EQ(LastErrorText(), L"Invalid object conversion: unsupported interface 'ifaceC'");
  // Not an object: Try fails, Convert raises 306, FirstBranch gives it back.
  static const void* notATable[2] = {nullptr, nullptr};
  static const void* notAnObject = &notATable[1];
  EXPECT_FALSE(Succeeds([&] { TryConvertObject(&ifaceA, Ref(&notAnObject)); }));
  EXPECT_EQ(ErrorOf([&] { ConvertObject(&ifaceA, Ref(&notAnObject)); }), 306u);
  EXPECT_EQ(FirstBranchConvertObject(&ifaceA, Ref(&notAnObject)), Ref(&notAnObject));
  // A valid object value passes the object domain's validation.
  static Terms::RDomainRecord objectDomain = decl::Simple(Terms::kObject, {L"obj"});
  Terms::ActivateDomain(&objectDomain);
  void* value = &w->mainVt;
  EXPECT_EQ(ErrorOf([&] { Terms::Validate(Terms::Domain(objectDomain), reinterpret_cast<Terms::term>(&value)); }), 0u);
}

std::vector<void*> g_finalized;

TEST_F(Objects_, FinalisationOnlyWhenTheClassAsksForIt) {
  g_finalized.clear();
  RClassDescriptorInfo plain{sizeof(Widget), 0}, final{sizeof(Widget), 1};
  auto finalizer = [](void* block) { g_finalized.push_back(block); };
  void* a = AllocateObject(&plain, finalizer);
  void* b = AllocateObject(&final, finalizer);
  Qel::RunTime::Kernel::Memory::FinalizeAll();
  EXPECT_EQ(g_finalized, std::vector<void*>{b});
  (void)a;
}

// --- Thunks -------------------------------------------------------------------------------

namespace {

uint8_t* Cell(int i) { return run_thunk_cells + 16 * i; }
void* Call(const uint8_t* code, void* object) {
  return reinterpret_cast<void* (*)(void*)>(const_cast<uint8_t*>(code))(object);
}
char g_object[1024];

}  // namespace

TEST(Thunks, WriteDecodeAndRun) {
  struct Case {
    int32_t delta;
    uint8_t form;
    size_t jumpAt;
  } cases[] = {{127, 0x83, 4}, {128, 0x81, 7}, {-8, 0x81, 7}, {0, 0x83, 4}};
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    WriteThunk(Cell(i), c.delta, reinterpret_cast<const void*>(&run_thunk_target));
    EXPECT_EQ(Cell(i)[0], 0x48);
    EXPECT_EQ(Cell(i)[1], c.form) << c.delta;
    EXPECT_EQ(Cell(i)[c.jumpAt], 0xE9) << c.delta;
    int32_t delta;
    const void* target;
    DecodeThunk(Cell(i), &delta, &target);
    EXPECT_EQ(delta, c.delta);
    EXPECT_EQ(target, reinterpret_cast<const void*>(&run_thunk_target));
    EXPECT_EQ(Call(Cell(i), g_object + 512), g_object + 512 + c.delta);
  }
  // The default target stored in the cell before it is written.
  const void* fallback = reinterpret_cast<const void*>(&run_thunk_target);
  DWORD old;
  VirtualProtect(Cell(5), 16, PAGE_EXECUTE_READWRITE, &old);
  memcpy(Cell(5) + 8, &fallback, 8);
  VirtualProtect(Cell(5), 16, old, &old);
  WriteThunk(Cell(5), 3, nullptr);
  EXPECT_EQ(Call(Cell(5), g_object), g_object + 3);
}

TEST(Thunks, DecodingPlainCodeShortJumpsAndGarbage) {
  int32_t delta = 99;
  const void* target = &delta;
  DecodeThunk(nullptr, &delta, &target);
  EXPECT_EQ(delta, 0);
  EXPECT_EQ(target, nullptr);
  auto* method = reinterpret_cast<const uint8_t*>(&run_thunk_target);
  DecodeThunk(method, &delta, &target);
  EXPECT_EQ(delta, 0);
  EXPECT_EQ(target, method);
  static const uint8_t shortJump[] = {0x48, 0x83, 0xC1, 0x05, 0xEB, 0xFE};
  DecodeThunk(shortJump, &delta, &target);
  EXPECT_EQ(delta, 5);
  EXPECT_EQ(target, shortJump + 4);
  static const uint8_t broken[] = {0x48, 0x83, 0xC1, 0x05, 0xCC};
  EXPECT_EQ(ErrorOf([&] { DecodeThunk(broken, &delta, &target); }), 3u);
  EXPECT_EQ(LastErrorText(), L"getNestedOffsetAndAddress : unknown thunk code");
}

namespace {

RThunkState* BaseState() { static RThunkState s{}; return &s; }
RThunkState* DerivedState() { static RThunkState s{}; return &s; }
const RThunkInit kBaseThunks{32, 0, nullptr};
RScopeClassDescriptor baseClass =
    decl::ObjectClass(L"baseClass", QEL_HERE, nullptr, nullptr, nullptr, &kBaseThunks, &BaseState);
const RThunkCell kPlainCells[] = {{run_thunk_cells + 16 * 8, 8}};
const RThunkCell kNestedCells[] = {{run_thunk_cells + 16 * 9, 0}};
// The second group's base method is itself a thunk (cell 7, delta 5).
const RThunkGroup kGroups[] = {{reinterpret_cast<const uint8_t*>(&run_thunk_target), 1, kPlainCells},
                               {run_thunk_cells + 16 * 7, 1, kNestedCells}};
const RThunkBase kBases[] = {{&baseClass, 2, kGroups}};
const RThunkInit kDerivedThunks{16, 1, kBases};
RScopeClassDescriptor derivedClass = decl::ObjectClass(L"derivedClass", QEL_HERE, nullptr, nullptr,
                                                       nullptr, &kDerivedThunks, &DerivedState);

RThunkState* CycAState() { static RThunkState s{}; return &s; }
RThunkState* CycBState() { static RThunkState s{}; return &s; }
extern RScopeClassDescriptor cycA, cycB;
const RThunkBase kCycABases[] = {{&cycB, 0, nullptr}};
const RThunkBase kCycBBases[] = {{&cycA, 0, nullptr}};
const RThunkInit kCycA{8, 1, kCycABases}, kCycB{8, 1, kCycBBases};
RScopeClassDescriptor cycA = decl::ObjectClass(L"cycA", QEL_HERE, nullptr, nullptr, nullptr, &kCycA, &CycAState);
RScopeClassDescriptor cycB = decl::ObjectClass(L"cycB", QEL_HERE, nullptr, nullptr, nullptr, &kCycB, &CycBState);
RScopeClassDescriptor noThunks = decl::ObjectClass(L"noThunks", QEL_HERE, nullptr, nullptr, nullptr, nullptr, &CycBState);

}  // namespace

TEST(Thunks, ClassInitialisationWritesInheritedThunks) {
  WriteThunk(Cell(7), 5, reinterpret_cast<const void*>(&run_thunk_target));
  static decl::UnitTable unit{&derivedClass, &baseClass};
  ASSERT_EQ(RunUnitInitialization(reinterpret_cast<void*>(0x7FF600030000), kProgram, unit.Table(), nullptr), 0);
  EXPECT_EQ(BaseState()->value, 32u);
  EXPECT_EQ(DerivedState()->value, 16u + 32u);
  // delta = base delta - entry offset + running offset
  EXPECT_EQ(Call(Cell(8), g_object + 100), g_object + 100 + (0 - 8 + 16));
  EXPECT_EQ(Call(Cell(9), g_object + 100), g_object + 100 + (5 - 0 + 16));
  EXPECT_EQ(derivedClass.Methods()->thunkState(&derivedClass), DerivedState());
}

TEST(Thunks, CyclicInheritanceAndMissingTablesAreErrors) {
  static decl::UnitTable cyclic{&cycA};
  EXPECT_EQ(RunUnitInitialization(reinterpret_cast<void*>(0x7FF600040000), nullptr, cyclic.Table(), nullptr), 308);
  static decl::UnitTable missing{&noThunks};
  EXPECT_EQ(RunUnitInitialization(reinterpret_cast<void*>(0x7FF600050000), nullptr, missing.Table(), nullptr), 3);
}

TEST(SystemVersion, DescribesTheSystemWithItsVersionNumbers) {
  struct Collect : prologOutputStream {
    std::wstring text;
    void Write(const void* data, uint32_t bytes) override {
      text.append(static_cast<const wchar_t*>(data), bytes / sizeof(wchar_t));
    }
  } out;
  PrintSystemVersion(&out);
  OSVERSIONINFOW v{};
  v.dwOSVersionInfoSize = sizeof v;
  ASSERT_TRUE(GetVersionExW(&v));
  if (v.dwMajorVersion >= 6) {
    std::wstring version = L"Microsoft Windows NT version " + std::to_wstring(v.dwMajorVersion) + L"." +
                           std::to_wstring(v.dwMinorVersion) + L" ";
    EXPECT_EQ(out.text.rfind(version, 0), 0u) << Narrow(out.text);
  }
  EXPECT_NE(out.text.find(L" (Build " + std::to_wstring(v.dwBuildNumber & 0xFFFF) + L")"), std::wstring::npos);
  EXPECT_NE(out.text.find(L"\nNumber of processors: "), std::wstring::npos) << Narrow(out.text);
  EXPECT_NE(out.text.find(L"  Page size: 4096  Processor: "), std::wstring::npos) << Narrow(out.text);
}

TEST(Profile, OpeningAProfileListsTheClassesWithObjects) {
  // Link a class with objects, then open a profile: its context entries name
  // the class.
  static RThunkState state{};
  static const RThunkInit thunks{8, 0, nullptr};
  static RScopeClassDescriptor profiled = decl::ObjectClass(
      L"profiledClass", QEL_HERE, nullptr, nullptr, nullptr, &thunks, [] { return &state; });
  static decl::UnitTable unit{&profiled};
  ASSERT_EQ(RunUnitInitialization(reinterpret_cast<void*>(0x7FF600060000), kProgram, unit.Table(), nullptr), 0);
  wchar_t dir[MAX_PATH], path[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  GetTempFileNameW(dir, L"prf", 0, path);
  using namespace Qel::RunTime::Kernel::Memory::Statistics;
  memProf_Open(path);
  RClassDescriptorInfo info{32, 0};
  AllocateObject(&info, nullptr);
  memProf_Close();
  HANDLE f = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  std::string bytes(GetFileSize(f, nullptr), '\0');
  DWORD got;
  ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(f);
  DeleteFileW(path);
  std::wstring name = L"profiledClass";
  std::string utf16(reinterpret_cast<const char*>(name.c_str()), name.size() * 2);
  EXPECT_NE(bytes.find(utf16), std::string::npos);
}
