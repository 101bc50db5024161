// The colour table and the associations through the exported functions:
// defaults, range errors that change nothing, the system-colour
// substitution for painting, and merging associations up to the limits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "colors.h"
#include "qel6edit.h"
#include "qel6kernel.h"
#include "qel6kwi.h"

using namespace QEL_EDIT;
using namespace QEL_EDIT::detail;
namespace K = Qel::RunTime::Kernel;

namespace {

class Colours : public ::testing::Test {
 protected:
  void SetUp() override { mark_ = K::Memory::MarkGStack(); }
  void TearDown() override { K::Memory::ReleaseGStack(mark_); }
  static color_settings_struct Get(int32_t type, int32_t scheme) {
    color_type_struct t{type};
    return *edit_GetColorSettings(&t, scheme);
  }
  uint8_t* mark_ = nullptr;
};

TEST_F(Colours, Defaults) {
  struct {
    int32_t type, scheme;
    uint32_t fore, back, style;
  } cases[] = {
      {1, 0, kSystemColour, kSystemColour, 0}, {3, 0, 0x008000, kSystemColour, 0},
      {11, 1, 0x008080, kSystemColour, 1},     {14, 3, 0x003300, kSystemColour, 1},
      {22, 2, 0x808080, kSystemColour, 0},     {3, 4, kSystemColour, kSystemColour, 0},
      {20, 4, 0x008000, kSystemColour, 0},
  };
  for (const auto& c : cases) {
    const color_settings_struct s = Get(c.type, c.scheme);
    EXPECT_EQ(s.fore, c.fore) << c.type << "/" << c.scheme;
    EXPECT_EQ(s.back, c.back) << c.type << "/" << c.scheme;
    EXPECT_EQ(s.style, c.style) << c.type << "/" << c.scheme;
  }
}

TEST_F(Colours, OutOfRangeRaises6912AndChangesNothing) {
  const color_settings_struct before = Get(5, 0);
  const color_settings_struct red{0x0000FF, 0x00FF00, 2};
  for (auto [type, scheme] : {std::pair{0, 0}, std::pair{23, 0}, std::pair{5, 5}, std::pair{5, -1}}) {
    color_type_struct t{type};
    EXPECT_EQ(K::RunTrapped([&] { edit_SetColorSettings(&t, scheme, &red); }), 6912u);
    EXPECT_EQ(K::RunTrapped([&] { edit_GetColorSettings(&t, scheme); }), 6912u);
  }
  const color_settings_struct after = Get(5, 0);
  EXPECT_EQ(after.fore, before.fore);
  EXPECT_EQ(after.back, before.back);
}

TEST_F(Colours, SetKeepsTheLowByteOfStyle) {
  color_type_struct t{9};
  const color_settings_struct s{0x112233, 0x445566, 0x105};
  edit_SetColorSettings(&t, 3, &s);
  const color_settings_struct r = Get(9, 3);
  EXPECT_EQ(r.fore, 0x112233u);
  EXPECT_EQ(r.back, 0x445566u);
  EXPECT_EQ(r.style, 5u);
}

TEST_F(Colours, SystemColoursResolveWhenPainting) {
  const uint32_t text = static_cast<uint32_t>(QEL_KWI::kwi_GetAttrVal(123));
  const uint32_t window = static_cast<uint32_t>(QEL_KWI::kwi_GetAttrVal(121));
  const uint32_t hiText = static_cast<uint32_t>(QEL_KWI::kwi_GetAttrVal(114));
  const uint32_t hi = static_cast<uint32_t>(QEL_KWI::kwi_GetAttrVal(113));
  EXPECT_EQ(LookOf(0, 0), (Look{text, window, 0}));
  EXPECT_EQ(LookOf(0, 200), (Look{text, window, 0}));
  EXPECT_EQ(LookOf(0, 2), (Look{0x008000, window, 0}));
  EXPECT_EQ(LookOf(1, 20), (Look{hiText, hi, 0}));
  EXPECT_EQ(LookOf(1, 201), (Look{hiText, hi, 0}));
  // A real fore colour for the selection replaces the highlight text colour.
  color_type_struct t{21};
  const color_settings_struct s{0x123456, kSystemColour, 0};
  edit_SetColorSettings(&t, 2, &s);
  EXPECT_EQ(LookOf(2, 20), (Look{0x123456, hi, 0}));
  EXPECT_EQ(LookOf(1, 20), (Look{hiText, hi, 0}));
}

std::vector<std::pair<std::wstring, int32_t>> Associations() {
  std::vector<std::pair<std::wstring, int32_t>> v;
  for (_assoc_list* c = edit_GetAssociations(); c->functor == QEL_KWI::ListCons; c = c->next)
    v.emplace_back(c->value->extension, c->value->scheme);
  return v;
}

// One list of {extension, scheme} elements on the global stack.
_assoc_list* List(std::initializer_list<std::pair<const wchar_t*, int32_t>> items) {
  auto* end = reinterpret_cast<_assoc_list*>(K::Memory::AllocGStack(sizeof(_assoc_list)));
  *end = {QEL_KWI::ListNil, nullptr, nullptr};
  _assoc_list* head = end;
  std::vector<std::pair<const wchar_t*, int32_t>> v(items);
  for (auto it = v.rbegin(); it != v.rend(); ++it) {
    auto* a = reinterpret_cast<assoc_struct*>(K::Memory::AllocGStack(sizeof(assoc_struct)));
    *a = {it->first, it->second};
    auto* c = reinterpret_cast<_assoc_list*>(K::Memory::AllocGStack(sizeof(_assoc_list)));
    *c = {QEL_KWI::ListCons, a, head};
    head = c;
  }
  return head;
}

// The table is process-wide, so its whole story runs in one test.
TEST_F(Colours, Associations) {
  const struct {
    const wchar_t* title;
    int32_t scheme;
  } titles[] = {{L"res.rc", 1}, {L"module.Def", 2}, {L"notes.txt", 4}, {L"main.pro", 0},
                {L"pro", 0},    {L"", 4},           {L".rc", 4},       {L"a.b.cl", 0}};
  for (const auto& t : titles) EXPECT_EQ(SchemeOfTitle(t.title), t.scheme) << std::wstring(t.title).size();

  auto v = Associations();
  ASSERT_EQ(v.size(), 12u);
  EXPECT_EQ(v.front(), (std::pair<std::wstring, int32_t>{L"CL", 0}));
  EXPECT_EQ(v.back(), (std::pair<std::wstring, int32_t>{L"PRO", 0}));

  // 'txt' to 4 is added but not listed; 'rc' changes; 'log' is added, upper-cased.
  edit_SetAssociations(List({{L"txt", 4}, {L"rc", 3}, {L"log", 1}}));
  EXPECT_EQ(SchemeOfTitle(L"x.RC"), 3);
  EXPECT_EQ(SchemeOfTitle(L"x.log"), 1);
  v = Associations();
  ASSERT_EQ(v.size(), 13u);
  EXPECT_EQ(v.front(), (std::pair<std::wstring, int32_t>{L"LOG", 1}));

  // A bad scheme raises 6912; the elements before it stay merged, those after are not.
  EXPECT_EQ(K::RunTrapped([] { edit_SetAssociations(List({{L"aa", 2}, {L"bb", 5}, {L"cc", 2}})); }), 6912u);
  EXPECT_EQ(SchemeOfTitle(L"x.aa"), 2);
  EXPECT_EQ(SchemeOfTitle(L"x.cc"), 4);

  // An extension over 127 characters stops the merge quietly.
  const std::wstring longExt(128, L'q');
  edit_SetAssociations(List({{L"dd", 1}, {longExt.c_str(), 1}, {L"ee", 1}}));
  EXPECT_EQ(SchemeOfTitle(L"x.dd"), 1);
  EXPECT_EQ(SchemeOfTitle(L"x.ee"), 4);
  const std::wstring maxExt(127, L'q');
  edit_SetAssociations(List({{maxExt.c_str(), 2}}));
  EXPECT_EQ(SchemeOfTitle((L"x." + maxExt).c_str()), 2);

  // The table holds 127 entries; later elements are ignored.
  std::vector<std::wstring> names;
  for (int i = 0; i < 130; ++i) names.push_back(L"z" + std::to_wstring(i));
  for (const auto& n : names) edit_SetAssociations(List({{n.c_str(), 3}}));
  int listed = 0;
  for (const auto& e : Associations()) listed += e.second != 4;
  EXPECT_EQ(listed, 126);  // every entry but 'txt'
  EXPECT_EQ(SchemeOfTitle(L"x.z109"), 3);
  EXPECT_EQ(SchemeOfTitle(L"x.z110"), 4);
  // Changing an existing entry is refused too once the table is full.
  edit_SetAssociations(List({{L"rc", 1}}));
  EXPECT_EQ(SchemeOfTitle(L"x.rc"), 3);
}

}  // namespace
