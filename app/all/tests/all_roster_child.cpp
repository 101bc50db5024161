// A child process of the roster model tests, working on one document file
// through the program's own classes:
//   all_roster_child.exe build <spec> <file>   writes the roster spec into a new file
//                                              (a fixture spec, or gen<seed>w<weeks>[p<percent>],
//                                              printing the duties taken)
//   all_roster_child.exe op <operation> <file> runs one writing operation,
//                                              prints the modified mark, saves
//   all_roster_child.exe dump <file>           prints the header, holidays, weekend
//   all_roster_child.exe lists <file>          prints the lists, doctors and changes
//   all_roster_child.exe ties <file>           prints the ties and the loadings
//   all_roster_child.exe index <file>          prints the stored duty count and keys
//   all_roster_child.exe verdict <doctor> <key> <file>
//                                              prints the gate's verdict on the doctor
//                                              taking the duty: "can_do_it", "rule <text>"
//                                              or "other"
//   all_roster_child.exe refs <file>           prints the reference checker's lines
//                                              (the document opened, no store)
// Notes are recorded and printed as "note: <text>".  Exit code 0, or 2 with
// "error N" when an operation raises.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "dialog_recorder.h"
#include "exception/exception.h"
#include "kalmoradb/kalmora_DB.h"
#include "phase1/sc_phase1.h"
#include "kalmoradb/groups.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/load_db.h"
#include "kalmoradb/lock_ass.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/sc_holidays.h"
#include "kalmoradb/sc_mod_date.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/tasks.h"
#include "kalmoradb/ties.h"
#include "kalmoradb/typical_db.h"
#include "reference_check.h"
#include "rulesPack/sc_rules.h"
#include "all_unit.h"
#include "roster_fixture.h"
#include "roster_generator.h"

using namespace all;
using namespace alltest;
namespace K = Qel::RunTime::Kernel;
using rizediveva6::time_convert;

namespace {

std::wstring out;

void Line(const std::wstring& l) { out += l + L"\n"; }

std::wstring Date(const dt& d) {
  return std::to_wstring(d.year) + L"-" + std::to_wstring(d.month) + L"-" + std::to_wstring(d.day);
}

void Dump() {
  const tv start = kalmora_DB::get_start_date();
  const SYSTEMTIME r = time_convert::Local(start);
  wchar_t clock[16];
  swprintf(clock, 16, L"%02u:%02u:%02u", r.wHour, r.wMinute, r.wSecond);
  Line(L"start " + Date(time_convert::tv_date(start)) + L" " + clock);
  Line(L"duration " + std::to_wstring(kalmora_DB::get_weeks_duration()));
  Line(L"start_day " + std::to_wstring(kalmora_DB::get_start_day()));
  std::wstring slots = L"slots";
  for (const SList* l = kalmora_DB::list_slots(); !l->Empty(); l = l->tail) slots += std::wstring(L" ") + l->head;
  Line(slots);
  Line(std::wstring(L"desc ") + kalmora_DB::get_desc());
  std::wstring hols = L"holidays";
  sc_holidays::nd_holidays([&](dt d) {
    hols += L" " + Date(d);
    K::Fail();
  });
  Line(hols);
  std::wstring weekend = L"weekend";
  sc_stat_weekend::nd_weekend_sd([&](weekend_entry e) {
    weekend += L" " + std::to_wstring(e.slot) + L"," + std::to_wstring(e.day);
    K::Fail();
  });
  Line(weekend);
}

// The lists: tasks, locations, groups, doctors with their groups, changes.
void DumpLists() {
  auto names = [](const wchar_t* what, const SList* l) {
    std::wstring text = what;
    for (; !l->Empty(); l = l->tail) text += std::wstring(L" ") + l->head;
    Line(text);
  };
  names(L"tasks", tasks::list_tasks());
  names(L"locations", locations::list_locs());
  names(L"groups", groups::list_groups());
  std::wstring people = L"doctors";
  staff_db::nd_person([&](const PersonTerm* p) {
    people += std::wstring(L" ") + p->dat->name + L"(";
    for (const SList* g = rizediveva6::AsSList(p->dat->groups); !g->Empty(); g = g->tail) people += std::wstring(g->head) + L";";
    people += L")";
    K::Fail();
  });
  Line(people);
  std::wstring changes = L"changes";
  sc_mod_date::nd_dt_duties([&](dt_duty_ref e) {
    changes += L" " + Date(e.entry.date) + L"/" + std::to_wstring(e.entry.duty.task) + std::to_wstring(e.entry.duty.where) +
               std::to_wstring(e.entry.duty.slot);
    K::Fail();
  });
  Line(changes);
}

// The typical week: per day kind its duties in chain order.
void DumpTypical() {
  for (uint32_t kind : {kSunday, kWeekday, kSaturday}) {
    std::wstring text = L"typical " + std::to_wstring(kind);
    typical_db::nd_tls([&](day_tls d) {
      if (d.day_kind == kind)
        text += L" " + std::to_wstring(d.duty.task) + L"," + std::to_wstring(d.duty.where) + L"," + std::to_wstring(d.duty.slot);
      K::Fail();
    });
    Line(text);
  }
}

// The ties in chain order, then the loadings in chain order.
void DumpTies() {
  ties::nd_tie_for_drawing([&](const TieDomTerm* t) {
    const tie_value v = TieValueOf(t->dat);
    Line(L"tie " + std::wstring(v.first) + L" " + v.second + L" who" + std::to_wstring(static_cast<int>(v.who)) +
         (v.name ? L"(" + std::wstring(v.name) + L")" : L"") + L" do" + std::to_wstring(static_cast<int>(v.tieDo)) +
         L" repeat" + std::to_wstring(static_cast<int>(v.repeat)) + L" spec" +
         std::to_wstring(static_cast<int>(v.spec)));
    K::Fail();
  });
  kalmora_DB::db()->chain_terms(tav::D(all::domains::loading), L"loading_chain", [&](tav::RefTerm rt) {
    auto* l = reinterpret_cast<const LoadingTerm*>(rt.t);
    wchar_t fraction[32];
    swprintf(fraction, 32, L"%.4f", l->fraction);
    Line(L"load " + std::wstring(l->name) + L" weekend" + std::to_wstring(l->kind->a) + L" " +
         std::to_wstring(l->parts) + L" " + fraction);
    K::Fail();
  });
}

// Assignments and locks in key order, then the can't-do rules in chain order.
void DumpGate() {
  for (rizediveva6::bt* t : {sc_assign::tree(), lock_ass::tree()})
    for (const rizediveva6::List<rizediveva6::KeyRef>* e = all_entries(t); !e->Empty(); e = e->tail)
      Line(std::wstring(t == sc_assign::tree() ? L"ass " : L"lock ") + e->head.key + L" " +
           staff_db::ref_name(e->head.ref));
  sc_rules::nd_which_rule([&](stored_rule s) {
    const RuleTerm* r = s.rule->rule;
    const RuleTypeTerm* t = r->type;
    Line(L"rule who" + std::to_wstring(s.rule->functor) + L"(" + s.rule->name + L") force" +
         std::to_wstring(r->inForce->functor) + L" type" + std::to_wstring(t->functor) + L"(" +
         (t->Kind() == rule_kind::r_dtbd ? std::wstring(t->key) : std::to_wstring(t->number)) + L") can" +
         std::to_wstring(r->canDo->functor));
    K::Fail();
  });
}

chain_ref DoctorRef(const wchar_t* name) {
  const PersonTerm* p;
  return staff_db::get_person(name, &p) ? p->ref : 0;
}

const TieDatTerm* NewTie() {
  return MakeTieDat(tie_value{which_kind::global_tie, nullptr, L"[104,13,13,3,3]", L"[104,13,15,1,2]",
                              tie_kind::must_not_do, repeat_kind::no_repeat, spec_kind::tlsd_spec});
}

// Assignments and locks of the small spec's typical weekdays in weeks 1
// and 2, the doctors in turn; every third one locked.
void PutAssignments() {
  const SList* staff = staff_db::list_staff();
  std::vector<chain_ref> doctors;
  for (const SList* l = staff; !l->Empty(); l = l->tail) {
    const PersonTerm* p;
    if (staff_db::get_person(l->head, &p)) doctors.push_back(p->ref);
  }
  size_t n = 0;
  typical_db::nd_tls([&](day_tls d) {
    if (d.day_kind != kWeekday) K::Fail();
    for (uint32_t period = 1; period <= 2; ++period)
      for (uint32_t day = 1; day <= 5; ++day) {
        wchar_t key[32];
        swprintf(key, 32, L"[%u,%u,%u,%u,%u]", period + 100, d.duty.slot + 10, day + 10, d.duty.task, d.duty.where);
        const chain_ref who = doctors[n % doctors.size()];
        sc_assign::tree()->kee_insert(key, who);
        if (n % 3 == 0) lock_ass::tree()->kee_insert(key, who);
        ++n;
      }
    K::Fail();
  });
  kalmora_DB::set_as_mod();  // the trees are saved with the document
}

// A rule stored as the editing stores it.
void Rule(who_kind who, const wchar_t* name, rule_kind kind, uint32_t number, const wchar_t* key = nullptr,
          bool inForce = true, can_do_kind canDo = can_do_kind::i_cant_do) {
  AddRule(MakeWhichRule(rule_value{who, name, inForce, kind, number, key, canDo}));
}

// One stored case of each violation the validator judges (the small spec):
// a doctor twice in one slot-period, a key that names no duty, a reference
// that names no doctor, a broken weekly must_do tie, a broken weekly
// must_not_do tie, and duties held against a doctor's own week rule, a
// group's slot rule and a doctor's dated-duty rule; the rules that must not
// count: another name's case, not in force, can-do.
void PutViolations() {
  Rule(who_kind::person_rule, L"Dr. Sophie Bauer", rule_kind::r_period, 2);
  Rule(who_kind::group_rule, L"Innere", rule_kind::r_slot, 3);
  Rule(who_kind::person_rule, L"Dr. Chen \u9648", rule_kind::r_dtbd, 0, L"[103,12,12,2,2]");
  Rule(who_kind::person_rule, L"dr. stefan braun", rule_kind::r_slot, 3);
  Rule(who_kind::person_rule, L"Dr. Stefan Braun", rule_kind::r_slot, 3, nullptr, false);
  Rule(who_kind::person_rule, L"Dr. Stefan Braun", rule_kind::r_slot, 3, nullptr, true, can_do_kind::i_can_do);
  ties::add_tie2(MakeTieDat(tie_value{which_kind::global_tie, nullptr, L"[101,11,12,1,1]", L"[101,13,13,3,3]",
                                      tie_kind::must_not_do, repeat_kind::repeat_week, spec_kind::tlsd_spec}));
  const chain_ref a = DoctorRef(L"Dr. Stefan Braun"), b = DoctorRef(L"Dr. Sophie Bauer"),
                  c = DoctorRef(L"Dr. Chen \u9648");
  rizediveva6::bt* t = sc_assign::tree();
  for (auto [key, who] : std::initializer_list<std::pair<const wchar_t*, chain_ref>>{
           {L"[101,13,11,3,3]", a}, {L"[101,13,11,1,2]", a}, {L"[101,11,11,9,9]", b}, {L"[101,12,11,2,2]", 999999},
           {L"[102,11,11,1,1]", b}, {L"[103,12,12,2,2]", c}, {L"[101,11,12,1,1]", c}, {L"[101,13,13,3,3]", c}})
    t->kee_insert(key, who);
  kalmora_DB::set_as_mod();
}

// After PutAssignments: the first lock dropped, the second lock's duty
// given to another doctor; prints both keys.
void MoveLocks() {
  const auto* locks = all_entries(lock_ass::tree());
  const rizediveva6::KeyRef gone = locks->head, moved = locks->tail->head;
  Line(std::wstring(L"gone ") + gone.key);
  Line(std::wstring(L"moved ") + moved.key);
  lock_ass::tree()->kee_delete(gone.key);
  sc_assign::tree()->kee_delete(moved.key);
  sc_assign::tree()->kee_insert(moved.key, moved.ref == DoctorRef(L"Dr. Stefan Braun") ? DoctorRef(L"Dr. Sophie Bauer")
                                                                                       : DoctorRef(L"Dr. Stefan Braun"));
  kalmora_DB::set_as_mod();
}

// The two-week spec's assignments, shares and rules: A on the first five
// day duties (the Wednesday a holiday), B on the first weekend's day
// duties; nobody may do a duty of week 2.
void PutTwoWeekRoster() {
  const chain_ref a = DoctorRef(L"A"), b = DoctorRef(L"B");
  for (const wchar_t* key : {L"[101,11,11,1,1]", L"[101,11,12,1,1]", L"[101,11,13,1,1]", L"[101,11,14,1,1]",
                             L"[101,11,15,1,1]"})
    sc_assign::tree()->kee_insert(key, a);
  for (const wchar_t* key : {L"[101,11,16,1,1]", L"[101,11,17,1,1]"}) sc_assign::tree()->kee_insert(key, b);
  for (const wchar_t* name : {L"A", L"B"}) Rule(who_kind::person_rule, name, rule_kind::r_period, 2);
  Rule(who_kind::group_rule, L"P2", rule_kind::r_period, 2);  // C's only group
  struct Share {
    uint64_t functor;  // 1 a doctor's, 2 a practice's
    const wchar_t* name;
    uint32_t weekend;
    double fraction;
  };
  for (const Share& s : {Share{1, L"A", 0, 0.5}, Share{1, L"B", 0, 0.25}, Share{1, L"C", 0, 0.25}, Share{1, L"A", 1, 0.2},
                         Share{1, L"B", 1, 0.4}, Share{1, L"C", 1, 0.4}, Share{2, L"P1", 0, 0.5}, Share{2, L"P2", 0, 0.5},
                         Share{2, L"P1", 1, 0.3}, Share{2, L"P2", 1, 0.7}})
    PutShare(s.functor, MakeWhatStat(stat_kind::weekend, s.weekend), s.name, s.fraction);
  kalmora_DB::set_as_mod();
}

// The writing operations, each on a document built from the small spec.
const std::map<std::wstring, std::function<void()>>& Operations() {
  static const std::map<std::wstring, std::function<void()>> ops = {
      {L"put_start_date", [] { kalmora_DB::put_start_date(time_convert::date_tv(dt{2026, 10, 14})); }},
      {L"put_weeks_duration", [] { kalmora_DB::put_weeks_duration(20); }},
      {L"put_list_slots", [] { kalmora_DB::put_list_slots(rizediveva6::MakeList<const wchar_t*>({L"am", L"pm"})); }},
      {L"put_list_slots_11", [] {
         kalmora_DB::put_list_slots(rizediveva6::MakeList<const wchar_t*>(
             {L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9", L"10", L"11"}));
       }},
      {L"move_up", [] { kalmora_DB::move_up(L"late"); }},
      {L"move_down", [] { kalmora_DB::move_down(L"Fr\u00FCh"); }},
      {L"set_start_day", [] { kalmora_DB::set_start_day(1); }},
      {L"set_desc", [] { kalmora_DB::set_desc(L"Neu"); }},
      {L"add_holiday", [] { sc_holidays::add_holiday(dt{2026, 12, 24}); }},
      {L"add_holiday_again", [] { sc_holidays::add_holiday(dt{2026, 12, 26}); }},
      {L"del_holiday", [] { sc_holidays::del_holiday(dt{2026, 12, 26}); }},
      {L"clear_hols", [] { sc_holidays::clear_hols(); }},
      {L"add_sd", [] { sc_stat_weekend::add_sd({10, 1}); }},
      {L"add_sd_again", [] { sc_stat_weekend::add_sd({1, 7}); }},
      {L"del_sd", [] { sc_stat_weekend::del_sd({1, 7}); }},
      {L"clear_sd", [] { sc_stat_weekend::clear_sd(); }},
      {L"set_default_weekend", [] { sc_stat_weekend::set_default_weekend(); }},
      {L"assign", [] { PutAssignments(); }},
      {L"violations", [] { PutViolations(); }},
      {L"move_locks", [] { MoveLocks(); }},
      {L"two_week_roster", [] { PutTwoWeekRoster(); }},
      // The list edits that renumber.
      {L"del_loc_1", [] { locations::add_loc(1, L""); }},
      {L"del_task_2", [] { tasks::add_task(2, L" "); }},
      {L"slot_in_front", [] {
         kalmora_DB::put_list_slots(rizediveva6::MakeList<const wchar_t*>({L"neu", L"Fr\u00FCh", L"late", L"night"}));
       }},
      {L"del_middle_slot", [] {
         kalmora_DB::put_list_slots(rizediveva6::MakeList<const wchar_t*>({L"Fr\u00FCh", L"night"}));
       }},
      {L"move_night_up", [] { kalmora_DB::move_up(L"night"); }},
      {L"clear_tasks", [] { tasks::clear(); }},
      // The lists' other writing operations.
      {L"add_task", [] { tasks::add_task(L"Dienst"); }},
      {L"rename_task", [] { tasks::add_task(1, L"Stationsdienst"); }},
      {L"add_loc", [] { locations::add_loc(L"Haus D"); }},
      {L"rename_loc", [] { locations::add_loc(3, L"Haus Z"); }},
      {L"clear_locs", [] { locations::clear(); }},
      {L"add_group", [] { groups::add_group(L"P\u00E4diatrie"); }},
      {L"rename_group", [] { groups::add_group(2, L"Chirurgie II"); }},
      {L"del_group", [] { groups::del_group(L"Innere"); }},
      {L"set_color", [] { groups::set_color(L"Innere", 0x123456); }},
      {L"clear_groups", [] { groups::clear(); }},
      {L"add_name", [] { staff_db::add_name(L"Dr. Neu"); }},
      {L"del_person", [] { staff_db::del_person(L"Dr. Sophie Bauer"); }},
      {L"clear_staff", [] { staff_db::clear(); }},
      {L"randomize_colors", [] { staff_db::randomize_colors(); }},
      {L"repair_after_group_change", [] { groups::del_group(L"Innere"); staff_db::repair_after_group_change(); }},
      {L"add_tls", [] { typical_db::add_tls(kSunday, rizediveva6::Nil<tls>()); }},
      {L"add_or_remove", [] { sc_mod_date::add_or_remove(dt_duty{{2026, 10, 7}, 3, {1, 1, 1}}); }},
      {L"clear_mod", [] { sc_mod_date::clear(); }},
      // Ties and loadings.
      {L"add_tie2", [] { ties::add_tie2(NewTie()); }},
      {L"add_tie2_again", [] { ties::add_tie2(NewTie()); ties::add_tie2(NewTie()); }},
      {L"del_tie", [] { ties::del_tie(ties::all_ties()->head->ref); }},
      {L"del_all_ties", [] { ties::del_all(); }},
      {L"del_all_group", [] {
         ties::del_all(MakeTieDat(tie_value{which_kind::group_tie, L"Innere", L"", L"", tie_kind::must_do,
                                            repeat_kind::no_repeat, spec_kind::tlsd_spec})->who);
       }},
      {L"repair_ties", [] {
         kalmora_DB::put_weeks_duration(2);
         sc_phase1::generate();
         ties::repair();
       }},
      {L"put_load", [] { load_db::put_load(MakeWhatStat(stat_kind::weekend, 1), DoctorRef(L"Dr. Chen \u9648"), 6); }},
      {L"auto_load", [] {
         load_db::clear_load();
         staff_db::nd_person([](const PersonTerm* p) {
           load_db::get_load(MakeWhatStat(stat_kind::weekend, 0), p->dat->name);
           load_db::get_load(MakeWhatStat(stat_kind::weekend, 1), p->dat->name);
           K::Fail();
         });
         load_db::auto_load(10);
       }},
      {L"clear_load", [] { load_db::clear_load(); }},
      {L"clear_assignments", [] { sc_assign::clear_assignments(clear_dom{clear_kind::clear_all, 0}); }},
      {L"sunday_duty", [] {
         typical_db::add_tls(kSunday, rizediveva6::MakeList<tls>({tls{2, 1, 1}}));
       }},
  };
  return ops;
}

// The stored index as it is (no rebuild): its count and its keys in order.
void DumpIndex() {
  Line(L"duties " + std::to_wstring(sc_phase1::how_many()));
  rizediveva6::bt* keys = sc_phase1::key_tree();
  chain_ref ref;
  if (keys->kee_first(&ref))
    keys->nd_kee1([&](rizediveva6::KeyRef e) {
      Line(std::wstring(L"key ") + e.key);
      K::Fail();
    });
}

std::wstring Saved(const rizediveva6::saved_result* r) {
  return r->Kind() == rizediveva6::Saved::saved ? L"saved" : L"result " + std::to_wstring(static_cast<int>(r->Kind()));
}

int Run(int argc, wchar_t** argv) {
  const std::wstring_view mode = argv[1];
  const bool create = mode == L"build" || mode == L"build_empty";
  const wchar_t* file = argv[argc - 1];
  if (mode == L"refs") {
    rizediveva6::document* doc = rizediveva6::orvDB::new_file_def(
        rizediveva6::make_file_def(file, false, rizediveva6::kBackupNone));
    for (const std::wstring& l : NamedReferences(doc->orv_get_chaindb())) Line(l);
    return 0;
  }
  rizediveva6::document* doc = rizediveva6::orvDB::new_file_def(
      rizediveva6::make_file_def(file, create, rizediveva6::kBackupNone));
  kalmora_DB::init(doc);
  if (mode == L"build") {
    static RosterSpec spec;  // outside the frames an error unwinds
    GeneratedRun run;
    const bool generated = argc >= 4 && GeneratedSpecNamed(argv[2], &spec, &run);
    if (argc < 4 || (!generated && !SpecNamed(argv[2], &spec))) return 3;
    WriteSpec(spec);
    if (generated) Line(L"taken " + std::to_wstring(PreAssign(run)));
  } else if (mode == L"build_empty") {
    kalmora_DB::set_as_mod();
  } else if (mode == L"op") {
    auto op = Operations().find(argv[2]);
    if (op == Operations().end()) return 3;
    op->second();
    Line(std::wstring(L"mark ") + (doc->is_modified() ? L"1" : L"0"));
  } else if (mode == L"dump") {
    Dump();
    return 0;
  } else if (mode == L"index") {
    DumpIndex();
    return 0;
  } else if (mode == L"lists") {
    DumpLists();
    return 0;
  } else if (mode == L"typical") {
    DumpTypical();
    return 0;
  } else if (mode == L"ties") {
    DumpTies();
    return 0;
  } else if (mode == L"gate") {
    DumpGate();
    return 0;
  } else if (mode == L"verdict") {
    if (argc < 5) return 3;
    const ReasonTerm* r = sc_assign::assign_person(test_ass::test_ass_only, argv[3], DoctorRef(argv[2]));
    Line(r->Kind() == reason_kind::can_do_it          ? L"can_do_it"
         : r->Kind() == reason_kind::cant_rule_reason ? std::wstring(L"rule ") + r->rule->text
                                                      : L"other");
    return 0;
  } else {
    return 3;
  }
  Line(Saved(kalmora_DB::save_kalmora()));
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3 || all::InitializeUnit()) return 3;
  _setmode(_fileno(stdout), _O_BINARY);
  K::Control::TPrologThreadData::SetPrologExceptionPredicate(&tav::runtime_exception::raiser, 4096, nullptr, nullptr);
  tav::exception::setexceptionstate(tav::exceptionState::New());
  rztest::DialogRecorder recorder;
  volatile int rc = 0;
  const uint32_t code = K::RunTrapped([&] { rc = Run(argc, argv); });
  for (const auto& shown : recorder.shown())
    if (shown.kind == L"note") Line(L"note: " + shown.text);
  if (code) {
    uint32_t number = code;
    if (code >= 65536)
      tav::exception::getdescriptor_nd(code, [&](const tav::TraceEntry* e) {
        const tav::ValueTerm* v = tav::exception::trygetextrainfo(e, L"error code");
        if (v && v->Kind() == tav::ValueKind::unsigned_) number = v->As<uint32_t>();
      });
    Line(L"error " + std::to_wstring(number));
    rc = 2;
  }
  const int n = WideCharToMultiByte(CP_UTF8, 0, out.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string bytes(n > 0 ? n - 1 : 0, '\0');
  WideCharToMultiByte(CP_UTF8, 0, out.c_str(), -1, bytes.data(), n, nullptr, nullptr);
  fwrite(bytes.data(), 1, bytes.size(), stdout);
  return rc;
}
