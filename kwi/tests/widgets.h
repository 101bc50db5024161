// Helpers of the menu, list-box, timer and process tests: menu terms built in
// test memory, a text form of read-back menus, a recorder of raised errors.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "gui.h"

namespace kwitest {

// Menu terms that outlive the lists built from them.
struct MenuTerms {
  std::deque<menu_item> items;
  std::deque<menu_item_list_struct> cells;
  std::deque<menu_accelerator> accels;
  std::deque<menu_struct> menus;

  menu_item_list_struct* List(const std::vector<menu_item*>& v) { return BuildList(cells, v); }
  menu_accelerator* Key(int key, int modifier) {
    accels.push_back({2, key, modifier});
    return &accels.back();
  }
  menu_item* Txt(unsigned id, const wchar_t* text, int enabled = 1, int flags = 0,
                 menu_item_list_struct* sub = nullptr, menu_accelerator* accel = nullptr) {
    if (!accel) {
      accels.push_back({1, 0, 0});
      accel = &accels.back();
    }
    return Item(1, {static_cast<LONG_PTR>(id), reinterpret_cast<LONG_PTR>(text),
                    reinterpret_cast<LONG_PTR>(accel), enabled, flags,
                    reinterpret_cast<LONG_PTR>(sub ? sub : List({}))});
  }
  menu_item* OwnerDraw(unsigned id, int enabled, int checked, menu_item_list_struct* sub = nullptr) {
    return Item(2, {static_cast<LONG_PTR>(id), 0, enabled, checked,
                    reinterpret_cast<LONG_PTR>(sub ? sub : List({}))});
  }
  menu_item* Separator() { return Item(3, {}); }
  menu_item* MenuBreak() { return Item(4, {}); }
  menu_item* Item(uintptr_t functor, std::initializer_list<LONG_PTR> words) {
    menu_item it{functor, {}};
    int i = 0;
    for (LONG_PTR w : words) it.w[i++] = w;
    items.push_back(it);
    return &items.back();
  }
  menu_struct* Dyn(const std::vector<menu_item*>& v) { return Menu(2, reinterpret_cast<uintptr_t>(List(v))); }
  menu_struct* Res(unsigned id) { return Menu(1, id); }
  menu_struct* None() { return Menu(3, 0); }
  menu_struct* Menu(uintptr_t functor, uintptr_t value) {
    menus.push_back({functor, value});
    return &menus.back();
  }
};

inline std::string Narrow(const wchar_t* s) {
  std::string out;
  for (; s && *s; ++s) out += *s < 128 ? static_cast<char>(*s) : '?';
  return out;
}

// "txt ID 'TEXT' ENABLED FLAGS [SUBITEMS]", "ownerdraw ID ENABLED CHECKED",
// "separator", joined by ", "; "!acc" marks an accelerator other than
// noaccelerator, "!data" owner-drawn data other than 0.
inline std::string Show(const menu_item_list_struct* l) {
  std::string out;
  for (; l && l->functor == ListCons; l = l->next) {
    const menu_item* it = l->value;
    if (!out.empty()) out += ", ";
    switch (it->functor) {
      case 1: {
        out += "txt " + std::to_string(it->w[0]) + " '" +
               Narrow(reinterpret_cast<const wchar_t*>(it->w[1])) + "' " + std::to_string(it->w[3]) +
               " " + std::to_string(it->w[4]);
        if (reinterpret_cast<const menu_accelerator*>(it->w[2])->functor != 1) out += " !acc";
        auto* sub = reinterpret_cast<const menu_item_list_struct*>(it->w[5]);
        if (sub->functor == ListCons) out += " [" + Show(sub) + "]";
        break;
      }
      case 2:
        out += "ownerdraw " + std::to_string(it->w[0]) + " " + std::to_string(it->w[2]) + " " +
               std::to_string(it->w[3]);
        if (it->w[1]) out += " !data";
        break;
      case 3: out += "separator"; break;
      default: out += "?" + std::to_string(it->functor); break;
    }
  }
  return out;
}

inline std::string Show(const menu_struct* m) {
  return m->functor == 2 ? Show(reinterpret_cast<const menu_item_list_struct*>(m->value))
                         : "functor " + std::to_string(m->functor);
}

// While it lives, GUI errors are recorded in Raised() and the raising
// operation goes on.
struct RecordingRaises {
  RecordingRaises() {
    Raised().clear();
    registerExceptionHandler(&RecordRaise);
  }
  ~RecordingRaises() { registerExceptionHandler(nullptr); }
  // The codes raised by body(), in order.
  template <class Body>
  std::vector<int> Of(Body&& body) {
    Raised().clear();
    body();
    return Raised();
  }
};

// Task options whose task logs its menu events into *log.
inline TaskOptions LoggingMenuEvents(std::vector<std::string>* log) {
  TaskOptions o;
  o.events = [log](HWND, event_struct* e) -> LONG_PTR {
    if (e->kind == e_menu) log->push_back(Describe(e));
    Fail();
  };
  return o;
}

inline std::vector<int> Codes(std::initializer_list<int> c) { return c; }

inline LONG_PTR L(HWND w) { return reinterpret_cast<LONG_PTR>(w); }

}  // namespace kwitest
