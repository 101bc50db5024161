// stop: the window definition (a constant windef list in dialog units), the
// object fact database stop$db1 and the window's event handler.
#include "KWI/stop_pack/stop.h"

#include "kwi/kwi.h"
#include "qel6decl.h"
#include "qel6kwi_win.h"
#include "unit.h"

namespace rizediveva6 {

namespace decl = Qel::RunTime::Decl;
namespace K = Qel::RunTime::Kernel;
using namespace Qel::RunTime::Terms;
using namespace Qel::RunTime::Terms::DBInternal;
using Qel::RunTime::RScopeClassDescriptor;
using namespace QEL_KWI;

namespace classes {
extern RScopeClassDescriptor stop;
}

namespace {
struct WindowFact {
  uint64_t functor;
  void* window;
};
struct Flag {
  uint64_t functor;
};
enum FactNo : uint32_t { kThisWin = 1, kContinue, kWin };
}  // namespace

namespace domains {
decl::Arguments windowFactArgs{{QEL_ARG(WindowFact, window, tav::domains::pointer)}};
RFactDescriptor stopFacts[] = {
    {L"thiswin", windowFactArgs.a, 1, sizeof(WindowFact), 0, 1, 0, 0},
    {L"db_continue", nullptr, 0, sizeof(Flag), 0, 1, 0, 0},
    {L"db_win", nullptr, 0, sizeof(Flag), 0, 1, 0, 0},
};
// The heads lie at the start of each stop object.
RFactDatabase stop_db1{decl::Head(kObjectFacts, sizeof(RFactDatabase),
                                  {L"stop$db1", QEL_HERE, nullptr, &classes::stop}),
                       3, stopFacts, 0, 0};
}  // namespace domains

namespace classes {
RScopeClassDescriptor stop = decl::Class(L"stop", QEL_HERE, &domains::stop_db1.head);
}

const tav::ClassInfo stop::classInfo{L"qel6pack/stop_pack/stop", TAV_CLASS_VERSION};

namespace {

// The window definition: the dialog, the button, the description; unit 2
// (dialog units) in every wdef.
rect_struct dialogRect{50, 40, 295, 107}, buttonRect{92, 42, 140, 62},
    textRect{16, 8, 232, 34};
wdef dialogDef{wt_modeless, &dialogRect, L"stop", 2};
wdef buttonDef{wt_pushbutton, &buttonRect, L"Stop", 2};
wdef textDef{wt_text, &textRect, L"Desc", 2};
ilist_struct flagsEnd{ListNil, 0, nullptr};
ilist_struct caption{ListCons, 9, &flagsEnd}, dialogFlags{ListCons, 4, &caption};
ilist_struct tabStop{ListCons, 26, &flagsEnd}, buttonFlags{ListCons, 25, &tabStop};
ilist_struct textFlags{ListCons, 31, &flagsEnd};
windef dialog{wd_dlgfont,
              {reinterpret_cast<LONG_PTR>(&dialogDef), reinterpret_cast<LONG_PTR>(L"MS Sans Serif"),
               8, reinterpret_cast<LONG_PTR>(&dialogFlags)}};
windef button{wd_ctl, {reinterpret_cast<LONG_PTR>(&buttonDef), stop::kStopButton,
                       reinterpret_cast<LONG_PTR>(&buttonFlags), 0}};
windef text{wd_ctl, {reinterpret_cast<LONG_PTR>(&textDef), stop::kDescription,
                     reinterpret_cast<LONG_PTR>(&textFlags), 0}};
windef_list_struct listEnd{ListNil, nullptr, nullptr};
windef_list_struct textCell{ListCons, &text, &listEnd}, buttonCell{ListCons, &button, &textCell};
windef_list_struct definition{ListCons, &dialog, &buttonCell};

const TDB* Db() { return tav::D(domains::stop_db1); }

bool Has(const RFactHead* heads, uint32_t fact) { return heads[fact - 1].first != nullptr; }

void Set(void* self, uint32_t fact) {
  Flag f{fact};
  TDBObjectInternalDomainDefinition::AssertZObject(Db(), self, reinterpret_cast<const uint8_t*>(&f));
}

void Clear(void* self, uint32_t fact) { RetractAllinFactObject(Db(), self, fact - 1); }

// The window held in thiswin; 0 while it has none.
LONG_PTR ThisWin(const RFactHead* heads) {
  const RStructFact* c = heads[kThisWin - 1].first;
  return c ? reinterpret_cast<LONG_PTR>(reinterpret_cast<const WindowFact*>(c->term)->window) : 0;
}

}  // namespace

stop* stop::new_() {
  static_assert(offsetof(stop, heads_) == 0);
  stop* s = tav::NewObject<stop>();
  InitializeObjectFacts(Db(), s);
  return s;
}

void stop::show(LONG_PTR parent) {
  PROLOG_EHANDLER_STRUCT handler{reinterpret_cast<void*>(&OnEvent), this};
  win_CreateDynDialog(parent, &definition, &handler, 0);
}

bool stop::can_continue() {
  tav::kwi::processevents();
  if (Has(heads_, kContinue)) return true;
  del_win();
  return false;
}

void stop::del_win() {
  if (!Has(heads_, kWin)) return;
  Clear(this, kWin);
  // A window closed by its close box is gone already: nothing to destroy.
  if (LONG_PTR window = ThisWin(heads_)) win_Destroy(window);
}

void stop::set_text(const wchar_t* text) {
  LONG_PTR window = ThisWin(heads_);
  if (!window) {
    if (gone_) return;
    Error_SingleFactHasNoValue(Db(), kThisWin);
  }
  win_SetText(win_GetCtlHandle(window, kDescription), text);
}

LONG_PTR stop::OnEvent(void* self, LONG_PTR window, event_struct* event) {
  auto* s = static_cast<stop*>(self);
  switch (event->kind) {
    case e_create: {
      WindowFact f{kThisWin, reinterpret_cast<void*>(window)};
      TDBObjectInternalDomainDefinition::AssertZObject(Db(), s, reinterpret_cast<const uint8_t*>(&f));
      Set(s, kContinue);
      Set(s, kWin);
      break;
    }
    case e_control:
      if (event->w[0] != kStopButton) break;
      Clear(s, kContinue);
      return 0;
    case e_destroy:
      // A destroy counts as Stop: the operation ends at its next poll.
      Clear(s, kThisWin);
      Clear(s, kContinue);
      s->gone_ = true;
      break;
    default:
      break;
  }
  K::Fail();
}

}  // namespace rizediveva6
