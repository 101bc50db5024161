// we_libox: creation and the rows from mytime::nd_day_no,
// kalmora_DB::nd_slots and sc_stat_weekend::nd_weekend_sd; print and copy.
#include "liboxes/we_libox.h"

#include "SYSTEM/timepack/mytime.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/sc_stat_weekend.h"
#include "liboxes/list_common.h"

namespace all {

namespace K = Qel::RunTime::Kernel;
using rizediveva6::List;
using rizediveva6::ListBuilder;
using rizediveva6::line;

const tav::ClassInfo we_libox::classInfo{L"qel6pack/all/liboxes/we_libox", TAV_CLASS_VERSION};

namespace {

template <class V, class Walk>
const List<V>* Collect(Walk walk) {
  ListBuilder<V> out(true);
  walk([&](V v) {
    out.Add(v);
    K::Fail();
  });
  return out.Finish();
}

}  // namespace

we_libox* we_libox::new_we_libox(LONG_PTR window) {
  we_libox* t = lists::NewObject<we_libox>();
  t->set_up(window, {L"weekend", kMenu, true, 0, {20, 20, 150, 150, 190}, {L"", L"Day", L"Slot"}});
  t->lbox_add_lines(t->make_lines_x());
  t->lbox_draw();
  return t;
}

const List<line>* we_libox::make_lines_x() {
  using slot = std::pair<uint32_t, const wchar_t*>;
  const List<weekend_entry>* entries =
      Collect<weekend_entry>([](tav::Each<weekend_entry> k) { return sc_stat_weekend::nd_weekend_sd(k); });
  const List<slot>* slots = Collect<slot>([](tav::Each<slot> k) { return kalmora_DB::nd_slots(k); });
  const List<uint32_t>* days = Collect<uint32_t>([](tav::Each<uint32_t> k) { return rizediveva6::mytime::nd_day_no(k); });
  ListBuilder<line> rows(true);
  xcount_ = 0;
  for (; !days->Empty(); days = days->tail)
    for (const List<slot>* s = slots; !s->Empty(); s = s->tail)
      for (const List<weekend_entry>* e = entries; !e->Empty(); e = e->tail) {
        if (e->head.day != days->head || e->head.slot != s->head.first) continue;
        const wchar_t* dayName = L"";
        rizediveva6::mytime::dayno_dayname(days->head, &dayName);
        ++xcount_;
        rows.Add(rizediveva6::LineNo(lists::HeapCells({lists::Decimal(xcount_), dayName, s->head.second}), 0, 0));
      }
  return rows.Finish();
}

}  // namespace all
