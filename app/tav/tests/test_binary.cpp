// The binary class: creation and editing, values by offset and index, the
// range rule in 64 bits, null and damaged binaries.
#include "binary/binary.h"
#include "tav_test.h"

using namespace tavtest;
namespace Kn = Qel::RunTime::Kernel;

namespace {

using Binaries = Library;

std::vector<uint8_t> Bytes(const uint8_t* b) { return {b, b + binary::getsize(b)}; }
using B = std::vector<uint8_t>;
uint8_t* Make(std::initializer_list<uint8_t> bytes) {
  return binary::createfrompointer(std::data(bytes), static_cast<uint32_t>(bytes.size()));
}
uint32_t SizeWord(const uint8_t* b) {
  uint32_t w;
  memcpy(&w, b - 4, 4);
  return w;
}

TEST_F(Binaries, CreationAndEditing) {
  uint8_t* empty = binary::create(0);
  EXPECT_EQ(SizeWord(empty), 4u);
  EXPECT_EQ(Bytes(binary::create(3)), (B{0, 0, 0}));
  EXPECT_EQ(Bytes(binary::create(2, 3)), B(6, 0));
  uint8_t* b = Make({1, 2, 3, 4});
  EXPECT_EQ(Bytes(binary::createcopy(b)), (B{1, 2, 3, 4}));
  EXPECT_EQ(Bytes(binary::resize(b, 2)), (B{1, 2}));
  EXPECT_EQ(Bytes(binary::resize(b, 6)), (B{1, 2, 3, 4, 0, 0}));
  EXPECT_EQ(Bytes(binary::concat(b, Make({9}))), (B{1, 2, 3, 4, 9}));
  EXPECT_EQ(Bytes(binary::insert(b, 4, Make({9}))), (B{1, 2, 3, 4, 9}));
  EXPECT_EQ(Bytes(binary::insert(b, 1, Make({8, 9}))), (B{1, 8, 9, 2, 3, 4}));
  EXPECT_EQ(Bytes(binary::delete_(b, 0, 4)), B{});
  EXPECT_EQ(Bytes(binary::delete_(b, 1, 2)), (B{1, 4}));
  EXPECT_EQ(Bytes(binary::getbinary(b, 1, 3)), (B{2, 3, 4}));
  uint8_t *first, *second;
  binary::splitbinary(b, 1, &first, &second);
  EXPECT_EQ(Bytes(first), (B{1}));
  EXPECT_EQ(Bytes(second), (B{2, 3, 4}));
  const int32_t ints[] = {1, -1};
  EXPECT_EQ(Bytes(binary::createfromintegerlist(ints, 2)), (B{1, 0, 0, 0, 255, 255, 255, 255}));
  binary::setbinary(b, 2, Make({7, 7}));
  EXPECT_EQ(Bytes(b), (B{1, 2, 7, 7}));
}

TEST_F(Binaries, OutOfRangeAccessesRaiseAndChangeNothing) {
  uint8_t* b = Make({1, 2, 3, 4});
  uint8_t* one = Make({5});
  struct Case {
    const char* what;
    std::function<void()> call;
    uint32_t index;
  };
  const Case cases[] = {
      {"u8 at size", [&] { binary::getindexed_unsigned8(b, 4); }, 4},
      {"u16 on 1 byte", [&] { binary::getindexed_unsigned16(one, 0); }, 0},
      {"u64 scaled index", [&] { binary::getindexed_unsigned64(b, 0x20000000); }, 0xFFFFFFFF},
      {"u32 scaled index", [&] { binary::setindexed_unsigned32(b, 0x40000000, 1); }, 0xFFFFFFFF},
      {"insert past end", [&] { binary::insert(b, 5, one); }, 5},
      {"delete past end", [&] { binary::delete_(b, 1, 4); }, 1},
      {"delete wraps", [&] { binary::delete_(b, 2, 0xFFFFFFFF); }, 2},
      {"getbinary wraps", [&] { binary::getbinary(b, 1, 0xFFFFFFFF); }, 1},
      {"setbinary past end", [&] { binary::setbinary(b, 4, one); }, 4},
      {"string without room", [&] { binary::setvalue(b, 0, value::string(L"ab")); }, 0},
      {"boolean past end", [&] { binary::setvalue(b, 5, value::boolean(true)); }, 5},
      {"object is 8 bytes", [&] { binary::setvalue(b, 0, value::object(b)); }, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    uint32_t id = RunTrapped(c.call);
    const TraceEntry* e = exception::trygetdescriptor(id, &binary_exception::indexoutofrange);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(Unsigned(exception::trygetextrainfo(e, L"Index")), c.index);
    EXPECT_EQ(Bytes(b), (B{1, 2, 3, 4}));
  }
  EXPECT_EQ(binary::getindexed_unsigned8(b, 3), 4);
  binary::setvalue(b, 4, value::boolean(true));  // at the end: allowed, writes nothing
}

TEST_F(Binaries, SizesBeyondTheLimitsAreRangeErrors) {
  const ExceptionDescriptor* range = runtime_exception::exceptionfromerrorcode(302);
  uint8_t* top = TPrologThreadData::GetGStackTop();
  for (auto call : std::vector<std::function<void()>>{
           [] { binary::create(65536, 65537); },
           [] { binary::create(0xFFFFFFFE); },
           [] { binary::create(0x70000000); },
       }) {
    EXPECT_NE(exception::trygetdescriptor(RunTrapped(call), range), nullptr);
    EXPECT_EQ(TPrologThreadData::GetGStackTop(), top);
  }
  // A size word below 4: the range error, not a size near 4 GiB.
  uint8_t damaged[8] = {2, 0, 0, 0};
  EXPECT_NE(exception::trygetdescriptor(RunTrapped([&] { binary::getsize(damaged + 4); }), range),
            nullptr);
  uint32_t id = RunTrapped([] { binary::getsize(nullptr); });
  const TraceEntry* e = exception::trygetdescriptor(id, &binary_exception::wrongbinaryformat);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(Names(e), (std::vector<std::wstring>{L"Wrong binary"}));
}

TEST_F(Binaries, ValuesRoundTrip) {
  uint8_t* b = binary::create(48);
  struct Case {
    const ValueTerm* v;
    uint32_t offset;
  };
  int probe = 0;
  const Case cases[] = {
      {value::unsigned64(0x1122334455667788ull), 1}, {value::integer64(-2), 9},
      {value::unsigned_(0xDEADBEEF), 17},           {value::integer(-7), 21},
      {value::real(2.5), 25},                       {value::char_(L'Ж'), 33},
      {value::pointer(&probe), 35},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.v->Kind()));
    binary::setvalue(b, c.offset, c.v);
    const ValueTerm* back = binary::getvalue(b, c.offset, c.v->Kind());
    EXPECT_EQ(back->payload, c.v->payload);
  }
  EXPECT_EQ(binary::getindexed_unsigned8(b, 1), 0x88);  // little-endian, unaligned
  uint8_t* text = binary::create(12);
  binary::setvalue(text, 2, value::string(L"abc"));
  EXPECT_EQ(Text(binary::getvalue(text, 2, ValueKind::string)), L"abc");
  binary::setvalue(text, 0, value::binary(Make({'x', 0})));
  EXPECT_EQ(Bytes(binary::getvalue(text, 10, ValueKind::binary)->As<const uint8_t*>()), (B{0, 0}));

  // Reads stop at the size: no zero character, and an odd byte count.
  uint8_t* raw = Make({'a', 0, 'b', 0, 'c'});
  EXPECT_EQ(Text(binary::getvalue(raw, 0, ValueKind::string)), std::wstring(L"abc"));
  EXPECT_EQ(Text(binary::getvalue(raw, 4, ValueKind::string)), L"c");
  EXPECT_EQ(Text(binary::getvalue(raw, 5, ValueKind::string)), L"");

  int64_t i64 = -5;
  binary::setindexed_integer64(b, 2, i64);
  EXPECT_EQ(binary::getindexed_integer64(b, 2), -5);
  binary::setindexed_real(b, 0, 0.125);
  EXPECT_EQ(binary::getindexed_real(b, 0), 0.125);
  binary::setindexed_integer16(b, 1, -2);
  EXPECT_EQ(binary::getindexed_unsigned16(b, 1), 0xFFFE);
}

TEST_F(Binaries, StringLists) {
  auto list = [](const uint8_t* b) {
    std::vector<std::wstring> v;
    for (const StringList* l = binary::binarytostringlist(b); !l->Empty(); l = l->tail)
      v.push_back(l->head);
    return v;
  };
  using W = std::vector<std::wstring>;
  EXPECT_EQ(list(Make({'a', 0, 'b', 0, 0, 0, 'c', 0, 0, 0})), (W{L"ab", L"c"}));
  EXPECT_EQ(list(Make({'a', 0, 'b', 0, 0, 0, 'c', 0})), (W{L"ab", L"c"}));
  EXPECT_EQ(list(Make({'a', 0, 0, 0, 'c'})), (W{L"a", L"c"}));
  EXPECT_EQ(list(binary::create(0)), W{});
  EXPECT_EQ(list(Make({0, 0, 0, 0})), (W{L"", L""}));
}

}  // namespace
