// The string class: the examples as tables, bounds and size faults that
// raise and change nothing, splitting and sorting of large inputs.
#include <windows.h>

#include <algorithm>
#include <tuple>

#include "qel6run_lib.h"
#include "string/string.h"
#include "tav_test.h"

using namespace tavtest;
namespace Kn = Qel::RunTime::Kernel;

namespace {

using Strings = Library;

std::vector<std::wstring> ToVector(const StringList* l) {
  std::vector<std::wstring> v;
  for (; !l->Empty(); l = l->tail) v.push_back(l->head);
  return v;
}
using W = std::vector<std::wstring>;

// The entry of the raise that `id` names, checked to be `e`.
const TraceEntry* EntryOf(uint32_t id, const ExceptionDescriptor* e) {
  return exception::trygetdescriptor(id, e);
}

TEST_F(Strings, BuildingAndTakingApart) {
  EXPECT_STREQ(tav::string::create(0, L""), L"");
  EXPECT_STREQ(tav::string::create(5, L"ab"), L"ababa");
  EXPECT_STREQ(tav::string::concat(L"a", L"bc"), L"abc");
  EXPECT_STREQ(tav::string::concat(L"1", L"2", L"3", L"4", L"5", L"6"), L"123456");
  const wchar_t* x = L"x";
  EXPECT_STREQ(tav::string::concatlist(EmptyStringList()), L"");
  EXPECT_EQ(tav::string::concatlist(MakeStringList({x})), x);
  EXPECT_STREQ(tav::string::concatlist(MakeStringList({L"a", L"", L"bc"})), L"abc");
  EXPECT_EQ(tav::string::concatwithdelimiter(MakeStringList({x}), L", "), x);
  EXPECT_STREQ(tav::string::concatwithdelimiter(MakeStringList({L"x", L"y"}), L", "), L"x, y");
  EXPECT_STREQ(tav::string::concatwithdelimiter(MakeStringList({L"x", L"y"}), L""), L"xy");

  const wchar_t* abc = L"abc";
  const wchar_t *first, *last, *rest;
  tav::string::front(abc, 3, &first, &last);
  EXPECT_STREQ(first, L"abc");
  EXPECT_EQ(last, abc + 3);
  wchar_t c;
  EXPECT_TRUE(tav::string::frontchar(abc, &c, &rest));
  EXPECT_EQ(c, L'a');
  EXPECT_EQ(rest, abc + 1);
  EXPECT_FALSE(tav::string::frontchar(L"", &c, &rest));
  EXPECT_STREQ(tav::string::substring(abc, 1, 2), L"bc");
  EXPECT_STREQ(tav::string::substring(abc, 3, 0), L"");
  EXPECT_EQ(tav::string::subchar(abc, 2), L'c');
  EXPECT_STREQ(tav::string::replacepart(L"abcdef", 1, 3, L"XY"), L"aXYef");
  EXPECT_STREQ(tav::string::replacepart(L"abc", 3, 0, L"!"), L"abc!");
  EXPECT_STREQ(tav::string::chartostring(L'q'), L"q");
  EXPECT_STREQ(tav::string::trim(L"  a b \t"), L"a b");
}

TEST_F(Strings, BoundsAndEmptyArgumentsRaise) {
  struct Case {
    const char* what;
    std::function<void()> call;
    uint32_t position, length;
  };
  const wchar_t* abc = L"abc";
  const Case cases[] = {
      {"front 4", [&] { const wchar_t *f, *l; tav::string::front(abc, 4, &f, &l); }, 4, 3},
      {"subchar 3", [&] { tav::string::subchar(abc, 3); }, 4, 3},
      {"substring 2+2", [&] { tav::string::substring(abc, 2, 2); }, 4, 3},
      {"substring wraps", [&] { tav::string::substring(abc, 1, 0xFFFFFFFF); }, 0xFFFFFFFF, 3},
      {"subchar wraps", [&] { tav::string::subchar(abc, 0xFFFFFFFF); }, 0xFFFFFFFF, 3},
      {"replacepart wraps",
       [&] { tav::string::replacepart(abc, 2, 0xFFFFFFFE, L"x"); }, 0xFFFFFFFF, 3},
      {"split_length", [&] {
         const uint32_t lengths[] = {2, 2};
         tav::string::split_length(abc, lengths, 2);
       }, 2, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    uint8_t* top = TPrologThreadData::GetGStackTop();
    uint32_t id = RunTrapped(c.call);
    EXPECT_EQ(TPrologThreadData::GetGStackTop(), top);
    const TraceEntry* e = EntryOf(id, &string_exception::outofboundaries);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(Names(e), (std::vector<std::wstring>{L"String position", L"String length"}));
    EXPECT_EQ(Unsigned(exception::trygetextrainfo(e, L"String position")), c.position);
    EXPECT_EQ(Unsigned(exception::trygetextrainfo(e, L"String length")), c.length);
    EXPECT_STREQ(e->classInfo->name, L"com/corvane/string/string");
  }
  uint32_t position;
  for (auto call : std::vector<std::function<void()>>{
           [] { tav::string::create(3, L""); },
           [&] { tav::string::search(L"abc", L"", casesensitivity::casesensitive, &position); },
           [] { tav::string::split_delimiter(L"a;b", L""); }}) {
    EXPECT_NE(EntryOf(RunTrapped(call), &string_exception::emptystring), nullptr);
  }
}

TEST_F(Strings, SizesBeyondSizetermAreRangeErrors) {
  // 2 x 0x40000000 units would pass 32 bits in the old arithmetic.
  const ExceptionDescriptor* range = runtime_exception::exceptionfromerrorcode(302);
  EXPECT_NE(EntryOf(RunTrapped([] { tav::string::create(0x80000000u, L"ab"); }), range), nullptr);
  EXPECT_NE(EntryOf(RunTrapped([] { tav::string::NewString(uint64_t{1} << 31); }), range),
            nullptr);
  // A long text concatenated with itself six times stays below the limit.
  const wchar_t* big = tav::string::create(1000000, L"x");
  EXPECT_EQ(wcslen(tav::string::concat(big, big, big, big, big, big)), 6000000u);
}

TEST_F(Strings, SearchReplaceAndCase) {
  using CS = casesensitivity;
  uint32_t p = 99;
  EXPECT_TRUE(tav::string::search(L"Hello", L"LL", CS::caseinsensitive, &p));
  EXPECT_EQ(p, 2u);
  EXPECT_FALSE(tav::string::search(L"Hello", L"LL", CS::casesensitive, &p));
  EXPECT_TRUE(tav::string::searchchar(L"Hello", L'o', CS::casesensitive, &p));
  EXPECT_EQ(p, 4u);
  EXPECT_FALSE(tav::string::searchchar(L"Hello", 0, CS::casesensitive, &p));
  EXPECT_STREQ(tav::string::replace(L"a-b-c", L"-", L"+", CS::casesensitive), L"a+b-c");
  EXPECT_STREQ(tav::string::replaceall(L"a-b-c", L"-", L"+", CS::casesensitive), L"a+b+c");
  EXPECT_STREQ(tav::string::replaceall(L"aXbx", L"x", L"_", CS::caseinsensitive), L"a_b_");
  EXPECT_EQ(tav::string::replace(L"abc", L"z", L"y", CS::casesensitive), nullptr);
  // The exact mode gives what the runtime's replace gives.
  for (auto [text, what, with] : {std::tuple{L"aaaa", L"aa", L"b"}, std::tuple{L"abcabc", L"abc", L""},
                                  std::tuple{L"x", L"xy", L"z"}, std::tuple{L"", L"a", L"b"},
                                  std::tuple{L"a.b.", L".", L"--"}})
    for (bool first : {true, false}) {
      const wchar_t* ours = first ? tav::string::replace(text, what, with, CS::casesensitive)
                                  : tav::string::replaceall(text, what, with, CS::casesensitive);
      const wchar_t* runtime = CorvaneString::replace(text, what, with, 1, first);
      EXPECT_EQ(ours == nullptr, runtime == nullptr) << Narrow(text);
      if (ours && runtime) EXPECT_STREQ(ours, runtime);
    }
  const wchar_t *token, *rest;
  EXPECT_TRUE(tav::string::fronttoken(L"  name2 = 5", &token, &rest));
  EXPECT_STREQ(token, L"name2");
  EXPECT_STREQ(rest, L" = 5");
  EXPECT_FALSE(tav::string::fronttoken(L"   ", &token, &rest));

  EXPECT_STREQ(tav::string::touppercase(L"abÄ"), L"ABÄ");
  EXPECT_STREQ(tav::string::tolowercase(L"ABÄ"), L"abä");
  EXPECT_TRUE(tav::string::isuppercase(L"AB1"));
  EXPECT_FALSE(tav::string::isuppercase(L"Ab"));
  EXPECT_TRUE(tav::string::islowercase(L"ab1"));
  EXPECT_EQ(tav::string::charupper(L'é'), L'É');
  EXPECT_EQ(tav::string::charlower(L'Q'), L'q');
  EXPECT_TRUE(tav::string::equalignorecase(L"Path\\File", L"path\\FILE"));
  // Characters without sort weight still tell names apart.
  EXPECT_FALSE(tav::string::equalignorecase(L"ab", L"a\x00AD" L"b"));
  EXPECT_FALSE(tav::string::equalignorecase(L"ab", L"abc"));
  EXPECT_TRUE(tav::string::hasdecimaldigits(L"0129"));
  EXPECT_FALSE(tav::string::hasdecimaldigits(L""));
  EXPECT_FALSE(tav::string::hasdecimaldigits(L"1a"));
  EXPECT_TRUE(tav::string::hasalpha(L"abÄ"));
  EXPECT_FALSE(tav::string::hasalpha(L""));
  EXPECT_FALSE(tav::string::hasalpha(L"ab1"));
}

TEST_F(Strings, ValidToRead) {
  EXPECT_TRUE(tav::string::isvalidtoread(L"abc"));
  EXPECT_FALSE(tav::string::isvalidtoread(nullptr));
  auto* freed = static_cast<wchar_t*>(VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
  VirtualFree(freed, 0, MEM_RELEASE);
  EXPECT_FALSE(tav::string::isvalidtoread(freed));
  // A string running into an inaccessible page.
  auto* two = static_cast<uint8_t*>(VirtualAlloc(nullptr, 8192, MEM_COMMIT, PAGE_READWRITE));
  DWORD old;
  VirtualProtect(two + 4096, 4096, PAGE_NOACCESS, &old);
  auto* tail = reinterpret_cast<wchar_t*>(two + 4096 - 4);
  tail[0] = tail[1] = L'x';
  EXPECT_FALSE(tav::string::isvalidtoread(tail));
  VirtualFree(two, 0, MEM_RELEASE);
}

TEST_F(Strings, Splitting) {
  EXPECT_EQ(ToVector(tav::string::split_delimiter(L"a;;b", L";")), (W{L"a", L"", L"b"}));
  EXPECT_EQ(ToVector(tav::string::split_delimiter(L"", L";")), (W{L""}));
  EXPECT_EQ(ToVector(tav::string::split_delimiter(L"a::b::", L"::")), (W{L"a", L"b", L""}));
  const uint32_t lengths[] = {2, 3};
  EXPECT_EQ(ToVector(tav::string::split_length(L"abcdef", lengths, 2)), (W{L"ab", L"cde"}));
  EXPECT_EQ(ToVector(tav::string::split_length(L"abc", nullptr, 0)), W{});
  const wchar_t *front, *rest;
  wchar_t sep;
  const wchar_t* text = L"k=v;x";
  EXPECT_TRUE(tav::string::splitstringbyseparators(text, L";=", &front, &sep, &rest));
  EXPECT_STREQ(front, L"k");
  EXPECT_EQ(sep, L'=');
  EXPECT_EQ(rest, text + 2);
  EXPECT_FALSE(tav::string::splitstringbyseparators(text, L"#!", &front, &sep, &rest));

  // A million fields: no recursion on the input's size.
  std::wstring many;
  for (int i = 0; i < 1000000; ++i) many += i % 10 == 0 ? L"xy," : L",";
  std::vector<std::wstring> fields = ToVector(tav::string::split_delimiter(many.c_str(), L","));
  ASSERT_EQ(fields.size(), 1000001u);
  EXPECT_EQ(fields[0], L"xy");
  EXPECT_EQ(fields[1], L"");
  EXPECT_EQ(fields[10], L"xy");
  EXPECT_EQ(fields.back(), L"");
}

TEST_F(Strings, SortByTree) {
  EXPECT_EQ(ToVector(tav::string::sortbytree(MakeStringList({L"b", L"A", L"a", L"b"}))),
            (W{L"A", L"a", L"b"}));
  EXPECT_EQ(ToVector(tav::string::sortbytree(MakeStringList({L"a", L"B", L"A", L"b", L"a"}))),
            (W{L"a", L"A", L"B", L"b"}));
  EXPECT_EQ(ToVector(tav::string::sortbytree(EmptyStringList())), W{});

  // 200,000 sorted and 200,000 reversed strings: a chain-shaped tree.
  std::vector<std::wstring> words;
  for (int i = 0; i < 200000; ++i) {
    wchar_t w[16];
    swprintf(w, 16, L"w%07d", i);
    words.push_back(w);
  }
  for (bool reversed : {false, true}) {
    SCOPED_TRACE(reversed);
    std::vector<std::wstring> input = words;
    if (reversed) std::reverse(input.begin(), input.end());
    const StringList* list = EmptyStringList();
    for (auto it = input.rbegin(); it != input.rend(); ++it) {
      auto* cell = static_cast<StringList*>(GStackAlloc(sizeof(StringList)));
      *cell = StringList{1, tav::string::createcopy(it->c_str()), list};
      list = cell;
    }
    EXPECT_EQ(ToVector(tav::string::sortbytree(list)), words);
  }
}

TEST_F(Strings, Identifiers) {
  EXPECT_TRUE(tav::string::isname(L"_x1"));
  EXPECT_FALSE(tav::string::isname(L"1x"));
  EXPECT_FALSE(tav::string::isname(L""));
  EXPECT_FALSE(tav::string::isname(L"a-b"));
  EXPECT_TRUE(tav::string::isclassidentifier(L"", L"run"));
  EXPECT_TRUE(tav::string::isclassidentifier(L"myClass", L"run_2"));
  EXPECT_FALSE(tav::string::isclassidentifier(L"MyClass", L"run"));
  EXPECT_FALSE(tav::string::isclassidentifier(L"", L"Run"));
  EXPECT_TRUE(tav::string::isobjectidentifier(L"W", L"show"));
  EXPECT_FALSE(tav::string::isobjectidentifier(L"w", L"show"));
  EXPECT_FALSE(tav::string::isobjectidentifier(L"", L"show"));
}

}  // namespace
