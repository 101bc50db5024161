// hol_libox: creation, the rows from sc_holidays::nd_holidays, the
// deletion of checked holidays, print and copy.
#include "liboxes/hol_libox.h"

#include <cwchar>

#include "SYSTEM/timepack/mytime.h"
#include "kalmoradb/sc_holidays.h"
#include "liboxes/list_common.h"

namespace all {

namespace K = Qel::RunTime::Kernel;
using rizediveva6::List;
using rizediveva6::ListBuilder;
using rizediveva6::line;

const tav::ClassInfo hol_libox::classInfo{L"qel6pack/all/liboxes/hol_libox", TAV_CLASS_VERSION};

namespace {

constexpr int32_t kWhite = 0xFFFFFF;

const List<dt>* Holidays() {
  ListBuilder<dt> out(true);
  sc_holidays::nd_holidays([&](dt d) {
    out.Add(d);
    K::Fail();
  });
  return out.Finish();
}

}  // namespace

hol_libox* hol_libox::new_hol_libox(LONG_PTR window) {
  hol_libox* t = lists::NewObject<hol_libox>();
  t->set_up(window, {L"hol", kMenu, false, 2, {10, 10, 10, 240}, {L"", L"", L"Dates"}});
  t->update_libox();
  return t;
}

const List<line>* hol_libox::make_lines_x() {
  ListBuilder<line> rows(true);
  xcount_ = 0;
  for (const List<dt>* d = Holidays(); !d->Empty(); d = d->tail) {
    ++xcount_;
    rows.Add(rizediveva6::LineNo(lists::HeapCells({lists::Decimal(xcount_), rizediveva6::mytime::dt_str(d->head)}),
                                 kWhite, 0));
  }
  return rows.Finish();
}

void hol_libox::del_selected() {
  // The dates first: a deletion moves the holidays behind it.  Each stored
  // date is written once, not once per checked row.
  const List<dt>* stored = Holidays();
  ListBuilder<const wchar_t*> texts(true);
  for (const List<dt>* d = stored; !d->Empty(); d = d->tail)
    texts.Add(tav::HeapCopy(rizediveva6::mytime::dt_str(d->head)));
  const rizediveva6::SList* storedTexts = texts.Finish();
  ListBuilder<dt> dates(true);
  const rizediveva6::selection s = lbox_getsel();
  for (const List<const rizediveva6::SList*>* c = s.cells; !c->Empty(); c = c->tail) {
    const wchar_t* text;
    if (!lists::NthCell(c->head, 2, &text)) continue;
    const rizediveva6::SList* t = storedTexts;
    for (const List<dt>* d = stored; !d->Empty(); d = d->tail, t = t->tail)
      if (wcscmp(text, t->head) == 0) {
        dates.Add(d->head);
        break;
      }
  }
  for (const List<dt>* d = dates.Finish(); !d->Empty(); d = d->tail) sc_holidays::del_holiday(d->head);
  update_libox();
}

}  // namespace all
