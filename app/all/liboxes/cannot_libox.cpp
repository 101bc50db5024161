// cannot_libox: creation, the rows from sc_rules::nd_which_rule per doctor
// and per group, the deletion of checked rules, print and copy.
#include "liboxes/cannot_libox.h"

#include <cwchar>

#include "SYSTEM/orv_list/orv_list.h"
#include "kalmoradb/groups.h"
#include "kalmoradb/staff_db.h"
#include "liboxes/list_common.h"
#include "rulesPack/sc_rules.h"

namespace all {

namespace K = Qel::RunTime::Kernel;
using rizediveva6::List;
using rizediveva6::ListBuilder;
using rizediveva6::line;
using rizediveva6::SList;

const tav::ClassInfo cannot_libox::classInfo{L"qel6pack/all/liboxes/cannot_libox", TAV_CLASS_VERSION};

namespace {

constexpr uint32_t kRefCell = 4;

const List<stored_rule>* StoredRules() {
  ListBuilder<stored_rule> out(true);
  sc_rules::nd_which_rule([&](stored_rule r) {
    // The term is on the global stack: the walk backtracks over it.
    out.Add(stored_rule{reinterpret_cast<const WhichRuleTerm*>(T::CopyTermFromGStack(
                            tav::D(domains::which_rule), reinterpret_cast<T::term>(r.rule))),
                        r.ref});
    K::Fail();
  });
  return out.Finish();
}

// The stored rules' references alone: a deletion needs no rule terms.
const List<int32_t>* StoredRefs() {
  ListBuilder<int32_t> refs(true);
  sc_rules::nd_which_rule([&](stored_rule r) {
    refs.Add(r.ref);
    K::Fail();
  });
  return refs.Finish();
}

// The names in order, each once.
const SList* FirstOnce(const SList* names) {
  ListBuilder<const wchar_t*> out(true);
  const SList* seen = rizediveva6::Nil<const wchar_t*>();
  for (; !names->Empty(); names = names->tail)
    if (!rizediveva6::orv_list::member(names->head, seen)) {
      seen = rizediveva6::Cons(names->head, seen);
      out.Add(names->head);
    }
  return out.Finish();
}

const SList* DoctorNames() {
  ListBuilder<const wchar_t*> out(true);
  staff_db::nd_person([&](const PersonTerm* p) {
    out.Add(tav::HeapCopy(p->dat->name));
    K::Fail();
  });
  return out.Finish();
}

}  // namespace

cannot_libox* cannot_libox::new_cannot_libox(LONG_PTR window) {
  cannot_libox* t = lists::NewObject<cannot_libox>();
  t->set_up(window,
            {L"cannotlibox", kMenu, true, 3, {20, 20, 40, 40, 190, 190}, {L"", L"", L"Group", L"Rule", L"Internal Ref"}});
  t->update_libox();
  return t;
}

const List<line>* cannot_libox::make_lines_x() {
  ListBuilder<line> rows(true);
  xcount_ = 0;
  const List<stored_rule>* rules = StoredRules();
  auto rowsOf = [&](who_kind who, const SList* names) {
    for (; !names->Empty(); names = names->tail)
      for (const List<stored_rule>* r = rules; !r->Empty(); r = r->tail) {
        const WhichRuleTerm* w = r->head.rule;
        if (w->Kind() != who || wcscmp(w->name, names->head) != 0) continue;
        const wchar_t *shortText, *longText;
        sc_rules::which_rule_desc(w, &shortText, &longText);
        ++xcount_;
        rows.Add(rizediveva6::LineNo(
            lists::HeapCells({lists::Decimal(xcount_), names->head, longText, lists::RefText(r->head.ref)}), 0, 0));
      }
  };
  rowsOf(who_kind::person_rule, FirstOnce(DoctorNames()));
  rowsOf(who_kind::group_rule, FirstOnce(groups::list_groups()));
  return rows.Finish();
}

void cannot_libox::del_selected() {
  for (const List<int32_t>* r = lists::CheckedRefs(this, kRefCell, StoredRefs()); !r->Empty(); r = r->tail)
    sc_rules::del_rule_ref(r->head);
  update_libox();
}

}  // namespace all
