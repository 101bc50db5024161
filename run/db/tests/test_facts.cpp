// Fact databases: assert at both ends, determ and single facts, retract in
// all its forms (also while a walk over the chain is suspended), findall.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "db_unit.h"

using namespace dbunit;
using runtest::ErrorOf;
using Qel::RunTime::Kernel::Fail;
using Qel::RunTime::Kernel::RunTrapped;
using Qel::RunTime::Kernel::Succeeds;
using Qel::RunTime::Kernel::Control::TPrologThreadData;

namespace {

std::wstring LastError() { return TPrologThreadData::GetCurrentLastErrorMessage(); }

// The continuation of a nondeterministic call: a std::function that may fail.
void Call(void* context, const uint8_t* t) { (*static_cast<std::function<void(const uint8_t*)>*>(context))(t); }

std::wstring Name(const uint8_t* t) { return reinterpret_cast<const Person*>(t)->name; }

std::vector<std::wstring> Chain(const RFactHead& h) {
  std::vector<std::wstring> out;
  for (RStructFact* c = h.first; c; c = c->next) out.push_back(Name(c->term));
  return out;
}

class Facts : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(LinkDbUnit(), 0);
    InitializeClassFacts(D(facts));
  }
  const IDomainDefinition* db = D(facts);
  using W = std::vector<std::wstring>;
};

TEST_F(Facts, AssertAtBothEndsKeepsFirstAndLast) {
  TDBClassInternalDomainDefinition::AssertZClass(db, MakePerson(L"b", 2));
  TDBClassInternalDomainDefinition::AssertAClass(db, MakePerson(L"a", 1));
  TDBClassInternalDomainDefinition::AssertZClass(db, MakePerson(L"c", 3));
  EXPECT_EQ(Chain(factHeads[0]), (W{L"a", L"b", L"c"}));
  EXPECT_EQ(Name(factHeads[0].last->term), L"c");
  // The fact holds its own heap copy, not the caller's term.
  const uint8_t* mine = MakePerson(L"d", 4);
  TDBClassInternalDomainDefinition::AssertZClass(db, mine);
  EXPECT_NE(factHeads[0].last->term, mine);
  EXPECT_EQ(reinterpret_cast<const Person*>(factHeads[0].last->term)->age, 4);
}

TEST_F(Facts, DetermFactsRefuseASecondInstanceAtEitherEnd) {
  TDBClassInternalDomainDefinition::AssertZClass(db, MakeFact(3, L"one", 0));
  for (bool front : {true, false}) {
    EXPECT_EQ(ErrorOf([&] {
                if (front) TDBClassInternalDomainDefinition::AssertAClass(db, MakeFact(3, L"two", 0));
                else TDBClassInternalDomainDefinition::AssertZClass(db, MakeFact(3, L"two", 0));
              }),
              311u);
    std::wstring m = LastError();
    EXPECT_NE(m.find(L"dbtest::db"), std::wstring::npos) << std::string(m.begin(), m.end());
  }
  EXPECT_EQ(reinterpret_cast<const Current*>(factHeads[2].first->term)->name, std::wstring(L"one"));
  EXPECT_EQ(factHeads[2].first->next, nullptr);
  // Once removed, it can be asserted again; removing from an empty chain fails.
  RetractDetermClass(db, 2);
  EXPECT_FALSE(Succeeds([&] { RetractDetermClass(db, 2); }));
  TDBClassInternalDomainDefinition::AssertAClass(db, MakeFact(3, L"two", 0));
  EXPECT_NE(factHeads[2].first, nullptr);
  EXPECT_EQ(ErrorOf([&] { RetractDetermClass(db, 0); }), 3u);  // person is not determ
}

TEST_F(Facts, SingleFactsAlwaysHoldOneValue) {
  // Bare: the value lives in the head.
  EXPECT_EQ(factHeads[1].first, nullptr);
  TDBClassInternalDomainDefinition::AssertZClass(db, MakeFact(2, nullptr, 41));
  TDBClassInternalDomainDefinition::AssertAClass(db, MakeFact(2, nullptr, 42));
  EXPECT_EQ(static_cast<int32_t>(reinterpret_cast<uintptr_t>(factHeads[1].first)), 42);
  // In a cell: one cell from the start, its term replaced.
  RStructFact* cell = factHeads[3].first;
  ASSERT_NE(cell, nullptr);
  EXPECT_EQ(cell->term, nullptr);
  TDBClassInternalDomainDefinition::AssertZClass(db, MakeFact(4, L"k", 1));
  TDBClassInternalDomainDefinition::AssertZClass(db, MakeFact(4, L"k", 2));
  EXPECT_EQ(factHeads[3].first, cell);
  EXPECT_EQ(factHeads[3].last, cell);
  EXPECT_EQ(cell->next, nullptr);
  EXPECT_EQ(reinterpret_cast<const Config*>(cell->term)->value, 2);

  EXPECT_EQ(ErrorOf([&] { Error_SingleFactHasNoValue(db, 4); }), 329u);
  std::wstring m = LastError();
  EXPECT_NE(m.find(L"Single fact 'config' from internal database 'dbtest::db' has no value"),
            std::wstring::npos) << std::string(m.begin(), m.end());
}

TEST_F(Facts, RetractAllStopsAtTheFirstSingleFactWith326) {
  TDBClassInternalDomainDefinition::AssertZClass(db, MakePerson(L"a", 1));
  TDBClassInternalDomainDefinition::AssertZClass(db, MakeFact(2, nullptr, 7));
  EXPECT_EQ(ErrorOf([&] { RetractAllinDBClass(db); }), 326u);
  EXPECT_NE(LastError().find(L"Attempt to retract single fact 'counter' from database 'dbtest::db'"),
            std::wstring::npos);
  EXPECT_EQ(factHeads[0].first, nullptr);
  EXPECT_EQ(factHeads[0].last, nullptr);
  EXPECT_EQ(static_cast<int32_t>(reinterpret_cast<uintptr_t>(factHeads[1].first)), 7);
}

TEST_F(Facts, NondeterministicRetractGivesEachFactInOrderThenFails) {
  for (const wchar_t* n : {L"a", L"b", L"c"}) TDBClassInternalDomainDefinition::AssertZClass(db, MakePerson(n, 0));
  W seen;
  std::function<void(const uint8_t*)> k = [&](const uint8_t* t) {
    seen.push_back(Name(t));
    Fail();
  };
  EXPECT_FALSE(Succeeds([&] { RetractCompoundClass(db, 0, Call, &k); }));
  EXPECT_EQ(seen, (W{L"a", L"b", L"c"}));
  EXPECT_EQ(factHeads[0].first, nullptr);
  EXPECT_EQ(factHeads[0].last, nullptr);

  // A continuation that succeeds commits after one removal.
  for (const wchar_t* n : {L"x", L"y"}) TDBClassInternalDomainDefinition::AssertZClass(db, MakePerson(n, 0));
  seen.clear();
  std::function<void(const uint8_t*)> once = [&](const uint8_t* t) { seen.push_back(Name(t)); };
  uint32_t points = TPrologThreadData::GetBackTrackPoints();
  EXPECT_TRUE(Succeeds([&] { RetractCompoundClass(db, 0, Call, &once); }));
  EXPECT_EQ(TPrologThreadData::GetBackTrackPoints(), points);
  EXPECT_EQ(seen, (W{L"x"}));
  EXPECT_EQ(Chain(factHeads[0]), (W{L"y"}));
}

TEST_F(Facts, RetractDuringASuspendedWalkContinuesTheWalk) {
  struct Case {
    const char* what;
    const wchar_t* at;   // the fact being visited when the goal runs
    std::function<void()> goal;
    W visited, left;
  };
  auto unlinkAfter = [](const wchar_t* name) {
    // What compiled code does to retract a matched fact: unlink and finish.
    RStructFact** link = &factHeads[0].first;
    while (*link && Name((*link)->term) != name) link = &(*link)->next;
    RStructFact* c = *link;
    *link = c->next;
    if (factHeads[0].last == c) {
      RStructFact* prev = nullptr;
      for (RStructFact* p = factHeads[0].first; p; p = p->next) prev = p;
      factHeads[0].last = prev;
    }
    FinishRetract(c, link);
  };
  std::function<void(const uint8_t*)> fail = [](const uint8_t*) { Fail(); };
  std::vector<Case> cases = {
      {"the next fact", L"a", [&] { unlinkAfter(L"b"); }, {L"a", L"c", L"d"}, {L"a", L"c", L"d"}},
      {"the current fact", L"b", [&] { unlinkAfter(L"b"); }, {L"a", L"b", L"c", L"d"}, {L"a", L"c", L"d"}},
      {"the next two facts", L"b", [&] { unlinkAfter(L"c"); unlinkAfter(L"d"); }, {L"a", L"b"}, {L"a", L"b"}},
      {"the first facts by nondeterministic retract", L"b",
       [&] {
         std::function<void(const uint8_t*)> two = [n = 0](const uint8_t*) mutable {
           if (++n < 3) Fail();
         };
         RetractCompoundClass(db, 0, Call, &two);
       },
       {L"a", L"b", L"d"}, {L"d"}},
      {"every fact", L"a", [&] { RetractAllinFactClass(db, 0); }, {L"a"}, {}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    InitializeClassFacts(db);
    for (const wchar_t* n : {L"a", L"b", L"c", L"d"}) TDBClassInternalDomainDefinition::AssertZClass(db, MakePerson(n, 0));
    W visited;
    std::function<void(const uint8_t*)> visit = [&](const uint8_t* t) {
      visited.push_back(Name(t));
      if (Name(t) == c.at) c.goal();
      Fail();
    };
    EXPECT_FALSE(Succeeds([&] { WalkFacts(&factHeads[0], Call, &visit); }));
    EXPECT_EQ(visited, c.visited);
    EXPECT_EQ(Chain(factHeads[0]), c.left);
  }
}

TEST_F(Facts, RetractVarWalksEveryChainAndCopiesTheTerm) {
  TDBClassInternalDomainDefinition::AssertZClass(db, MakePerson(L"p1", 1));
  TDBClassInternalDomainDefinition::AssertZClass(db, MakePerson(L"p2", 2));
  TDBClassInternalDomainDefinition::AssertZClass(db, MakeFact(2, nullptr, 5));
  TDBClassInternalDomainDefinition::AssertZClass(db, MakeFact(3, L"cur", 0));
  const uint8_t* word = nullptr;
  std::vector<uint64_t> numbers;
  std::function<void(const uint8_t*)> k = [&](const uint8_t* t) {
    EXPECT_EQ(t, word);
    numbers.push_back(*reinterpret_cast<const uint64_t*>(t));
    Fail();
  };
  // The single fact config, reached last, must keep its cell.
  EXPECT_EQ(ErrorOf([&] { Succeeds([&] { RetractVarClass(db, &word, Call, &k); }); }), 3u);
  EXPECT_EQ(numbers, (std::vector<uint64_t>{1, 1, 3}));
  EXPECT_EQ(factHeads[0].first, nullptr);
  EXPECT_EQ(factHeads[2].first, nullptr);
  EXPECT_NE(factHeads[3].first, nullptr);
  EXPECT_EQ(static_cast<int32_t>(reinterpret_cast<uintptr_t>(factHeads[1].first)), 5);
}

TEST_F(Facts, FindAllBuildsTheListInSolutionOrder) {
  RStructFact* chain = nullptr;
  RStructFact** tail = &chain;
  for (int i = 1; i <= 3; ++i) {
    int32_t v = i * 10;
    FindAllAlloc(D(integer), Term(&v), &tail);
  }
  const uint8_t* list = nullptr;
  FindAllSlut(D(ints), &chain, &list);
  EXPECT_EQ(std::wstring(ToString(D(ints), list)), L"[10,20,30]");
  EXPECT_EQ(chain, nullptr);

  RStructFact* none = nullptr;
  FindAllSlut(D(ints), &none, &list);
  EXPECT_EQ(*reinterpret_cast<const uint64_t*>(list), 2u);

  // Boxed elements.
  chain = nullptr;
  tail = &chain;
  FindAllAlloc(D(node), MakeLeaf(1, L'q'), &tail);
  FindAllAlloc(D(node), MakeNil(), &tail);
  FindAllSlut(D(nodes), &chain, &list);
  EXPECT_EQ(CompareTerms(D(nodes), list, MakeNodes({MakeLeaf(1, L'q'), MakeNil()})), 0);
}

TEST_F(Facts, ObjectsKeepTheirOwnFacts) {
  FactObject a{}, b{};
  InitializeObjectFacts(D(objectFacts), &a);
  InitializeObjectFacts(D(objectFacts), &b);
  TDBObjectInternalDomainDefinition::AssertZObject(D(objectFacts), &a, MakePerson(L"in a", 1));
  TDBObjectInternalDomainDefinition::AssertAObject(D(objectFacts), &b, MakePerson(L"in b", 2));
  TDBObjectInternalDomainDefinition::AssertAObject(D(objectFacts), &b, MakePerson(L"b first", 2));
  EXPECT_EQ(Chain(a.heads[0]), (W{L"in a"}));
  EXPECT_EQ(Chain(b.heads[0]), (W{L"b first", L"in b"}));
  RetractAllinFactObject(D(objectFacts), &b, 0);
  EXPECT_EQ(Chain(b.heads[0]), W{});
  EXPECT_EQ(Chain(a.heads[0]), (W{L"in a"}));
  EXPECT_EQ(factHeads[0].first, nullptr);
}

}  // namespace
