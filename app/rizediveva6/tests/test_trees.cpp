// The tree utilities: searches and builders over item trees, the string
// tree object, and the operations that drive a real tree-view control
// (ids, paths and the order of the control's delete notifications).
#include <windows.h>
// windows.h first: commctrl.h needs its types.
#include <commctrl.h>

#include <string>
#include <vector>

#include "KWI/treeview_tools_pack/treeview_tools.h"
#include "SYSTEM/sdl_tree/ss_tree.h"
#include "list_test.h"
#include "toolkit_test.h"

namespace rztest {
namespace {

using namespace tav;
using namespace QEL_KWI;
using tktest::RunInTask;
namespace kd = tav::kwidomains;

class Trees : public Rz {};

// --- Terms ---

const TreeList* Items(std::initializer_list<const TreeTerm*> trees) {
  return reinterpret_cast<const TreeList*>(MakeList<const TreeTerm*>(trees));
}
const TreeTerm* Node(uint32_t id, const wchar_t* text, std::initializer_list<const TreeTerm*> children = {}) {
  static const BitmapIdTerm bitmap{1, 10183};
  static const ItemStateList none{2, ItemStateFlag{}, nullptr};
  auto* t = static_cast<TreeTerm*>(GStackAlloc(sizeof(TreeTerm)));
  *t = {1, id, &none, &bitmap, &bitmap, text, Items(children)};
  return t;
}
const STree* N(const wchar_t* text, std::initializer_list<const STree*> children = {}) {
  auto* t = static_cast<STree*>(GStackAlloc(sizeof(STree)));
  *t = {1, text, MakeList<const STree*>(children)};
  return t;
}

// "id:text[children] ..." with "+" after an expanded item ("?" another
// flag) when `flags`.
std::wstring Show(const TreeList* l, bool flags = true) {
  std::wstring s;
  for (; l->functor == 1; l = l->next) {
    const TreeTerm* t = l->head;
    if (!s.empty()) s += L' ';
    s += std::to_wstring(t->id) + L':' + t->text;
    for (const ItemStateList* f = t->state; flags && f->functor == 1; f = f->next)
      s += f->flag == ItemStateFlag::expanded ? L"+" : L"?";
    if (t->children->functor == 1) s += L'[' + Show(t->children, flags) + L']';
  }
  return s;
}
std::wstring Show(const TreeTerm* t) { return Show(Items({t})); }
// "text(children)".
std::wstring Show(const STree* t) {
  if (t->Null()) return L"null";
  std::wstring s = t->text;
  if (t->children->Empty()) return s;
  s += L'(';
  for (const STrees* c = t->children; !c->Empty(); c = c->tail)
    s += (c == t->children ? L"" : L" ") + Show(c->head);
  return s + L')';
}

// --- treeview_tools: searches ---

TEST_F(Trees, SearchesFindTheFirstNodeInPreOrder) {
  // r[a[x5] x6 b[c]]: the x met first is the one inside the earlier sibling.
  const TreeTerm* tree = Node(1, L"r", {Node(2, L"a", {Node(5, L"x")}), Node(6, L"x"), Node(3, L"b", {Node(4, L"c")})});
  struct Case { uint32_t id; std::vector<std::wstring> path; const wchar_t* children; };
  for (const Case& c : {Case{1, {L"r"}, L"2:a[5:x] 6:x 3:b[4:c]"}, Case{4, {L"r", L"b", L"c"}, L""},
                        Case{3, {L"r", L"b"}, L"4:c"}, Case{9, {}, nullptr}}) {
    const SList* path = nullptr;
    const TreeList* children = nullptr;
    ASSERT_EQ(treeview_tools::drill_for_item(c.id, tree, &path, &children), c.children != nullptr) << c.id;
    if (!c.children) continue;
    EXPECT_EQ(V(path), c.path) << c.id;
    EXPECT_EQ(Show(children), c.children) << c.id;
  }

  uint32_t id = 0;
  const TreeList* children = nullptr;
  ASSERT_TRUE(treeview_tools::drill_for_str_item(L"x", tree, &id, &children));
  EXPECT_EQ(id, 5u);
  EXPECT_FALSE(treeview_tools::drill_for_str_item(L"X", tree, &id, &children));  // case-sensitive
  EXPECT_FALSE(treeview_tools::drill_for_str_item(L"", tree, &id, &children));

  const SList* sons = nullptr;
  ASSERT_TRUE(treeview_tools::immediate_sons(L"r", tree, &sons));
  EXPECT_EQ(V(sons), (std::vector<std::wstring>{L"a", L"x", L"b"}));
  ASSERT_TRUE(treeview_tools::immediate_sons(L"c", tree, &sons));
  EXPECT_TRUE(sons->Empty());
  EXPECT_FALSE(treeview_tools::immediate_sons(L"z", tree, &sons));
}

TEST_F(Trees, ListSearchesTakeTheFirstTreeThatHolds) {
  const TreeList* trees = Items({Node(1, L"p", {Node(2, L"q")}), Node(2, L"q2", {Node(7, L"q")}), Node(8, L"s")});
  const SList* path = nullptr;
  const TreeList* children = nullptr;
  ASSERT_TRUE(treeview_tools::drill_for_item_list(2, trees, &path, &children));
  EXPECT_EQ(V(path), (std::vector<std::wstring>{L"p", L"q"}));  // not the second tree's root
  ASSERT_TRUE(treeview_tools::drill_for_item_list(8, trees, &path, &children));
  EXPECT_EQ(V(path), std::vector<std::wstring>{L"s"});
  EXPECT_FALSE(treeview_tools::drill_for_item_list(3, trees, &path, &children));
  EXPECT_FALSE(treeview_tools::drill_for_item_list(1, Items({}), &path, &children));

  uint32_t id = 0;
  ASSERT_TRUE(treeview_tools::drill_for_str_item_list(L"q", trees, &id, &children));
  EXPECT_EQ(id, 2u);
  ASSERT_TRUE(treeview_tools::drill_for_str_item_list(L"q2", trees, &id, &children));
  EXPECT_EQ(Show(children), L"7:q");
  EXPECT_FALSE(treeview_tools::drill_for_str_item_list(L"t", trees, &id, &children));
}

// --- treeview_tools: builders ---

TEST_F(Trees, StringListsBecomeLeaves) {
  const TreeList* leaves = treeview_tools::slist_tree(10, S({L"a", L"b"}));
  EXPECT_EQ(Show(leaves), L"11:a 12:b");
  const TreeTerm* a = leaves->head;
  EXPECT_EQ(a->state->functor, 2u);
  EXPECT_EQ(a->bitmap->functor, 1u);
  EXPECT_EQ(a->bitmap->payload, 10183u);
  EXPECT_EQ(a->selectedBitmap->payload, 10182u);
  EXPECT_EQ(Show(treeview_tools::slist_tree(0, S({}))), L"");
  EXPECT_EQ(Show(treeview_tools::slist_tree(UINT32_MAX - 1, S({L"last"}))), L"4294967295:last");
  // One more would wrap to the root's id 0.
  EXPECT_TRUE(IsRangeError(RunTrapped([] { treeview_tools::slist_tree(UINT32_MAX - 1, S({L"a", L"b"})); })));
}

TEST_F(Trees, ConvertedTreesNumberInPostOrder) {
  const STree* rab = N(L"r", {N(L"a"), N(L"b")});
  const TreeTerm* t = treeview_tools::convert_tree(rab);
  EXPECT_EQ(Show(t), L"4:r+[2:a+ 3:b+]");
  EXPECT_EQ(t->bitmap->payload, 10183u);
  EXPECT_EQ(t->selectedBitmap->payload, 10182u);
  // Each convert_tree starts again; a null child takes no id.
  EXPECT_EQ(Show(treeview_tools::convert_tree(N(L"r", {N(L"a", {N(L"x"), NullSTree()}), N(L"b")}))),
            L"5:r+[3:a+[2:x+ 0:Null Stree] 4:b+]");
  EXPECT_EQ(Show(treeview_tools::convert_tree(NullSTree())), L"0:Null Stree");
  // convert_trees continues the counter.
  treeview_tools::convert_tree(N(L"first"));  // gives 2
  EXPECT_EQ(Show(treeview_tools::convert_trees(MakeList<const STree*>({rab, N(L"z")}))),
            L"5:r+[3:a+ 4:b+] 6:z+");
}

// --- ss_tree ---

// r(p(q(p)) s p)
const STree* Sample() { return N(L"r", {N(L"p", {N(L"q", {N(L"p")})}), N(L"s"), N(L"p")}); }

TEST_F(Trees, StringTreeChanges) {
  struct Case { const char* what; bool (*edit)(ss_tree*); const wchar_t* want; };
  const Case cases[] = {
      {"below the upper match only, and below a later sibling match",
       [](ss_tree* s) { return s->add_string(L"n", L"p"), true; }, L"r(p(n q(p)) s p(n))"},
      {"root match: first child", [](ss_tree* s) { return s->add_string(L"n", L"r"), true; },
       L"r(n p(q(p)) s p)"},
      {"no match", [](ss_tree* s) { return s->add_string(L"n", L"P"), true; }, L"r(p(q(p)) s p)"},
      {"del_string of the root text", [](ss_tree* s) { return !s->del_string(L"r"); }, L"r(p(q(p)) s p)"},
      {"del_string of an absent text", [](ss_tree* s) { return s->del_string(L"z"); }, L"r(p(q(p)) s p)"},
      {"del_string at every depth", [](ss_tree* s) { return s->del_string(L"p"); }, L"r(s)"},
      {"del_string of an inner node takes its subtree", [](ss_tree* s) { return s->del_string(L"q"); },
       L"r(p s p)"},
      {"del_string_tree", [](ss_tree* s) { return s->del_string_tree(), true; }, L"null"},
  };
  for (const Case& c : cases) {
    ss_tree* s = ss_tree::new_stree(Sample());
    EXPECT_TRUE(c.edit(s)) << c.what;
    EXPECT_EQ(Show(s->get_string_tree()), c.want) << c.what;
  }

  // A null child goes with any successful del_string.
  ss_tree* s = ss_tree::new_stree(N(L"r", {NullSTree(), N(L"a", {NullSTree()})}));
  EXPECT_TRUE(s->del_string(L"z"));
  EXPECT_EQ(Show(s->get_string_tree()), L"r(a)");

  ss_tree* empty = ss_tree::new_stree(NullSTree());
  empty->add_string(L"n", L"r");
  EXPECT_FALSE(empty->del_string(L"r"));
  EXPECT_TRUE(empty->get_string_tree()->Null());
}

TEST_F(Trees, StringTreeReading) {
  ss_tree* s = ss_tree::new_stree(Sample());
  const std::vector<std::wstring> all{L"r", L"p", L"q", L"p", L"s", L"p"};
  EXPECT_EQ(V(s->list_strings()), all);
  auto texts = [](const std::vector<const wchar_t*>& v) { return std::vector<std::wstring>(v.begin(), v.end()); };
  EXPECT_EQ(texts(Solutions<const wchar_t*>([&](Each<const wchar_t*> k) { return s->nd_tree_strings(k); })), all);
  EXPECT_EQ(texts(Solutions<const wchar_t*>([&](Each<const wchar_t*> k) { return s->nd_sons(L"p", k); })),
            (std::vector<std::wstring>{L"p", L"q", L"p"}));
  EXPECT_TRUE(Solutions<const wchar_t*>([&](Each<const wchar_t*> k) { return s->nd_sons(L"z", k); }).empty());
  // The first accepted solution ends the enumeration.
  int seen = 0;
  EXPECT_TRUE(s->nd_tree_strings([&](const wchar_t* t) {
    ++seen;
    if (wcscmp(t, L"q") != 0) Qel::RunTime::Kernel::Fail();
  }));
  EXPECT_EQ(seen, 3);

  struct Case { const wchar_t* text; const wchar_t* parent; };
  for (const Case& c : {Case{L"q", L"p"}, Case{L"p", L"r"}, Case{L"s", L"r"}, Case{L"r", nullptr}, Case{L"z", nullptr}}) {
    const wchar_t* parent = nullptr;
    ASSERT_EQ(s->str_parent(c.text, &parent), c.parent != nullptr) << Narrow(c.text);
    if (c.parent) {
      EXPECT_STREQ(parent, c.parent);
    }
  }

  ss_tree* empty = ss_tree::new_stree(NullSTree());
  EXPECT_TRUE(empty->list_strings()->Empty());
  EXPECT_TRUE(Solutions<const wchar_t*>([&](Each<const wchar_t*> k) { return empty->nd_tree_strings(k); }).empty());
  EXPECT_TRUE(Solutions<const wchar_t*>([&](Each<const wchar_t*> k) { return empty->nd_sons(L"r", k); }).empty());
  const wchar_t* parent = nullptr;
  EXPECT_FALSE(empty->str_parent(L"r", &parent));
}

TEST_F(Trees, StringTreeOwnsItsCopy) {
  // The object keeps its tree after the caller's global stack is reused.
  uint8_t* mark = K::Memory::MarkGStack();
  ss_tree* s = ss_tree::new_stree(N(L"r", {N(L"a")}));
  wchar_t* text = K::Memory::CopyStringToGStack(L"new");
  s->add_string(text, L"a");
  text[0] = L'X';
  K::Memory::ReleaseGStack(mark);
  for (int i = 0; i < 8; ++i) K::Memory::CopyStringToGStack(L"zzzzzzzzzzzzzzzz");
  EXPECT_EQ(Show(s->get_string_tree()), L"r(a(new))");
}

// --- on a real tree-view control ---

// Deleted items' texts in the order of the control's TVN_DELETEITEM notices.
std::vector<std::wstring>& Deleted() {
  static std::vector<std::wstring> d;
  return d;
}
LRESULT CALLBACK Watch(int code, WPARAM w, LPARAM l) {
  const auto* m = reinterpret_cast<const CWPSTRUCT*>(l);
  if (code == HC_ACTION && m->message == WM_NOTIFY) {
    const auto* n = reinterpret_cast<const NMTREEVIEWW*>(m->lParam);
    if (n->hdr.code == TVN_DELETEITEMW) {
      wchar_t text[64] = L"";
      TVITEMW item{};
      item.mask = TVIF_TEXT | TVIF_HANDLE;
      item.hItem = n->itemOld.hItem;
      item.pszText = text;
      item.cchTextMax = 64;
      SendMessageW(n->hdr.hwndFrom, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
      Deleted().push_back(text);
    }
  }
  return CallNextHookEx(nullptr, code, w, l);
}

void Ignore(LONG_PTR, const TreeMessage*) { K::Fail(); }

// Runs body(control) with a "treeView" control in a task window holding
// `trees` at the top level; errors it raises fail the test.  The class
// registers "treeView" once per process; each later task window starts the
// layer afresh, which then learns the class again here.
void WithControl(const TreeList* trees, const std::function<void(LONG_PTR)>& body) {
  static bool registered = false;
  RunInTask([&](LONG_PTR task) {
    static const BitmapIdTerm image{1, 10183};
    static const TreeCallback callback{reinterpret_cast<void*>(&Ignore), nullptr};
    static const InsertPlace last{2, 0};
    if (registered) {
      static PROLOG_EHANDLER_STRUCT h{reinterpret_cast<void*>(&kwiTreeView::_handleevent), nullptr};
      RunTrapped([] { class_Destroy(L"treeView"); });
      class_Create(L"treeView", &h);
    }
    kwiTreeView::register_();
    registered = true;
    win_CreateDynControl(kd::Windefs({kd::CustomCtl(QEL_KWI::wt_custom, kd::Rect(0, 0, 240, 200), L"",
                                                    kd::kPixels, L"treeView", 500, kd::Ints({1}))}),
                         task);
    const LONG_PTR w = reinterpret_cast<LONG_PTR>(GetDlgItem(reinterpret_cast<HWND>(task), 500));
    const uint32_t code = K::RunTrapped([&] {
      kwiTreeView::init(w, kd::Ints({0x20, 1, 4, 2}), &image, &callback);
      kwiTreeView::insert_tree_list(w, 0, &last, trees);
      body(w);
    });
    if (code) ADD_FAILURE() << "raised " << Narrow(HandledErrorText(code));
  });
}

// r[a[x] b] numbered as convert_tree does, and a leaf "top" numbered 11.
const TreeList* Forest() {
  return Items({treeview_tools::convert_tree(N(L"r", {N(L"a", {N(L"x")}), N(L"b")})),
                treeview_tools::slist_tree(10, S({L"top"}))->head});
}

TEST_F(Trees, ParentsOfItemsInTheControl) {
  const TreeList* forest = Forest();
  ASSERT_EQ(Show(forest), L"5:r+[3:a+[2:x+] 4:b+] 11:top");
  WithControl(forest, [&](LONG_PTR w) {
    struct Case { uint32_t id; std::vector<std::wstring> want; };
    // 99: an item the control refuses ends the walk with the tail so far.
    for (const Case& c : {Case{2, {L"r", L"a", L"x", L"tail"}}, Case{4, {L"r", L"b", L"tail"}},
                          Case{11, {L"top", L"tail"}}, Case{0, {L"tail"}}, Case{99, {L"tail"}}})
      EXPECT_EQ(V(treeview_tools::get_parents(w, c.id, S({L"tail"}))), c.want) << c.id;

    // "a" given an image the class does not know: its fields cannot be read,
    // so the walk up from "x" stops there with what it has.
    const HWND native = kwiTreeView::getnativewindow(w);
    TVITEMW a{};
    a.mask = TVIF_IMAGE;
    a.hItem = TreeView_GetChild(native, TreeView_GetRoot(native));
    a.iImage = 57;
    ASSERT_TRUE(SendMessageW(native, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&a)));
    EXPECT_EQ(V(treeview_tools::get_parents(w, 2, S({L"tail"}))), (std::vector<std::wstring>{L"x", L"tail"}));
    EXPECT_EQ(V(treeview_tools::get_parents(w, 4, S({}))), (std::vector<std::wstring>{L"r", L"b"}));
  });
}

TEST_F(Trees, DeletingRemovesChildrenBeforeParents) {
  struct Case { const char* what; void (*run)(LONG_PTR w, const TreeList* forest);
                std::vector<std::wstring> order; const wchar_t* left; };
  const Case cases[] = {
      {"delete_tree", [](LONG_PTR w, const TreeList* f) { treeview_tools::delete_tree(w, f->head); },
       {L"x", L"a", L"b", L"r"}, L"11:top"},
      // Children in the term's order, not the control's: r[b a[x]] deletes
      // b first, where a cascade from r would start with a.
      {"delete_tree in the term's order",
       [](LONG_PTR w, const TreeList* f) {
         const TreeTerm* r = f->head;
         const TreeList* kids = r->children;
         const TreeTerm* swapped = Node(r->id, r->text, {kids->next->head, kids->head});
         treeview_tools::delete_tree(w, swapped);
       },
       {L"b", L"x", L"a", L"r"}, L"11:top"},
      {"delete_tree_list", [](LONG_PTR w, const TreeList* f) { treeview_tools::delete_tree_list(w, f); },
       {L"x", L"a", L"b", L"r", L"top"}, L""},
      {"delete_tree_list of everything the control reads back",
       [](LONG_PTR w, const TreeList*) { treeview_tools::delete_tree_list(w, kwiTreeView::get_all(w)); },
       {L"x", L"a", L"b", L"r", L"top"}, L""},
  };
  for (const Case& c : cases) {
    const TreeList* forest = Forest();
    WithControl(forest, [&](LONG_PTR w) {
      Deleted().clear();
      HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, Watch, nullptr, GetCurrentThreadId());
      c.run(w, forest);
      UnhookWindowsHookEx(hook);
      EXPECT_EQ(Deleted(), c.order) << c.what;
      EXPECT_EQ(Show(kwiTreeView::get_all(w), false), c.left) << c.what;
    });
  }
}

TEST_F(Trees, DeletingAnItemTheControlLacksRaises) {
  WithControl(Forest(), [&](LONG_PTR w) {
    const uint32_t code = TrapAndForget([&] { treeview_tools::delete_tree(w, Node(7, L"gone", {Node(2, L"x")})); });
    EXPECT_NE(code, 0u);
    // The known child went first; the rest stays.
    EXPECT_EQ(Show(kwiTreeView::get_all(w), false), L"5:r[3:a 4:b] 11:top");
  });
}

}  // namespace
}  // namespace rztest
