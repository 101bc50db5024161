// ties_libox: creation after ties::repair, the rows from ties::nd_tie and
// ties::tie_desc, the deletion of checked ties, print and copy.
#include "liboxes/ties_libox.h"

#include "kalmoradb/ties.h"
#include "liboxes/list_common.h"

namespace all {

namespace K = Qel::RunTime::Kernel;
using rizediveva6::List;
using rizediveva6::ListBuilder;
using rizediveva6::line;
using rizediveva6::SList;

const tav::ClassInfo ties_libox::classInfo{L"qel6pack/all/liboxes/ties_libox", TAV_CLASS_VERSION};

namespace {

constexpr uint32_t kRefCell = 7;

// The texts of tie_desc by column: repetition, whom, first and second duty,
// kind (tie_desc gives whom last).
void ColumnTexts(const SList* desc, const wchar_t* (&out)[5]) {
  const wchar_t* d[5] = {L"?", L"?", L"?", L"?", L"?"};
  for (int i = 0; i < 5 && !desc->Empty(); ++i, desc = desc->tail) d[i] = desc->head;
  out[0] = d[0];
  out[1] = d[4];
  out[2] = d[1];
  out[3] = d[2];
  out[4] = d[3];
}

const List<int32_t>* StoredRefs() {
  ListBuilder<int32_t> refs(true);
  ties::nd_tie([&](stored_tie t) {
    refs.Add(t.ref);
    K::Fail();
  });
  return refs.Finish();
}

}  // namespace

ties_libox* ties_libox::new_ties_libox(LONG_PTR window) {
  ties::repair();
  ties_libox* t = lists::NewObject<ties_libox>();
  t->set_up(window, {L"tielibox", kMenu, true, 3, {20, 20, 200, 200, 190, 190},
                     {L"", L"", L"", L"Applies to", L"Duty(1)", L"Duty(2)", L"Tie"}});
  t->lbox_add_lines(t->make_lines_x());
  t->lbox_draw();
  return t;
}

const List<line>* ties_libox::make_lines_x() {
  ListBuilder<line> rows(true);
  xcount_ = 0;
  ties::nd_tie([&](stored_tie s) {
    const wchar_t* c[5];
    ColumnTexts(ties::tie_desc(s.tie->dat), c);
    ++xcount_;
    rows.Add(rizediveva6::LineNo(
        lists::HeapCells({lists::Decimal(xcount_), c[0], c[1], c[2], c[3], c[4], lists::RefText(s.ref)}), 0, 0));
    K::Fail();
  });
  return rows.Finish();
}

void ties_libox::del_selected() {
  for (const List<int32_t>* r = lists::CheckedRefs(this, kRefCell, StoredRefs()); !r->Empty(); r = r->tail)
    ties::del_tie(r->head);
  update_libox();
}

}  // namespace all
