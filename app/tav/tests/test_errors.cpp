// Run-time errors made traces by the raiser: every code of the table and
// numbers without a descriptor, raised through the kernel by real runtime
// calls where one exists.
#include <windows.h>

#include "memory/memory.h"
#include "qel6run_db.h"
#include "tav_test.h"

using namespace tavtest;
namespace Kn = Qel::RunTime::Kernel;
namespace Tm = Qel::RunTime::Terms;

namespace {

// A class database with one single fact that has no value: reading it is 329.
namespace decl = Qel::RunTime::Decl;
struct Counter {
  uint64_t functor;
  int32_t value;
};
extern Qel::RunTime::RScopeClassDescriptor factClass;
Tm::RIntegralDomain counterValue = decl::Integer({L"integer", QEL_HERE, nullptr, &factClass});
decl::Arguments counterArgs{{QEL_ARG(Counter, value, counterValue)}};
Tm::DBInternal::RFactDescriptor factTable[] = {
    {L"counter", counterArgs.a, 1, sizeof(Counter), 1, 0, 0, 0}};
Tm::DBInternal::RFactHead factHeads[1];
Tm::DBInternal::RFactDatabase facts{
    decl::Head(Tm::kClassFacts, sizeof(Tm::DBInternal::RFactDatabase),
               {L"counters", QEL_HERE, &counterValue.head, &factClass}),
    1, factTable, 0, reinterpret_cast<uintptr_t>(factHeads)};
Qel::RunTime::RScopeClassDescriptor factClass = decl::Class(L"errortest", QEL_HERE, &facts.head);
decl::UnitTable factUnit{&factClass};

// An empty source: the parser meets the end at once.
struct EmptySource final : Tm::RBufferSource {
  uint32_t position = 0;
  void NextBlock(uint8_t** base, uint32_t* length) override {
    *base = nullptr;
    *length = 0;
  }
  uint32_t* PositionCell() override { return &position; }
};

void ExhaustGStack() {
  for (;;) Kn::Memory::AllocGStack(1 << 20);
}

// Raises `code` the way the system does.
void RaiseCode(uint32_t code) {
  switch (code) {
    case 1:
      *static_cast<volatile int*>(nullptr) = 1;
      break;
    case 201:
      ExhaustGStack();
      break;
    case 302:
      memory::checksize(0x80000000u);
      break;
    case 319: {
      EmptySource source;
      Tm::Streams::ParseChar(&source);
      break;
    }
    case 329:
      Tm::DBInternal::Error_SingleFactHasNoValue(Tm::Domain(facts.head), 1);
    case 1336:
      Kn::Errors::RunTimeErrorFromModule(GetModuleHandleW(nullptr), 1336, 5);
  }
  // Texts with inserts get harmless ones.
  Kn::Errors::RunTimeError(code, L"a", L"b", L"c", L"d");
}

class Errors : public Library {
 protected:
  static void SetUpTestSuite() {
    Library::SetUpTestSuite();
    ASSERT_EQ(Qel::RunTime::RunUnitInitialization(nullptr, reinterpret_cast<void*>(&RaiseCode),
                                                  factUnit.Table(), nullptr),
              0);
  }
};

TEST_F(Errors, EveryCodeAndTheFallbackBecomeOneTrace) {
  struct Case {
    uint32_t code;
    const ExceptionDescriptor* expected;
  };
  std::vector<Case> cases;
  for (uint32_t i = 0; i < runtime_exception::TableSize(); ++i) {
    uint32_t code;
    const ExceptionDescriptor* d = runtime_exception::TableEntry(i, &code);
    cases.push_back({code, d});
  }
  ASSERT_EQ(cases.size(), 84u);
  for (uint32_t code : {0u, 12u, 14u, 202u, 325u, 1305u, 1335u, 0xFFFFFFFFu})
    cases.push_back({code, &runtime_exception::notyethandlederror});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    exception::setexceptionstate(exceptionState::New());
    uint32_t traceId = RunTrapped([&] { RaiseCode(c.code); });
    ASSERT_EQ(traceId, 65536u);
    std::vector<const TraceEntry*> all = Entries();
    ASSERT_EQ(all.size(), 1u);
    const TraceEntry* e = all[0];
    EXPECT_EQ(e->traceId, 65536u);
    EXPECT_TRUE(SameDescriptor(e->exception, c.expected));
    EXPECT_STREQ(e->description, c.expected->description);
    EXPECT_STREQ(e->classInfo->name, L"com/corvane/exception/runtime_exception");
    EXPECT_EQ(e->Kind(), TraceKind::raised);
    EXPECT_EQ(Names(e), (std::vector<std::wstring>{L"ExtraInfo", L"error code"}));
    // The kernel's message: the module, then the code.
    std::wstring message = Extra(e, L"ExtraInfo");
    wchar_t code[24];
    swprintf(code, 24, L"error r%03u", c.code);
    EXPECT_EQ(message.rfind(L"Exception in module: ", 0), 0u) << Narrow(message);
    EXPECT_NE(message.find(code), std::wstring::npos) << Narrow(message);
    EXPECT_EQ(Unsigned(exception::trygetextrainfo(e, L"error code")), c.code);

    // The kernel's buffer is reused by the next error; the entry keeps its copy.
    RunTrapped([] { Kn::Errors::RunTimeError(3); });
    EXPECT_EQ(Extra(e, L"ExtraInfo"), message);
  }
}

TEST_F(Errors, TelltaleDescriptorsAndKernelTexts) {
  struct Case {
    uint32_t code;
    const wchar_t* name;
    const wchar_t* text;  // part of the kernel's message
  };
  const Case cases[] = {
      {1, L"systemexception", L"Access violation"},
      {201, L"gstackoverflow", L"error r201"},
      {302, L"norangenumber", L"error r302"},
      {319, L"parserunexpectedeos", L"error r319"},
      {329, L"singlefacthasnovalue", L"counter"},
      {1317, L"chaindb_invaliddb", L"error r1317"},
      {1336, L"chaindb_osnativeerror", L"OS error: 5"},
      {1305, L"notyethandlederror", L"error r1305"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    exception::setexceptionstate(exceptionState::New());
    uint32_t traceId = RunTrapped([&] { RaiseCode(c.code); });
    const TraceEntry* e = exception::trygetdescriptor(
        traceId, runtime_exception::exceptionfromerrorcode(c.code));
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(e->exception->name, c.name);
    EXPECT_NE(Extra(e, L"ExtraInfo").find(c.text), std::wstring::npos)
        << Narrow(Extra(e, L"ExtraInfo"));
  }
  EXPECT_STREQ(runtime_exception::exceptionfromerrorcode(1336)->description,
               L"OS native error is occured ");
}

TEST_F(Errors, ThePositionOfTheErrorIsTheEntrysCursor) {
  static const Kn::TFullCursor at{Kn::CursorPosition(12, 3), L"t.pro"};
  uint32_t traceId = RunTrapped([] {
    TPrologThreadData::SetCurrentPosition(&at);
    Kn::Errors::RunTimeError(1317);
  });
  TPrologThreadData::SetCurrentPosition(nullptr);
  const TraceEntry* e = Entries().at(0);
  EXPECT_EQ(e->traceId, traceId);
  EXPECT_STREQ(e->cursor->fileName, L"t.pro");
  EXPECT_EQ(e->cursor->line, 12u);
  EXPECT_EQ(e->cursor->column, 3u);
}

TEST_F(Errors, GStackTermsBelowTheTrapSurviveTheRaise) {
  wchar_t* kept = Kn::Memory::AllocGStackString(6);
  wcscpy(kept, L"intact");
  EXPECT_EQ(RunTrapped([] { ExhaustGStack(); }), 65536u);
  EXPECT_STREQ(kept, L"intact");
  EXPECT_EQ(RunTrapped([] { memory::checksize(uint64_t{1} << 40); }), 65537u);
  EXPECT_STREQ(kept, L"intact");
}

}  // namespace
