// The exception state: identifiers, continue and clear, the checks that
// become traces of their own, lookups, the helpers' extra information and
// the fault mends (argument text, the entry's date and time).
#include <windows.h>

#include <cwctype>

#include "stream/stream_exception.h"
#include "tav_test.h"

using namespace tavtest;
namespace Kn = Qel::RunTime::Kernel;
namespace Tm = Qel::RunTime::Terms;

namespace {

const ClassInfo testClass{L"tav/tests/testClass", L"Version 1.0"};
const ExceptionDescriptor failure{&testClass, L"failure", L"Something failed"};
const ExceptionDescriptor failureOtherText{&testClass, L"failure", L"Something else failed"};
const ClassInfo otherClass{L"tav/tests/otherClass", L"Version 1.0"};
const ExceptionDescriptor failureOtherClass{&otherClass, L"failure", L"Something failed"};

using Exceptions = Library;

std::vector<std::pair<uint32_t, TraceKind>> Trace() {
  std::vector<std::pair<uint32_t, TraceKind>> all;
  for (const TraceEntry* e : Entries()) all.push_back({e->traceId, e->Kind()});
  return all;
}

TEST_F(Exceptions, IdentifiersGrowAndContinuesJoinTheirTrace) {
  EXPECT_EQ(RunTrapped([] { exception::raise(&testClass, &failure); }), 65536u);
  EXPECT_EQ(RunTrapped([] { exception::raise(&testClass, &failure); }), 65537u);
  uint32_t id = 65537;
  EXPECT_EQ(RunTrapped([&] { exception::continue_(id, &otherClass, &failure); }), id);
  EXPECT_EQ(RunTrapped([&] { exception::continue_(id, &otherClass, &failure); }), id);
  using P = std::pair<uint32_t, TraceKind>;
  EXPECT_EQ(Trace(), (std::vector<P>{{id, TraceKind::continued},
                                     {id, TraceKind::continued},
                                     {id, TraceKind::raised},
                                     {65536, TraceKind::raised}}));
  EXPECT_STREQ(Entries()[0]->classInfo->name, L"tav/tests/otherClass");
}

TEST_F(Exceptions, ClearOfTheNewestOlderAndExternalNumbers) {
  RunTrapped([] { exception::raise(&testClass, &failure); });   // 65536
  RunTrapped([] { exception::raise(&testClass, &failure); });   // 65537
  RunTrapped([] { exception::continue_(65537, &testClass, &failure); });
  // An older trace: nonlasttraceid, itself a new trace.
  EXPECT_EQ(RunTrapped([] { exception::clear(65536); }), 65538u);
  const TraceEntry* e = Entries().at(0);
  EXPECT_STREQ(e->exception->name, L"nonlasttraceid");
  EXPECT_STREQ(e->classInfo->name, L"tav/exception/exceptionState");
  EXPECT_EQ(Unsigned(exception::trygetextrainfo(e, L"Trace identifier")), 65536u);

  EXPECT_EQ(RunTrapped([] { exception::clear(65538); }), 0u);
  EXPECT_EQ(RunTrapped([] { exception::clear(65537); }), 0u);
  EXPECT_EQ(Trace().size(), 1u);
  EXPECT_EQ(RunTrapped([] { exception::clear(5); }), 0u);  // an external number: nothing
  EXPECT_EQ(Trace().size(), 1u);
  // Unknown identifiers: notraceid.
  EXPECT_EQ(RunTrapped([] { exception::clear(65537); }), 65539u);
  EXPECT_STREQ(Entries()[0]->exception->name, L"notraceid");
  EXPECT_EQ(RunTrapped([] { exception::continue_(70000, &testClass, &failure); }), 65540u);
  EXPECT_STREQ(Entries()[0]->exception->name, L"notraceid");
  exception::clearall();
  EXPECT_TRUE(Trace().empty());
  EXPECT_EQ(RunTrapped([] { exception::clear(65540); }), 65541u);
}

TEST_F(Exceptions, ContinueOfAnExternalErrorNamesItsNumberAndPosition) {
  static const Kn::TFullCursor at{Kn::CursorPosition(7, 2), L"x.pro"};
  uint32_t code = RunTrapped([] {
    TPrologThreadData::SetCurrentPosition(&at);
    Kn::Errors::Qel_ErrorExit(1234);
  });
  ASSERT_EQ(code, 1234u);
  EXPECT_EQ(RunTrapped([&] { exception::continue_(code, &testClass, &failure); }), 65536u);
  TPrologThreadData::SetCurrentPosition(nullptr);
  const TraceEntry* e = Entries().at(0);
  EXPECT_STREQ(e->exception->name, L"externalerror");
  EXPECT_STREQ(e->classInfo->name, L"unknown");
  EXPECT_EQ(Names(e), (std::vector<std::wstring>{L"External error", L"Errornumber", L"Errorfile",
                                                 L"Line", L"Column"}));
  EXPECT_EQ(Unsigned(exception::trygetextrainfo(e, L"External error")), 1234u);
  EXPECT_EQ(exception::trygetextrainfo(e, L"Errornumber")->As<int32_t>(), 1234);
  EXPECT_EQ(Extra(e, L"Errorfile"), L"x.pro");
  EXPECT_EQ(exception::trygetextrainfo(e, L"Line")->As<int32_t>(), 7);
  EXPECT_EQ(exception::trygetextrainfo(e, L"Column")->As<int32_t>(), 2);
}

TEST_F(Exceptions, LookupsCompareDescriptorsByTheirStrings) {
  // A copy of the descriptor in other memory is the same descriptor.
  static const ExceptionDescriptor copy{&testClass, L"failure", L"Something failed"};
  uint32_t id = RunTrapped([] {
    exception::raise(&testClass, &failure,
                     Values({{L"key", value::integer(1)}, {L"key", value::integer(2)}}));
  });
  EXPECT_NE(exception::trygetdescriptor(id, &copy), nullptr);
  EXPECT_EQ(exception::trygetdescriptor(id, &failureOtherText), nullptr);
  EXPECT_EQ(exception::trygetdescriptor(id, &failureOtherClass), nullptr);
  EXPECT_EQ(exception::trygetdescriptor(id + 1, &failure), nullptr);
  EXPECT_EQ(exception::findexception(id, {&failureOtherText, &copy}),
            exception::trygetdescriptor(id, &failure));
  EXPECT_EQ(exception::findexception(id, {&failureOtherText}), nullptr);
  const TraceEntry* e = Entries()[0];
  EXPECT_EQ(exception::trygetextrainfo(e, L"key")->As<int32_t>(), 1);  // the first of two
  EXPECT_EQ(exception::trygetextrainfo(e, L"Key"), nullptr);
  std::vector<int32_t> all;
  EXPECT_FALSE(core::lookup_nd(e->extraInfo, L"key", [&](const ValueTerm* v) {
    all.push_back(v->As<int32_t>());
    Kn::Fail();
  }));
  EXPECT_EQ(all, (std::vector<int32_t>{1, 2}));
  EXPECT_TRUE(core::lookup_nd(e->extraInfo, L"key", [](const ValueTerm*) {}));
  EXPECT_EQ(core::maplookup(e->extraInfo, L"none", value::integer(9))->As<int32_t>(), 9);
}

TEST_F(Exceptions, EntriesOfOneTraceNewestFirst) {
  RunTrapped([] { exception::raise(&testClass, &failure); });
  RunTrapped([] { exception::raise(&testClass, &failure); });
  RunTrapped([] { exception::continue_(65537, &testClass, &failure); });
  std::vector<TraceKind> kinds;
  EXPECT_FALSE(exception::getdescriptor_nd(65537, [&](const TraceEntry* e) {
    kinds.push_back(e->Kind());
    Kn::Fail();
  }));
  EXPECT_EQ(kinds, (std::vector<TraceKind>{TraceKind::continued, TraceKind::raised}));
  EXPECT_FALSE(exception::getdescriptor_nd(99999, [](const TraceEntry*) {}));
}

TEST_F(Exceptions, ExtraInformationIsCopiedWhole) {
  uint32_t id = RunTrapped([] {
    // Every part on the global stack that the raise unwinds.
    wchar_t* name = Kn::Memory::AllocGStackString(4);
    wcscpy(name, L"Name");
    wchar_t* text = Kn::Memory::AllocGStackString(5);
    wcscpy(text, L"value");
    uint8_t* bin = Kn::Memory::AllocGStack(8);
    uint32_t size = 7;
    memcpy(bin, &size, 4);
    memcpy(bin + 4, "abc", 3);
    exception::raise(&testClass, &failure,
                     Values({{name, value::string(text)}, {L"bin", value::binary(bin + 4)},
                             {L"real", value::real(1.5)}, {L"none", value::none()},
                             {L"flag", value::boolean(true)}}));
  });
  // Overwrite the global stack where the terms were.
  wchar_t* over = Kn::Memory::AllocGStackString(200);
  wmemset(over, L'#', 200);
  const TraceEntry* e = exception::trygetdescriptor(id, &failure);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(Names(e), (std::vector<std::wstring>{L"Name", L"bin", L"real", L"none", L"flag"}));
  EXPECT_EQ(Extra(e, L"Name"), L"value");
  const uint8_t* bin = exception::trygetextrainfo(e, L"bin")->As<const uint8_t*>();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bin), 3), "abc");
  EXPECT_EQ(exception::trygetextrainfo(e, L"real")->As<double>(), 1.5);
  EXPECT_EQ(exception::trygetextrainfo(e, L"none")->Kind(), ValueKind::none);
  EXPECT_EQ(exception::trygetextrainfo(e, L"flag")->As<const BooleanTerm*>()->functor, 2u);
}

TEST_F(Exceptions, DateAndTimeOfAnEntry) {
  SYSTEMTIME before;
  GetLocalTime(&before);
  RunTrapped([] { exception::raise(&testClass, &failure); });
  std::wstring when = Entries()[0]->dateTime;
  ASSERT_EQ(when.size(), 19u) << Narrow(when);
  const wchar_t* shape = L"dddd/dd/dd dd:dd:dd";
  for (size_t i = 0; i < when.size(); ++i)
    EXPECT_EQ(shape[i] == L'd' ? iswdigit(when[i]) != 0 : when[i] == shape[i], true) << i;
  EXPECT_EQ(std::stoi(when.substr(0, 4)), before.wYear);
}

TEST_F(Exceptions, HelpersNameTheirExtraInformation) {
  Tm::TEllipsisArgs<2> args;
  int32_t five = 5;
  args.SetValue(0, D(domains::integer), five);
  args.SetTerm(1, D(domains::string), L"x");
  uint32_t id = RunTrapped([&] { common_exception::raise_error(&testClass, L"p", args); });
  const TraceEntry* e = exception::trygetdescriptor(id, &common_exception::internal);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(Names(e), (std::vector<std::wstring>{L"Predicate name", L"Arguments"}));
  EXPECT_EQ(Extra(e, L"Predicate name"), L"p");
  EXPECT_EQ(Extra(e, L"Arguments"), L"5x");

  id = RunTrapped([&] { common_exception::continue_unknown(id, &testClass, L"q", args); });
  e = exception::trygetdescriptor(id, &common_exception::unknown);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(Extra(e, L"Arguments"), L"5x");
  EXPECT_EQ(e->Kind(), TraceKind::continued);

  id = RunTrapped([&] { common_exception::raise_errorf(&testClass, L"p", L"<%d|%s>", args); });
  EXPECT_EQ(Extra(Entries()[0], L"Arguments"), L"<5|x>");

  id = RunTrapped([] {
    SetLastError(ERROR_FILE_NOT_FOUND);
    common_exception::checknonzeroresult(&testClass, 0, L"CreateFileW");
  });
  e = exception::trygetdescriptor(id, &common_exception::nativecallexception);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(Names(e), (std::vector<std::wstring>{L"API function name", L"Error code",
                                                 L"Error description"}));
  EXPECT_EQ(Unsigned(exception::trygetextrainfo(e, L"Error code")), 2u);
  EXPECT_FALSE(Extra(e, L"Error description").empty());
  EXPECT_EQ(RunTrapped([] { common_exception::checknonzeroresult(&testClass, 1, L"X"); }), 0u);

  id = RunTrapped([] {
    common_exception::raise_couldnotcreate(&testClass, L"new",
                                           Values({{L"a", value::integer(1)}}));
  });
  EXPECT_EQ(Names(Entries()[0]), (std::vector<std::wstring>{L"Predicate name", L"a"}));
}

TEST_F(Exceptions, StreamExceptionsRaiseAtTheSavedPosition) {
  static const Kn::TFullCursor at{Kn::CursorPosition(4, 9), L"s.pro"};
  uint32_t id = RunTrapped([] {
    TPrologThreadData::SetCurrentPosition(&at);
    stream_exception::raise_wrongmode(&testClass, L"inputSupport::readline", L"binary");
  });
  TPrologThreadData::SetCurrentPosition(nullptr);
  const TraceEntry* e = exception::trygetdescriptor(id, &stream_exception::wrongmode);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(Names(e), (std::vector<std::wstring>{L"Predicate name", L"stream mode"}));
  EXPECT_EQ(Extra(e, L"stream mode"), L"binary");
  EXPECT_EQ(e->cursor->line, 4u);
  EXPECT_EQ(e->cursor->column, 9u);
  EXPECT_STREQ(e->description, L"The predicate cannot be used in current mode");
  id = RunTrapped([] { stream_exception::raise_endofstream(&testClass); });
  EXPECT_TRUE(Entries()[0]->extraInfo->Empty());
  EXPECT_STREQ(Entries()[0]->exception->declaring->name, L"com/corvane/stream/stream_exception");
}

}  // namespace
