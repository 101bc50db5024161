// publish_it: the page plan (names and their file names), the page bodies
// and the writing of each page file.  The plan, with each doctor's rules and
// kept messages, the week dates and the busy table live on the collected
// heap for one run (the stores do not change during it); each roster row's
// temporaries on the global stack die when the row is written.  A doctor's
// busy cells are the slot-periods of the doctor's assignments, each asked of
// the busy check; every other cell is not busy.
#include "publish/publish_it.h"

#include <windows.h>

#include <cstring>
#include <cwchar>

#include "KWI/Wyn/wyn.h"
#include "SYSTEM/myKWI/myKWI.h"
#include "SYSTEM/my_html/htm.h"
#include "SYSTEM/options/options_db.h"
#include "SYSTEM/orv_list/orv_list.h"
#include "SYSTEM/timepack/mytime.h"
#include "binary/binary.h"
#include "fileSystem/fileStream.h"
#include "kalmoradb/groups.h"
#include "kalmoradb/kalmora_DB.h"
#include "kalmoradb/locations.h"
#include "kalmoradb/sc_assign.h"
#include "kalmoradb/staff_db.h"
#include "kalmoradb/tasks.h"
#include "memory/memory.h"
#include "phase1/sc_phase1.h"
#include "qel6run_lib.h"
#include "rulesPack/sc_rules.h"
#include "string/string.h"

namespace all {

namespace K = Qel::RunTime::Kernel;
using rizediveva6::alignm;
using rizediveva6::cell;
using rizediveva6::cell_def;
using rizediveva6::htm;
using rizediveva6::List;
using rizediveva6::ListBuilder;
using rizediveva6::options_db;
using rizediveva6::SList;
using tav::string;

const tav::ClassInfo publish_it::classInfo{L"qel6pack/all/publish/publish_it", TAV_CLASS_VERSION};

namespace {

// The product's own name and web address, for the practices page's foot.
struct Maker {
  const wchar_t* name;
  const wchar_t* address;
};
constexpr Maker kMaker{L"kalmoraTessaro", L"https://www.kalmoratessaro.example/"};

constexpr size_t kMaxName = 120, kCutName = 110;
constexpr const wchar_t* kDots = L".........";
// The spacer row's one cell: 83 blanks and a full stop.
constexpr const wchar_t* kSpacer =
    L"                                                                                   .";
const tav::BooleanTerm kFalse{1};

// --- safe file names ---

bool High(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool Low(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Whether unit i of s (n units) may not stand in a file name.
bool Unsafe(const wchar_t* s, size_t i, size_t n, size_t trailing) {
  const wchar_t c = s[i];
  if (c < 0x20 || c == 0x7F || wcschr(L"\\/:*?\"<>|", c)) return true;
  if (High(c)) return i + 1 >= n || !Low(s[i + 1]);
  if (Low(c)) return i == 0 || !High(s[i - 1]);
  return i >= trailing;
}

// Where the run of dots and blanks that ends the name begins.
size_t TrailingStart(const wchar_t* s, size_t n) {
  while (n > 0 && (s[n - 1] == L'.' || s[n - 1] == L' ')) --n;
  return n;
}

// Whether the part before the first dot (blanks after it ignored) is a
// device name.
bool IsDevice(const wchar_t* s) {
  size_t n = 0;
  while (s[n] && s[n] != L'.') ++n;
  while (n > 0 && s[n - 1] == L' ') --n;
  wchar_t base[5] = {};
  if (n != 3 && n != 4) return false;
  for (size_t i = 0; i < n; ++i) base[i] = static_cast<wchar_t>(towupper(s[i]));
  for (const wchar_t* d : {L"CON", L"PRN", L"AUX", L"NUL"})
    if (wcscmp(base, d) == 0) return true;
  return n == 4 && (wcsncmp(base, L"COM", 3) == 0 || wcsncmp(base, L"LPT", 3) == 0) && base[3] >= L'1' &&
         base[3] <= L'9';
}

uint32_t Crc32(const wchar_t* s) {
  const uint32_t bytes = tav::memory::checksize(wcslen(s) * sizeof(wchar_t));
  return CorvaneBinary::Crc32Binary_i(tav::binary::createfrompointer(s, bytes));
}

// A global-stack text of `units` units (terminator added).
wchar_t* NewText(size_t units) {
  auto* t = static_cast<wchar_t*>(tav::GStackAlloc(tav::memory::checksize((units + 1) * sizeof(wchar_t))));
  t[units] = 0;
  return t;
}

// --- the page plan ---

template <class T>
uint32_t Count(const List<T>* l) {
  uint32_t n = 0;
  for (; !l->Empty(); l = l->tail) ++n;
  return n;
}

// A can't-do message of a doctor and the set of the doctor's rules (bits in
// rule order) that forbade the duty it was made for: the same set gives the
// same message.
struct Message {
  uint64_t forbidding;
  const wchar_t* text;
};

struct Doctor {
  chain_ref ref;
  const wchar_t* name;
  const SList* groups;
  rule_check* rules;  // the stored rules of the doctor and the doctor's practices, readied
  uint32_t ruleCount;
  uint64_t slotPeriodOnly;  // the rules (bits below 63) that read a duty's slot-period alone
  const List<const struct Message*>* messages;  // can't-do messages met so far
  const wchar_t* file;  // null: no page (in no practice)
  bool written;
};
struct Practice {
  const wchar_t* name;
  const wchar_t* file;
};
struct Plan {
  const List<Practice*>* practices;
  const List<Doctor*>* doctors;
};

template <class T>
T* OnHeap(const T& v) {
  auto* p = static_cast<T*>(K::Memory::AllocHeap(sizeof(T)));
  *p = v;
  return p;
}

const SList* HeapCopyList(const tav::StringList* l) {
  ListBuilder<const wchar_t*> b(true);
  for (; !l->Empty(); l = l->tail) b.Add(tav::HeapCopy(l->head));
  return b.Finish();
}

// The file names taken in this run; a clash (ignoring case) gets "~2", ...
class FileNames {
 public:
  const wchar_t* Take(const wchar_t* name) {
    const wchar_t* base = tav::HeapCopy(publish_it::page_name(name));
    const wchar_t* file = base;
    for (uint32_t n = 2; Used(file); ++n) {
      wchar_t suffix[16];
      swprintf(suffix, 16, L"~%u", n);
      file = tav::HeapCopy(string::concat(base, suffix));
    }
    used_.Add(file);
    taken_ = nullptr;
    return file;
  }

 private:
  bool Used(const wchar_t* file) {
    if (!taken_) taken_ = used_.Finish();
    for (const SList* l = taken_; !l->Empty(); l = l->tail)
      if (CompareStringOrdinal(l->head, -1, file, -1, TRUE) == CSTR_EQUAL) return true;
    return false;
  }
  ListBuilder<const wchar_t*> used_{true};
  const SList* taken_ = nullptr;
};

const List<Doctor*>* ReadDoctors() {
  ListBuilder<Doctor*> b(true);
  staff_db::nd_person([&](const PersonTerm* p) {
    b.Add(OnHeap(Doctor{p->ref, tav::HeapCopy(p->dat->name), HeapCopyList(p->dat->groups), nullptr, 0, 0, nullptr,
                        nullptr, false}));
    K::Fail();
  });
  return b.Finish();
}

bool InPractice(const Doctor* d, const Practice* p) { return groups::member(p->name, d->groups); }

// Every stored can't-do rule, on the heap.
const List<const WhichRuleTerm*>* ReadRules() {
  ListBuilder<const WhichRuleTerm*> b(true);
  sc_rules::nd_which_rule([&](stored_rule s) {
    b.Add(reinterpret_cast<const WhichRuleTerm*>(Qel::RunTime::Terms::CopyTermFromGStack(
        tav::D(domains::which_rule), reinterpret_cast<Qel::RunTime::Terms::term>(s.rule))));
    K::Fail();
  });
  return b.Finish();
}

// The rules (bits below 63, in order) that read a duty's slot-period alone.
uint64_t SlotPeriodOnly(const Doctor* d) {
  uint64_t bits = 0;
  for (uint32_t i = 0; i < 63 && i < d->ruleCount; ++i)
    if (sc_rules::reads_slot_period_only(d->rules[i].rule->type)) bits |= uint64_t{1} << i;
  return bits;
}

// The rules that the rule check reads for the doctor: the doctor's own and
// those of the doctor's practices, readied for the run.
void ReadyRules(const List<const WhichRuleTerm*>* rules, Doctor* d) {
  ListBuilder<const RuleTerm*> b(true);
  for (; !rules->Empty(); rules = rules->tail) {
    const WhichRuleTerm* r = rules->head;
    const bool own = r->Kind() == who_kind::person_rule && wcscmp(r->name, d->name) == 0;
    if (own || (r->Kind() == who_kind::group_rule && groups::member(r->name, d->groups))) b.Add(r->rule);
  }
  const List<const RuleTerm*>* found = b.Finish();
  d->ruleCount = Count(found);
  d->rules = static_cast<rule_check*>(K::Memory::AllocHeap(tav::memory::checksize(uint64_t{d->ruleCount} * sizeof(rule_check) + 1)));
  for (uint32_t i = 0; i < d->ruleCount; ++i, found = found->tail) d->rules[i] = sc_rules::ready(found->head);
}

Plan MakePlan() {
  FileNames names;
  for (const wchar_t* fixed : {L"kalmora6", L"km6practices", L"km6staff", L"km6roster"}) names.Take(fixed);
  ListBuilder<Practice*> practices(true);
  for (const SList* g = groups::list_groups(); !g->Empty(); g = g->tail)
    practices.Add(OnHeap(Practice{tav::HeapCopy(g->head), names.Take(g->head)}));
  Plan plan{practices.Finish(), ReadDoctors()};
  const List<const WhichRuleTerm*>* rules = ReadRules();
  for (const List<Doctor*>* d = plan.doctors; !d->Empty(); d = d->tail) {
    ReadyRules(rules, d->head);
    d->head->slotPeriodOnly = SlotPeriodOnly(d->head);
    d->head->messages = rizediveva6::Nil<const Message*>();
  }
  for (const List<Practice*>* p = plan.practices; !p->Empty(); p = p->tail)
    for (const List<Doctor*>* d = plan.doctors; !d->Empty(); d = d->tail)
      if (!d->head->file && InPractice(d->head, p->head)) d->head->file = names.Take(d->head->name);
  return plan;
}

// --- writing ---

const wchar_t* FolderFile(const wchar_t* file) {
  const wchar_t* folder = options_db::publish_folder();
  const size_t n = wcslen(folder);
  return string::concat(folder, n > 0 && folder[n - 1] == L'\\' ? L"" : L"\\", file, L".html");
}

// Writes the page buffer as the page file `file` (without ".html").
void WritePage(const wchar_t* file) { htm::WritePage(tav::outputStream_file::create8(FolderFile(file))); }

void Link(const wchar_t* file, const wchar_t* text, const wchar_t* target) {
  htm::write_a_target(publish_it::page_href(file), text, target);
}

void FramesetPage() {
  htm::clear();
  htm::start_frame(L"kalmora6", L"");
  for (const wchar_t* line :
       {L"<frameset cols=\"20%,*\">", L"<frame src=\"km6practices.html\" name=\"ncentres\">",
        L"<frameset rows=\"10%,*\">", L"<frame src=\"km6staff.html\" frameborder=\"0\" name=\"nstaff\">",
        L"<frame src=\"km6roster.html\" frameborder=\"0\" name=\"nroster\">", L"</frameset>", L"</frameset>"})
    htm::assert_line(line);
  htm::end_frame();
  WritePage(L"kalmora6");
}

// A frame's page until a link fills it.
void StartingPage(const wchar_t* file, const wchar_t* title, const wchar_t* heading) {
  htm::clear();
  htm::start_page(title, L"");
  htm::write_big_str(heading);
  htm::end_page();
  WritePage(file);
}

void PracticesPage(const Plan& plan) {
  htm::clear();
  htm::start_page(L"kalmora6", L"");
  htm::write_big_str(L"kalmora6 Practices");
  for (const List<Practice*>* p = plan.practices; !p->Empty(); p = p->tail) {
    Link(p->head->file, p->head->name, L"nstaff");
    htm::write_br();
  }
  htm::write_big_str(L"");
  htm::write_a_target(kMaker.address, kMaker.name, L"nroster");
  htm::write_a_target(kMaker.address, L"kalmora6 Help (www)", L"nroster");
  htm::end_page();
  WritePage(L"km6practices");
}

void PracticePage(const Plan& plan, const Practice* p) {
  htm::clear();
  htm::start_page(L"kalmora6", L"");
  htm::write_big_str(p->name);
  for (const List<Doctor*>* d = plan.doctors; !d->Empty(); d = d->tail)
    if (InPractice(d->head, p)) Link(d->head->file, d->head->name, L"nroster");
  htm::end_page();
  WritePage(p->file);
}

// --- a doctor's roster page ---

struct Numbered {
  uint32_t count;
  const SList* names;
};
// What every roster page reads of the document, and what the pages share:
// the date text of each week (null until a row needs it) and the busy table
// that each page refills.
struct Roster {
  uint32_t weeks;
  Numbered slots, tasks, locs;
  const wchar_t** dates;
  const wchar_t** busy;  // by slot-period: week, then slot, then day
  uint64_t cells;
};

// A busy-table cell that the busy check answered "not busy".
constexpr wchar_t kNotBusy[] = L"";

// The busy-table cell of a slot-period; false outside the roster.
bool BusyCell(const Roster& r, const sp& at, uint64_t* index) {
  if (at.day < 1 || at.day > 7 || at.period < 1 || at.period > r.weeks || at.slot < 1 || at.slot > r.slots.count)
    return false;
  *index = ((uint64_t{at.period} - 1) * r.slots.count + (at.slot - 1)) * 7 + (at.day - 1);
  return true;
}

template <class T>
T* HeapArray(uint64_t count) {
  const uint32_t bytes = tav::memory::checksize(count * sizeof(T));
  auto* a = static_cast<T*>(K::Memory::AllocHeap(bytes));
  memset(a, 0, bytes);
  return a;
}

Numbered NumberedOf(const SList* names) { return Numbered{Count(names), names}; }

cell Label(const wchar_t* text, const wchar_t* cls) {
  cell c{};
  c.number = 1;
  c.def.kind = cell_def::label;
  c.def.text = text;
  c.def.name = c.def.attribute = L"";
  c.align = alignm::centre;
  c.id = cls;
  return c;
}

// The short header and class of day k of the roster week.
struct DayHeader {
  const wchar_t* full;
  const wchar_t* text;
  const wchar_t* cls;
};
constexpr DayHeader kDays[7] = {{L"Monday", L"Mon", L"mon"},   {L"Tuesday", L"Tue", L"tue"},
                                {L"Wednesday", L"Wed", L"wed"}, {L"Thursday", L"Thur", L"thu"},
                                {L"Friday", L"Fri", L"fri"},   {L"Saturday", L"Sat", L"sat"},
                                {L"Sunday", L"Sun", L"sun"}};
const DayHeader& HeaderOfDay(uint32_t k) {
  const wchar_t* name;
  if (rizediveva6::mytime::dayno_dayname(k, &name))
    for (const DayHeader& h : kDays)
      if (wcscmp(h.full, name) == 0) return h;
  return kDays[k - 1];
}

void HeaderRow() {
  cell row[9] = {Label(L"Date", L"date"), Label(L"Slot", L"date")};
  for (uint32_t k = 1; k <= 7; ++k) row[k + 1] = Label(HeaderOfDay(k).text, HeaderOfDay(k).cls);
  htm::write_tr();
  htm::do_row(row, 9);
  htm::write_tr_end();
}

// The task and location of the doctor's duty in exactly this slot-period.
bool BusyText(const Doctor* d, const sp& at, const wchar_t** text) {
  const ReasonTerm* busy = sc_assign::person_is_busy_sp(d->ref, at, rizediveva6::Nil<const wchar_t*>());
  if (busy->Kind() != reason_kind::cant_assign_reason ||
      busy->assign->functor != static_cast<uint64_t>(assign_reason_kind::is_busy))
    return false;
  const DutyTerm* duty = sc_phase1::get_duty_by_ref(busy->assign->ref);
  if (!(SpOf(duty->dat->at) == at)) return false;
  *text = string::concat(tasks::get_task_name(duty->dat->task), L" ", locations::get_where_name(duty->dat->where));
  return true;
}

// The doctor's rules that forbid the duty, as bits in rule order (0: the
// rule check allows it).
uint64_t Forbidding(const Doctor* d, const DutyDatTerm* duty) {
  uint64_t bits = 0;
  for (uint32_t i = 0; i < d->ruleCount; ++i)
    if (sc_rules::rule_forbids(duty, &d->rules[i])) bits |= uint64_t{1} << (i < 63 ? i : 63);
  return bits;
}

// Whether one of the doctor's rules forbids the duty.  The rule that forbade
// the duty before (*last) is asked first: the duties of one slot-period are
// mostly forbidden by the same rule.
bool Forbidden(const Doctor* d, const DutyDatTerm* duty, uint32_t* last) {
  if (*last < d->ruleCount && sc_rules::rule_forbids(duty, &d->rules[*last])) return true;
  for (uint32_t i = 0; i < d->ruleCount; ++i)
    if (i != *last && sc_rules::rule_forbids(duty, &d->rules[i])) {
      *last = i;
      return true;
    }
  return false;
}

// The rule check's message for a forbidden duty; kept per set of forbidding
// rules while a doctor has no more than 63 rules.
const wchar_t* MessageFor(Doctor* d, const DutyDatTerm* duty, uint64_t forbidding) {
  const bool kept = d->ruleCount <= 63;
  if (kept)
    for (const List<const Message*>* m = d->messages; !m->Empty(); m = m->tail)
      if (m->head->forbidding == forbidding) return m->head->text;
  const PgTerm who{static_cast<uint64_t>(pg_kind::p), {d->ref}};
  const ReasonTerm* v = sc_rules::rule_allows_it(duty, &who);
  if (v->Kind() != reason_kind::cant_rule_reason ||
      v->rule->functor != static_cast<uint64_t>(rule_reason_kind::cant_do_it))
    return kDots;
  const wchar_t* text = tav::HeapCopy(v->rule->text);
  if (kept) {
    auto* cell = static_cast<List<const Message*>*>(K::Memory::AllocHeap(sizeof(List<const Message*>)));
    *cell = List<const Message*>{1, OnHeap(Message{forbidding, text}), d->messages};
    d->messages = cell;
  }
  return text;
}

// Dots when some task at some location is allowed, else the can't-do
// message of the first pair, else dots.  A rule of the slot-period alone
// that forbids the first pair forbids them all.
const wchar_t* RuleText(const Roster& r, Doctor* d, const sp& at) {
  const SpTerm spt{1, at.day, at.period, at.slot};
  if (r.tasks.count == 0 || r.locs.count == 0) return kDots;
  const DutyDatTerm first{1, &spt, 1, 1, &kFalse};
  const uint64_t forbidding = Forbidding(d, &first);
  if (!forbidding) return kDots;
  if (forbidding & d->slotPeriodOnly) return MessageFor(d, &first, forbidding);
  uint32_t last = d->ruleCount;  // none yet
  for (uint32_t task = 1; task <= r.tasks.count; ++task)
    for (uint32_t where = task == 1 ? 2 : 1; where <= r.locs.count; ++where) {
      const DutyDatTerm duty{1, &spt, where, task, &kFalse};
      if (!Forbidden(d, &duty, &last)) return kDots;
    }
  return MessageFor(d, &first, forbidding);
}

// Fills the busy table for the doctor: the busy check's text for the
// slot-period of each of the doctor's assignments.
void FillBusy(const Roster& r, const Doctor* d) {
  memset(r.busy, 0, r.cells * sizeof *r.busy);
  uint8_t* mark = K::Memory::MarkGStack();
  for (const List<rizediveva6::KeyRef>* e = sc_assign::entries_of(d->ref); !e->Empty(); e = e->tail) {
    const DutyTerm* duty;
    uint64_t i;
    if (!sc_phase1::get_duty_by_key(e->head.key, &duty) || !BusyCell(r, SpOf(duty->dat->at), &i) || r.busy[i])
      continue;
    const wchar_t* text;
    r.busy[i] = BusyText(d, SpOf(duty->dat->at), &text) ? tav::HeapCopy(text) : kNotBusy;
  }
  K::Memory::ReleaseGStack(mark);
}

const wchar_t* DayText(const Roster& r, Doctor* d, const sp& at) {
  uint64_t i;
  const wchar_t* busy = BusyCell(r, at, &i) ? r.busy[i] : nullptr;
  return busy && busy != kNotBusy ? busy : RuleText(r, d, at);
}

// The date of day 1 of the week, as the date cells show it.
const wchar_t* WeekDate(const Roster& r, uint32_t week, uint32_t slot) {
  const wchar_t*& date = r.dates[week - 1];
  if (!date) date = tav::HeapCopy(rizediveva6::mytime::dt_str(kalmora_DB::sp_dt(sp{1, week, slot})));
  return date;
}

void SlotRow(const Roster& r, Doctor* d, uint32_t week, uint32_t slot, const wchar_t* slotName) {
  uint8_t* mark = K::Memory::MarkGStack();
  cell row[9] = {Label(WeekDate(r, week, slot), L"mon"), Label(slotName, L"slotname")};
  for (uint32_t day = 1; day <= 7; ++day) row[day + 1] = Label(DayText(r, d, sp{day, week, slot}), L"cell");
  htm::write_tr();
  htm::do_row(row, 9);
  htm::write_tr_end();
  K::Memory::ReleaseGStack(mark);
}

void DoctorPage(const Roster& r, Doctor* d) {
  htm::clear();
  htm::start_page(L"Roster", L"");
  htm::write_big_str(d->name);
  htm::write_table(1, 1, 1, 100);
  HeaderRow();
  FillBusy(r, d);
  const cell spacer = Label(kSpacer, L"space");
  for (uint32_t week = 1; week <= r.weeks; ++week) {
    if (r.slots.count != 1) {
      htm::write_tr();
      htm::do_row(&spacer, 1);
      htm::write_tr_end();
    }
    uint32_t slot = 0;
    for (const SList* s = r.slots.names; !s->Empty(); s = s->tail) SlotRow(r, d, week, ++slot, s->head);
  }
  htm::write_table_end();
  htm::end_page();
  WritePage(d->file);
}

}  // namespace

const wchar_t* publish_it::page_name(const wchar_t* name) {
  const size_t n = wcslen(name);
  if (n == 0) return L"~";
  const size_t trailing = TrailingStart(name, n);
  size_t units = 0;
  for (size_t i = 0; i < n; ++i) units += Unsafe(name, i, n, trailing) ? 5 : 1;
  const bool device = IsDevice(name);
  wchar_t* out = NewText(units + (device ? 1 : 0));
  wchar_t* o = out;
  if (device) *o++ = L'~';
  for (size_t i = 0; i < n; ++i) {
    if (!Unsafe(name, i, n, trailing)) {
      *o++ = name[i];
      continue;
    }
    swprintf(o, 6, L"~%04X", static_cast<unsigned>(name[i]));
    o += 5;
  }
  *o = 0;
  if (static_cast<size_t>(o - out) <= kMaxName) return out;
  // Cut, keeping a surrogate pair whole, and mark with the name's CRC-32.
  const size_t cut = High(out[kCutName - 1]) ? kCutName - 1 : kCutName;
  swprintf(out + cut, 10, L"~%08X", Crc32(name));
  return out;
}

const wchar_t* publish_it::page_href(const wchar_t* pageName) {
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, pageName, -1, nullptr, 0, nullptr, nullptr);
  auto* utf8 = static_cast<char*>(tav::GStackAlloc(static_cast<uint32_t>(bytes > 0 ? bytes : 1)));
  utf8[0] = 0;
  if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, pageName, -1, utf8, bytes, nullptr, nullptr);
  wchar_t* out = NewText(3 * strlen(utf8) + 5);
  wchar_t* o = out;
  for (const unsigned char* c = reinterpret_cast<const unsigned char*>(utf8); *c; ++c) {
    const bool alnum = (*c >= '0' && *c <= '9') || (*c >= 'A' && *c <= 'Z') || (*c >= 'a' && *c <= 'z');
    if (alnum || strchr("-._~", *c)) {
      *o++ = *c;
    } else {
      swprintf(o, 4, L"%%%02X", *c);
      o += 3;
    }
  }
  wcscpy(o, L".html");
  return out;
}

void publish_it::do_publish() {
  if (!kalmora_DB::is_init()) return rizediveva6::myKWI::note(L"No roster open");
  rizediveva6::wyn::open_a_file(write_pages());
}

const wchar_t* publish_it::write_pages() {
  const Plan plan = MakePlan();
  Roster roster{kalmora_DB::get_weeks_duration(), NumberedOf(kalmora_DB::get_list_slots()),
                NumberedOf(tasks::list_tasks()), NumberedOf(locations::list_locs()), nullptr, nullptr, 0};
  roster.cells = uint64_t{roster.weeks} * roster.slots.count * 7;
  roster.dates = HeapArray<const wchar_t*>(roster.weeks);
  roster.busy = HeapArray<const wchar_t*>(roster.cells);
  FramesetPage();
  StartingPage(L"km6staff", L"kalmora6", L"Choose a practice");
  StartingPage(L"km6roster", L"Roster", L"Choose a doctor");
  PracticesPage(plan);
  for (const List<Practice*>* p = plan.practices; !p->Empty(); p = p->tail) PracticePage(plan, p->head);
  for (const List<Practice*>* p = plan.practices; !p->Empty(); p = p->tail)
    for (const List<Doctor*>* d = plan.doctors; !d->Empty(); d = d->tail)
      if (!d->head->written && InPractice(d->head, p->head)) {
        DoctorPage(roster, d->head);
        d->head->written = true;
      }
  return FolderFile(L"kalmora6");
}

}  // namespace all
