// The registry class under HKCU\Software\kalmoraTessaro-tests\<test>: each
// value kind written, checked with the system's own query and read back;
// foreign data (odd, unterminated, short, big-endian, lists); listing
// orders; recursive deletion and its refusal of the root; error information.
#include <windows.h>

#include "binary/binary.h"
#include "registry/registry.h"
#include "tav_test.h"

using namespace tavtest;

namespace {

const wchar_t* const kBase = L"Software\\kalmoraTessaro-tests";

class Registry : public Library {
 protected:
  void SetUp() override {
    Library::SetUp();
    path_ = std::wstring(kBase) + L"\\" +
            std::wstring(::testing::UnitTest::GetInstance()->current_test_info()->name(),
                         ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                             strlen(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    Library::TearDown();
  }
  const wchar_t* Path() const { return path_.c_str(); }
  // Raw data as another program would write it.
  void Raw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Path(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                              nullptr), 0);
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), 0);
    RegCloseKey(key);
  }
  std::vector<uint8_t> Query(const wchar_t* name, DWORD* type) {
    std::vector<uint8_t> data(256);
    DWORD size = 256;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, Path(), name, RRF_RT_ANY | RRF_NOEXPAND, type,
                           data.data(), &size), 0);
    data.resize(size);
    return data;
  }
  std::wstring path_;
};

std::vector<uint8_t> Bytes(std::initializer_list<int> b) { return {b.begin(), b.end()}; }
std::vector<uint8_t> BinaryBytes(const ValueTerm* v) {
  if (v->Kind() != ValueKind::binary) return {};
  const uint8_t* b = v->As<const uint8_t*>();
  return {b, b + binary::getsize(b)};
}

TEST_F(Registry, EachKindIsWrittenAsItsTypeAndReadBack) {
  const uint8_t blob[] = {1, 2, 3};
  int dummy = 0;
  struct Case {
    const wchar_t* name;
    const ValueTerm* value;
    DWORD type;
    std::vector<uint8_t> bytes;
    ValueKind back;
  };
  const Case cases[] = {
      {L"none", value::none(), REG_NONE, {}, ValueKind::none},
      {L"false", value::boolean(false), REG_DWORD, Bytes({0, 0, 0, 0}), ValueKind::unsigned_},
      {L"true", value::boolean(true), REG_DWORD, Bytes({1, 0, 0, 0}), ValueKind::unsigned_},
      {L"unsigned", value::unsigned_(0x12345678), REG_DWORD, Bytes({0x78, 0x56, 0x34, 0x12}),
       ValueKind::unsigned_},
      {L"integer", value::integer(-2), REG_DWORD, Bytes({0xFE, 0xFF, 0xFF, 0xFF}),
       ValueKind::unsigned_},
      {L"char", value::char_(L'\x20AC'), REG_DWORD, Bytes({0xAC, 0x20, 0, 0}), ValueKind::unsigned_},
      {L"string", value::string(L"ab"), REG_SZ, Bytes({'a', 0, 'b', 0, 0, 0}), ValueKind::string},
      {L"unsigned64", value::unsigned64(0x0102030405060708), REG_BINARY,
       Bytes({8, 7, 6, 5, 4, 3, 2, 1}), ValueKind::binary},
      {L"integer64", value::integer64(-1), REG_BINARY, std::vector<uint8_t>(8, 0xFF),
       ValueKind::binary},
      {L"real", value::real(1.5), REG_BINARY, Bytes({0, 0, 0, 0, 0, 0, 0xF8, 0x3F}),
       ValueKind::binary},
      {L"time", value::gmttimevalue(0x1122334455667788), REG_BINARY,
       Bytes({0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}), ValueKind::binary},
      {L"binary", value::binary(binary::createfrompointer(blob, 3)), REG_BINARY, Bytes({1, 2, 3}),
       ValueKind::binary},
  };
  for (const Case& c : cases) registry::setvalue(rootkey::currentuser, Path(), Values({{c.name, c.value}}));
  // Objects and pointers are whole 8-byte addresses.
  registry::setvalue(rootkey::currentuser, Path(),
                     Values({{L"object", value::object(&dummy)}, {L"pointer", value::pointer(&dummy)}}));
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.name));
    DWORD type = 99;
    EXPECT_EQ(Query(c.name, &type), c.bytes);
    EXPECT_EQ(type, c.type);
    const ValueTerm* back = registry::getvalue(rootkey::currentuser, Path(), c.name);
    ASSERT_EQ(back->Kind(), c.back);
    if (c.back == ValueKind::unsigned_) EXPECT_EQ(back->As<uint32_t>(), c.bytes[0] | c.bytes[1] << 8 | c.bytes[2] << 16 | c.bytes[3] << 24);
    if (c.back == ValueKind::string) EXPECT_STREQ(back->As<const wchar_t*>(), L"ab");
    if (c.back == ValueKind::binary) EXPECT_EQ(BinaryBytes(back), c.bytes);
  }
  for (const wchar_t* name : {L"object", L"pointer"}) {
    const ValueTerm* back = registry::getvalue(rootkey::currentuser, Path(), name);
    std::vector<uint8_t> want(8);
    void* p = &dummy;
    memcpy(want.data(), &p, 8);
    EXPECT_EQ(BinaryBytes(back), want);
  }
}

TEST_F(Registry, ForeignDataIsReadWithinItsSize) {
  const wchar_t odd[] = L"xyz";  // written with an odd byte count, no terminator
  Raw(L"odd", REG_SZ, odd, 5);
  Raw(L"unterminated", REG_EXPAND_SZ, odd, 6);
  Raw(L"emptystring", REG_SZ, nullptr, 0);
  const wchar_t list[] = L"ab\0cd\0\0";
  Raw(L"list", REG_MULTI_SZ, list, sizeof list);
  Raw(L"listunterminated", REG_MULTI_SZ, list, 10);  // "ab", "cd" without zeros
  const uint8_t big[] = {0x12, 0x34, 0x56, 0x78};
  Raw(L"bigendian", REG_DWORD_BIG_ENDIAN, big, 4);
  Raw(L"emptybinary", REG_BINARY, nullptr, 0);
  Raw(L"unknowntype", 0x1234, big, 4);
  struct Case {
    const wchar_t* name;
    const wchar_t* text;
  };
  for (const Case& c : {Case{L"odd", L"xy"}, Case{L"unterminated", L"xyz"}, Case{L"emptystring", L""},
                        Case{L"list", L"abcd"}, Case{L"listunterminated", L"abcd"}}) {
    const ValueTerm* v = registry::getvalue(rootkey::currentuser, Path(), c.name);
    ASSERT_EQ(v->Kind(), ValueKind::string) << Narrow(c.name);
    EXPECT_STREQ(v->As<const wchar_t*>(), c.text) << Narrow(c.name);
  }
  EXPECT_EQ(registry::getvalue(rootkey::currentuser, Path(), L"bigendian")->As<uint32_t>(), 0x12345678u);
  EXPECT_EQ(BinaryBytes(registry::getvalue(rootkey::currentuser, Path(), L"emptybinary")),
            std::vector<uint8_t>{});
  EXPECT_EQ(registry::getvalue(rootkey::currentuser, Path(), L"unknowntype")->Kind(), ValueKind::none);

  // Numbers shorter than 4 bytes are refused, naming the value.
  for (DWORD type : {DWORD{REG_DWORD}, DWORD{REG_DWORD_BIG_ENDIAN}}) {
    Raw(L"short", type, big, 2);
    uint32_t id = RunTrapped([&] { registry::getvalue(rootkey::currentuser, Path(), L"short"); });
    const TraceEntry* e = exception::trygetdescriptor(id, &registry_exception::wrongvalue);
    ASSERT_NE(e, nullptr) << type;
    EXPECT_EQ(Extra(e, L"value"), L"short");
    id = RunTrapped([&] { registry::getallvalues(rootkey::currentuser, Path()); });
    EXPECT_NE(exception::trygetdescriptor(id, &registry_exception::wrongvalue), nullptr);
  }
}

TEST_F(Registry, ListsRunFromTheHighestIndex) {
  registry::createkey(rootkey::currentuser, Path());
  const NamedValueList* none = registry::getallvalues(rootkey::currentuser, Path());
  ASSERT_FALSE(none->Empty());
  EXPECT_STREQ(none->head->name, L"");
  EXPECT_EQ(none->head->value->Kind(), ValueKind::none);
  EXPECT_TRUE(none->tail->Empty());
  EXPECT_TRUE(registry::getsubkeys(rootkey::currentuser, Path())->Empty());

  registry::setvalue(rootkey::currentuser, Path(),
                     Values({{L"first", value::unsigned_(1)}, {L"a-much-longer-second-name", value::string(L"two")}}));
  std::vector<std::wstring> names;
  for (const NamedValueList* l = registry::getallvalues(rootkey::currentuser, Path()); !l->Empty(); l = l->tail)
    names.push_back(l->head->name);
  // The system's enumeration order, reversed.
  std::vector<std::wstring> enumerated;
  HKEY key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, Path(), 0, KEY_READ, &key), 0);
  wchar_t name[64];
  for (DWORD i = 0, n = 64; RegEnumValueW(key, i, name, &n, nullptr, nullptr, nullptr, nullptr) == 0; ++i, n = 64)
    enumerated.insert(enumerated.begin(), name);
  RegCloseKey(key);
  EXPECT_EQ(names, enumerated);
  EXPECT_EQ(names.size(), 2u);

  for (const wchar_t* k : {L"\\k1", L"\\k2", L"\\k3"}) registry::createkey(rootkey::currentuser, (path_ + k).c_str());
  std::vector<std::wstring> keys;
  for (const StringList* l = registry::getsubkeys(rootkey::currentuser, Path()); !l->Empty(); l = l->tail)
    keys.push_back(l->head);
  EXPECT_EQ(keys, (std::vector<std::wstring>{L"k3", L"k2", L"k1"}));
}

TEST_F(Registry, RemoveValueStopsAtAnEmptyName) {
  registry::setvalue(rootkey::currentuser, Path(),
                     Values({{L"a", value::unsigned_(1)}, {L"b", value::unsigned_(2)}, {L"c", value::unsigned_(3)}}));
  registry::removevalue(rootkey::currentuser, Path(), MakeStringList({L"a", L"", L"b"}));
  DWORD type;
  EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, Path(), L"a", RRF_RT_ANY, &type, nullptr, nullptr),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(registry::getvalue(rootkey::currentuser, Path(), L"b")->As<uint32_t>(), 2u);
  uint32_t id = RunTrapped([&] { registry::removevalue(rootkey::currentuser, Path(), MakeStringList({L"missing"})); });
  const TraceEntry* e = exception::trygetdescriptor(id, &registry_exception::wrongvalue);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(Extra(e, L"value"), L"missing");
}

TEST_F(Registry, DeleteKeyRemovesTheWholeTree) {
  registry::setvalue(rootkey::currentuser, (path_ + L"\\a\\b\\c").c_str(), Values({{L"deep", value::string(L"x")}}));
  registry::setvalue(rootkey::currentuser, (path_ + L"\\a").c_str(), Values({{L"", value::string(L"default")}, {L"v", value::unsigned_(1)}}));
  registry::createkey(rootkey::currentuser, (path_ + L"\\a\\b2").c_str());
  registry::deletekey(rootkey::currentuser, (path_ + L"\\a").c_str());
  HKEY key;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, (path_ + L"\\a").c_str(), 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(registry::getsubkeys(rootkey::currentuser, Path())->Empty());
}

TEST_F(Registry, DeleteKeyRefusesTheRootItself) {
  // Nothing is touched: the refusal comes before any listing.
  for (const wchar_t* path : {L"", L"\\"}) {
    uint32_t id = RunTrapped([&] { registry::deletekey(rootkey::currentuser, path); });
    const TraceEntry* e = exception::trygetdescriptor(id, &registry_exception::nopath);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(Extra(e, L"root key"), L"HKEY_CURRENT_USER");
  }
  HKEY key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &key), 0);
  RegCloseKey(key);
}

TEST_F(Registry, ErrorsNameRootKeyValueAndSystemText) {
  uint32_t id = RunTrapped([&] { registry::getvalue(rootkey::currentuser, Path(), L"v"); });
  const TraceEntry* e = exception::trygetdescriptor(id, &registry_exception::nopath);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(Names(e), (std::vector<std::wstring>{L"root key", L"Name of key", L"value", L"System description"}));
  EXPECT_EQ(Extra(e, L"Name of key"), path_);
  EXPECT_EQ(Extra(e, L"value"), L"");
  EXPECT_FALSE(Extra(e, L"System description").empty());
  EXPECT_EQ(Extra(e, L"System description").back() != L'\n', true);
  EXPECT_EQ(e->classInfo, &registry::classInfo);

  registry::createkey(rootkey::currentuser, Path());
  id = RunTrapped([&] { registry::getvalue(rootkey::currentuser, Path(), L"missing"); });
  e = exception::trygetdescriptor(id, &registry_exception::wrongvalue);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(Extra(e, L"value"), L"missing");

  // A key below a value-less name that cannot be created: an invalid root path.
  id = RunTrapped([&] { registry::createkey(rootkey::localmachine, L"\\\\"); });
  if (id) {
    e = exception::trygetdescriptor(id, &registry_exception::cannotcreatekey);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(Names(e), (std::vector<std::wstring>{L"root key", L"Name of key", L"System description"}));
  }
}

// Deletes for real: runs only in the child on a copy of the prefix
// (registry_root.sh).
using RegistryRoot = Library;
TEST_F(RegistryRoot, DeleteKeyOfTheRootItselfChangesNothing) {
  wchar_t flag[4] = L"";
  if (!GetEnvironmentVariableW(L"TAV_REGISTRY_ROOT", flag, 4)) GTEST_SKIP() << "only on a copy of the prefix";
  registry::setvalue(rootkey::currentuser, L"Software\\kalmoraTessaro-tests\\root\\deep",
                     Values({{L"sentinel", value::unsigned_(7)}}));
  uint32_t id = RunTrapped([&] { registry::deletekey(rootkey::currentuser, L""); });
  const TraceEntry* e = exception::trygetdescriptor(id, &registry_exception::nopath);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(Extra(e, L"Name of key"), L"");
  EXPECT_EQ(registry::getvalue(rootkey::currentuser, L"Software\\kalmoraTessaro-tests\\root\\deep",
                               L"sentinel")->As<uint32_t>(), 7u);
  EXPECT_FALSE(registry::getsubkeys(rootkey::currentuser, L"Control Panel")->Empty());
}

}  // namespace
