// The text form of fact databases: save, then consult into empty heads
// rebuilds the same chains; the clauses line, periods and marker rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "ctrl_events.h"
#include "db_unit.h"

using namespace dbunit;
using runtest::BlockSource;
using runtest::ErrorOf;
using Qel::RunTime::Terms::Streams::DataBaseInternal_consult;
using Qel::RunTime::Terms::Streams::DataBaseInternal_save;
using Qel::RunTime::Terms::Streams::FactDB;

namespace {

// Collects what is written, in blocks of 16 bytes.
class Sink final : public RBufferSource {
 public:
  void NextBlock(uint8_t** base, uint32_t* length) override {
    Flush();
    *base = block_;
    *length = sizeof block_;
  }
  uint32_t* PositionCell() override { return &pos_; }
  std::wstring Text() {
    Flush();
    return text_;
  }

 private:
  void Flush() {
    text_.append(reinterpret_cast<const wchar_t*>(block_), pos_ / 2);
    pos_ = 0;
  }
  uint8_t block_[16];
  uint32_t pos_ = 0;
  std::wstring text_;
};

std::wstring Save(const IDomainDefinition* d, void* object = nullptr) {
  Sink sink;
  FactDB db{d, object};
  DataBaseInternal_save(&db, &sink, 0);
  return sink.Text();
}
uint32_t Consult(const IDomainDefinition* d, const std::wstring& text, uint32_t block = 6,
                 void* object = nullptr) {
  BlockSource source(text, block);
  FactDB db{d, object};
  return ErrorOf([&] { DataBaseInternal_consult(&db, &source, 0); });
}

class TextForm : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(LinkDbUnit(), 0);
    InitializeClassFacts(D(facts));
    InitializeClassFacts(D(plainFacts));
  }
};

TEST_F(TextForm, SaveThenConsultRebuildsTheSameChains) {
  const IDomainDefinition* db = D(facts);
  TDBClassInternalDomainDefinition::AssertZClass(db, MakePerson(L"Ann \"A\"", 31));
  TDBClassInternalDomainDefinition::AssertZClass(db, MakePerson(L"line\nbreak", -2));
  TDBClassInternalDomainDefinition::AssertAClass(db, MakePerson(L"first", 0));
  TDBClassInternalDomainDefinition::AssertZClass(db, MakeFact(2, nullptr, 17));
  TDBClassInternalDomainDefinition::AssertZClass(db, MakeFact(3, L"now", 0));
  TDBClassInternalDomainDefinition::AssertZClass(db, MakeFact(4, L"key", 9));
  std::wstring text = Save(db);
  EXPECT_EQ(text.substr(0, 9), L"\nclauses\n");
  EXPECT_EQ(std::count(text.begin(), text.end(), L'\r'), 0);

  // Consult into emptied heads, then save again: the same text, so the same
  // facts in the same order.
  InitializeClassFacts(db);
  ASSERT_EQ(Consult(db, text), 0u);
  EXPECT_EQ(Save(db), text);
  std::vector<std::wstring> names;
  for (RStructFact* c = factHeads[0].first; c; c = c->next)
    names.push_back(reinterpret_cast<const Person*>(c->term)->name);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"first", L"Ann \"A\"", L"line\nbreak"}));
  EXPECT_EQ(static_cast<int32_t>(reinterpret_cast<uintptr_t>(factHeads[1].first)), 17);
  EXPECT_EQ(reinterpret_cast<const Config*>(factHeads[3].first->term)->value, 9);
  EXPECT_EQ(factHeads[3].first->next, nullptr);
}

TEST_F(TextForm, ObjectDatabasesSaveAndConsultTheirOwnFacts) {
  const IDomainDefinition* db = D(objectFacts);
  FactObject a{}, b{};
  InitializeObjectFacts(db, &a);
  InitializeObjectFacts(db, &b);
  TDBObjectInternalDomainDefinition::AssertZObject(db, &a, MakePerson(L"x", 1));
  TDBObjectInternalDomainDefinition::AssertZObject(db, &a, MakeFact(4, L"k", 5));
  std::wstring text = Save(db, &a);
  ASSERT_EQ(Consult(db, text, 6, &b), 0u);
  EXPECT_EQ(Save(db, &b), text);
  EXPECT_EQ(factHeads[0].first, nullptr);
}

TEST_F(TextForm, EmptyDatabasesWriteTheMarker) {
  EXPECT_EQ(Save(D(plainFacts)), L"\nclauses\n%<--noFacts-->%");
  EXPECT_EQ(Consult(D(plainFacts), Save(D(plainFacts))), 0u);
  EXPECT_EQ(plainHeads[0].first, nullptr);
  EXPECT_EQ(Consult(D(plainFacts), L""), 0u);
  EXPECT_EQ(plainHeads[0].first, nullptr);
}

TEST_F(TextForm, ClausesLineAndPeriodsAreOptional) {
  struct Case {
    const wchar_t* text;
    int facts;
  };
  for (const Case& c : {Case{L"person(\"a\",1)\nperson(\"b\",2)", 2},
                        Case{L"clauses\n  person ( \"a\" , 1 ) . /* note */ Person(\"b\",2).\n", 2},
                        Case{L"person(\"a\",1).\nclauses\nperson(\"never\",3).", 1},
                        Case{L"%<--noFacts-->%\nclauses\nperson(\"never\",3).", 0}}) {
    SCOPED_TRACE(std::string(c.text, c.text + wcslen(c.text)));
    InitializeClassFacts(D(plainFacts));
    EXPECT_EQ(Consult(D(plainFacts), c.text, 4), 0u);
    int n = 0;
    for (RStructFact* f = plainHeads[0].first; f; f = f->next) ++n;
    EXPECT_EQ(n, c.facts);
  }
}

TEST_F(TextForm, ErrorsKeepTheFactsReadBeforeThem) {
  struct Case {
    const wchar_t* text;
    uint32_t code;
    int factsKept;
  };
  for (const Case& c : {Case{L"clauses\nclauses\n", 324, 0},
                        Case{L"%<--noFacts-->%\nperson(\"a\",1).", 324, 0},
                        Case{L"person(\"a\",1).\n%<--noFacts-->%", 324, 1},
                        Case{L"person(\"a\",1)\n%<--noFacts-->%", 324, 1},
                        Case{L"person(\"a\",1).\nnobody(1).", 309, 1},
                        Case{L"person(\"a\" 1).", 327, 0},
                        Case{L"person(\"a\",1).\n3.", 310, 1}}) {
    SCOPED_TRACE(std::string(c.text, c.text + wcslen(c.text)));
    InitializeClassFacts(D(plainFacts));
    EXPECT_EQ(Consult(D(plainFacts), c.text), c.code);
    int n = 0;
    for (RStructFact* f = plainHeads[0].first; f; f = f->next) ++n;
    EXPECT_EQ(n, c.factsKept);
  }
  // A determ fact read twice: 311, the first one stays.
  EXPECT_EQ(Consult(D(facts), L"current(\"a\").\ncurrent(\"b\")."), 311u);
  EXPECT_EQ(reinterpret_cast<const Current*>(factHeads[2].first->term)->name, std::wstring(L"a"));
}

TEST_F(TextForm, PendingUserBreakStopsConsultFindallAndImageRead) {
  ASSERT_EQ(Qel::RunTime::Kernel::ExeInitialization(), 0);  // installs the console handler
  const uint8_t* list = MakeInts(2000);
  const uint8_t* image = ToBinary(D(ints), list);
  struct Case {
    const char* name;
    std::function<uint32_t()> run;
  };
  const Case cases[] = {
      {"consult", [] { return Consult(D(plainFacts), L"person(\"a\",1).\nperson(\"b\",2)."); }},
      {"findall",
       [] {
         return ErrorOf([] {
           RStructFact* chain = nullptr;
           RStructFact** tail = &chain;
           for (int32_t i = 0; i < 3; ++i) FindAllAlloc(D(integer), Term(&i), &tail);
         });
       }},
      {"image read", [&] { return ErrorOf([&] { FromBinary(D(ints), image); }); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InitializeClassFacts(D(plainFacts));
    ASSERT_TRUE(DeliverCtrlEvent(CTRL_C_EVENT));
    EXPECT_EQ(c.run(), 4u);
    EXPECT_EQ(c.run(), 0u);  // raised once
  }
}

}  // namespace
