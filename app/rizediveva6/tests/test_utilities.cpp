// The small utility classes: list functions, number bases and helpers,
// character codes, text splitting, moving files, boolean options in a
// document, the menu modifier and the message seam.
#include <windows.h>

#include <string>
#include <vector>

#include "SYSTEM/OrvTool/orvtool.h"
#include "SYSTEM/mod_men_pack/modify_menu.h"
#include "SYSTEM/orv_list/orv_list.h"
#include "SYSTEM/orv_math/orv_math.h"
#include "dialog_recorder.h"
#include "list_test.h"
#include "rz_test.h"

namespace rztest {
namespace {

using Qel::RunTime::Kernel::Fail;
using tav::chainDB;

class Utilities : public Rz {};

// --- orv_list ---

TEST_F(Utilities, ListFunctions) {
  const SList* abb = S({L"a", L"b", L"b"});
  EXPECT_EQ(V(orv_list::append<const wchar_t*>(L"x", Nil<const wchar_t*>())), std::vector<std::wstring>{L"x"});
  EXPECT_EQ(V(orv_list::append<const wchar_t*>(L"x", abb)), (std::vector<std::wstring>{L"a", L"b", L"b", L"x"}));
  EXPECT_EQ(orv_list::append_list(Nil<const wchar_t*>(), abb), abb);  // B itself
  const SList* ab = orv_list::append_list(S({L"a"}), abb);
  EXPECT_EQ(ab->tail, abb);
  EXPECT_EQ(V(orv_list::remove(L"b", abb)), (std::vector<std::wstring>{L"a", L"b"}));
  EXPECT_EQ(V(orv_list::remove(L"z", abb)), V(abb));

  int32_t at = -1;
  EXPECT_TRUE(orv_list::slist_nth(L"b", abb, &at));
  EXPECT_EQ(at, 1);  // the first of two, counted from 0
  EXPECT_FALSE(orv_list::slist_nth(L"B", abb, &at));
  EXPECT_TRUE(orv_list::member(L"a", abb));
  EXPECT_FALSE(orv_list::member(L"", abb));

  struct Case { int32_t n; const SList* list; const wchar_t* want; };
  for (const Case& c : {Case{0, S({L"x"}), nullptr}, Case{1, S({L"x"}), L"x"}, Case{2, S({L"x"}), nullptr},
                        Case{-1, S({L"x"}), nullptr}, Case{3, abb, L"b"}}) {
    const wchar_t* e = nullptr;
    EXPECT_EQ(orv_list::nth_slist(c.n, c.list, &e), c.want != nullptr) << c.n;
    if (c.want) EXPECT_STREQ(e, c.want);
  }

  const wchar_t* last = nullptr;
  const SList* front = nullptr;
  EXPECT_TRUE(orv_list::last(S({L"a"}), &last, &front));
  EXPECT_STREQ(last, L"a");
  EXPECT_TRUE(front->Empty());
  EXPECT_FALSE(orv_list::last(Nil<const wchar_t*>(), &last, &front));

  EXPECT_EQ(V(AsSList(AsStringList(abb))), V(abb));
  EXPECT_EQ((Solutions<const wchar_t*>([&](Each<const wchar_t*> k) { return orv_list::nd_member(abb, k); })).size(), 3u);
}

TEST_F(Utilities, MultiplyLists) {
  auto Pairs = [](const List<const List<int32_t>*>* l) {
    std::vector<std::vector<int32_t>> v;
    for (; !l->Empty(); l = l->tail) v.push_back(All(l->head));
    return v;
  };
  const List<int32_t>* a = MakeList<int32_t>({1, 2});
  const List<int32_t>* xy = MakeList<int32_t>({7, 8});
  EXPECT_EQ(Pairs(orv_list::multiply_lists(a, xy, xy)),
            (std::vector<std::vector<int32_t>>{{1, 7}, {1, 8}, {2, 7}, {2, 8}}));
  EXPECT_EQ(Pairs(orv_list::multiply_lists(a, xy)), Pairs(orv_list::multiply_lists(a, xy, xy)));
  // B shorter than C: only the first element of A is paired with B.
  EXPECT_EQ(Pairs(orv_list::multiply_lists(a, MakeList<int32_t>({7}), xy)),
            (std::vector<std::vector<int32_t>>{{1, 7}, {2, 7}, {2, 8}}));
  EXPECT_TRUE(orv_list::multiply_lists(Nil<int32_t>(), xy, xy)->Empty());
  EXPECT_TRUE(orv_list::multiply_lists(a, Nil<int32_t>())->Empty());
}

TEST_F(Utilities, LongListsDoNotGrowTheStack) {
  ListBuilder<int32_t> b;
  for (int32_t i = 0; i < 100000; ++i) b.Add(i % 1000 == 999 ? 5000 : i % 1000);
  const List<int32_t>* big = b.Finish();
  EXPECT_EQ(counter::count(big), 100000);
  EXPECT_EQ(orvmath::imax(big), 5000);
  EXPECT_EQ(orvmath::imin(big), 0);
  EXPECT_EQ(counter::count(orv_list::append_list(big, big)), 200000);
}

// --- orv_math ---

TEST_F(Utilities, NdInt) {
  auto Run = [](uint32_t from, uint32_t step, uint32_t max) {
    return Solutions<uint32_t>([&](Each<uint32_t> k) { return bases::nd_int(from, step, max, k); });
  };
  EXPECT_EQ(Run(1, 1, 3), (std::vector<uint32_t>{1, 2, 3}));
  EXPECT_EQ(Run(2, 3, 8), (std::vector<uint32_t>{2, 5, 8}));
  EXPECT_TRUE(Run(5, 1, 4).empty());
  EXPECT_TRUE(Run(1, 0, 9).empty());
  // Near the top of the unsigned range the enumeration ends instead of wrapping.
  EXPECT_EQ(Run(4294967290u, 3, 4294967295u), (std::vector<uint32_t>{4294967290u, 4294967293u}));
  EXPECT_EQ(Run(4294967295u, 1, 4294967295u), (std::vector<uint32_t>{4294967295u}));
}

TEST_F(Utilities, PairsInOrder) {
  std::vector<i2> all = Solutions<i2>([](Each<i2> k) { return bases::nd_i_psp(i2{2, 3}, k); });
  EXPECT_EQ(all, (std::vector<i2>{{1, 1}, {1, 2}, {1, 3}, {2, 1}, {2, 2}, {2, 3}}));
  // next walks exactly that order from (1,1).
  std::vector<i2> walked{{1, 1}};
  for (i2 n; bases::next(i2{2, 3}, walked.back(), &n);) walked.push_back(n);
  EXPECT_EQ(walked, all);

  struct Ge { i2 a, b; bool want; };
  for (const Ge& c : {Ge{{2, 1}, {1, 9}, true}, Ge{{1, 3}, {1, 3}, true}, Ge{{1, 2}, {1, 3}, false}})
    EXPECT_EQ(bases::psp1_ge_psp2(c.a, c.b), c.want);

  struct Prev { i2 cur; bool ok; i2 want; };
  for (const Prev& c : {Prev{{2, 1}, true, {1, 3}}, Prev{{1, 1}, false, {}}, Prev{{1, 2}, true, {1, 1}},
                        Prev{{0, 5}, false, {}}}) {
    i2 p{};
    EXPECT_EQ(bases::prev(i2{5, 3}, i2{1, 1}, c.cur, &p), c.ok) << c.cur.first << "," << c.cur.second;
    if (c.ok) EXPECT_EQ(p, c.want);
  }
  // A second component of 0 has no predecessor: the range error.
  i2 p;
  EXPECT_TRUE(IsRangeError(RunTrapped([&] { bases::prev(i2{5, 3}, i2{1, 0}, i2{1, 0}, &p); })));
}

TEST_F(Utilities, Orvmath) {
  DialogRecorder rec;
  const List<int32_t>* l = MakeList<int32_t>({3, -7, 9, 2});
  EXPECT_EQ(orvmath::imax(l), 9);
  EXPECT_EQ(orvmath::imin(l), -7);
  EXPECT_EQ(orvmath::imax(MakeList<int32_t>({-1})), -1);
  EXPECT_TRUE(rec.shown().empty());
  EXPECT_EQ(orvmath::imax(Nil<int32_t>()), 0);
  EXPECT_EQ(orvmath::imin(Nil<int32_t>()), 0);
  EXPECT_EQ(rec.Texts(L"note"), (std::vector<std::wstring>{L"orvmath error 76", L"orvmath error 76"}));

  EXPECT_EQ(orvmath::sign(-0.5), -1);
  EXPECT_EQ(orvmath::sign(0.0), 1);
  EXPECT_TRUE(orvmath::opposite(false));

  struct Parts { double r; int32_t i; double f; };
  for (const Parts& c : {Parts{2.75, 2, 0.75}, Parts{-2.5, -3, 0.5}, Parts{-3.0, -3, 0.0}}) {
    int32_t i;
    double f;
    orvmath::parts(c.r, &i, &f);
    EXPECT_EQ(i, c.i) << c.r;
    EXPECT_DOUBLE_EQ(f, c.f) << c.r;
  }
  int32_t i;
  double f;
  EXPECT_TRUE(IsRangeError(RunTrapped([&] { orvmath::parts(3e9, &i, &f); })));
  EXPECT_TRUE(IsRangeError(RunTrapped([&] { orvmath::parts(-2147483649.5, &i, &f); })));

  EXPECT_EQ(Solutions<int32_t>([](Each<int32_t> k) { return orvmath::nd_i(-1, 1, k); }),
            (std::vector<int32_t>{-1, 0, 1}));
  EXPECT_TRUE((Solutions<int32_t>([](Each<int32_t> k) { return orvmath::nd_i(2, 1, k); })).empty());
  EXPECT_EQ(Solutions<wchar_t>([](Each<wchar_t> k) { return orvmath::nd_c(L'a', L'd', k); }),
            (std::vector<wchar_t>{L'a', L'b', L'c', L'd'}));
  EXPECT_TRUE((Solutions<wchar_t>([](Each<wchar_t> k) { return orvmath::nd_c(L'd', L'a', k); })).empty());

  // Asking for the value after the largest integer: the overflow error (1).
  std::vector<int32_t> top;
  uint32_t code = RunTrapped([&] {
    orvmath::nd_i(INT32_MAX - 1, INT32_MAX, [&](int32_t v) {
      top.push_back(v);
      Fail();
    });
  });
  EXPECT_EQ(top, (std::vector<int32_t>{INT32_MAX - 1, INT32_MAX}));
  EXPECT_NE(code, 0u);
  EXPECT_TRUE(exception::trygetdescriptor(code, runtime_exception::exceptionfromerrorcode(1)));
}

// --- OrvTool ---

TEST_F(Utilities, CharacterCodes) {
  uint32_t code = 0;
  misc2::char_int(L'\xFFFF', &code);
  EXPECT_EQ(code, 0xFFFFu);
  wchar_t c = 0;
  misc2::char_int(65u, &c);
  EXPECT_EQ(c, L'A');
  EXPECT_TRUE(misc2::char_int(L'A', 65u));
  EXPECT_FALSE(misc2::char_int(L'A', 66u));
  EXPECT_TRUE(IsRangeError(RunTrapped([&] { misc2::char_int(65536u, &c); })));
}

TEST_F(Utilities, TextSplitting) {
  struct Case { const wchar_t* text; std::vector<std::wstring> lines; };
  for (const Case& c : {Case{L"a\r\nb", {L"a", L"b"}}, Case{L"a\tb", {L"a", L"b"}}, Case{L"\nb", {L"", L"b"}},
                        Case{L"a\n\nb", {L"a", L"", L"b"}}, Case{L"a\n", {L"a"}}, Case{L"", {}},
                        Case{L"abc", {L"abc"}}, Case{L"a\r\n\r\n", {L"a", L""}}, Case{L"\r", {}}})
  {
    const SList* lines = nullptr;
    uint32_t code = RunTrapped([&] { lines = orv_string::make_list_from_string(c.text); });
    ASSERT_EQ(code, 0u) << Narrow(c.text);
    EXPECT_EQ(V(lines), c.lines) << Narrow(c.text);
  }

  const wchar_t *front, *last;
  orv_string::last_char(L"abc", &front, &last);
  EXPECT_STREQ(front, L"ab");
  EXPECT_STREQ(last, L"c");
  orv_string::last_char(L"x", &front, &last);
  EXPECT_STREQ(front, L"");
  EXPECT_STREQ(last, L"x");
  EXPECT_TRUE(IsRangeError(RunTrapped([&] { orv_string::last_char(L"", &front, &last); })));
}

TEST_F(Utilities, BooleanOptionsInADocument) {
  chainDB* db = nullptr;
  ASSERT_EQ(RunTrapped([&] { db = chainDB::db_create(L"boo_options", place::in_memory); }), 0u);
  auto Terms = [&](const wchar_t* chain) {
    int n = 0;
    db->chain_terms(D(tav::domains::unsigned_), chain, [&](RefTerm rt) {
      EXPECT_EQ(*reinterpret_cast<const uint32_t*>(rt.t), 1u);
      ++n;
      Fail();
    });
    return n;
  };
  ASSERT_EQ(RunTrapped([&] {
              EXPECT_FALSE(saved_boo_options::get(db, L"opt"));
              saved_boo_options::set(db, L"opt", false);  // absent chain: fine
              saved_boo_options::set(db, L"opt", true);
              saved_boo_options::set(db, L"opt", true);
              EXPECT_EQ(Terms(L"opt"), 1);
              EXPECT_TRUE(saved_boo_options::get(db, L"opt"));
              saved_boo_options::set(db, L"opt", false);
              EXPECT_FALSE(saved_boo_options::get(db, L"opt"));
              bool any = false;
              db->db_chains([&](const wchar_t*) { any = true; });
              EXPECT_FALSE(any);  // false leaves no chain
              db->db_close();
              chainDB::db_delete(L"boo_options", place::in_memory);
            }),
            0u);
}

class Folders : public Utilities {
 protected:
  void SetUp() override {
    Utilities::SetUp();
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    dir_ = std::wstring(tmp) + L"rz-move-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(dir_.c_str(), nullptr);
  }
  void TearDown() override {
    for (const wchar_t* f : {L"a.txt", L"b.txt", L"sub\\a.txt", L"sub\\b.txt"}) DeleteFileW((dir_ + f).c_str());
    RemoveDirectoryW((dir_ + L"sub").c_str());
    RemoveDirectoryW(dir_.c_str());
    Utilities::TearDown();
  }
  void Write(const std::wstring& name, const char* text) {
    HANDLE h = CreateFileW((dir_ + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n;
    WriteFile(h, text, static_cast<DWORD>(strlen(text)), &n, nullptr);
    CloseHandle(h);
  }
  std::string Read(const std::wstring& name) {
    HANDLE h = CreateFileW((dir_ + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    char buf[64];
    DWORD n = 0;
    ReadFile(h, buf, sizeof buf, &n, nullptr);
    CloseHandle(h);
    return std::string(buf, n);
  }
  std::wstring dir_;
};

TEST_F(Folders, MoveFileToSubfolder) {
  const std::wstring file = dir_ + L"a.txt";
  // Nothing to move: no error, nothing created.
  EXPECT_EQ(RunTrapped([&] { folder_stuff::move_file_to_subfolder(L"", L"sub"); }), 0u);
  EXPECT_EQ(RunTrapped([&] { folder_stuff::move_file_to_subfolder(file.c_str(), L"sub"); }), 0u);
  EXPECT_EQ(GetFileAttributesW((dir_ + L"sub").c_str()), INVALID_FILE_ATTRIBUTES);

  Write(L"a.txt", "first");
  EXPECT_EQ(RunTrapped([&] { folder_stuff::move_file_to_subfolder(file.c_str(), L"sub"); }), 0u);
  EXPECT_EQ(Read(L"a.txt"), "<missing>");
  EXPECT_EQ(Read(L"sub\\a.txt"), "first");
  // Into the existing sub-folder.
  Write(L"b.txt", "other");
  EXPECT_EQ(RunTrapped([&] { folder_stuff::move_file_to_subfolder((dir_ + L"b.txt").c_str(), L"sub"); }), 0u);
  EXPECT_EQ(Read(L"sub\\b.txt"), "other");

  // The sub-folder exists and holds a file of that name: the MoveFile error,
  // both files kept.
  Write(L"a.txt", "second");
  uint32_t code = RunTrapped([&] { folder_stuff::move_file_to_subfolder(file.c_str(), L"sub"); });
  ASSERT_NE(code, 0u);
  const TraceEntry* e = exception::trygetdescriptor(code, &common_exception::nativecallexception);
  ASSERT_TRUE(e);
  EXPECT_EQ(Extra(e, L"API function name"), L"MoveFile");
  exception::clear(code);
  EXPECT_EQ(Read(L"a.txt"), "second");
  EXPECT_EQ(Read(L"sub\\a.txt"), "first");
}

// --- modify_menu ---

using QEL_KWI::menu_item;
using QEL_KWI::menu_struct;
using Items = modify_menu::Items;

const Items* Level(std::initializer_list<const menu_item*> items) { return MakeList<const menu_item*>(items); }
const menu_item* Txt(int32_t id, const wchar_t* text, const Items* sub = Nil<const menu_item*>()) {
  auto* it = static_cast<menu_item*>(GStackAlloc(sizeof(menu_item)));
  *it = menu_item{1, {id, reinterpret_cast<LONG_PTR>(text), 0, 1, 0, reinterpret_cast<LONG_PTR>(sub)}};
  return it;
}
const menu_item* Separator() {
  auto* it = static_cast<menu_item*>(GStackAlloc(sizeof(menu_item)));
  *it = menu_item{3, {}};
  return it;
}
const menu_struct* Dyn(const Items* items) {
  auto* m = static_cast<menu_struct*>(GStackAlloc(sizeof(menu_struct)));
  *m = menu_struct{2, reinterpret_cast<uintptr_t>(items)};
  return m;
}
// The menu as text: "id:text" ("-" when disabled), submenus in braces.
std::wstring Show(const Items* l) {
  std::wstring s;
  for (; !l->Empty(); l = l->tail) {
    const menu_item* it = l->head;
    if (!s.empty()) s += L" ";
    if (it->functor != 1) {
      s += L"|";
      continue;
    }
    s += std::to_wstring(it->w[0]) + L":" + reinterpret_cast<const wchar_t*>(it->w[1]) + (it->w[3] ? L"" : L"-");
    const Items* sub = reinterpret_cast<const Items*>(it->w[5]);
    if (!sub->Empty()) s += L"{" + Show(sub) + L"}";
  }
  return s;
}
std::wstring Show(const menu_struct* m) {
  EXPECT_EQ(m->functor, 2u);
  return Show(reinterpret_cast<const Items*>(m->value));
}

TEST_F(Utilities, MenuModifier) {
  const Items* file = Level({Txt(11, L"Open"), Txt(12, L"Save")});
  const menu_struct* menu = Dyn(Level({Txt(1, L"File", file), Separator(), Txt(2, L"Edit"), Txt(2, L"Edit2"),
                                       Txt(3, L"Help")}));
  const std::wstring original = Show(menu);
  ASSERT_EQ(original, L"1:File{11:Open 12:Save} | 2:Edit 2:Edit2 3:Help");

  struct Case { const char* what; void (*edit)(modify_menu*); const wchar_t* want; };
  const Case cases[] = {
      {"submenu item retitled", [](modify_menu* m) { m->set_text(12, L"Save as"); },
       L"1:File{11:Open 12:Save as} | 2:Edit 2:Edit2 3:Help"},
      {"two equal ids on one level: the first only", [](modify_menu* m) { m->set_text(2, L"X"); },
       L"1:File{11:Open 12:Save} | 2:X 2:Edit2 3:Help"},
      {"parent removed with its submenu", [](modify_menu* m) { m->menu_remove(MakeList<int32_t>({1})); },
       L"| 2:Edit 2:Edit2 3:Help"},
      {"removal per id in order", [](modify_menu* m) { m->menu_remove(MakeList<int32_t>({2, 2, 11})); },
       L"1:File{12:Save} | 3:Help"},
      {"disabled", [](modify_menu* m) { m->enabled(MakeList<int32_t>({11, 3}), false); },
       L"1:File{11:Open- 12:Save} | 2:Edit 2:Edit2 3:Help-"},
      {"empty id list", [](modify_menu* m) { m->enabled(Nil<int32_t>(), false); }, nullptr},
      {"unknown id", [](modify_menu* m) { m->set_text(99, L"?"); }, nullptr},
  };
  for (const Case& c : cases) {
    modify_menu* m = modify_menu::new_(menu);
    c.edit(m);
    EXPECT_EQ(Show(m->get()), c.want ? c.want : original) << c.what;
    EXPECT_EQ(Show(menu), original) << c.what << ": the input stays as it was";
  }
  // The unchanged tail after the match is shared.
  modify_menu* m = modify_menu::new_(menu);
  m->set_text(2, L"X");
  const Items* out = reinterpret_cast<const Items*>(m->get()->value);
  const Items* in = reinterpret_cast<const Items*>(menu->value);
  EXPECT_EQ(out->tail->tail->tail, in->tail->tail->tail);
}

TEST_F(Utilities, MenuModifierRefusesOtherMenus) {
  DialogRecorder rec;
  menu_struct res{1, 100};
  modify_menu* m = modify_menu::new_(&res);
  EXPECT_EQ(rec.Texts(L"note"), std::vector<std::wstring>{L"modify menu init failed - error 8609"});
  m->set_text(1, L"x");
  EXPECT_EQ(Show(m->get()), L"");
}

TEST_F(Utilities, MenuWithALongLevel) {
  ListBuilder<const menu_item*> b;
  for (int32_t i = 0; i < 100000; ++i) b.Add(Txt(i, L"x"));
  modify_menu* m = modify_menu::new_(Dyn(b.Finish()));
  m->set_text(99999, L"last");
  const Items* l = reinterpret_cast<const Items*>(m->get()->value);
  while (!l->tail->Empty()) l = l->tail;
  EXPECT_STREQ(reinterpret_cast<const wchar_t*>(l->head->w[1]), L"last");
}

// --- myKWI ---

TEST_F(Utilities, MessagesGoThroughTheSeam) {
  DialogRecorder rec;
  ASSERT_EQ(RunTrapped([&] {
              myKWI::note(L"");
              myKWI::error(L"kee insert error 94");
              myKWI::message_write({L"\n OPEN ", L"x"});
              Qel::RunTime::Terms::TEllipsisArgs<3> values;
              values.SetTerm(0, D(tav::domains::string), L"n=");
              values.SetValue(1, D(tav::domains::integer), int32_t{-5});
              values.SetValue(2, D(tav::domains::char_), L'!');
              myKWI::message_write(values);
              myKWI::close_app();
            }),
            0u);
  EXPECT_EQ(rec.shown(), (std::vector<DialogRecorder::Shown>{{L"note", L""},
                                                              {L"error", L"kee insert error 94"},
                                                              {L"message", L"\n OPEN x"},
                                                              {L"message", L"n=-5!"},
                                                              {L"close_app", L""}}));
}

TEST_F(Utilities, UnwiredSeamRefusesClearly) {
  Dialogs empty{};
  Dialogs previous = myKWI::set_dialogs(empty);
  for (auto call : {+[] { myKWI::note(L"x"); }, +[] { myKWI::error(L"x"); },
                    +[] { myKWI::message_write({L"x"}); }, +[] { myKWI::close_app(); }}) {
    uint32_t code = RunTrapped(call);
    EXPECT_TRUE(exception::trygetdescriptor(code, &common_exception::unsupportedpredicate));
    exception::clear(code);
  }
  myKWI::set_dialogs(previous);
  // The toolkit's boxes are not wired yet; closing goes to the GUI layer.
  EXPECT_EQ(myKWI::toolkit_dialogs().note, nullptr);
  EXPECT_NE(myKWI::toolkit_dialogs().close_app, nullptr);
}

}  // namespace
}  // namespace rztest
