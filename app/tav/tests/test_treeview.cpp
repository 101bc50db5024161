// kwiTreeView on a real "treeView" window: item model and insertion places,
// reading back, deletion, states and images, hit-testing, and the control's
// notifications produced by real input and answered through the callback.
#include <windows.h>
// windows.h first: commctrl.h needs its types.
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "kwi/kwitreeview/kwitreeview.h"
#include "toolkit_test.h"

using namespace tktest;
using namespace tav;
using namespace QEL_KWI;
namespace kd = tav::kwidomains;

namespace {

using TreeView = Library;

// --- Terms ---------------------------------------------------------------------------------

const ItemStateList* States(std::initializer_list<ItemStateFlag> flags) {
  auto* l = static_cast<ItemStateList*>(GStackAlloc(sizeof(ItemStateList)));
  *l = {2, ItemStateFlag{}, nullptr};
  const ItemStateList* list = l;
  for (auto it = std::rbegin(flags); it != std::rend(flags); ++it) {
    auto* c = static_cast<ItemStateList*>(GStackAlloc(sizeof(ItemStateList)));
    *c = {1, *it, list};
    list = c;
  }
  return list;
}

const BitmapIdTerm* Res(uint32_t id) {
  auto* b = static_cast<BitmapIdTerm*>(GStackAlloc(sizeof(BitmapIdTerm)));
  *b = {1, id};
  return b;
}
const BitmapIdTerm* File(const wchar_t* name) {
  auto* b = static_cast<BitmapIdTerm*>(GStackAlloc(sizeof(BitmapIdTerm)));
  *b = {2, reinterpret_cast<uint64_t>(K::Memory::CopyStringToGStack(name))};
  return b;
}
const BitmapIdTerm* Bmp(picture p) {
  auto* b = static_cast<BitmapIdTerm*>(GStackAlloc(sizeof(BitmapIdTerm)));
  *b = {3, reinterpret_cast<uint64_t>(p)};
  return b;
}

const TreeList* List(std::initializer_list<const TreeTerm*> trees) {
  auto* nil = static_cast<TreeList*>(GStackAlloc(sizeof(TreeList)));
  *nil = {2, nullptr, nullptr};
  const TreeList* l = nil;
  for (auto it = std::rbegin(trees); it != std::rend(trees); ++it) {
    auto* c = static_cast<TreeList*>(GStackAlloc(sizeof(TreeList)));
    *c = {1, *it, l};
    l = c;
  }
  return l;
}

// A tree with the test program's bitmap resource 7.
const TreeTerm* Tree(uint32_t id, const wchar_t* text,
                     std::initializer_list<const TreeTerm*> children = {}) {
  auto* t = static_cast<TreeTerm*>(GStackAlloc(sizeof(TreeTerm)));
  *t = {1, id, States({}), Res(7), Res(7), K::Memory::CopyStringToGStack(text), List(children)};
  return t;
}

const InsertPlace* Place(uint64_t functor, uint32_t after = 0) {
  auto* p = static_cast<InsertPlace*>(GStackAlloc(sizeof(InsertPlace)));
  *p = {functor, after};
  return p;
}
const InsertPlace* First() { return Place(1); }
const InsertPlace* Last() { return Place(2); }
const InsertPlace* Sorted() { return Place(3); }
const InsertPlace* After(uint32_t id) { return Place(4, id); }

// "id:text[children] id:text".
std::wstring Describe(const TreeList* l) {
  std::wstring s;
  for (; l->functor == 1; l = l->next) {
    if (!s.empty()) s += L' ';
    s += std::to_wstring(l->head->id) + L':' + l->head->text;
    if (l->head->children->functor == 1) s += L'[' + Describe(l->head->children) + L']';
  }
  return s;
}

std::vector<ItemStateFlag> Flags(const ItemStateList* l) {
  std::vector<ItemStateFlag> v;
  for (; l->functor == 1; l = l->next) v.push_back(l->flag);
  return v;
}

// The exception a body raised: its descriptor name and "Arguments".
struct Raised {
  std::wstring name, arguments, predicate;
};
template <class Body>
Raised Raise(Body&& body) {
  const uint32_t id = RunTrapped(body);
  Raised r;
  if (id < kFirstTraceId) return r;
  const std::vector<const TraceEntry*> all = Entries();
  if (all.empty()) return r;
  r.name = all.front()->exception->name;
  r.arguments = Extra(all.front(), L"Arguments");
  r.predicate = Extra(all.front(), L"Predicate name");
  return r;
}

// Runs body(task) in the task window; an error it raises fails the test
// with the newest entry's name and arguments.
// The class registers "treeView" once per process; every later task window
// starts the layer afresh, which then learns the class again here.
bool registered = false;  // by this file's tests, the only ones of the program that register
void InTask(const std::function<void(LONG_PTR)>& body) {
  RunInTask([&](LONG_PTR task) {
    if (registered) {
      static PROLOG_EHANDLER_STRUCT h{reinterpret_cast<void*>(&kwiTreeView::_handleevent), nullptr};
      RunTrapped([] { class_Destroy(L"treeView"); });
      class_Create(L"treeView", &h);
    }
    kwiTreeView::register_();
    registered = true;
    const uint32_t code = RunTrapped([&] { body(task); });
    if (code == 0) return;
    const std::vector<const TraceEntry*> all = Entries();
    ADD_FAILURE() << "raised " << code << " "
                  << (all.empty() ? std::string("?")
                                  : Narrow(std::wstring(all.front()->exception->name) + L": " +
                                           Extra(all.front(), L"Arguments") + L" / " +
                                           Extra(all.front(), L"ExtraInfo")));
  });
}

// --- Windows -------------------------------------------------------------------------------

std::vector<TreeMessage>& Messages() {
  static std::vector<TreeMessage> m;
  return m;
}
// The texts of `endedit` as the callback got them, kept (not copied) where
// the collector sees them.
struct KeptTexts {
  const wchar_t* text[4];
  size_t count;
  void clear() { count = 0; }
  size_t size() const { return count; }
  void push_back(const wchar_t* t) {
    if (count < 4) text[count++] = t;
  }
  const wchar_t* operator[](size_t i) const { return text[i]; }
};
KeptTexts g_kept;
KeptTexts& EditTexts() { return g_kept; }
// What the recording callback answers: true succeeds, false fails.
bool& Accept() {
  static bool a = false;
  return a;
}
void Record(LONG_PTR, const TreeMessage* m) {
  Messages().push_back(*m);
  if (m->kind == TreeMessageKind::endedit) EditTexts().push_back(reinterpret_cast<const wchar_t*>(m->b));
  if (!Accept()) K::Fail();
}
const TreeCallback* Recording() {
  static TreeCallback cb{reinterpret_cast<void*>(&Record), nullptr};
  return &cb;
}

// A bound "treeView" window of 240 x 200 pixels in the task window.
LONG_PTR NewTree(LONG_PTR task, const ilist_struct* styles = kd::Ints({0x20, 1, 4, 2})) {
  kwiTreeView::register_();
  LONG_PTR w = win_CreateDynControl(
      kd::Windefs({kd::CustomCtl(wt_custom, kd::Rect(0, 0, 240, 200), L"", kd::kPixels, L"treeView",
                                 500, kd::Ints({1}))}),
      task);
  w = reinterpret_cast<LONG_PTR>(GetDlgItem(reinterpret_cast<HWND>(task), 500));
  Messages().clear();
  EditTexts().clear();
  Accept() = false;
  kwiTreeView::init(w, styles, Res(7), Recording());
  return w;
}

HWND Native(LONG_PTR w) { return kwiTreeView::getnativewindow(w); }

// --- Model -----------------------------------------------------------------------------------

// The first test of the program: nothing has registered the class yet.
TEST_F(TreeView, BindingAWindowBeforeTheClassIsRegisteredIsAnInternalError) {
  if (registered) GTEST_SKIP() << "the class was registered by an earlier test";
  Raised r;
  HWND bound = reinterpret_cast<HWND>(1);
  RunInTask([&](LONG_PTR task) {
    r = Raise([&] { kwiTreeView::init(task, kd::Ints({}), Res(7), Recording()); });
    bound = kwiTreeView::trygetnativewindow(task);
  });
  EXPECT_EQ(r.arguments, L"Tree window class has not been registred");
  EXPECT_EQ(r.predicate, L"kwiTreeView::check_register");
  EXPECT_EQ(bound, nullptr);
}

TEST_F(TreeView, AnEmptyControlReadsEmptyAndUnknownIdentifiersRaise) {
  InTask([&](LONG_PTR task) {
    LONG_PTR w = NewTree(task);
    EXPECT_EQ(kwiTreeView::get_all(w)->functor, 2u);
    EXPECT_EQ(kwiTreeView::get_selected(w), 0u);
    EXPECT_EQ(kwiTreeView::get_child(w, 0), 0u);
    EXPECT_EQ(kwiTreeView::get_count(w), 0u);
    EXPECT_FALSE(kwiTreeView::itemidexist(w, 5));
    for (auto body : std::vector<std::function<void()>>{
             [&] { kwiTreeView::get_parent(w, 0); },
             [&] { kwiTreeView::get_part(w, 0); },
             [&] { kwiTreeView::get_next(w, 5); },
             [&] { kwiTreeView::delete_item(w, 5); },
             [&] { kwiTreeView::insert_tree(w, 5, Last(), Tree(1, L"a")); },
             [&] { kwiTreeView::insert_tree(w, 0, After(5), Tree(1, L"a")); }}) {
      EXPECT_EQ(Raise(body).name, L"badidentifierexception");
    }
    kwiTreeView::insert_tree(w, 0, Last(), Tree(1, L"top"));
    EXPECT_EQ(kwiTreeView::get_parent(w, 1), 0u);

    // A "treeView" window that was never bound has no native control.
    LONG_PTR unbound = win_CreateDynControl(
        kd::Windefs({kd::CustomCtl(wt_custom, kd::Rect(0, 0, 10, 10), L"", kd::kPixels,
                                   L"treeView", 501, kd::Ints({1}))}),
        task);
    unbound = reinterpret_cast<LONG_PTR>(GetDlgItem(reinterpret_cast<HWND>(task), 501));
    Raised r = Raise([&] { kwiTreeView::get_count(unbound); });
    EXPECT_EQ(r.name, L"internal");
    EXPECT_EQ(r.arguments, L"Bad Window");
    EXPECT_EQ(r.predicate, L"kwiTreeView::getnativewindow");
    EXPECT_EQ(Raise([&] { kwiTreeView::set_subclasshandler(unbound, NoEventHandler()); }).arguments,
              L"Bad Window");
    // A second binding is refused and the first stays.
    HWND before = Native(w);
    r = Raise([&] { kwiTreeView::init(w, kd::Ints({}), Res(7), Recording()); });
    EXPECT_EQ(r.arguments, L"Native window already exists");
    EXPECT_EQ(Native(w), before);
  });
}

TEST_F(TreeView, InsertPlacesKeepTheListAsOneBlock) {
  struct Case {
    const wchar_t* name;
    const InsertPlace* (*place)();
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"first", [] { return First(); }, L"1:P[20:b[31:z 30:a] 21:a 22:c 10:ab 11:zz]"},
      {L"last", [] { return Last(); }, L"1:P[10:ab 11:zz 20:b[31:z 30:a] 21:a 22:c]"},
      {L"after", [] { return After(10); }, L"1:P[10:ab 20:b[31:z 30:a] 21:a 22:c 11:zz]"},
      {L"sorted", [] { return Sorted(); }, L"1:P[21:a 10:ab 20:b[30:a 31:z] 22:c 11:zz]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.name));
    std::wstring got;
    InTask([&](LONG_PTR task) {
      LONG_PTR w = NewTree(task);
      kwiTreeView::insert_tree(w, 0, Last(), Tree(1, L"P", {Tree(10, L"ab"), Tree(11, L"zz")}));
      kwiTreeView::insert_tree_list(
          w, 1, c.place(),
          List({Tree(20, L"b", {Tree(31, L"z"), Tree(30, L"a")}), Tree(21, L"a"), Tree(22, L"c")}));
      got = Describe(kwiTreeView::get_all(w));
      EXPECT_EQ(kwiTreeView::get_parent(w, 31), 20u);
      EXPECT_EQ(kwiTreeView::get_count(w), 8u);
    });
    EXPECT_EQ(got, c.expected);
  }
}

TEST_F(TreeView, ARepeatedIdentifierRaisesAndKeepsWhatCameBefore) {
  InTask([&](LONG_PTR task) {
    LONG_PTR w = NewTree(task);
    kwiTreeView::insert_tree(w, 0, Last(), Tree(1, L"x"));
    Raised r = Raise([&] {
      kwiTreeView::insert_tree(w, 0, Last(), Tree(2, L"r", {Tree(3, L"c"), Tree(1, L"again")}));
    });
    EXPECT_EQ(r.arguments, L"Item already exist");
    EXPECT_EQ(r.predicate, L"kwiTreeView::checkitem_notexist");
    EXPECT_TRUE(kwiTreeView::itemidexist(w, 2));
    EXPECT_TRUE(kwiTreeView::itemidexist(w, 3));
    EXPECT_EQ(Describe(kwiTreeView::get_all(w)), L"1:x 2:r[3:c]");
  });
}

TEST_F(TreeView, DeletedSubtreesAreForgottenAndTheirIdsReusable) {
  InTask([&](LONG_PTR task) {
    LONG_PTR w = NewTree(task);
    kwiTreeView::insert_tree_list(
        w, 0, Last(), List({Tree(1, L"a", {Tree(2, L"b", {Tree(3, L"c")})}), Tree(4, L"d")}));
    kwiTreeView::delete_item(w, 2);
    EXPECT_FALSE(kwiTreeView::itemidexist(w, 2));
    EXPECT_FALSE(kwiTreeView::itemidexist(w, 3));
    kwiTreeView::insert_tree(w, 4, Last(), Tree(3, L"c2", {Tree(2, L"b2")}));
    EXPECT_EQ(Describe(kwiTreeView::get_all(w)), L"1:a 4:d[3:c2[2:b2]]");
    EXPECT_EQ(Describe(kwiTreeView::get_part(w, 3)), L"3:c2[2:b2]");
    // The root: the control is emptied and every item forgotten.
    kwiTreeView::delete_item(w, 0);
    EXPECT_EQ(kwiTreeView::get_count(w), 0u);
    for (uint32_t id : {1u, 2u, 3u, 4u}) EXPECT_FALSE(kwiTreeView::itemidexist(w, id)) << id;
    kwiTreeView::insert_tree(w, 0, Last(), Tree(1, L"again"));
    EXPECT_EQ(Describe(kwiTreeView::get_all(w)), L"1:again");
  });
}

// A child deleted first (head, middle or tail of its siblings) must leave the
// others forgotten with their parent and their ids free again.
TEST_F(TreeView, DeletingOneChildThenItsParentForgetsTheRest) {
  InTask([&](LONG_PTR task) {
    LONG_PTR w = NewTree(task);
    for (uint32_t first : {2u, 3u, 4u}) {
      kwiTreeView::insert_tree_list(
          w, 0, Last(),
          List({Tree(1, L"p", {Tree(2, L"a"), Tree(3, L"b", {Tree(5, L"e")}), Tree(4, L"c")}),
                Tree(6, L"q")}));
      kwiTreeView::delete_item(w, first);
      EXPECT_FALSE(kwiTreeView::itemidexist(w, first)) << first;
      kwiTreeView::delete_item(w, 1);
      for (uint32_t id : {1u, 2u, 3u, 4u, 5u})
        EXPECT_FALSE(kwiTreeView::itemidexist(w, id)) << first << " " << id;
      kwiTreeView::insert_tree_list(w, 6, Last(), List({Tree(3, L"b2"), Tree(1, L"p2")}));
      EXPECT_EQ(Describe(kwiTreeView::get_all(w)), L"6:q[3:b2 1:p2]") << first;
      kwiTreeView::delete_item(w, 6);
      EXPECT_EQ(kwiTreeView::get_count(w), 0u);
    }
  });
}

TEST_F(TreeView, StatesConvertBothWaysAndSetItemWritesEveryBit) {
  EXPECT_EQ(kwiTreeView::itemstate_tonative(States({ItemStateFlag::bold, ItemStateFlag::bold})), 0x10u);
  EXPECT_EQ(Flags(kwiTreeView::itemstate_fromnative(0x22)),
            (std::vector<ItemStateFlag>{ItemStateFlag::selected, ItemStateFlag::expanded}));
  EXPECT_TRUE(Flags(kwiTreeView::itemstate_fromnative(0x40)).empty());
  EXPECT_EQ(Flags(kwiTreeView::itemstate_fromnative(0x3E)).size(), 5u);
  InTask([&](LONG_PTR task) {
    LONG_PTR w = NewTree(task);
    kwiTreeView::insert_tree(w, 0, Last(), Tree(1, L"a", {Tree(2, L"b")}));
    auto state = [&] {
      TVITEMW it{};
      it.mask = TVIF_STATE | TVIF_HANDLE;
      it.hItem = reinterpret_cast<HTREEITEM>(SendMessageW(Native(w), TVM_GETNEXTITEM, TVGN_ROOT, 0));
      it.stateMask = 0xFF;
      SendMessageW(Native(w), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
      return it.state & 0xFF;
    };
    kwiTreeView::set_item(w, 1, L"bold", States({ItemStateFlag::bold, ItemStateFlag::cut}), Res(7), Res(7));
    EXPECT_EQ(state(), 0x14u);
    kwiTreeView::set_item(w, 1, L"plain", States({}), Res(7), Res(7));
    EXPECT_EQ(state(), 0u);
    kwiTreeView::expand(w, 1);
    EXPECT_EQ(state() & TVIS_EXPANDED, TVIS_EXPANDED);
    kwiTreeView::expand(w, 1);
    EXPECT_EQ(state() & TVIS_EXPANDED, 0u);
    // Long labels read back cut to 999 characters.
    std::wstring longText(1500, L'x');
    kwiTreeView::set_item(w, 2, longText.c_str(), States({}), Res(7), Res(7));
    const wchar_t* text;
    const ItemStateList* st;
    const BitmapIdTerm *b, *sb;
    kwiTreeView::get_item(w, 2, &text, &st, &b, &sb);
    EXPECT_EQ(wcslen(text), 999u);
    EXPECT_EQ(b->functor, 1u);
    EXPECT_EQ(b->payload, 7u);
  });
}

// A 24-bit bitmap file of width x height pixels.
std::wstring WriteBmp(const std::wstring& name, int width, int height) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  std::wstring path = std::wstring(dir) + name;
  const int stride = (width * 3 + 3) & ~3;
  BITMAPFILEHEADER fh{};
  BITMAPINFOHEADER ih{};
  ih.biSize = sizeof ih;
  ih.biWidth = width;
  ih.biHeight = height;
  ih.biPlanes = 1;
  ih.biBitCount = 24;
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof ih;
  fh.bfSize = fh.bfOffBits + stride * height;
  std::vector<char> pixels(static_cast<size_t>(stride) * height, 0x40);
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD n;
  WriteFile(f, &fh, sizeof fh, &n, nullptr);
  WriteFile(f, &ih, sizeof ih, &n, nullptr);
  WriteFile(f, pixels.data(), static_cast<DWORD>(pixels.size()), &n, nullptr);
  CloseHandle(f);
  return path;
}

TEST_F(TreeView, EqualBitmapsShareOneImageAndFileNamesAreCaseSensitive) {
  const std::wstring small = WriteBmp(L"kwitv_small.bmp", 16, 16);
  const std::wstring wide = WriteBmp(L"kwitv_wide.bmp", 48, 16);
  InTask([&](LONG_PTR task) {
    // A resource bitmap used by many items is loaded once.
    LONG_PTR w = NewTree(task);
    HIMAGELIST list = reinterpret_cast<HIMAGELIST>(SendMessageW(Native(w), TVM_GETIMAGELIST, TVSIL_NORMAL, 0));
    ASSERT_TRUE(list);
    EXPECT_EQ(ImageList_GetImageCount(list), 0);
    kwiTreeView::insert_tree_list(w, 0, Last(), List({Tree(1, L"a"), Tree(2, L"b", {Tree(3, L"c")})}));
    EXPECT_EQ(ImageList_GetImageCount(list), 1);
  });
  InTask([&](LONG_PTR task) {
    kwiTreeView::register_();
    LONG_PTR w = win_CreateDynControl(
        kd::Windefs({kd::CustomCtl(wt_custom, kd::Rect(0, 0, 200, 200), L"", kd::kPixels,
                                   L"treeView", 502, kd::Ints({1}))}),
        task);
    w = reinterpret_cast<LONG_PTR>(GetDlgItem(reinterpret_cast<HWND>(task), 502));
    kwiTreeView::init(w, kd::Ints({}), File(small.c_str()), Recording());
    HIMAGELIST list = reinterpret_cast<HIMAGELIST>(SendMessageW(Native(w), TVM_GETIMAGELIST, TVSIL_NORMAL, 0));
    int cx = 0, cy = 0;
    ImageList_GetIconSize(list, &cx, &cy);
    EXPECT_EQ(cx, 16);
    EXPECT_EQ(cy, 16);
    EXPECT_EQ(ImageList_GetImageCount(list), 0);  // the size bitmap is not added

    auto item = [&](uint32_t id, const BitmapIdTerm* b) {
      auto* t = static_cast<TreeTerm*>(GStackAlloc(sizeof(TreeTerm)));
      *t = {1, id, States({}), b, b, L"i", List({})};
      kwiTreeView::insert_tree(w, 0, Last(), t);
    };
    item(1, File(small.c_str()));
    item(2, File(small.c_str()));
    EXPECT_EQ(ImageList_GetImageCount(list), 1);
    std::wstring upper = small;
    for (auto& ch : upper) ch = towupper(ch);
    item(3, File(upper.c_str()));
    EXPECT_EQ(ImageList_GetImageCount(list), 2);
    // A file bitmap of another size is scaled: one image.
    item(4, File(wide.c_str()));
    EXPECT_EQ(ImageList_GetImageCount(list), 3);
    // A picture is added at its own size: 48 pixels make three images.
    picture p = pict_Load(wide.c_str());
    item(5, Bmp(p));
    item(6, Bmp(p));
    EXPECT_EQ(ImageList_GetImageCount(list), 6);
    const wchar_t* text;
    const ItemStateList* st;
    const BitmapIdTerm *b, *sb;
    kwiTreeView::get_item(w, 3, &text, &st, &b, &sb);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(b->payload)), upper);
    kwiTreeView::get_item(w, 6, &text, &st, &b, &sb);
    EXPECT_EQ(b->functor, 3u);
    // An image index the cache does not know.
    TVITEMW it{};
    it.mask = TVIF_IMAGE | TVIF_HANDLE;
    it.hItem = reinterpret_cast<HTREEITEM>(SendMessageW(Native(w), TVM_GETNEXTITEM, TVGN_ROOT, 0));
    it.iImage = 40;
    SendMessageW(Native(w), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&it));
    Raised r = Raise([&] { kwiTreeView::get_all(w); });
    EXPECT_EQ(r.arguments, L"bitmap_index_db did not have an entry");
  });
  DeleteFileW(small.c_str());
  DeleteFileW(wide.c_str());
}

// Counts the item reads and writes of one handle at the native control.
struct MessageCount {
  HTREEITEM item = nullptr;
  int reads = 0, writes = 0;
};
LRESULT CALLBACK Counting(HWND w, UINT m, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  auto* c = reinterpret_cast<MessageCount*>(data);
  if ((m == TVM_GETITEMW || m == TVM_SETITEMW) && reinterpret_cast<TVITEMW*>(lp)->hItem == c->item)
    ++(m == TVM_GETITEMW ? c->reads : c->writes);
  return DefSubclassProc(w, m, wp, lp);
}

TEST_F(TreeView, AParentIsRefreshedOnceAfterItsChildrenAreInserted) {
  InTask([&](LONG_PTR task) {
    LONG_PTR w = NewTree(task);
    kwiTreeView::insert_tree(w, 0, Last(), Tree(1, L"p"));
    MessageCount count;
    count.item = reinterpret_cast<HTREEITEM>(SendMessageW(Native(w), TVM_GETNEXTITEM, TVGN_ROOT, 0));
    SetWindowSubclass(Native(w), Counting, 1, reinterpret_cast<DWORD_PTR>(&count));
    kwiTreeView::insert_tree_list(w, 1, Last(), List({Tree(2, L"a"), Tree(3, L"b", {Tree(4, L"c")})}));
    EXPECT_EQ(count.reads, 1);
    EXPECT_EQ(count.writes, 2);  // the images, then text and state
    count = {count.item, 0, 0};
    kwiTreeView::insert_tree(w, 0, Last(), Tree(5, L"top"));
    EXPECT_EQ(count.reads + count.writes, 0);
    RemoveWindowSubclass(Native(w), Counting, 1);
  });
}

TEST_F(TreeView, HitTestsNameEveryPositionAndRefuseCombinations) {
  InTask([&](LONG_PTR task) {
    const std::wstring icon = WriteBmp(L"kwitv_icon.bmp", 16, 16);
    kwiTreeView::register_();
    LONG_PTR w = win_CreateDynControl(
        kd::Windefs({kd::CustomCtl(wt_custom, kd::Rect(0, 0, 240, 200), L"", kd::kPixels,
                                   L"treeView", 503, kd::Ints({1}))}),
        task);
    w = reinterpret_cast<LONG_PTR>(GetDlgItem(reinterpret_cast<HWND>(task), 503));
    kwiTreeView::init(w, kd::Ints({0x20, 1, 4, 2}), File(icon.c_str()), Recording());
    auto* t = static_cast<TreeTerm*>(GStackAlloc(sizeof(TreeTerm)));
    *t = {1, 1, States({}), File(icon.c_str()), File(icon.c_str()), L"label",
          List({Tree(2, L"child")})};
    kwiTreeView::insert_tree(w, 0, Last(), t);
    HTREEITEM h = reinterpret_cast<HTREEITEM>(SendMessageW(Native(w), TVM_GETNEXTITEM, TVGN_ROOT, 0));
    RECT label{};
    *reinterpret_cast<HTREEITEM*>(&label) = h;
    SendMessageW(Native(w), TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&label));
    RECT client;
    GetClientRect(Native(w), &client);
    const int y = (label.top + label.bottom) / 2;
    kwiTreeView::expand(w, 1);
    const int child = y + (label.bottom - label.top);
    struct Case {
      int x, y;
      TreePosition position;
      uint32_t item;
    };
    const Case cases[] = {
        {label.left + 3, y, TreePosition::onitemlabel, 1},
        {label.left - 8, y, TreePosition::onitemicon, 1},
        {label.left - 16 - 9, y, TreePosition::onitembutton, 1},
        {1, child, TreePosition::onitemindent, 2},
        {label.right + 10, y, TreePosition::onitemright, 1},
        {10, client.bottom - 5, TreePosition::nowhere, 0},
        {10, -5, TreePosition::above, 0},
        {10, client.bottom + 5, TreePosition::below, 0},
        {client.right + 5, 10, TreePosition::toright, 0},
        {-5, 10, TreePosition::toleft, 0},
    };
    for (const Case& c : cases) {
      uint32_t id = 99;
      TreePosition p{};
      kwiTreeView::get_position(w, c.x, c.y, &id, &p);
      EXPECT_EQ(p, c.position) << c.x << "," << c.y;
      EXPECT_EQ(id, c.item) << c.x << "," << c.y;
    }
    Raised r = Raise([&] {
      uint32_t id;
      TreePosition p;
      kwiTreeView::get_position(w, client.right + 5, -5, &id, &p);
    });
    EXPECT_EQ(r.arguments, L"Unknown Native position:1280");
    EXPECT_EQ(r.predicate, L"kwiTreeView::getposition_fromnative");
    DeleteFileW(icon.c_str());
  });
}

// With check boxes the control puts a state icon left of the item's icon.
TEST_F(TreeView, TheStateIconOfACheckBoxTreeIsItsOwnPosition) {
  InTask([&](LONG_PTR task) {
    LONG_PTR w = NewTree(task, kd::Ints({0x20, 1, 4, 2, TVS_CHECKBOXES}));
    kwiTreeView::insert_tree_list(w, 0, Last(), List({Tree(1, L"alpha"), Tree(2, L"beta")}));
    Pump(50);
    HTREEITEM h = reinterpret_cast<HTREEITEM>(SendMessageW(Native(w), TVM_GETNEXTITEM, TVGN_ROOT, 0));
    h = reinterpret_cast<HTREEITEM>(SendMessageW(Native(w), TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(h)));
    RECT label{};
    *reinterpret_cast<HTREEITEM*>(&label) = h;
    SendMessageW(Native(w), TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&label));
    const int y = (label.top + label.bottom) / 2;
    // Left of the label: first the item's icon, then the state icon.
    std::vector<TreePosition> seen;
    uint32_t stateItem = 0;
    for (int x = label.left - 1; x >= 0; --x) {
      uint32_t id = 0;
      TreePosition p{};
      kwiTreeView::get_position(w, x, y, &id, &p);
      if (seen.empty() || seen.back() != p) seen.push_back(p);
      if (p == TreePosition::onitemstateicon) stateItem = id;
    }
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[0], TreePosition::onitemicon);
    EXPECT_EQ(seen[1], TreePosition::onitemstateicon);
    EXPECT_EQ(stateItem, 2u);
  });
}

TEST_F(TreeView, DestroyingTheWindowForgetsEverything) {
  InTask([&](LONG_PTR task) {
    LONG_PTR w = NewTree(task);
    kwiTreeView::insert_tree(w, 0, Last(), Tree(1, L"a", {Tree(2, L"b")}));
    DestroyWindow(reinterpret_cast<HWND>(w));
    EXPECT_FALSE(kwiTreeView::itemidexist(w, 1));
    EXPECT_FALSE(kwiTreeView::itemidexist(w, 2));
    EXPECT_EQ(kwiTreeView::trygetnativewindow(w), nullptr);
    LONG_PTR again = NewTree(task);
    EXPECT_FALSE(kwiTreeView::itemidexist(again, 1));
    EXPECT_EQ(kwiTreeView::get_count(again), 0u);
  });
}

// --- Notifications ---------------------------------------------------------------------------

void MoveTo(HWND w, int x, int y) {
  POINT p{x, y};
  ClientToScreen(w, &p);
  SetCursorPos(p.x, p.y);
}
void Mouse(DWORD down, DWORD up) {
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_MOUSE;
  in[0].mi.dwFlags = down;
  in[1].mi.dwFlags = up;
  SendInput(2, in, sizeof(INPUT));
}
void Key(WORD vk) {
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_KEYBOARD;
  in[0].ki.wVk = in[1].ki.wVk = vk;
  in[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, in, sizeof(INPUT));
}
void Type(const wchar_t* text) {
  for (const wchar_t* c = text; *c; ++c) Key(static_cast<WORD>(towupper(*c)));
}

bool Has(TreeMessageKind kind) {
  for (const TreeMessage& m : Messages())
    if (m.kind == kind) return true;
  return false;
}
const TreeMessage* Find(TreeMessageKind kind) {
  for (const TreeMessage& m : Messages())
    if (m.kind == kind) return &m;
  return nullptr;
}

// The label's middle in the native control.
POINT LabelOf(HWND native, int index) {
  HTREEITEM h = reinterpret_cast<HTREEITEM>(SendMessageW(native, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  for (int i = 0; i < index; ++i)
    h = reinterpret_cast<HTREEITEM>(SendMessageW(native, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(h)));
  RECT r{};
  *reinterpret_cast<HTREEITEM*>(&r) = h;
  SendMessageW(native, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r));
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

LONG_PTR FocusedTree(LONG_PTR task) {
  HWND t = reinterpret_cast<HWND>(task);
  ShowWindow(t, SW_SHOW);
  SetForegroundWindow(t);
  LONG_PTR w = NewTree(task, kd::Ints({0x20, 1, 4, 2, TVS_EDITLABELS}));
  kwiTreeView::insert_tree_list(w, 0, Last(),
                                List({Tree(1, L"alpha", {Tree(11, L"inner")}), Tree(2, L"beta"),
                                      Tree(3, L"gamma")}));
  SetFocus(Native(w));
  Pump(100);
  Messages().clear();
  return w;
}

TEST_F(TreeView, ClicksAndKeysReachTheCallbackWithTheirItems) {
  InTask([&](LONG_PTR task) {
    LONG_PTR w = FocusedTree(task);
    HWND n = Native(w);
    POINT beta = LabelOf(n, 1);
    MoveTo(n, beta.x, beta.y);
    Mouse(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
    PumpUntil([] { return Has(TreeMessageKind::click); }, 1000);
    const TreeMessage* click = Find(TreeMessageKind::click);
    ASSERT_TRUE(click);
    const auto* at = reinterpret_cast<const pnt_struct*>(click->a);
    EXPECT_NEAR(at->x, beta.x, 1);
    EXPECT_NEAR(at->y, beta.y, 1);
    PumpUntil([] { return Has(TreeMessageKind::selected); }, 1000);
    const TreeMessage* sel = Find(TreeMessageKind::selected);
    ASSERT_TRUE(sel);
    EXPECT_EQ(sel->b, 2);
    EXPECT_EQ(kwiTreeView::get_selected(w), 2u);

    Messages().clear();
    Pump(600);  // not a double click with the first
    Mouse(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
    Mouse(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
    EXPECT_TRUE(PumpUntil([] { return Has(TreeMessageKind::dblclick); }, 1000));

    Messages().clear();
    Key(VK_RETURN);
    EXPECT_TRUE(PumpUntil([] { return Has(TreeMessageKind::return_); }, 1000));
    if (const TreeMessage* r = Find(TreeMessageKind::return_)) EXPECT_EQ(r->a, 2);

    Messages().clear();
    Key(VK_DOWN);
    EXPECT_TRUE(PumpUntil([] { return Has(TreeMessageKind::selected); }, 1000));
    const TreeMessage* key = Find(TreeMessageKind::keydown);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->a, VK_DOWN);
    EXPECT_EQ(kwiTreeView::get_selected(w), 3u);

    // A succeeding callback vetoes the change of selection.
    Messages().clear();
    Accept() = true;
    Key(VK_UP);
    PumpUntil([] { return Has(TreeMessageKind::selecting); }, 1000);
    Pump(100);
    const TreeMessage* selecting = Find(TreeMessageKind::selecting);
    ASSERT_TRUE(selecting);
    EXPECT_EQ(selecting->a, 3);
    EXPECT_EQ(selecting->b, 2);
    EXPECT_EQ(kwiTreeView::get_selected(w), 3u);
    Accept() = false;

    // Expansion by the keyboard, reported with the expanded bit.
    kwiTreeView::select(w, 1);
    Messages().clear();
    Key(VK_RIGHT);
    PumpUntil([] { return Has(TreeMessageKind::expanded); }, 1000);
    const TreeMessage* expanding = Find(TreeMessageKind::expanding);
    const TreeMessage* expanded = Find(TreeMessageKind::expanded);
    ASSERT_TRUE(expanding && expanded);
    EXPECT_EQ(expanding->a, 1);
    EXPECT_EQ(expanding->b, 0);
    EXPECT_EQ(expanded->a, 1);
    EXPECT_EQ(expanded->b, 1);
  });
}

TEST_F(TreeView, ARightClickAnsweredReleasesTheCaptureAndShowsTheArrow) {
  InTask([&](LONG_PTR task) {
    LONG_PTR w = FocusedTree(task);
    HWND n = Native(w);
    POINT gamma = LabelOf(n, 2);
    MoveTo(n, gamma.x, gamma.y);
    Accept() = true;
    Mouse(MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
    EXPECT_TRUE(PumpUntil([] { return Has(TreeMessageKind::rclick); }, 1000));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));

    // The answers to the control, by a notification handed to the handler.
    NMHDR h{n, 0, static_cast<UINT>(NM_RCLICK)};
    event_struct e{};
    e.kind = e_native;
    e.w[0] = WM_NOTIFY;
    e.w[2] = reinterpret_cast<LPARAM>(&h);
    volatile LONG_PTR answer = -1;
    EXPECT_TRUE(Succeeds([&] { answer = kwiTreeView::_handleevent(w, &e); }));
    EXPECT_EQ(answer, 1);
    Accept() = false;
    EXPECT_FALSE(Succeeds([&] { answer = kwiTreeView::_handleevent(w, &e); }));
    // Codes the class does not handle are left to the control.
    h.code = static_cast<UINT>(TVN_ITEMEXPANDINGA);
    Accept() = true;
    EXPECT_FALSE(Succeeds([&] { answer = kwiTreeView::_handleevent(w, &e); }));
  });
}

// A callback that raises: the error leaves the handler continued with the
// class's predicate name.
void Raising(LONG_PTR, const TreeMessage*) {
  TAV_AT();
  exception::raise(&kwiTreeView::classInfo, &kwiTreeView::_badidentifierexception);
}

TEST_F(TreeView, AnErrorInTheCallbackIsContinuedWithItsPredicateName) {
  InTask([&](LONG_PTR task) {
    LONG_PTR w = NewTree(task);
    static TreeCallback raising{reinterpret_cast<void*>(&Raising), nullptr};
    LONG_PTR other = win_CreateDynControl(
        kd::Windefs({kd::CustomCtl(wt_custom, kd::Rect(0, 0, 50, 50), L"", kd::kPixels, L"treeView",
                                   504, kd::Ints({1}))}),
        task);
    other = reinterpret_cast<LONG_PTR>(GetDlgItem(reinterpret_cast<HWND>(task), 504));
    kwiTreeView::init(other, kd::Ints({}), Res(7), &raising);
    NMHDR h{Native(other), 0, static_cast<UINT>(NM_SETFOCUS)};
    event_struct e{};
    e.kind = e_native;
    e.w[0] = WM_NOTIFY;
    e.w[2] = reinterpret_cast<LPARAM>(&h);
    Raised r = Raise([&] { kwiTreeView::_handleevent(other, &e); });
    EXPECT_EQ(r.name, L"unknown");
    EXPECT_EQ(r.predicate, L"kwiTreeView::invokecallback");
    (void)w;
  });
}

TEST_F(TreeView, LabelEditsEndWithACopiedTextOrCancelled) {
  struct Case {
    bool accept;
    const wchar_t* label;
  };
  for (const Case& c : {Case{true, L"beta"}, Case{false, L"new"}}) {
    InTask([&](LONG_PTR task) {
      LONG_PTR w = FocusedTree(task);
      Accept() = c.accept;
      kwiTreeView::edit_begin(w, 2);
      Pump(100);
      if (c.accept) {
        // A succeeding callback for `edit` keeps editing from starting.
        EXPECT_TRUE(Has(TreeMessageKind::edit));
        Accept() = false;
        kwiTreeView::edit_begin(w, 2);
        Accept() = true;
        Pump(100);
      }
      HWND edit = reinterpret_cast<HWND>(SendMessageW(Native(w), TVM_GETEDITCONTROL, 0, 0));
      ASSERT_TRUE(edit);
      SetWindowTextW(edit, L"");
      SetFocus(edit);
      Type(L"new");
      Pump(100);
      Key(VK_RETURN);
      PumpUntil([] { return Has(TreeMessageKind::endedit); }, 1000);
      ASSERT_EQ(EditTexts().size(), 1u);
      Pump(100);
      K::Memory::GarbageCollector();
      EXPECT_STREQ(EditTexts()[0], L"new");
      const wchar_t* text;
      const ItemStateList* st;
      const BitmapIdTerm *b, *sb;
      kwiTreeView::get_item(w, 2, &text, &st, &b, &sb);
      EXPECT_STREQ(text, c.label);

      Messages().clear();
      Accept() = false;
      kwiTreeView::edit_begin(w, 3);
      Pump(100);
      Key(VK_ESCAPE);
      PumpUntil([] { return Has(TreeMessageKind::endeditcanceled); }, 1000);
      const TreeMessage* m = Find(TreeMessageKind::endeditcanceled);
      ASSERT_TRUE(m);
      EXPECT_EQ(m->a, 3);
    });
  }
}

}  // namespace

namespace {

SIZE WindowSize(HWND w) {
  RECT r{};
  GetWindowRect(w, &r);
  return {r.right - r.left, r.bottom - r.top};
}

SIZE ClientSize(HWND w) {
  RECT r{};
  GetClientRect(w, &r);
  return {r.right, r.bottom};
}

std::vector<int>& SubclassKinds() {
  static std::vector<int> k;
  return k;
}

// Takes every size event itself; everything else goes on to the control.
LONG_PTR KeepSize(LONG_PTR, event_struct* e) {
  SubclassKinds().push_back(static_cast<int>(e->kind));
  if (e->kind != e_size) K::Fail();
  return 0;
}

}  // namespace

TEST_F(TreeView, SortChildrenOrdersOneLevelByText) {
  InTask([&](LONG_PTR task) {
    LONG_PTR w = NewTree(task);
    kwiTreeView::insert_tree_list(
        w, 0, Last(), List({Tree(1, L"c", {Tree(10, L"z"), Tree(11, L"y")}), Tree(2, L"a"), Tree(3, L"b")}));
    kwiTreeView::sort_children(w, 0);
    EXPECT_EQ(Describe(kwiTreeView::get_all(w)), L"2:a 3:b 1:c[10:z 11:y]");
    kwiTreeView::sort_children(w, 1);
    EXPECT_EQ(Describe(kwiTreeView::get_all(w)), L"2:a 3:b 1:c[11:y 10:z]");
    EXPECT_EQ(Raise([&] { kwiTreeView::sort_children(w, 99); }).name, L"badidentifierexception");
  });
}

TEST_F(TreeView, SizeAndFocusOfTheWindowReachTheControlUnlessASubclassHandlerTakesThem) {
  InTask([&](LONG_PTR task) {
    LONG_PTR w = NewTree(task);
    HWND bound = reinterpret_cast<HWND>(w);
    MoveWindow(bound, 0, 0, 300, 150, TRUE);
    const SIZE filled = ClientSize(bound);
    EXPECT_GT(filled.cx, 280);
    EXPECT_EQ(WindowSize(Native(w)).cx, filled.cx);
    EXPECT_EQ(WindowSize(Native(w)).cy, filled.cy);
    SetFocus(bound);
    EXPECT_EQ(GetFocus(), Native(w));

    SubclassKinds().clear();
    static PROLOG_EHANDLER_STRUCT handler{reinterpret_cast<void*>(&KeepSize), nullptr};
    kwiTreeView::set_subclasshandler(w, &handler);
    EXPECT_EQ(kwiTreeView::trygetsubclasshandler(w)->function, handler.function);
    MoveWindow(bound, 0, 0, 200, 100, TRUE);
    EXPECT_EQ(WindowSize(Native(w)).cx, filled.cx) << "the handler answered the size event";
    SetFocus(GetParent(bound));
    SetFocus(bound);
    EXPECT_EQ(GetFocus(), Native(w)) << "a failing handler leaves the event to the control";
    EXPECT_NE(std::find(SubclassKinds().begin(), SubclassKinds().end(), static_cast<int>(e_size)),
              SubclassKinds().end());
  });
}
