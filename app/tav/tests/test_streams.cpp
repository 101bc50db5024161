// Streams: the buffer objects fed in blocks of any size, the support parts'
// modes and flags, string and binary streams (positions, gaps, close),
// standard streams, and bad input.
#include <windows.h>

#include "binary/binary.h"
#include "binary/binary_stream.h"
#include "stream/stream_exception.h"
#include "string/string_stream.h"
#include "tav_test.h"

using namespace tavtest;
namespace Kn = Qel::RunTime::Kernel;
namespace Tm = Qel::RunTime::Terms;
namespace decl = Qel::RunTime::Decl;

namespace {

// person(string, integer): a fact database for save and consult.
struct Person {
  uint64_t functor;
  const wchar_t* name;
  int32_t age;
};
extern Qel::RunTime::RScopeClassDescriptor factClass;
Tm::RDomainRecord nameDomain = decl::Simple(Tm::kString, {L"string", QEL_HERE, nullptr, &factClass});
Tm::RIntegralDomain ageDomain = decl::Integer({L"integer", QEL_HERE, &nameDomain, &factClass});
decl::Arguments personArgs{{QEL_ARG(Person, name, nameDomain), QEL_ARG(Person, age, ageDomain)}};
Tm::DBInternal::RFactDescriptor factTable[] = {
    {L"person", personArgs.a, 2, sizeof(Person), 0, 0, 0, 0}};
Tm::DBInternal::RFactHead factHeads[1];
Tm::DBInternal::RFactDatabase facts{
    decl::Head(Tm::kClassFacts, sizeof(Tm::DBInternal::RFactDatabase),
               {L"people", QEL_HERE, &ageDomain.head, &factClass}),
    1, factTable, 0, reinterpret_cast<uintptr_t>(factHeads)};
Qel::RunTime::RScopeClassDescriptor factClass = decl::Class(L"streamtest", QEL_HERE, &facts.head);
decl::UnitTable factUnit{&factClass};

class Streams : public Library {
 protected:
  static void SetUpTestSuite() {
    Library::SetUpTestSuite();
    static int linked = Qel::RunTime::RunUnitInitialization(
        nullptr, reinterpret_cast<void*>(&factUnit), factUnit.Table(), nullptr);
    ASSERT_EQ(linked, 0);
  }
};

template <size_t N>
struct Args : Tm::TEllipsisArgs<N> {};
const Tm::REllipsisArg* Text(std::initializer_list<const wchar_t*> texts) {
  auto* a = static_cast<Tm::TEllipsisArgs<4>*>(GStackAlloc(sizeof(Tm::TEllipsisArgs<4>)));
  *a = Tm::TEllipsisArgs<4>{};
  a->length = 2 + 2 * texts.size();
  a->count = texts.size();
  size_t i = 0;
  // The layout of N arguments: domains, then values, both N long.
  auto* words = reinterpret_cast<uint64_t*>(a);
  for (const wchar_t* t : texts) words[2 + i++] = reinterpret_cast<uintptr_t>(D(domains::string));
  i = 0;
  for (const wchar_t* t : texts) words[2 + texts.size() + i++] = reinterpret_cast<uintptr_t>(t);
  return *a;
}
const Tm::REllipsisArg* Int(int32_t v) {
  auto* a = static_cast<Tm::TEllipsisArgs<1>*>(GStackAlloc(sizeof(Tm::TEllipsisArgs<1>)));
  *a = Tm::TEllipsisArgs<1>{};
  a->SetValue(0, D(domains::integer), v);
  return *a;
}

// --- Buffers fed in blocks ---

// A refill callback that reads a file in blocks of `block` bytes.
struct FileFeed {
  HANDLE file;
  uint32_t block;
  uint8_t* buffer;
  static bool Refill(void* self, uint8_t** out, uint32_t* length) {
    auto* f = static_cast<FileFeed*>(self);
    DWORD got = 0;
    if (!ReadFile(f->file, f->buffer, f->block, &got, nullptr) || got == 0) return false;
    *out = f->buffer;
    *length = got;
    return true;
  }
};

// What a series of reads gives, as text.
std::wstring ReadAll(inputSupport& in) {
  std::wstring log;
  int32_t n = *reinterpret_cast<const int32_t*>(in.read(D(domains::integer)));
  log += std::to_wstring(n) + L"|";
  log += reinterpret_cast<const wchar_t*>(in.read(D(domains::string)));
  log += L"|";
  log += in.readline();  // the rest of the term's line
  log += L"|";
  log += in.readline();
  log += L"|";
  // (ungetchar steps back within the current block only: not part of this.)
  for (int i = 0; i < 3; ++i) log += in.readchar();
  log += in.readstring(4);
  log += L"|";
  in.setmode(Mode::Binary());
  const uint8_t* bytes = in.readbytes(6);
  for (uint32_t i = 0; i < binary::getsize(bytes); ++i) log += static_cast<wchar_t>(bytes[i]);
  in.setmode(Mode::Unicode());
  log += L"|";
  log += in.readline();
  return log;
}

TEST_F(Streams, BlocksOfAnySizeReadAlike) {
  std::wstring content = L"42 \"two words\" tail\nC:\\temp\\new\r\nabcdefgh" L"\x4241\x4443\x4645" L"last";
  wchar_t temp[MAX_PATH], name[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  GetTempFileNameW(temp, L"tav", 0, name);
  HANDLE h = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD done;
  WriteFile(h, content.data(), static_cast<DWORD>(content.size() * 2), &done, nullptr);
  CloseHandle(h);

  std::vector<std::wstring> results;
  for (uint32_t block : {1u << 20, 8192u, 3u, 1u}) {
    SCOPED_TRACE(block);
    HANDLE file = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    FileFeed feed{file, block, static_cast<uint8_t*>(K::Memory::AllocAtomicHeap(block))};
    RefillCallback refill{&FileFeed::Refill, &feed};
    inputBuffer* buffer = inputBuffer::New(refill, refill);
    ASSERT_NE(buffer, nullptr);
    inputSupport in(buffer, Mode::Unicode());
    std::wstring log;
    uint32_t code = RunTrapped([&] { log = ReadAll(in); });
    CloseHandle(file);
    EXPECT_EQ(code, 0u) << (code ? Narrow(Extra(Entries().at(0), L"ExtraInfo")) : "") << Narrow(log);
    results.push_back(log);
  }
  DeleteFileW(name);
  EXPECT_EQ(results[0], std::wstring(L"42|two words| tail|C:\\temp\\new|\nabcdef|g\0h\0AB|"
                                    L"\x4443\x4645last", 52));
  for (size_t i = 1; i < results.size(); ++i) EXPECT_EQ(results[i], results[0]) << i;
}

// --- Modes and flags of the support parts ---

TEST_F(Streams, WrongModeCases) {
  struct Case {
    const char* what;
    std::function<void()> call;
    const wchar_t* predicate;
    const wchar_t* mode;
    const wchar_t* raiser;
  };
  inputStream_binary* bin = inputStream_binary::New(binary::create(4));
  inputStream_string* str = inputStream_string::New(L"abc");
  outputStream_binary* obin = outputStream_binary::New();
  outputStream_string* ostr = outputStream_string::New();
  const wchar_t* in = L"com/corvane/stream/inputStreamSupport/inputSupport";
  const wchar_t* out = L"com/corvane/stream/outputStreamSupport/outputSupport";
  const Case cases[] = {
      {"readchar", [&] { bin->readchar(); }, L"readchar", L"binary", in},
      {"readstring", [&] { bin->readstring(1); }, L"readstring", L"binary", in},
      {"ungetchar", [&] { bin->ungetchar(); }, L"ungetchar", L"binary", in},
      {"readline", [&] { bin->readline(); }, L"readline", L"binary", in},
      {"consult", [&] { FactDB db{D(facts), nullptr}; bin->consult(&db); }, L"consult", L"binary", in},
      {"readbytes", [&] { str->readbytes(1); }, L"readbytes", L"unicode()", in},
      {"writequoted", [&] { obin->writequoted(Int(1)); }, L"writequoted", L"binary", out},
      {"writef", [&] { obin->writef(L"%", Int(1)); }, L"writef", L"binary", out},
      {"save", [&] { FactDB db{D(facts), nullptr}; obin->save(&db); }, L"save", L"binary", out},
      {"writebytes", [&] { ostr->writebytes("x", 1); }, L"writebytes", L"unicode()", out},
      {"in setmode", [&] { str->setmode(Mode::Ansi(1252)); }, L"inputStream_string::setmode", L"ansi",
       L"com/corvane/string/inputStream_string"},
      {"out setmode", [&] { obin->setmode(Mode::Ansi(1252)); }, L"outputStream_binary::setmode",
       L"ansi", L"com/corvane/binary/outputStream_binary"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    uint32_t id = RunTrapped(c.call);
    const TraceEntry* e = exception::trygetdescriptor(id, &stream_exception::wrongmode);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(Names(e), (std::vector<std::wstring>{L"Predicate name", L"stream mode"}));
    EXPECT_EQ(Extra(e, L"Predicate name"), c.predicate);
    EXPECT_EQ(Extra(e, L"stream mode"), c.mode);
    EXPECT_STREQ(e->classInfo->name, c.raiser);
  }
  // Nothing was read: the string stream is still at 0.
  EXPECT_EQ(str->getposition(), 0u);
  EXPECT_EQ(Extra(Entries().back(), L"stream mode"), L"binary");
  EXPECT_EQ(std::wstring(Mode::Ansi(1252).Text()), L"ansi(codepage(1252))");
}

TEST_F(Streams, BinaryImagesTextAndLineEnds) {
  outputStream_binary* out = outputStream_binary::New();
  out->write(Int(-12345));
  // A compound term: namedvalue("k", integer(7)).
  const NamedValueList* list = Values({{L"k", value::integer(7)}});
  Tm::TEllipsisArgs<1> compound;
  compound.SetTerm(0, D(domains::namedvalue), list->head);
  out->write(compound);
  uint8_t* image = out->getbinary();
  uint32_t size;
  memcpy(&size, image, 4);
  EXPECT_GE(size, 8u);  // a size word counting itself, then the image
  inputStream_binary* in = inputStream_binary::New(image);
  EXPECT_EQ(*reinterpret_cast<const int32_t*>(in->read(D(domains::integer))), -12345);
  auto* nv = reinterpret_cast<const NamedValue*>(in->read(D(domains::namedvalue)));
  EXPECT_STREQ(nv->name, L"k");
  EXPECT_EQ(nv->value->As<int32_t>(), 7);
  EXPECT_TRUE(in->endofstream());

  outputStream_string* text = outputStream_string::New();
  text->write(Int(5));
  text->write(Text({L"a\"b", L"c"}));
  text->writequoted(Text({L"q"}));
  text->nl();
  text->writef(L"<%s>", Text({L"f"}));
  EXPECT_STREQ(text->getstring(), L"5a\"bc\"q\"\n<f>");
}

TEST_F(Streams, FlushHandsTheBytesWrittenSoFar) {
  struct Sink {
    std::vector<uint32_t> handed;
    uint8_t block[16];
    static void Full(void* self, uint8_t*, uint32_t used, uint8_t** next, uint32_t* size) {
      auto* s = static_cast<Sink*>(self);
      s->handed.push_back(used);
      *next = s->block;
      *size = sizeof s->block;
    }
  } sink;
  outputBuffer* buffer = outputBuffer::New(sink.block, sizeof sink.block, {&Sink::Full, &sink});
  outputSupport out(buffer, Mode::Unicode());
  out.flush();
  out.write(Text({L"0123456789"}));  // 20 bytes: one full buffer
  out.flush();
  EXPECT_EQ(sink.handed, (std::vector<uint32_t>{0, 16, 4}));
}

TEST_F(Streams, SaveThenConsultThroughStringStreams) {
  FactDB db{D(facts), nullptr};
  for (auto [name, age] : {std::pair{L"Ann", 31}, std::pair{L"Bo \"B\"", 7}}) {
    auto* p = static_cast<Person*>(GStackAlloc(sizeof(Person)));
    *p = Person{1, name, age};
    Tm::DBInternal::TDBClassInternalDomainDefinition::AssertZClass(D(facts), reinterpret_cast<term>(p));
  }
  outputStream_string* out = outputStream_string::New();
  out->save(&db);
  const wchar_t* saved = out->getstring();
  Tm::DBInternal::RetractAllinFactClass(D(facts), 0);
  inputStream_string::New(saved)->consult(&db);
  std::vector<std::wstring> names;
  for (auto* c = factHeads[0].first; c; c = c->next)
    names.push_back(reinterpret_cast<const Person*>(c->term)->name);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"Ann", L"Bo \"B\""}));
  // Damaged input: the facts read before the error stay.
  Tm::DBInternal::RetractAllinFactClass(D(facts), 0);
  uint32_t id = RunTrapped([&] {
    inputStream_string::New(L"clauses\nperson(\"Cy\", 3).\nperson(\"Dee\" 4).\n")->consult(&db);
  });
  EXPECT_NE(id, 0u);
  ASSERT_NE(factHeads[0].first, nullptr);
  EXPECT_STREQ(reinterpret_cast<const Person*>(factHeads[0].first->term)->name, L"Cy");
  Tm::DBInternal::RetractAllinFactClass(D(facts), 0);
}

// --- String and binary streams ---

TEST_F(Streams, StringOutputPositionsAndGaps) {
  outputStream_string* s = outputStream_string::New();
  EXPECT_STREQ(s->getstring(), L"");
  std::wstring big(3000, L'x');
  big[2999] = L'y';
  s->write(Text({big.c_str()}));
  EXPECT_EQ(s->getposition(), 6000u);
  EXPECT_EQ(std::wstring(s->getstring()), big);

  s = outputStream_string::New();
  s->write(Text({L"abc"}));
  s->setposition(0);
  s->write(Text({L"X"}));
  EXPECT_STREQ(s->getstring(), L"Xbc");
  EXPECT_NE(exception::trygetdescriptor(RunTrapped([&] { s->setposition(3); }),
                                        &string_exception::oddoffset),
            nullptr);
  EXPECT_NE(exception::trygetdescriptor(RunTrapped([&] { s->setposition(1ull << 32); }),
                                        &stream_exception::endofstream),
            nullptr);
  EXPECT_NE(exception::trygetdescriptor(RunTrapped([&] { s->setcrlfconversion(true); }),
                                        &stream_exception::nocrlfconversion),
            nullptr);
  EXPECT_FALSE(s->getcrlfconversion());
  s->setcrlfconversion(false);

  // Dirty the heap first, so that a buffer that is not cleared shows.
  for (int i = 0; i < 2000; ++i) memset(K::Memory::AllocAtomicHeap(8192), 0xAA, 8192);
  K::Memory::GarbageCollector();
  s = outputStream_string::New();
  s->write(Text({L"ab"}));
  s->setposition(10);
  s->write(Text({L"Z"}));
  s->setposition(20000);
  s->write(Text({L"W"}));
  const wchar_t* text = s->getstring();
  EXPECT_STREQ(text, L"ab");  // the gap reads 0: the text ends there
  outputStream_binary* b = outputStream_binary::New();
  b->writebytes("ab", 2);
  b->setposition(10000);
  b->writebytes("Z", 1);
  uint8_t* all = b->getbinary();
  ASSERT_EQ(binary::getsize(all), 10001u);
  for (uint32_t i = 2; i < 10000; ++i) ASSERT_EQ(all[i], 0) << i;
  EXPECT_EQ(all[10000], 'Z');
}

TEST_F(Streams, BinaryOutputChains) {
  outputStream_binary* s = outputStream_binary::New();
  EXPECT_EQ(binary::getsize(s->getbinary()), 0u);
  std::vector<uint8_t> bytes(5000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
  s->writebytes(bytes.data(), 4097);
  EXPECT_EQ(s->getposition(), 4097u);
  s->writebytes(bytes.data() + 4097, 903);
  uint8_t* all = s->getbinary();
  EXPECT_EQ(std::vector<uint8_t>(all, all + binary::getsize(all)), bytes);
  s = outputStream_binary::New();
  s->writebytes(bytes.data(), 10);
  s->setposition(0);
  s->writebytes("xyz", 3);
  all = s->getbinary();
  ASSERT_EQ(binary::getsize(all), 10u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(all), 4), std::string("xyz") + char(21));
  // Moving back into the first buffer and writing across its end.
  s = outputStream_binary::New();
  s->writebytes(bytes.data(), 5000);
  s->setposition(4090);
  s->writebytes("0123456789", 10);
  all = s->getbinary();
  ASSERT_EQ(binary::getsize(all), 5000u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(all) + 4090, 10), "0123456789");
  EXPECT_EQ(all[4100], bytes[4100]);
  // A gap beyond sizeterm: the range error before anything is allocated.
  uint32_t id = RunTrapped([&] { s->setposition(0xF0000000u); });
  EXPECT_NE(exception::trygetdescriptor(id, runtime_exception::exceptionfromerrorcode(302)), nullptr);
  EXPECT_EQ(binary::getsize(s->getbinary()), 5000u);
}

TEST_F(Streams, InputOverStringsAndBinariesRewindAfterTheEnd) {
  uint8_t* three = binary::createfrompointer("abc", 3);
  inputStream_binary* in = inputStream_binary::New(three);
  const uint8_t* got = in->readbytes(10);
  EXPECT_EQ(binary::getsize(got), 3u);
  EXPECT_TRUE(in->endofstream());
  EXPECT_EQ(in->getposition(), 3u);
  EXPECT_EQ(binary::getsize(in->readbytes(10)), 0u);  // at the end: empty, no error
  in->setposition(0);
  EXPECT_EQ(binary::getsize(in->readbytes(2)), 2u);
  in->setposition(3);
  EXPECT_NE(exception::trygetdescriptor(RunTrapped([&] { in->setposition(4); }),
                                        &stream_exception::endofstream),
            nullptr);
  EXPECT_NE(exception::trygetdescriptor(RunTrapped([&] { in->setposition(1ull << 32); }),
                                        &stream_exception::endofstream),
            nullptr);

  inputStream_string* s = inputStream_string::New(L"ab\ncd");
  EXPECT_STREQ(s->readline(), L"ab");
  EXPECT_STREQ(s->readline(), L"cd");
  EXPECT_TRUE(s->endofstream());
  EXPECT_EQ(s->getposition(), 10u);
  uint32_t id = RunTrapped([&] { s->readline(); });
  EXPECT_NE(exception::trygetdescriptor(id, runtime_exception::exceptionfromerrorcode(319)), nullptr);
  EXPECT_EQ(s->getposition(), 10u);
  s->setposition(6);
  EXPECT_EQ(s->readchar(), L'c');
  s->ungetchar();
  EXPECT_EQ(s->readchar(), L'c');
  s->setposition(0);
  id = RunTrapped([&] { s->ungetchar(); });
  EXPECT_NE(exception::trygetdescriptor(id, runtime_exception::exceptionfromerrorcode(320)), nullptr);
  EXPECT_NE(exception::trygetdescriptor(RunTrapped([&] { s->setposition(3); }),
                                        &string_exception::oddoffset),
            nullptr);
  s->setmode(Mode::Binary());
  s->setposition(3);
  s->setmode(Mode::Unicode());  // rounds up to an even offset
  EXPECT_EQ(s->getposition(), 4u);

  inputStream_string* empty = inputStream_string::New(L"");
  EXPECT_TRUE(empty->endofstream());
  EXPECT_NE(exception::trygetdescriptor(RunTrapped([&] { empty->setposition(2); }),
                                        &stream_exception::endofstream),
            nullptr);
}

TEST_F(Streams, ClosedStreams) {
  inputStream_string* in = inputStream_string::New(L"abc");
  in->close();
  for (auto call : std::vector<std::function<void()>>{[&] { in->getposition(); },
                                                       [&] { in->setposition(0); },
                                                       [&] { in->endofstream(); },
                                                       [&] { in->readchar(); }}) {
    uint32_t id = RunTrapped(call);
    const TraceEntry* e =
        exception::trygetdescriptor(id, runtime_exception::exceptionfromerrorcode(329));
    ASSERT_NE(e, nullptr);
    EXPECT_NE(Extra(e, L"ExtraInfo").find(L"inputStream_string"), std::wstring::npos)
        << Narrow(Extra(e, L"ExtraInfo"));
  }
  outputStream_binary* out = outputStream_binary::New();
  out->close();
  for (auto call : std::vector<std::function<void()>>{[&] { out->getbinary(); },
                                                       [&] { out->writebytes("x", 1); },
                                                       [&] { out->getposition(); }}) {
    uint32_t id = RunTrapped(call);
    const TraceEntry* e = exception::trygetdescriptor(id, &common_exception::internal);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(Extra(e, L"Predicate name"), L"outputStream_binary::buffernotfound_exception");
    EXPECT_EQ(Extra(e, L"Arguments"), L"Buffer is not found. Buffer number: 0");
  }
}

TEST_F(Streams, StandardStreams) {
  stdIO::setoutputstream(nullptr);
  stdIO::seterrorstream(nullptr);
  stdIO::setinputstream(nullptr);
  EXPECT_EQ(stdIO::trygetoutputstream(), nullptr);
  struct Case {
    std::function<void()> call;
    const wchar_t* name;
  };
  const Case cases[] = {
      {[] { stdIO::write(Int(1)); }, L"stdIO::write"},
      {[] { stdIO::writef(L"%", Int(1)); }, L"stdIO::writef"},
      {[] { stdIO::nl(); }, L"stdIO::nl"},
      {[] { stdIO::getoutputstream(); }, L"stdIO::getoutputstream"},
      {[] { stdIO::readline(); }, L"stdIO::readline"},
      {[] { stdIO::readchar(); }, L"stdIO::readchar"},
      {[] { stdIO::read(D(domains::integer)); }, L"stdIO::read"},
  };
  for (const Case& c : cases) {
    const TraceEntry* e = exception::trygetdescriptor(RunTrapped(c.call), &stream_exception::nostream);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(Extra(e, L"Predicate name"), c.name);
  }
  outputStream_string* a = outputStream_string::New();
  outputStream_string* b = outputStream_string::New();
  stdIO::setoutputstream(a);
  stdIO::setoutputstream(b);
  EXPECT_EQ(stdIO::getoutputstream(), b);
  stdIO::write(Text({L"x"}));
  stdIO::nl();
  EXPECT_STREQ(b->getstring(), L"x\n");
  // No fallback from the error stream to the output stream.
  const TraceEntry* e = exception::trygetdescriptor(RunTrapped([] { stdIO::write_error(Int(1)); }),
                                                    &stream_exception::nostream);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(Extra(e, L"Predicate name"), L"stdIO::write_error");
  stdIO::setinputstream(inputStream_string::New(L"7 rest"));
  EXPECT_EQ(*reinterpret_cast<const int32_t*>(stdIO::read(D(domains::integer))), 7);
  EXPECT_EQ(stdIO::readchar(), L' ');
  EXPECT_STREQ(stdIO::readline(), L"rest");
  stdIO::setoutputstream(nullptr);
  stdIO::setinputstream(nullptr);
}

TEST_F(Streams, BadBinaryImagesAndTermText) {
  struct Case {
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {{1, 2}},                           // fewer than 4 bytes
      {{40, 0, 0, 0, 1, 2, 3}},           // a size word beyond the data
      {{0xFF, 0xFF, 0xFF, 0xFF, 1, 2}},   // 4 GiB
      {{2, 0, 0, 0}},                     // a size word below 4
  };
  for (const Case& c : cases) {
    uint8_t* b = binary::createfrompointer(c.bytes.data(), static_cast<uint32_t>(c.bytes.size()));
    uint32_t id = RunTrapped([&] { inputStream_binary::New(b)->read(D(domains::integer)); });
    const TraceEntry* e = Entries().at(0);
    EXPECT_EQ(e->traceId, id);
    uint32_t code = Unsigned(exception::trygetextrainfo(e, L"error code"));
    EXPECT_TRUE(code == 319 || code == 206 || code == 304) << code;
  }
  for (const wchar_t* bad : {L"", L"12x", L"\"open", L"99999999999"}) {
    uint32_t id = RunTrapped([&] {
      inputStream_string* s = inputStream_string::New(bad);
      s->read(D(domains::integer));
      s->read(D(domains::integer));
    });
    EXPECT_NE(id, 0u) << Narrow(bad);
  }
}

}  // namespace
