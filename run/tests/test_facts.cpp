// Fact databases seen from the runtime core: a class declaring several facts
// in static records, linked by RunUnitInitialization; its fact terms through
// the typed operations, the database's own slots, the binary-image slots of
// the domain classes, and the memory-profile contexts of the facts.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "qel6run_db.h"
#include "run_test.h"

using namespace Qel::RunTime;
using namespace Qel::RunTime::Terms;
using namespace Qel::RunTime::Terms::DBInternal;
using namespace runtest;
namespace decl = Qel::RunTime::Decl;

namespace {

// --- The unit: class roster with a class database and an object database ------------------

extern RScopeClassDescriptor roster;
RIntegralDomain day = decl::Integer({L"day", QEL_HERE, nullptr, &roster}, 1, 31);
RRealDomain hours = decl::Real({L"hours", QEL_HERE, &day.head, &roster}, 0, 24);
RDomainRecord doctor = decl::Simple(kString, {L"doctor", QEL_HERE, &hours.head, &roster});
QEL_LIST(days, day, int32_t, {L"days", QEL_HERE, &doctor, &roster});

// duty(doctor, day), swap(doctor, doctor, day), shift(day, hours, days): any
// number; planner(doctor): single, in a cell; week(day): single, bare.
struct Duty { uint64_t functor; const wchar_t* who; int32_t on; };
struct Swap { uint64_t functor; const wchar_t* from; const wchar_t* to; int32_t on; };
struct Shift { uint64_t functor; int32_t on; double length; const void* off; };
struct Planner { uint64_t functor; const wchar_t* who; };
struct Week { uint64_t functor; int32_t first; };
decl::Arguments dutyArgs{{QEL_ARG(Duty, who, doctor), QEL_ARG(Duty, on, day)}};
decl::Arguments swapArgs{{QEL_ARG(Swap, from, doctor), QEL_ARG(Swap, to, doctor), QEL_ARG(Swap, on, day)}};
decl::Arguments shiftArgs{{QEL_ARG(Shift, on, day), QEL_ARG(Shift, length, hours), QEL_ARG(Shift, off, days)}};
decl::Arguments plannerArgs{{QEL_ARG(Planner, who, doctor)}};
decl::Arguments weekArgs{{QEL_ARG(Week, first, day)}};
#define ROSTER_FACTS                                                  \
  {L"duty", dutyArgs.a, 2, sizeof(Duty), 0, 0, 0, 0},                 \
  {L"swap", swapArgs.a, 3, sizeof(Swap), 0, 0, 0, 0},                 \
  {L"shift", shiftArgs.a, 3, sizeof(Shift), 0, 0, 0, 0},              \
  {L"planner", plannerArgs.a, 1, sizeof(Planner), 1, 0, 0, 0},        \
  {L"week", weekArgs.a, 1, sizeof(Week), 1, 0, 0, 1}
RFactDescriptor rosterFacts[] = {ROSTER_FACTS};
RFactDescriptor wardFacts[] = {ROSTER_FACTS};
RFactHead rosterHeads[5];
RFactDatabase rosterDb{
    decl::Head(kClassFacts, sizeof(RFactDatabase), {L"rosterDb", QEL_HERE, &days.head, &roster}), 5,
    rosterFacts, 0, reinterpret_cast<uintptr_t>(rosterHeads)};
// A ward object: its facts' heads after a method-table word.
struct Ward {
  void* table;
  RFactHead heads[5];
};
RFactDatabase wardDb{
    decl::Head(kObjectFacts, sizeof(RFactDatabase), {L"wardDb", QEL_HERE, &rosterDb.head, &roster}), 5,
    wardFacts, 0, offsetof(Ward, heads)};
RScopeClassDescriptor roster = decl::Class(L"roster", QEL_HERE, &wardDb.head);
decl::UnitTable rosterUnit{&roster};

int LinkRoster() {
  static int result = RunUnitInitialization(reinterpret_cast<void*>(0x7FF600070000),
                                            reinterpret_cast<void*>(&LinkRoster), rosterUnit.Table(), nullptr);
  return result;
}

// Terms on the global stack.
template <class S>
term Make(const S& value) {
  auto* p = static_cast<S*>(Alloc(sizeof(S)));
  *p = value;
  return reinterpret_cast<term>(p);
}
term Days(std::initializer_list<int32_t> values) {
  term list = Make(uint64_t{2});
  for (auto it = values.end(); it != values.begin();) {
    --it;
    list = Make(days_cons{1, *it, list});
  }
  return list;
}

std::wstring Text(const IDomainDefinition* d, term t) { return ToString(d, t); }

// A method-table slot of an activated record, called as compiled code does.
template <class F>
F Slot(const IDomainDefinition* d, int slot) {
  return reinterpret_cast<F>((*reinterpret_cast<void* const* const*>(d))[slot]);
}

class FactTerms : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(LinkRoster(), 0); }
  const IDomainDefinition* db = D(rosterDb);
};

// --- Typed operations on fact terms ---------------------------------------------------------------

TEST_F(FactTerms, CompareCopyAndTextOfEachFact) {
  struct Case {
    const char* fact;
    term low, high;         // low orders before high
    const wchar_t* text;    // of low
    uint32_t size;
  };
  std::vector<Case> cases = {
      {"duty", Make(Duty{1, L"ann", 3}), Make(Duty{1, L"ann", 4}), L"duty(\"ann\",3)", sizeof(Duty)},
      {"swap", Make(Swap{2, L"ann", L"bob", 7}), Make(Swap{2, L"ann", L"cid", 1}),
       L"swap(\"ann\",\"bob\",7)", sizeof(Swap)},
      {"shift", Make(Shift{3, 5, 7.5, Days({1, 2})}), Make(Shift{3, 5, 7.5, Days({1, 3})}),
       L"shift(5,7.5,[1,2])", sizeof(Shift)},
      {"planner", Make(Planner{4, L"dora"}), Make(Planner{4, L"eve"}), L"planner(\"dora\")", sizeof(Planner)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fact);
    volatile int order = 9, reverse = 9, same = 9;
    term copy = nullptr;
    std::wstring text, copyText;
    ASSERT_EQ(ErrorOf([&] {
                order = CompareTerms(db, c.low, c.high);
                reverse = CompareTerms(db, c.high, c.low);
                same = CompareTerms(db, c.low, c.low);
                CopyTermToGStack(db, c.low, &copy);
                text = Text(db, c.low);
                copyText = Text(db, copy);
              }),
              0u)
        << Narrow(LastErrorText());
    EXPECT_EQ(order, 1);
    EXPECT_EQ(reverse, -1);
    EXPECT_EQ(same, 0);
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(copyText, c.text);
    EXPECT_EQ(SizeOfTerm(db, c.low), c.size);
    EXPECT_NE(copy, c.low);
    term parsed = nullptr;
    ASSERT_EQ(ErrorOf([&] { parsed = FromString(db, c.text); }), 0u) << Narrow(LastErrorText());
    EXPECT_EQ(CompareTerms(db, parsed, c.low), 0);
  }
  // Terms of different facts order by declaration.
  EXPECT_EQ(CompareTerms(db, cases[2].high, cases[1].low), -1);
  EXPECT_EQ(CompareTerms(db, cases[1].low, cases[2].high), 1);
}

TEST_F(FactTerms, HeapCopiesAndValidationUseTheFactsOwnLayout) {
  term t = Make(Shift{3, 9, 12.25, Days({4, 5, 6})});
  term heap = nullptr;
  ASSERT_EQ(ErrorOf([&] { heap = CopyTermFromGStack(db, t); }), 0u) << Narrow(LastErrorText());
  EXPECT_EQ(Text(db, heap), L"shift(9,12.25,[4,5,6])");
  EXPECT_EQ(ErrorOf([&] { Validate(db, t); }), 0u) << Narrow(LastErrorText());
  // A fact number beyond the database's facts is not a valid term.
  EXPECT_EQ(ErrorOf([&] { Validate(db, Make(Duty{6, L"x", 1})); }), 301u);
}

// --- Start-up and the database's own slots --------------------------------------------------------

// A class of its own, declared afresh on every run, so that its heads are
// seen right after linking.
RFactDescriptor freshFacts[] = {ROSTER_FACTS};

TEST(FactStartUp, LinkingGivesEverySingleFactInACellItsCell) {
  ASSERT_EQ(LinkRoster(), 0);  // the domains of the facts' arguments
  static RScopeClassDescriptor fresh;
  static RFactDatabase freshDb;
  static RFactHead freshHeads[5];
  freshDb = RFactDatabase{
      decl::Head(kClassFacts, sizeof(RFactDatabase), {L"freshDb", QEL_HERE, nullptr, &fresh}), 5,
      freshFacts, 0, reinterpret_cast<uintptr_t>(freshHeads)};
  fresh = decl::Class(L"freshRoster", QEL_HERE, &freshDb.head);
  // Leftovers that linking must clear.
  static RStructFact stale{nullptr, nullptr};
  freshHeads[0] = RFactHead{&stale, &stale};
  static decl::UnitTable unit{&fresh};
  ASSERT_EQ(RunUnitInitialization(reinterpret_cast<void*>(0x7FF600080000), nullptr, unit.Table(), nullptr), 0);
  for (int i : {0, 1, 2, 4}) {
    EXPECT_EQ(freshHeads[i].first, nullptr) << i;
    EXPECT_EQ(freshHeads[i].last, nullptr) << i;
  }
  RStructFact* cell = freshHeads[3].first;
  ASSERT_NE(cell, nullptr);
  EXPECT_EQ(freshHeads[3].last, cell);
  EXPECT_EQ(cell->term, nullptr);
  EXPECT_EQ(cell->next, nullptr);
  // Compiled code asserts into that cell.
  TDBClassInternalDomainDefinition::AssertZClass(D(freshDb), Make(Planner{4, L"fay"}));
  EXPECT_EQ(freshHeads[3].first, cell);
  EXPECT_EQ(Text(D(freshDb), cell->term), L"planner(\"fay\")");
  RunUnitTermination(reinterpret_cast<void*>(0x7FF600080000));
}

TEST(FactStartUp, AClassDatabaseWithoutHeadsIsRefused) {
  static RScopeClassDescriptor headless;
  static RFactDatabase noHeads{
      decl::Head(kClassFacts, sizeof(RFactDatabase), {L"noHeads", QEL_HERE, nullptr, &headless}), 5,
      freshFacts, 0, 0};
  headless = decl::Class(L"headless", QEL_HERE, &noHeads.head);
  static decl::UnitTable unit{&headless};
  EXPECT_EQ(RunUnitInitialization(reinterpret_cast<void*>(0x7FF600090000), nullptr, unit.Table(), nullptr), 3);
  EXPECT_EQ(ErrorOf([] { D(noHeads)->PostInitialize(); }), 3u);
  EXPECT_EQ(LastErrorText(), L"The database 'headless::noHeads' has no chain heads");
  RunUnitTermination(reinterpret_cast<void*>(0x7FF600090000));
}

TEST_F(FactTerms, DescriptorAndAssertSlotsOfBothDatabaseKinds) {
  using Entry = const RFactDescriptor* (*)(const IDomainDefinition*, uint32_t);
  using Assert = void (*)(const IDomainDefinition*, void*, term);
  for (uint32_t n = 1; n <= 5; ++n) {
    EXPECT_EQ(Slot<Entry>(db, 59)(db, n), &rosterFacts[n - 1]) << n;
    EXPECT_EQ(Slot<Entry>(D(wardDb), 59)(D(wardDb), n), &wardFacts[n - 1]) << n;
  }
  EXPECT_EQ(ErrorOf([&] { Slot<Entry>(db, 59)(db, 6); }), 3u);

  RetractAllinFactClass(db, 1);
  Slot<Assert>(db, 69)(db, nullptr, Make(Swap{2, L"b", L"c", 2}));
  Slot<Assert>(db, 68)(db, nullptr, Make(Swap{2, L"a", L"b", 1}));
  Slot<Assert>(db, 69)(db, nullptr, Make(Swap{2, L"c", L"d", 3}));
  std::vector<std::wstring> chain;
  for (RStructFact* c = rosterHeads[1].first; c; c = c->next) chain.push_back(Text(db, c->term));
  EXPECT_EQ(chain, (std::vector<std::wstring>{L"swap(\"a\",\"b\",1)", L"swap(\"b\",\"c\",2)",
                                              L"swap(\"c\",\"d\",3)"}));
  EXPECT_EQ(Text(db, rosterHeads[1].last->term), L"swap(\"c\",\"d\",3)");

  Ward ward{};
  InitializeObjectFacts(D(wardDb), &ward);
  Slot<Assert>(D(wardDb), 69)(D(wardDb), &ward, Make(Duty{1, L"w2", 2}));
  Slot<Assert>(D(wardDb), 68)(D(wardDb), &ward, Make(Duty{1, L"w1", 1}));
  ASSERT_NE(ward.heads[0].first, nullptr);
  EXPECT_EQ(Text(D(wardDb), ward.heads[0].first->term), L"duty(\"w1\",1)");
  EXPECT_EQ(Text(D(wardDb), ward.heads[0].last->term), L"duty(\"w2\",2)");
  // An object database needs its object.
  EXPECT_EQ(ErrorOf([&] { Slot<Assert>(D(wardDb), 69)(D(wardDb), nullptr, Make(Duty{1, L"w", 1})); }), 3u);
}

TEST_F(FactTerms, EnumerationVisitsEachFactWithItsDatabase) {
  struct Seen : RFactVisitor {
    std::vector<std::wstring> calls;
    std::vector<const RFactDescriptor*> facts;
    std::vector<RFactHead*> heads;
    void Add(const wchar_t* kind, const RFactDescriptor* f, const wchar_t* name, RFactHead* h,
             const wchar_t* database) {
      calls.push_back(std::wstring(kind) + L" " + database + L" " + name);
      facts.push_back(f);
      heads.push_back(h);
    }
    void ClassFact(const RFactDescriptor* f, const wchar_t* name, RFactHead* h, const wchar_t* d) override {
      Add(L"class", f, name, h, d);
    }
    void ObjectFact(const RFactDescriptor* f, const wchar_t* name, RFactHead* h, const wchar_t* d) override {
      Add(L"object", f, name, h, d);
    }
  };
  Seen classSeen;
  db->EnumerateFacts(nullptr, &classSeen);
  EXPECT_EQ(classSeen.calls,
            (std::vector<std::wstring>{L"class roster::rosterDb duty", L"class roster::rosterDb swap",
                                       L"class roster::rosterDb shift", L"class roster::rosterDb planner",
                                       L"class roster::rosterDb week"}));
  EXPECT_EQ(classSeen.facts[2], &rosterFacts[2]);
  EXPECT_EQ(classSeen.heads[4], rosterHeads);

  Ward ward{};
  Seen objectSeen;
  D(wardDb)->EnumerateFacts(&ward, &objectSeen);
  ASSERT_EQ(objectSeen.calls.size(), 5u);
  EXPECT_EQ(objectSeen.calls[1], L"object roster::wardDb swap");
  EXPECT_EQ(objectSeen.facts[1], &wardFacts[1]);
  EXPECT_EQ(objectSeen.heads[1], ward.heads);
  Seen noObject;
  D(wardDb)->EnumerateFacts(nullptr, &noObject);
  EXPECT_EQ(noObject.heads[0], nullptr);
  // Other kinds have no facts.
  Seen none;
  D(days)->EnumerateFacts(nullptr, &none);
  EXPECT_TRUE(none.calls.empty());
}

// --- Binary images through the domain classes' slots ---------------------------------------------

// An image built by hand from the slots: the size pass, then the emit pass
// into a binary of that size.
std::vector<uint8_t> EmitThroughSlots(const IDomainDefinition* d, term t, uint32_t codePage) {
  RHtoBinary size{0, codePage, 0, nullptr, nullptr, false};
  d->BinarySize(t, &size);
  uint64_t data = size.position;
  uint64_t total = data + (size.hasPointerTable ? 4 * (size.pointerCount + 1) : 0);
  std::vector<uint8_t> image(4 + total);
  uint32_t length = static_cast<uint32_t>(total + 4);
  std::memcpy(image.data(), &length, 4);
  RHtoBinary emit{0, codePage, 0, image.data() + 4, image.data() + 4 + data, size.hasPointerTable};
  d->BinaryEmit(t, &emit);
  EXPECT_EQ(emit.position, data);
  EXPECT_EQ(emit.pointerCount, size.pointerCount);
  if (size.hasPointerTable) std::memcpy(image.data() + 4 + data + 4 * emit.pointerCount, &emit.pointerCount, 4);
  return image;
}

std::vector<uint8_t> Bytes(const uint8_t* binary) {
  uint32_t length;
  std::memcpy(&length, binary - 4, 4);
  return std::vector<uint8_t>(binary - 4, binary + length - 4);
}

TEST_F(FactTerms, ImagesRoundTripThroughTheBinarySlots) {
  int32_t seven = 7;
  double half = 0.5;
  struct Case {
    const char* what;
    const IDomainDefinition* d;
    term t;
    bool table;
  } cases[] = {
      {"integer", D(day), reinterpret_cast<term>(&seven), false},
      {"real", D(hours), reinterpret_cast<term>(&half), false},
      {"string", D(doctor), reinterpret_cast<term>(L"Gr\u00FC\u00DFe"), false},
      {"list", D(days), Days({3, 1, 2}), true},
      {"second fact", db, Make(Swap{2, L"ann", L"bob", 7}), true},
      {"third fact", db, Make(Shift{3, 5, 7.5, Days({1, 2})}), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (uint32_t codePage : {kUtf16Image, 1252u}) {
      std::vector<uint8_t> image;
      term back = nullptr;
      RBinaryReader reader{};
      ASSERT_EQ(ErrorOf([&] {
                  image = EmitThroughSlots(c.d, c.t, codePage);
                  const uint8_t* data = image.data() + 4;
                  reader = RBinaryReader{codePage, c.d, false, static_cast<uint32_t>(image.size() - 4), 0, data};
                  if (codePage == kUtf16Image) {
                    c.d->BinaryPrepareRead(data, &reader);
                    back = c.d->BinaryReadFinish(c.d->BinaryRead(data, &reader));
                  } else {
                    back = c.d->BinaryReadFinish(c.d->BinaryReadCodePage(&reader));
                  }
                }),
                0u)
          << Narrow(LastErrorText());
      // The same bytes as the exported writer, read back to an equal term.
      TBinary exported = codePage == kUtf16Image ? ToBinary(c.d, c.t) : ToBinaryCodePage(c.d, c.t, codePage);
      EXPECT_EQ(image, Bytes(exported));
      EXPECT_EQ(CompareTerms(c.d, back, c.t), 0);
      if (codePage == kUtf16Image) EXPECT_EQ(reader.hasPointerTable, c.table);
      else EXPECT_EQ(reader.position, reader.dataSize);
    }
  }
}

// A stream over bytes, lent as one block.
class ByteSource final : public RBufferSource {
 public:
  explicit ByteSource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  void NextBlock(uint8_t** base, uint32_t* length) override {
    if (lent_ && pos_ >= bytes_.size()) ended_ = true;
    if (ended_) pos_ = 0;
    lent_ = true;
    *base = bytes_.data();
    *length = ended_ ? 0 : static_cast<uint32_t>(bytes_.size());
  }
  uint32_t* PositionCell() override { return &pos_; }

 private:
  std::vector<uint8_t> bytes_;
  uint32_t pos_ = 0;
  bool lent_ = false, ended_ = false;
};

TEST_F(FactTerms, BinaryStreamsReadTheImageThroughTheDomain) {
  term fact = Make(Shift{3, 8, 6.0, Days({9})});
  ByteSource source(Bytes(ToBinary(db, fact)));
  term back = nullptr;
  ASSERT_EQ(ErrorOf([&] { back = Streams::ParseFromStream(db, &source, 0); }), 0u) << Narrow(LastErrorText());
  EXPECT_EQ(Text(db, back), L"shift(8,6,[9])");
  // A damaged image is refused with 304.
  std::vector<uint8_t> bad = Bytes(ToBinary(db, fact));
  bad[4] = 9;  // fact number 9
  ByteSource damaged(bad);
  EXPECT_EQ(ErrorOf([&] { Streams::ParseFromStream(db, &damaged, 0); }), 304u);
}

// --- Memory-profile contexts of the facts ---------------------------------------------------------

struct ProfileRecord {
  uint32_t type;
  std::vector<uint32_t> words;
  // The zero-terminated texts from word `from` on.
  std::vector<std::wstring> Texts(size_t from) const {
    std::vector<std::wstring> out(1);
    auto* units = reinterpret_cast<const wchar_t*>(words.data() + from);
    size_t n = (words.size() - from) * 2;
    for (size_t i = 0; i < n; ++i) {
      if (units[i]) out.back() += units[i];
      else out.emplace_back();
    }
    return out;
  }
};

std::vector<ProfileRecord> ReadProfile(const wchar_t* path) {
  HANDLE f = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  std::vector<uint32_t> words(GetFileSize(f, nullptr) / 4);
  DWORD got = 0;
  ReadFile(f, words.data(), static_cast<DWORD>(words.size() * 4), &got, nullptr);
  CloseHandle(f);
  std::vector<ProfileRecord> records;
  for (size_t at = 0; at < words.size();) {
    size_t length = (words[at] & 0xFFFF) + 1;
    if (at + length > words.size()) break;
    records.push_back({words[at] >> 16, std::vector<uint32_t>(words.begin() + at + 1, words.begin() + at + length)});
    at += length;
  }
  return records;
}

TEST_F(FactTerms, FactAllocationsCarryTheKeysOfTheirContextEntries) {
  wchar_t dir[MAX_PATH], path[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  GetTempFileNameW(dir, L"prf", 0, path);
  using namespace Qel::RunTime::Kernel::Memory::Statistics;
  Ward ward{};
  InitializeObjectFacts(D(wardDb), &ward);
  memProf_Open(path);
  TDBClassInternalDomainDefinition::AssertZClass(db, Make(Swap{2, L"p", L"q", 4}));
  TDBObjectInternalDomainDefinition::AssertZObject(D(wardDb), &ward, Make(Shift{3, 1, 2.0, Days({5})}));
  memProf_Close();
  std::vector<ProfileRecord> records = ReadProfile(path);
  DeleteFileW(path);

  struct Expect {
    uint32_t context;
    const RFactDescriptor* fact;
    const wchar_t* database;
    const wchar_t* name;
    const RFactDatabase* record;
  } expects[] = {{1, &rosterFacts[1], L"roster::rosterDb", L"swap", &rosterDb},
                 {2, &wardFacts[2], L"roster::wardDb", L"shift", &wardDb}};
  for (const Expect& e : expects) {
    SCOPED_TRACE(Narrow(e.name));
    uint32_t key = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(e.fact));
    const ProfileRecord* entry = nullptr;
    for (const ProfileRecord& r : records)
      if (r.type == 5 && r.words.size() > 2 && r.words[0] == e.context && r.words[1] == key) entry = &r;
    ASSERT_NE(entry, nullptr);
    std::vector<std::wstring> columns = entry->Texts(2);
    ASSERT_GE(columns.size(), 5u);
    EXPECT_EQ(columns[1], e.record->head.position.fileName);
    EXPECT_EQ(columns[2], std::to_wstring(e.record->head.position.position & 0xFFFFF) + L":" +
                              std::to_wstring(e.record->head.position.position >> 20));
    EXPECT_EQ(columns[3], e.database);
    EXPECT_EQ(columns[4], e.name);
    // The fact's cell and term were allocated inside that context.
    int inside = 0;
    for (const ProfileRecord& r : records)
      if (r.type == 1)
        for (size_t i = 3; i + 1 < r.words.size(); i += 2)
          if (r.words[i] == e.context && r.words[i + 1] == key) ++inside;
    EXPECT_GE(inside, 2);
  }
}

}  // namespace
