// tie_definition: the window definition, the event handler and the updates
// of the controls from the record being edited.
#include "dlgs/Tie_definition.h"

#include <array>
#include <new>

#include "dlgs/dlg_tools.h"
#include "kalmoradb/ties.h"
#include "qel6kwi_win.h"
#include "string/string.h"

namespace all {

namespace K = Qel::RunTime::Kernel;
using namespace QEL_KWI;
using rizediveva6::SList;

const tav::ClassInfo tie_definition::classInfo{L"qel6pack/all/dlgs/tie_definition", TAV_CLASS_VERSION};

namespace {

using T = tie_definition;

const dlg_form kForm{wt_modal, L"Tie definition", {50, 40, 258, 333}, L"MS Sans Serif", 10, {9, 4}};

const std::array<dlg_ctl, 16> kControls{{
    {T::kOk, wt_pushbutton, L"&OK", {52, 276, 96, 288}, {23, 25, 26}},
    {T::kHelp, wt_pushbutton, L"&Help", {108, 276, 152, 288}, {25, 26}},
    {T::kSameDoctor, wt_radiobutton, L"Must be done by the same doctor", {24, 168, 180, 178}, {26}},
    {T::kDifferentDoctors, wt_radiobutton, L"Must be done by different doctors", {24, 182, 180, 192}, {26}},
    {T::kPairOnly, wt_radiobutton, L"Applies to the defined pair of duties only", {24, 24, 180, 34}, {26}},
    {T::kEveryWeek, wt_radiobutton, L"Applies to the pair every week", {24, 36, 180, 46}, {26}},
    {T::kEveryDay, wt_radiobutton, L"Applies to the pair every day", {24, 48, 180, 58}, {26, 12}},
    {T::kDuties, wt_radiobutton, L"Applies to the duties (slot, task and location)", {24, 92, 180, 102}, {26}},
    {T::kDaySlot, wt_radiobutton, L"Applies to the day-slot (any duty)", {24, 104, 180, 114}, {26}},
    {T::kDay, wt_radiobutton, L"Applies to the day (any slot, any duty)", {24, 116, 180, 126}, {26}},
    {T::kWeek, wt_radiobutton, L"Applies to the week (any duty in the week)", {24, 128, 180, 138}, {26}},
    {T::kDescription, wt_text, L"TXT", {16, 226, 192, 262}, {31}},
    {10004, wt_groupbox, L"Repetition", {12, 12, 200, 66}, {}},
    {10005, wt_groupbox, L"Done by the same doctor?", {12, 150, 200, 204}, {}},
    {10014, wt_groupbox, L"Applies", {12, 80, 200, 144}, {}},
    {10016, wt_groupbox, L"Description", {12, 214, 200, 268}, {}},
}};

// The constants of the three enumerated fields, by alternative number.
const tav::ConstantTerm kConstants[5] = {{0}, {1}, {2}, {3}, {4}};

const tav::ConstantTerm* Constant(uint64_t alternative) { return &kConstants[alternative]; }

// `t` with the given fields (0: kept) on the collected heap.
const TieDatTerm* Changed(const TieDatTerm* t, tie_kind tieDo, repeat_kind repeat, spec_kind spec) {
  auto* c = new (K::Memory::AllocHeap(sizeof(TieDatTerm))) TieDatTerm(*t);
  if (tieDo != tie_kind{}) c->tieDo = Constant(static_cast<uint64_t>(tieDo));
  if (repeat != repeat_kind{}) c->repeat = Constant(static_cast<uint64_t>(repeat));
  if (spec != spec_kind{}) c->spec = Constant(static_cast<uint64_t>(spec));
  return c;
}

// A copy of the caller's record whose texts live on the collected heap.
const TieDatTerm* HeapRecord(const TieDatTerm* in) {
  auto* who = new (K::Memory::AllocHeap(sizeof(WhichTieTerm))) WhichTieTerm(*in->who);
  if (in->who->functor != static_cast<uint64_t>(which_kind::global_tie)) who->name = tav::HeapCopy(in->who->name);
  auto* c = new (K::Memory::AllocHeap(sizeof(TieDatTerm))) TieDatTerm(*in);
  c->who = who;
  c->first = tav::HeapCopy(in->first);
  c->second = tav::HeapCopy(in->second);
  c->tieDo = Constant(in->tieDo->functor);
  c->repeat = Constant(in->repeat->functor);
  c->spec = Constant(in->spec->functor);
  return c;
}

// The five texts of the description: repetition, who, end 1, end 2, doer;
// "?" for each when the tie cannot be described.
struct tie_texts {
  const wchar_t* repetition = L"?";
  const wchar_t* who = L"?";
  const wchar_t* first = L"?";
  const wchar_t* second = L"?";
  const wchar_t* doer = L"?";
};

tie_texts TextsOf(const TieDatTerm* t) {
  const SList* volatile desc = nullptr;
  // A closed roster or a damaged record is described with "?" too.
  if (K::RunTrapped([&] { desc = ties::tie_desc(t); }) != 0) return {};
  const wchar_t* s[5];
  const SList* l = desc;
  for (int i = 0; i < 5; ++i, l = l->tail) {
    if (l->Empty()) return {};
    s[i] = l->head;
  }
  // The roster model gives repetition, end 1, end 2, doer, who.
  return tie_texts{s[0], s[4], s[1], s[2], s[3]};
}

}  // namespace

tie_definition* tie_definition::new_() {
  return new (K::Memory::AllocHeap(sizeof(tie_definition))) tie_definition();
}

windef_list_struct* tie_definition::windef_list() {
  static windef_list_struct* const list = BuildWindef(kForm, kControls);
  return list;
}

bool tie_definition::show_tie_def(LONG_PTR parent, const TieDatTerm* in, const TieDatTerm** out) {
  xtie_dat_ = HeapRecord(in);
  PROLOG_EHANDLER_STRUCT handler{reinterpret_cast<void*>(&OnEvent), this};
  win_CreateDynDialog(parent, windef_list(), &handler, 0);
  *out = xtie_dat_;
  return return_;
}

LONG_PTR tie_definition::OnEvent(void* self, LONG_PTR window, event_struct* event) {
  auto* d = static_cast<tie_definition*>(self);
  switch (event->kind) {
    case e_create:
      d->thiswin_ = window;
      d->update_dlg();
      break;
    case e_control:
      if (d->act(static_cast<int32_t>(event->w[0]))) return 0;
      break;
    case e_closerequest:
      d->return_ = false;
      break;
    case e_destroy:
      d->thiswin_ = 0;
      break;
    default:
      break;
  }
  K::Fail();
}

bool tie_definition::act(int32_t id) {
  const TieDatTerm* t = xtie_dat_;
  switch (id) {
    case kOk:
      win_Destroy(thiswin_);
      return true;
    case kSameDoctor: xtie_dat_ = Changed(t, tie_kind::must_do, {}, {}); break;
    case kDifferentDoctors: xtie_dat_ = Changed(t, tie_kind::must_not_do, {}, {}); break;
    case kPairOnly: xtie_dat_ = Changed(t, {}, repeat_kind::no_repeat, {}); break;
    case kEveryWeek: xtie_dat_ = Changed(t, {}, repeat_kind::repeat_week, {}); break;
    case kEveryDay: xtie_dat_ = Changed(t, {}, repeat_kind::repeat_day, {}); break;
    case kDuties:
      xtie_dat_ = Changed(t, {}, {}, spec_kind::tlsd_spec);
      enable_must_do(true);
      break;
    case kDaySlot:
    case kDay:
    case kWeek: {
      const spec_kind spec = id == kDaySlot ? spec_kind::just_slot_day
                             : id == kDay   ? spec_kind::just_day
                                            : spec_kind::just_week;
      xtie_dat_ = Changed(t, tie_kind::must_not_do, {}, spec);
      enable_must_do(false);
      break;
    }
    default:
      return false;
  }
  update_dlg();
  return true;
}

void tie_definition::update_dlg() {
  const WhichTieTerm* who = xtie_dat_->who;
  if (who->functor == static_cast<uint64_t>(which_kind::global_tie))
    win_SetText(thiswin_, L"Global Tie");
  else
    win_SetText(thiswin_, tav::string::concat(L"Tie for ", who->name));
  update_repetition();
  update_applies();
  update_same_doc();
  update_desc();
}

void tie_definition::update_repetition() {
  const auto repeat = static_cast<repeat_kind>(xtie_dat_->repeat->functor);
  const int32_t id = repeat == repeat_kind::repeat_week ? kEveryWeek
                     : repeat == repeat_kind::repeat_day ? kEveryDay
                                                         : kPairOnly;
  CheckRadio(thiswin_, id, {kPairOnly, kEveryWeek, kEveryDay});
  enable_applies(repeat != repeat_kind::no_repeat);
}

void tie_definition::update_applies() {
  const auto spec = static_cast<spec_kind>(xtie_dat_->spec->functor);
  const int32_t id = spec == spec_kind::tlsd_spec       ? kDuties
                     : spec == spec_kind::just_slot_day ? kDaySlot
                     : spec == spec_kind::just_day      ? kDay
                                                        : kWeek;
  CheckRadio(thiswin_, id, {kDuties, kDaySlot, kDay, kWeek});
}

void tie_definition::update_same_doc() {
  const bool same = static_cast<tie_kind>(xtie_dat_->tieDo->functor) == tie_kind::must_do;
  CheckRadio(thiswin_, same ? kSameDoctor : kDifferentDoctors, {kSameDoctor, kDifferentDoctors});
}

void tie_definition::update_desc() {
  const tie_texts s = TextsOf(xtie_dat_);
  SetCtlText(thiswin_, kDescription,
             tav::string::concatlist(tav::MakeStringList({s.who, L" tie: ", s.repetition, L", (1) ", s.first,
                                                         L" AND (2) ", s.second, L", done by ", s.doer})));
}

void tie_definition::enable_applies(bool on) {
  for (int32_t id : {kDuties, kDaySlot, kDay, kWeek}) EnableCtl(thiswin_, id, on);
}

void tie_definition::enable_must_do(bool on) { EnableCtl(thiswin_, kSameDoctor, on); }

}  // namespace all
