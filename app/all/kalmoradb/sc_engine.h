// sc_engine: one run of the rostering engine.  It gives the unassigned
// dated duties to doctors through the assignment gate: a rapid pass to
// random doctors, two main passes driven by the weekend loadings, and on
// request a force pass.
//
// Invariants:
//  - The object and every member that holds a collected pointer live on the
//    collected heap; the candidate lists are arrays there, the duty keys
//    and numbers in blocks without pointers.
//  - The three candidate lists are always emptied together.  The
//    unassigned duties are also chained per (category, week, day) in list
//    order, so the first entry of a triple is the head of its chain; the
//    owed duties are served from their head.  A sweep that assigns nothing
//    drops the head doctor's owed duties: the next sweep would be refused
//    the same.
//  - A refused offer is remembered on its duty with the store epoch; the
//    epoch moves on with every accepted assignment, every collection and
//    every event round that had input to dispatch, so a remembered refusal
//    is what the gate would answer again.
//  - Events are processed at most once per 10 ms of run time; the progress
//    text of an assignment is written only when a round follows it.  After each
//    round the engine checks the progress window (its failure sets the
//    stop flag) and that the document it started on is still the open one.
//  - Once the stop flag is set every pass ends at its next check; the end
//    path (window closed, retract_engine, refresh) always runs, also when an
//    error ends the run, which is raised again afterwards.
#pragma once

#include <cstdint>
#include <cstring>

#include "kalmoradb/stats_pack/totals.h"
#include "phase1/sc_phase1.h"

namespace rizediveva6 {
class stop;
}

namespace all {

// The engine's two categories: weekend(1) for weekend slot-periods,
// weekend(0) for all others.
inline what_stat weekend_stat(uint32_t w) { return what_stat{stat_kind::weekend, w}; }

struct unass_entry {
  uint32_t weekend, period, day;
  duty_key key;
  uint32_t next;  // the next entry of the same (category, week, day); kNone at the end
  // The doctor the gate last refused this duty to, and the store epoch of
  // that answer: while nothing changed, the same offer gets the same answer.
  chain_ref refused_by;
  uint32_t refused_epoch;
};
struct engine_loading {
  uint32_t weekend;
  const wchar_t* name;  // heap copy
  double fraction;
};
struct already_entry {
  const wchar_t* name;
  chain_ref doctor;
  uint32_t total, assigned;
};
struct owed_entry {
  uint32_t weekend;
  chain_ref doctor;
};

// What a run did, for the benchmark.
struct engine_figures {
  uint64_t candidates = 0, event_rounds = 0;
  double event_seconds = 0, rapid_seconds = 0, main_seconds = 0, force_seconds = 0;
};

// A growable array on the collected heap; elements have no destructors.
// Removals from the front only move `head`.
template <class T>
struct heap_array {
  T* items = nullptr;
  uint32_t head = 0, size = 0, capacity = 0;
  bool atomic = true;  // false when T holds collected pointers
  void push(const T& v);
  void clear() { head = size = 0; }
  bool empty() const { return head == size; }
};

template <class T>
void heap_array<T>::push(const T& v) {
  if (size == capacity) {
    const uint64_t grown = capacity ? uint64_t(capacity) * 2 : 64;
    const uint64_t bytes = grown * sizeof(T);
    if (bytes > UINT32_MAX) tav::RaiseIntegerOverflow();
    T* bigger = static_cast<T*>(atomic ? tav::K::Memory::AllocAtomicHeap(uint32_t(bytes))
                                       : tav::K::Memory::AllocHeap(uint32_t(bytes)));
    if (size) memcpy(bigger, items, size * sizeof(T));
    items = bigger;
    capacity = uint32_t(grown);
  }
  items[size++] = v;
}

class sc_engine {
 public:
  static const tav::ClassInfo classInfo;
  static constexpr uint32_t kNone = UINT32_MAX;

  // A new engine with its progress window on screen.
  static sc_engine* new_engine();
  // The same without a window (its progress is then not shown).
  static sc_engine* new_windowless();

  virtual void fill_empties(bool force);
  virtual void stop_generating();

  // --- candidate lists and quotas ---
  void prepare_unassigned();
  void f_store_all_unsassigned_duties();
  void prepare_loading(const what_stat& category);
  bool get_already_assigned(const wchar_t* name, already_entry* out) const;
  void add_duties_to_be_assigned(uint32_t weekend, int32_t count, chain_ref doctor);
  bool get_unass(uint32_t weekend, uint32_t period, uint32_t day, duty_key* key) const;
  bool get_to_be_assigned(owed_entry* out) const;
  uint32_t get_count_unassigned() const { return xcount_unassigned; }
  void reset_unassigned_count(uint32_t assigned, uint32_t count);
  // The quotas of a category: ndb_already_assigned, then ndb_to_be_assigned.
  void make_quotas(do_what_stat doWhat, const what_stat& category);

  // --- passes ---
  void rapid_regular_fill();
  bool try_ass(const wchar_t* key);
  void calc_tots_and_fill();
  void fill_unass_duts();
  void fill(do_what_stat doWhat, const what_stat& category);
  void assign_one();
  bool try_assign(uint32_t weekend, chain_ref doctor, const duty_key& key);
  void force_last_ones();
  // ndb: the days 1 to 7 in a fresh random order.
  void build_random();
  // The sweeps of a category fill for a count of unassigned duties.
  static uint32_t sweeps(uint32_t unassigned);

  // --- state, read by tests and the benchmark ---
  heap_array<unass_entry> ndb_unass;
  heap_array<already_entry> ndb_already_assigned;
  heap_array<owed_entry> ndb_to_be_assigned;
  heap_array<engine_loading> ndb_loading;
  uint32_t xassigned = 0;
  uint32_t xcount_unassigned = 0;
  bool boo_stop_generating = false;
  rizediveva6::stop* db_stop = nullptr;
  uint32_t ndb[7] = {};
  totals* xtotals = nullptr;  // set by each pass before it reads it
  engine_figures figures;

  // xtotals; a run-time error before it was ever set.
  totals* get_xtotals() const;

 private:
  sc_engine() = default;
  // Processes events when 10 ms have passed since the last round (and
  // then sets *ran); false when the run must stop.
  bool events_round(bool* ran = nullptr);
  bool doctor_reads(chain_ref doctor);
  // Whether the doctor holds fewer of the roster's assigned duties than
  // `first` (the rapid pass's test).
  bool holds_fewer(chain_ref doctor, uint32_t first);
  void end_path();
  void index_unass(uint32_t at);
  uint32_t* chain_head(uint32_t weekend, uint32_t period, uint32_t day) const;
  void pop_unass(uint32_t weekend, uint32_t period, uint32_t day);
  // One sweep over the (day, week) positions in the drawn day order.
  void sweep_positions();
  // Removes the owed duties of the doctor at the queue's head.
  void drop_head_doctor();

  tav::chainDB* xdb = nullptr;  // the document the run started on
  uint32_t xweeks = 0;
  uint32_t* xheads = nullptr;  // chain heads, 2 × weeks × 7
  uint32_t* xtails = nullptr;
  int64_t xlast_events = 0;   // performance counter of the last round
  int64_t xfrequency = 1;
  uint32_t xepoch = 1;
  uint64_t xaccepted = 0;  // candidates accepted in this run
  uint32_t xrapid_first = 0;  // the roster's assigned duties before the current duty
  chain_ref xread_doctor = 0;  // the doctor last found readable, in epoch xread_epoch
  uint32_t xread_epoch = 0;
};

}  // namespace all
