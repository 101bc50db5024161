#include "db_unit.h"

#include <initializer_list>

namespace dbunit {

namespace decl = Qel::RunTime::Decl;

RIntegralDomain integer = decl::Integer({L"integer", QEL_HERE, nullptr, &dbclass});
RIntegralDomain small8 = decl::Integer({L"small", QEL_HERE, &integer.head, &dbclass}, -128, 127, 8);
RIntegral64Domain int64d = decl::Integer64({L"int64", QEL_HERE, &small8.head, &dbclass});
RRealDomain real = decl::Real({L"real", QEL_HERE, &int64d.head, &dbclass});
RDomainRecord chr = decl::Simple(kChar, {L"char", QEL_HERE, &real.head, &dbclass});
RDomainRecord str = decl::Simple(kString, {L"string", QEL_HERE, &chr, &dbclass});
RDomainRecord sym = decl::Simple(kSymbol, {L"symbol", QEL_HERE, &str, &dbclass});
RDomainRecord bin = decl::Simple(kBinary, {L"binary", QEL_HERE, &sym, &dbclass});
RDomainRecord ptr = decl::Simple(kPointer, {L"pointer", QEL_HERE, &bin, &dbclass});
RDomainRecord str8 = decl::Simple(kString8, {L"string8", QEL_HERE, &ptr, &dbclass});
RDomainRecord refStr = decl::Simple(kRefString, {L"refString", QEL_HERE, &str8, &dbclass});
RIntegralDomain refInt =
    decl::Integer({L"refInt", QEL_HERE, &refStr, &dbclass}, INT32_MIN, INT32_MAX, 32, true);

decl::Arguments leafArgs{{QEL_ARG(Leaf, value, integer), QEL_ARG(Leaf, c, chr)}};
decl::Arguments pairArgs{{QEL_ARG(Pair, a, node), QEL_ARG(Pair, b, node)}};
decl::Arguments recArgs{{QEL_ARG(Rec, name, str), QEL_ARG(Rec, r, real), QEL_ARG(Rec, p, ptr),
                         QEL_ARG(Rec, items, nodes)}};
decl::Arguments packedArgs{{QEL_ARG(Packed, a, chr), QEL_ARG(Packed, b, chr), QEL_ARG(Packed, s, small8)}};
decl::Arguments bigArgs{{QEL_ARG(Big, l, int64d), QEL_ARG(Big, sym, sym), QEL_ARG(Big, bin, bin),
                         QEL_ARG(Big, s8, str8)}};
RFunctor nodeFunctors[] = {decl::Functor<Leaf>(L"leaf", leafArgs), decl::Functor<Pair>(L"pair", pairArgs),
                           decl::Functor<Rec>(L"rec", recArgs), decl::Constant(L"nil"),
                           decl::Functor<Packed>(L"packed", packedArgs),
                           decl::Functor<Big>(L"big", bigArgs)};
RCompoundDomain node = decl::Compound({L"node", QEL_HERE, &refInt.head, &dbclass}, nodeFunctors);

decl::Arguments nodesArgs{{QEL_ARG(Cons, head, node), QEL_ARG(Cons, tail, nodes)}};
RFunctor nodesFunctors[] = {decl::Functor<Cons>(L".", nodesArgs), decl::Constant(L"[]")};
RCompoundDomain nodes = decl::Compound({L"nodes", QEL_HERE, &node.head, &dbclass}, nodesFunctors, kList);

decl::Arguments intsArgs{{QEL_ARG(IntCons, head, integer), QEL_ARG(IntCons, tail, ints)}};
RFunctor intsFunctors[] = {decl::Functor<IntCons>(L".", intsArgs), decl::Constant(L"[]")};
RCompoundDomain ints = decl::Compound({L"ints", QEL_HERE, &nodes.head, &dbclass}, intsFunctors, kList);

// A reference list of reference strings.
decl::Arguments refNodesArgs{{QEL_ARG(Cons, head, refStr), QEL_ARG(Cons, tail, refNodes)}};
RFunctor refNodesFunctors[] = {decl::Functor<Cons>(L".", refNodesArgs), decl::Constant(L"[]")};
RCompoundDomain refNodes =
    decl::Compound({L"refStrings", QEL_HERE, &ints.head, &dbclass}, refNodesFunctors, kRefList);

// Fact databases.
decl::Arguments personArgs{{QEL_ARG(Person, name, str), QEL_ARG(Person, age, integer)}};
decl::Arguments counterArgs{{QEL_ARG(Counter, value, integer)}};
decl::Arguments currentArgs{{QEL_ARG(Current, name, str)}};
decl::Arguments configArgs{{QEL_ARG(Config, key, str), QEL_ARG(Config, value, integer)}};
RFactDescriptor factTable[] = {
    {L"person", personArgs.a, 2, sizeof(Person), 0, 0, 0, 0},
    {L"counter", counterArgs.a, 1, sizeof(Counter), 1, 0, 0, 1},
    {L"current", currentArgs.a, 1, sizeof(Current), 0, 1, 0, 0},
    {L"config", configArgs.a, 2, sizeof(Config), 1, 0, 0, 0},
};
RFactHead factHeads[4];
RFactDatabase facts{decl::Head(kClassFacts, sizeof(RFactDatabase), {L"db", QEL_HERE, &refNodes.head, &dbclass}),
                    4, factTable, 0, reinterpret_cast<uintptr_t>(factHeads)};
RFactDatabase objectFacts{
    decl::Head(kObjectFacts, sizeof(RFactDatabase), {L"objdb", QEL_HERE, &facts.head, &dbclass}), 4,
    factTable, 0, offsetof(FactObject, heads)};

RFactHead plainHeads[1];
RFactDatabase plainFacts{
    decl::Head(kClassFacts, sizeof(RFactDatabase), {L"plain", QEL_HERE, &objectFacts.head, &dbclass}), 1,
    factTable, 0, reinterpret_cast<uintptr_t>(plainHeads)};

decl::Arguments treeArgs{{QEL_ARG(Tree, node, node)}};
RFactDescriptor treeTable[] = {{L"tree", treeArgs.a, 1, sizeof(Tree), 0, 0, 0, 0}};
RFactHead treeHeads[1];
RFactDatabase treeFacts{
    decl::Head(kClassFacts, sizeof(RFactDatabase), {L"trees", QEL_HERE, &plainFacts.head, &dbclass}), 1,
    treeTable, 0, reinterpret_cast<uintptr_t>(treeHeads)};

RScopeClassDescriptor dbclass = decl::Class(L"dbtest", QEL_HERE, &treeFacts.head);
decl::UnitTable unit{&dbclass};

int LinkDbUnit() {
  // Linking also sets up the heads of the class databases.
  static int result =
      RunUnitInitialization(nullptr, reinterpret_cast<void*>(&LinkDbUnit), unit.Table(), nullptr);
  return result;
}


const uint8_t* Term(const void* p) { return static_cast<const uint8_t*>(p); }
const wchar_t* S(const wchar_t* s) { return s; }

const uint8_t* MakeLeaf(int32_t v, wchar_t c) {
  auto* p = static_cast<Leaf*>(Alloc(sizeof(Leaf)));
  *p = Leaf{1, v, static_cast<uint16_t>(c)};
  return Term(p);
}
const uint8_t* MakePair(const uint8_t* a, const uint8_t* b) {
  auto* p = static_cast<Pair*>(Alloc(sizeof(Pair)));
  *p = Pair{2, a, b};
  return Term(p);
}
const uint8_t* MakeNil() { return Term(Qel::RunTime::Kernel::Memory::MEM_alloc_nullfunctor(4 * 4)); }
const uint8_t* MakeRec(const wchar_t* name, double r, const void* p, const uint8_t* items) {
  auto* x = static_cast<Rec*>(Alloc(sizeof(Rec)));
  *x = Rec{3, name, r, p, items};
  return Term(x);
}
const uint8_t* MakeNodes(std::initializer_list<const uint8_t*> items) {
  auto* nil = static_cast<uint64_t*>(Alloc(8));
  *nil = 2;
  const void* list = nil;
  for (auto it = items.end(); it != items.begin();) {
    --it;
    auto* c = static_cast<Cons*>(Alloc(sizeof(Cons)));
    *c = Cons{1, *it, list};
    list = c;
  }
  return Term(list);
}
const uint8_t* MakeInts(int n) {
  auto* nil = static_cast<uint64_t*>(Alloc(8));
  *nil = 2;
  const void* list = nil;
  for (int i = n - 1; i >= 0; --i) {
    auto* c = static_cast<IntCons*>(Alloc(sizeof(IntCons)));
    *c = IntCons{1, i, list};
    list = c;
  }
  return Term(list);
}
const uint8_t* MakePerson(const wchar_t* name, int32_t age) {
  auto* p = static_cast<Person*>(Alloc(sizeof(Person)));
  *p = Person{1, name, age};
  return Term(p);
}
const uint8_t* MakeFact(uint64_t number, const wchar_t* s, int32_t v) {
  switch (number) {
    case 1: return MakePerson(s, v);
    case 2: {
      auto* p = static_cast<Counter*>(Alloc(sizeof(Counter)));
      *p = Counter{2, v};
      return Term(p);
    }
    case 3: {
      auto* p = static_cast<Current*>(Alloc(sizeof(Current)));
      *p = Current{3, s};
      return Term(p);
    }
    default: {
      auto* p = static_cast<Config*>(Alloc(sizeof(Config)));
      *p = Config{4, s, v};
      return Term(p);
    }
  }
}

}  // namespace dbunit
