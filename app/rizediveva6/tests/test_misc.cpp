// Removal of a command from a menu description: the first first-level
// match only, sub-menus of the text items before it, owner-drawn items left
// alone, the input unchanged and its unchanged tails shared.
#include <string>
#include <vector>

#include "KWI/orvtoolkwi/misc.h"
#include "list_test.h"

namespace rztest {
namespace {

using QEL_KWI::menu_item;
using Items = misc::Items;

enum : uintptr_t { kTxt = 1, kOwnerDraw = 2, kSeparator = 3 };

const menu_item* Item(uintptr_t kind, int id, const Items* sub = Nil<const menu_item*>()) {
  auto* it = static_cast<menu_item*>(Qel::RunTime::Kernel::Memory::AllocHeap(sizeof(menu_item)));
  *it = {kind, {id, reinterpret_cast<LONG_PTR>(L"t"), 0, 1, 0, 0}};
  it->w[kind == kTxt ? 5 : 4] = reinterpret_cast<LONG_PTR>(sub);
  return it;
}
const menu_item* Txt(int id, std::vector<const menu_item*> sub = {}) { return Item(kTxt, id, L(sub)); }
const Items* Sub(const menu_item* it) { return reinterpret_cast<const Items*>(it->w[it->functor == kTxt ? 5 : 4]); }

// A menu as text: ids, sub-menus in brackets, "o" an owner-drawn item, "-" a separator.
std::string Show(const Items* items) {
  std::string s;
  for (; !items->Empty(); items = items->tail) {
    const menu_item* it = items->head;
    if (!s.empty()) s += " ";
    if (it->functor == kSeparator) {
      s += "-";
      continue;
    }
    s += it->functor == kOwnerDraw ? "o" + std::to_string(it->w[0]) : std::to_string(it->w[0]);
    if (!Sub(it)->Empty()) s += "[" + Show(Sub(it)) + "]";
  }
  return s;
}

using MenuRemoval = Trapping;

TEST_F(MenuRemoval, RemovesTheFirstMatch) {
  Run([&] {
    const menu_item* sep = Item(kSeparator, 0);
    struct Case {
      const char* what;
      const Items* menu;
      uint32_t id;
      std::string result;
    };
    const std::vector<Case> cases = {
        {"twice at the first level", L<const menu_item*>({Txt(1), Txt(7), sep, Txt(7), Txt(2)}), 7, "1 - 7 2"},
        {"in sub-menus before a match", L<const menu_item*>({Txt(1, {Txt(7), Txt(3)}), Txt(2, {Txt(4, {Txt(7)})}), Txt(7), Txt(5)}),
         7, "1[3] 2[4] 5"},
        {"in a sub-menu after a match", L<const menu_item*>({Txt(7), Txt(2, {Txt(7)})}), 7, "2[7]"},
        {"owner-drawn items are not searched", L<const menu_item*>({Item(kOwnerDraw, 7, L<const menu_item*>({Txt(7)})), Txt(1)}),
         7, "o7[7] 1"},
        {"absent", L<const menu_item*>({Txt(1, {Txt(2)}), sep}), 9, "1[2] -"},
        {"empty", Nil<const menu_item*>(), 7, ""},
    };
    for (const Case& c : cases) {
      const std::string before = Show(c.menu);
      EXPECT_EQ(Show(misc::remove(c.id, c.menu)), c.result) << c.what;
      EXPECT_EQ(Show(c.menu), before) << c.what << ": the input changed";
    }
  });
}

// New cells only on the path to the removed item: the level after it and
// the items without a match are the input's own.
TEST_F(MenuRemoval, SharesWhatItDoesNotChange) {
  Run([&] {
    const menu_item* untouched = Txt(2, {Txt(3)});
    const Items* tail = L<const menu_item*>({Txt(8), Txt(9)});
    const Items* menu = Cons<const menu_item*>(untouched, Cons<const menu_item*>(Txt(7), tail));
    const Items* out = misc::remove(7, menu);
    EXPECT_EQ(out->head, untouched);
    EXPECT_EQ(out->tail, tail);
    EXPECT_EQ(misc::remove(5, menu), menu);  // nothing removed: the same list
    // A change in a sub-menu copies its item; the items after it are shared.
    const Items* nested = L<const menu_item*>({Txt(1, {Txt(5)}), Txt(6)});
    const Items* out2 = misc::remove(5, nested);
    EXPECT_NE(out2->head, nested->head);
    EXPECT_EQ(out2->tail, nested->tail);
    // A whole menu: dynmenu gets the removal, any other menu is given back.
    QEL_KWI::menu_struct dyn{2, reinterpret_cast<uintptr_t>(menu)}, res{1, 42};
    const QEL_KWI::menu_struct* m = misc::remove_item_from_menu(7, &dyn);
    EXPECT_EQ(m->functor, 2u);
    EXPECT_EQ(Show(reinterpret_cast<const Items*>(m->value)), "2[3] 8 9");
    EXPECT_EQ(misc::remove_item_from_menu(7, &res), &res);
  });
}

}  // namespace
}  // namespace rztest
