// The process the debugger view's tests inspect.  It links the test unit,
// builds values of every kind, facts and objects, and prints one line per
// thing: its name, the remote addresses the debugger needs and (last) the
// runtime's own text of it.  Then it answers commands on standard input:
//   byte ADDR     the byte at ADDR            poke ADDR   writes 0x90 there
//   chain N       the texts of class fact N   ochain N    the same of the object's
//   quit
// The debugger never runs it into a breakpoint.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "db_unit.h"

using namespace dbunit;
namespace Memory = Qel::RunTime::Kernel::Memory;

namespace {

std::string Narrow(const wchar_t* w) {
  std::string s;
  for (; w && *w; ++w) s += *w < 128 ? static_cast<char>(*w) : '?';
  return s;
}
unsigned long long A(const void* p) { return reinterpret_cast<uintptr_t>(p); }

// A value: its domain, the cell that holds it (the value itself for scalar
// kinds, the term's address otherwise) and its text.
void Value(const char* name, const RDomainRecord& domain, const void* cell) {
  const IDomainDefinition* d = Domain(domain);
  const uint8_t* t = d->IsScalar() ? static_cast<const uint8_t*>(cell)
                                   : *static_cast<const uint8_t* const*>(cell);
  std::printf("value %s %llx %llx %s\n", name, A(&domain), A(cell), Narrow(ToString(d, t)).c_str());
}

// A cell on the heap that holds `t`, so that it outlives this frame.
const void* Cell(const void* t) {
  auto* c = static_cast<const void**>(Memory::AllocHeap(8));
  *c = t;
  return c;
}
template <class T>
const void* ScalarCell(T v) {
  auto* c = static_cast<T*>(Memory::AllocAtomicHeap(16));
  *c = v;
  return c;
}

void PrintChain(RFactHead& head, const IDomainDefinition* db) {
  std::printf("chain");
  for (RStructFact* c = head.first; c; c = c->next) std::printf(" %s", Narrow(ToString(db, c->term)).c_str());
  std::printf("\n");
}

__attribute__((noinline)) int NeverCalled(int x) { return x * 3 + 1; }

// Class record, method tables and header cells of a two-interface object.
uintptr_t classRecord[8] = {0, Qel::RunTime::kClassRecordMagic, 0};
struct InterfaceTable {
  uintptr_t count;
  Qel::RunTime::Objects::RInterfaceEntry entries[2];
} interfaces = {2, {{nullptr, 0, 0}, {nullptr, 16, 0}}};
Qel::RunTime::Objects::RMethodTableHeader header0, header1;
struct MethodTable {
  const Qel::RunTime::Objects::RMethodTableHeader* header;
  void* slots[2];
} table0, table1;

}  // namespace

int main() {
  if (LinkDbUnit() != 0) return 2;
  classRecord[2] = reinterpret_cast<uintptr_t>(L"debugClass");
  header0 = {reinterpret_cast<const Qel::RunTime::RScopeClassDescriptor*>(classRecord), 0,
             reinterpret_cast<const Qel::RunTime::Objects::RInterfaceTable*>(&interfaces)};
  header1 = header0;
  header1.offset = 16;
  table0.header = &header0;
  table1.header = &header1;

  std::printf("base %llx\n", A(GetModuleHandleW(L"qel6run.dll")));
  std::printf("code %llx\n", A(reinterpret_cast<const void*>(&NeverCalled)));

  Value("integer", integer.head, ScalarCell<int32_t>(-42));
  Value("small", small8.head, ScalarCell<int8_t>(-5));
  Value("int64", int64d.head, ScalarCell<int64_t>(-1234567890123LL));
  Value("real", real.head, ScalarCell<double>(2.5));
  Value("char", chr, ScalarCell<uint16_t>(L'q'));
  Value("pointer", ptr, ScalarCell<uint64_t>(0x1234ABCDULL));
  Value("string", str, Cell(Memory::CopyStringToHeap(L"he said \"hi\"\n")));
  Value("symbol", sym, Cell(FromString(Domain(sym), L"\"sym\"")));
  auto* bytes = static_cast<uint8_t*>(Memory::AllocAtomicHeap(8));
  uint32_t size = 4 + 3;
  memcpy(bytes, &size, 4);
  bytes[4] = 1, bytes[5] = 0xAB, bytes[6] = 0xFF;
  Value("binary", bin, Cell(bytes + 4));
  Value("string8", str8, Cell(FromString(Domain(str8), L"\"plain8\"")));
  Value("compound", node.head,
        Cell(CopyTermFromGStack(Domain(node), MakePair(MakeLeaf(1, L'a'),
                                                       MakeRec(L"r", 1.5, nullptr,
                                                               MakeNodes({MakeLeaf(2, L'b'), MakeNil()}))))));
  Value("list", nodes.head, Cell(CopyTermFromGStack(Domain(nodes), MakeNodes({MakeLeaf(3, L'c'), MakeNil()}))));
  Value("empty", nodes.head, Cell(CopyTermFromGStack(Domain(nodes), MakeNodes({}))));
  Value("long", ints.head, Cell(CopyTermFromGStack(Domain(ints), MakeInts(500))));
  Value("refString", refStr, Cell(Domain(refStr)->Term_2_RefTerm(reinterpret_cast<const uint8_t*>(L"bound"))));
  Value("unbound", refStr, Cell(Memory::AllocHeap(16)));
  int32_t seven = 7;
  Value("refInt", refInt.head, Cell(Domain(refInt)->Term_2_RefTerm(reinterpret_cast<const uint8_t*>(&seven))));
  Value("refList", refNodes.head, Cell(FromString(Domain(refNodes), L"[\"a\",\"b\"]")));

  // A list whose last cell points back at its first.
  auto* cyclic = static_cast<IntCons*>(Memory::AllocHeap(2 * sizeof(IntCons)));
  cyclic[0] = IntCons{1, 10, &cyclic[1]};
  cyclic[1] = IntCons{1, 11, &cyclic[0]};
  std::printf("cyclic %llx %llx\n", A(&ints.head), A(Cell(cyclic)));

  // A record without its magic word.
  auto* nomagic = static_cast<RIntegralDomain*>(Memory::AllocHeap(sizeof(RIntegralDomain)));
  *nomagic = integer;
  nomagic->head.magic = 0;
  std::printf("nomagic %llx %llx\n", A(nomagic), A(ScalarCell<int32_t>(1)));
  // A compound record whose size word is shorter than a compound record.
  auto* cut = static_cast<RCompoundDomain*>(Memory::AllocHeap(sizeof(RCompoundDomain)));
  *cut = node;
  cut->head.size = sizeof(RDomainRecord);
  std::printf("shortrecord %llx\n", A(cut));

  // Class facts: three persons, the bare single counter, config; no current.
  const IDomainDefinition* db = Domain(facts.head);
  const std::pair<const wchar_t*, int> persons[] = {{L"ann", 30}, {L"bob", 41}, {L"cy", 52}};
  for (auto [n, a] : persons) TDBClassInternalDomainDefinition::AssertZClass(db, MakePerson(n, a));
  TDBClassInternalDomainDefinition::AssertZClass(db, MakeFact(2, nullptr, 42));
  TDBClassInternalDomainDefinition::AssertZClass(db, MakeFact(4, L"k", 9));
  std::printf("facts %llx\n", A(&facts));
  for (RStructFact* c = factHeads[0].first; c; c = c->next)
    std::printf("fact 1 %s\n", Narrow(ToString(db, c->term)).c_str());
  std::printf("fact 4 %s\n", Narrow(ToString(db, factHeads[3].first->term)).c_str());

  // Object facts of a heap object.
  auto* holder = static_cast<FactObject*>(Memory::AllocHeap(sizeof(FactObject)));
  const IDomainDefinition* odb = Domain(objectFacts.head);
  InitializeObjectFacts(odb, holder);
  for (const wchar_t* n : {L"x", L"y"}) TDBObjectInternalDomainDefinition::AssertZObject(odb, holder, MakePerson(n, 1));
  std::printf("objfacts %llx %llx\n", A(&objectFacts), A(holder));
  for (RStructFact* c = holder->heads[0].first; c; c = c->next)
    std::printf("ofact 1 %s\n", Narrow(ToString(odb, c->term)).c_str());

  // A class chain whose cells point at each other.
  auto* loop = static_cast<RStructFact*>(Memory::AllocHeap(2 * sizeof(RStructFact)));
  loop[0] = {MakePerson(L"p", 1), &loop[1]};
  loop[1] = {MakePerson(L"q", 2), &loop[0]};
  loop[0].term = CopyTermFromGStack(Domain(plainFacts.head), loop[0].term);
  loop[1].term = CopyTermFromGStack(Domain(plainFacts.head), loop[1].term);
  plainHeads[0] = {&loop[0], &loop[1]};
  std::printf("loopfacts %llx\n", A(&plainFacts));

  // An object with two interfaces (at offsets 0 and 16).
  auto* object = static_cast<void**>(Memory::AllocHeap(32));
  object[0] = &table0.slots[0];
  object[2] = &table1.slots[0];
  std::printf("object %llx\n", A(object));

  // The end of a committed region before a reserved page: a text without
  // terminator, and a binary whose size word claims far more.
  SYSTEM_INFO si;
  GetSystemInfo(&si);
  auto* region = static_cast<uint8_t*>(VirtualAlloc(nullptr, 2 * si.dwPageSize, MEM_RESERVE, PAGE_NOACCESS));
  VirtualAlloc(region, si.dwPageSize, MEM_COMMIT, PAGE_READWRITE);
  uint8_t* end = region + si.dwPageSize;
  auto* text = reinterpret_cast<wchar_t*>(end - 100);
  for (int i = 0; i < 50; ++i) text[i] = L'z';
  uint32_t huge = 0x7FFFFFF0;
  memcpy(end - 200, &huge, 4);
  std::printf("edge %llx %llx\n", A(text), A(end - 196));
  std::printf("ready\n");
  std::fflush(stdout);

  char line[256];
  while (std::fgets(line, sizeof line, stdin)) {
    char cmd[32];
    unsigned long long arg = 0;
    if (std::sscanf(line, "%31s %llx", cmd, &arg) < 1) continue;
    std::string c = cmd;
    auto* at = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(arg));
    if (c == "quit") break;
    if (c == "byte") std::printf("byte %02x\n", *at);
    if (c == "poke") {
      DWORD old;
      VirtualProtect(at, 1, PAGE_EXECUTE_READWRITE, &old);
      *at = 0x90;
      VirtualProtect(at, 1, old, &old);
      FlushInstructionCache(GetCurrentProcess(), at, 1);
      std::printf("ok\n");
    }
    if (c == "chain") PrintChain(factHeads[arg - 1], db);
    if (c == "ochain") PrintChain(holder->heads[arg - 1], odb);
    std::fflush(stdout);
  }
  static int (*volatile keep)(int) = &NeverCalled;
  return keep ? 0 : 3;
}
