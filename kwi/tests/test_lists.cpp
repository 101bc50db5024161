// List and combo boxes on real controls: adding, reading and deleting items,
// the selection of the three control kinds, the whole index of a selection,
// and windows of other kinds.
#include <gtest/gtest.h>

#include "widgets.h"

using namespace QEL_KWI;
using namespace kwitest;
namespace K = Qel::RunTime::Kernel;

namespace {

enum Kind { Single, Multi, Extended, Combo };

HWND MakeList(HWND parent, Kind kind) {
  if (kind == Combo)
    return CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWN, 0, 0, 150, 200,
                           parent, nullptr, nullptr, nullptr);
  DWORD style = kind == Multi ? LBS_MULTIPLESEL : kind == Extended ? LBS_EXTENDEDSEL : 0;
  return CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 150, 200, parent,
                         nullptr, nullptr, nullptr);
}

slist_struct* Strings(std::deque<slist_struct>& cells, const std::vector<const wchar_t*>& v) {
  return BuildList(cells, v);
}

std::vector<std::string> Texts(const slist_struct* l) {
  std::vector<std::string> out;
  for (; l && l->functor == ListCons; l = l->next) out.push_back(Narrow(l->value));
  return out;
}

TEST(ListBoxes, SelectionOfEachKind) {
  struct Case {
    const char* what;
    Kind kind;
    std::vector<std::pair<int, int>> sets;  // lbox_SetSel(index, select) in order
    std::vector<std::string> texts;
    std::vector<int64_t> indexes;
  };
  const Case cases[] = {
      {"single, nothing", Single, {}, {}, {}},
      {"single, one", Single, {{2, 1}}, {"c"}, {2}},
      {"single, cleared", Single, {{2, 1}, {2, 0}}, {}, {}},
      {"multi, two in order", Multi, {{3, 1}, {0, 1}}, {"a", "d"}, {0, 3}},
      {"multi, all", Multi, {{-1, 1}}, {"a", "b", "c", "d"}, {0, 1, 2, 3}},
      {"multi, all then none", Multi, {{-1, 1}, {-1, 0}}, {}, {}},
      {"extended, one cleared", Extended, {{1, 1}, {2, 1}, {1, 0}}, {"c"}, {2}},
      {"combo, nothing", Combo, {}, {}, {}},
      {"combo, one", Combo, {{1, 1}}, {"b"}, {1}},
      {"combo, cleared", Combo, {{1, 1}, {1, 0}}, {}, {}},
  };
  std::vector<std::string> failures;
  RunInTask([&](HWND task) {
    for (const Case& c : cases) {
      HWND w = MakeList(task, c.kind);
      std::deque<slist_struct> cells;
      lbox_Add_3(L(w), Strings(cells, {L"a", L"b", L"c", L"d"}));
      for (auto [index, select] : c.sets) lbox_SetSel(L(w), index, select);
      slist_struct* strings = nullptr;
      ilist_struct* indexes = nullptr;
      lbox_GetSel(L(w), &strings, &indexes);
      if (Texts(strings) != c.texts || Values(indexes) != c.indexes) failures.push_back(c.what);
      // IsSel and GetSelIndex agree with the selection.
      for (int i = 0; i < 4; ++i) {
        bool listed = std::find(c.indexes.begin(), c.indexes.end(), i) != c.indexes.end();
        bool isSel = K::Succeeds([&] { lbox_IsSel(L(w), i); });
        if (isSel != listed) failures.push_back(std::string(c.what) + ": IsSel " + std::to_string(i));
      }
      if (c.kind != Multi && c.kind != Extended) {
        volatile int got = -1;
        bool some = K::Succeeds([&] { got = lbox_GetSelIndex(L(w)); });
        if (some != !c.indexes.empty() || (some && got != c.indexes[0]))
          failures.push_back(std::string(c.what) + ": GetSelIndex");
      }
      DestroyWindow(w);
    }
  });
  EXPECT_EQ(failures, std::vector<std::string>{});
}

TEST(ListBoxes, Item70000Of70001IsSelectedByItsWholeIndex) {
  std::vector<int64_t> selected;
  int count = 0;
  bool low16Selected = true, outOfRangeSelected = true;
  RunInTask([&](HWND task) {
    HWND w = MakeList(task, Multi);
    std::vector<std::wstring> texts;
    std::vector<const wchar_t*> ptrs;
    for (int i = 0; i <= 70000; ++i) texts.push_back(std::to_wstring(i));
    for (auto& s : texts) ptrs.push_back(s.c_str());
    std::deque<slist_struct> cells;
    lbox_Suspend(L(w));
    lbox_Add_3(L(w), Strings(cells, ptrs));
    lbox_Resume(L(w));
    count = lbox_CountAll(L(w));
    lbox_SetSel(L(w), 70000, 1);
    slist_struct* strings;
    ilist_struct* indexes;
    lbox_GetSel(L(w), &strings, &indexes);
    selected = Values(indexes);
    low16Selected = K::Succeeds([&] { lbox_IsSel(L(w), 70000 & 0xFFFF); });
    outOfRangeSelected = K::Succeeds([&] { lbox_IsSel(L(w), 80000); });
    DestroyWindow(w);
  });
  EXPECT_EQ(count, 70001);
  EXPECT_EQ(selected, std::vector<int64_t>{70000});
  EXPECT_FALSE(low16Selected);
  EXPECT_FALSE(outOfRangeSelected);
}

TEST(ListBoxes, AddInsertReadAndDelete) {
  for (Kind kind : {Single, Combo}) {
    std::vector<std::string> all, afterDelete, afterClear;
    std::string item1, missing;
    int count = -1;
    std::vector<int> errors;
    RunInTask([&](HWND task) {
      HWND w = MakeList(task, kind);
      std::deque<slist_struct> cells;
      lbox_Add_2(L(w), L"one");
      lbox_Add_0(L(w), -1, L"three");
      lbox_Add_0(L(w), 1, L"two");
      lbox_Add_1(L(w), 0, Strings(cells, {L"a", L"b"}));
      lbox_Add_1(L(w), -1, Strings(cells, {L"y", L"z"}));
      lbox_Add_2(L(w), nullptr);
      all = Texts(lbox_GetAll(L(w)));
      count = lbox_CountAll(L(w));
      item1 = Narrow(lbox_GetItem(L(w), 1));
      missing = Narrow(lbox_GetItem(L(w), 99));
      lbox_Delete(L(w), 0);
      afterDelete = Texts(lbox_GetAll(L(w)));
      RecordingRaises r;
      errors = r.Of([&] { lbox_Add_0(L(w), 99, L"far"); });
      lbox_Clear(L(w));
      afterClear = Texts(lbox_GetAll(L(w)));
      DestroyWindow(w);
    });
    const char* what = kind == Combo ? "combo" : "list";
    EXPECT_EQ(all, (std::vector<std::string>{"a", "b", "one", "two", "three", "y", "z", ""})) << what;
    EXPECT_EQ(count, 8) << what;
    EXPECT_EQ(item1, "b") << what;
    EXPECT_EQ(missing, "") << what;
    EXPECT_EQ(afterDelete, (std::vector<std::string>{"b", "one", "two", "three", "y", "z", ""})) << what;
    EXPECT_EQ(errors, Codes({6260})) << what;
    EXPECT_TRUE(afterClear.empty()) << what;
  }
}

TEST(ListBoxes, DeletingTheLastComboItemClearsItsEditText) {
  std::wstring before, after;
  RunInTask([&](HWND task) {
    HWND w = MakeList(task, Combo);
    lbox_Add_2(L(w), L"only");
    lbox_SetSel(L(w), 0, 1);
    wchar_t buf[32] = {};
    GetWindowTextW(w, buf, 32);
    before = buf;
    lbox_Delete(L(w), 0);
    buf[0] = 0;
    GetWindowTextW(w, buf, 32);
    after = buf;
    DestroyWindow(w);
  });
  EXPECT_EQ(before, L"only");
  EXPECT_EQ(after, L"");
}

// Counts the list-box and combo-box messages that reach a window.
LRESULT CALLBACK CountingProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if ((m >= LB_ADDSTRING && m <= LB_MSGMAX) || (m >= CB_GETEDITSEL && m <= CB_MSGMAX))
    ++*reinterpret_cast<int*>(GetPropW(w, L"count"));
  return CallWindowProcW(reinterpret_cast<WNDPROC>(GetPropW(w, L"proc")), w, m, wp, lp);
}

TEST(ListBoxes, WindowsOfOtherKinds) {
  std::vector<std::string> failures;
  int foreignMessages = 0;
  RunInTask([&](HWND task) {
    HWND button = CreateWindowExW(0, L"BUTTON", L"b", WS_CHILD, 0, 0, 40, 20, task, nullptr, nullptr, nullptr);
    SetPropW(button, L"count", &foreignMessages);
    SetPropW(button, L"proc", reinterpret_cast<HANDLE>(GetWindowLongPtrW(button, GWLP_WNDPROC)));
    SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingProc));
    HWND combo = MakeList(task, Combo);
    HWND list = MakeList(task, Single);
    HWND gone = MakeList(task, Single);
    DestroyWindow(gone);
    Terms t;
    struct Case {
      const char* what;
      std::function<void()> call;
      std::vector<int> codes;
    };
    const Case cases[] = {
        {"button", [&] { lbox_Add_2(L(button), L"x"); }, {6001}},
        {"destroyed", [&] { lbox_CountAll(L(gone)); }, {6000}},
        {"tab stops of a combo box", [&] { lbox_SetTabStops(L(combo), t.Flags({10})); }, {6001}},
        {"no tab stops", [&] { lbox_SetTabStops(L(list), t.Flags({})); }, {6003}},
        {"tab stops", [&] { lbox_SetTabStops(L(list), t.Flags({10, 40})); }, {}},
        {"top index of a combo box", [&] { lbox_SetTopIndex(L(combo), 0); }, {6001}},
        {"column width of a combo box", [&] { lbox_SetColumnWidth(L(combo), 30); }, {}},
    };
    RecordingRaises r;
    for (const Case& c : cases)
      if (r.Of(c.call) != c.codes) failures.push_back(c.what);
    // Without validation a foreign window gets nothing and gives the empty result.
    kwi_ArgValidation(0);
    std::vector<int> quiet = r.Of([&] {
      lbox_Add_2(L(button), L"x");
      if (lbox_CountAll(L(button)) != 0) failures.push_back("count of a button");
      if (lbox_GetAll(L(button))->functor != ListNil) failures.push_back("items of a button");
      slist_struct* s;
      ilist_struct* i;
      lbox_GetSel(L(button), &s, &i);
      if (s->functor != ListNil || i->functor != ListNil) failures.push_back("selection of a button");
      lbox_SetSel(L(button), 0, 1);
      lbox_Delete(L(button), 0);
      if (K::Succeeds([&] { lbox_IsSel(L(button), 0); })) failures.push_back("IsSel of a button");
    });
    kwi_ArgValidation(1);
    if (!quiet.empty()) failures.push_back("raised without validation");
    DestroyWindow(button);
    DestroyWindow(combo);
    DestroyWindow(list);
  });
  EXPECT_EQ(failures, std::vector<std::string>{});
  EXPECT_EQ(foreignMessages, 0);
}

}  // namespace
