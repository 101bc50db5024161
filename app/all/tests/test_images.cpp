// Stored record types: each term made by the runtime's image writer equals
// an image laid out here by hand from the 32-bit layout (4-byte slots and
// alignment, u32 offsets, the slot table at the end), references included,
// and each image reads back to an equal term.
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "all_test.h"
#include "kalmoradb/roster_types.h"
#include "rulesPack/sc_rules.h"
#include "qel6run_db.h"

using namespace alltest;
namespace T = Qel::RunTime::Terms;

namespace {

// An image written by hand: blocks in writing order, each 4-aligned; a slot
// is patched with the offset of the block placed after Point(slot).
class HandImage {
 public:
  size_t U32(uint32_t v) {
    Align();
    const size_t at = data_.size();
    Put(&v, 4);
    return at;
  }
  size_t I32(int32_t v) { return U32(static_cast<uint32_t>(v)); }
  size_t Slot() { return U32(0); }
  void F64(double v) { Put(&v, 8); }
  // A character cell: the UTF-16 unit in a 4-byte slot.
  void Char(wchar_t c) { U32(static_cast<uint16_t>(c)); }
  // The next block is what `slot` points at.
  void Point(size_t slot) {
    Align();
    const uint32_t target = static_cast<uint32_t>(data_.size());
    memcpy(&data_[slot], &target, 4);
    table_.push_back(static_cast<uint32_t>(slot));
  }
  void Wide(const std::wstring& s) {
    Align();
    Put(s.c_str(), 2 * (s.size() + 1));
  }
  // The whole image: the length word, the data, the slot table and its count.
  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> out;
    out.reserve(4 + data_.size() + 4 * (table_.size() + 1));
    Append(&out, 0);
    out.insert(out.end(), data_.begin(), data_.end());
    for (uint32_t s : table_) Append(&out, s);
    Append(&out, static_cast<uint32_t>(table_.size()));
    const uint32_t n = static_cast<uint32_t>(out.size());
    memcpy(out.data(), &n, 4);
    return out;
  }

 private:
  void Align() { data_.resize((data_.size() + 3) & ~size_t{3}); }
  void Put(const void* p, size_t n) {
    auto* b = static_cast<const uint8_t*>(p);
    data_.insert(data_.end(), b, b + n);
  }
  static void Append(std::vector<uint8_t>* out, uint32_t v) {
    auto* b = reinterpret_cast<const uint8_t*>(&v);
    out->insert(out->end(), b, b + 4);
  }
  std::vector<uint8_t> data_;
  std::vector<uint32_t> table_;
};

std::vector<uint8_t> Written(const IDomainDefinition* d, T::term t) {
  T::TBinary b = T::ToBinary(d, t);
  uint32_t n;
  memcpy(&n, b - 4, 4);
  return std::vector<uint8_t>(b - 4, b - 4 + n);
}

const tav::ConstantTerm* Const(uint64_t n) { return tav::Constant(n); }
const tav::BooleanTerm* Bool(bool b) { return OnStack(tav::BooleanTerm{b ? 2u : 1u}); }

class Images : public Model {};

struct Case {
  const char* what;
  const IDomainDefinition* d;
  const void* term;
  std::vector<uint8_t> image;
};

TEST_F(Images, EachStoredRecordIsTheHandLaidImageAndReadsBack) {
  constexpr chain_ref kRefA = 0x00012A40, kRefB = 0x7FFF0104;
  std::vector<Case> cases;
  ASSERT_EQ(CodeOf([&] {
    {
      HandImage h;  // dt(2026, 12, 25)
      h.U32(1), h.U32(2026), h.U32(12), h.U32(25);
      cases.push_back({"dt", D(all::domains::dt), MakeDt(dt{2026, 12, 25}), h.Bytes()});
    }
    {
      HandImage h;  // sd(7, 2)
      h.U32(1), h.U32(7), h.U32(2);
      cases.push_back({"sd", D(all::domains::sd), MakeSd(sd{7, 2}), h.Bytes()});
    }
    {
      HandImage h;  // a weekend entry, slot 10 first: the same bytes as an sd
      h.U32(1), h.U32(10), h.U32(7);
      cases.push_back({"weekend sd", D(all::domains::weekend_sd), MakeWeekendSd(10, 7), h.Bytes()});
    }
    {
      HandImage h;  // tls(2, 1, 3)
      h.U32(1), h.U32(2), h.U32(1), h.U32(3);
      cases.push_back({"tls", D(all::domains::tls), MakeTls(tls{2, 1, 3}), h.Bytes()});
    }
    {
      HandImage h;  // dt_duty(dt(2027, 1, 1), 5, tls(1, 2, 3))
      h.U32(1);
      size_t date = h.Slot();
      h.U32(5);
      size_t duty = h.Slot();
      h.Point(date), h.U32(1), h.U32(2027), h.U32(1), h.U32(1);
      h.Point(duty), h.U32(1), h.U32(1), h.U32(2), h.U32(3);
      cases.push_back({"dt_duty", D(all::domains::dt_duty),
                       OnStack(DtDutyTerm{1, MakeDt(dt{2027, 1, 1}), 5, MakeTls(tls{1, 2, 3})}),
                       h.Bytes()});
    }
    {
      // person(kRefA, person_dat("Änne 😀", ["Grüne"], -5, 'Ä', exists))
      const wchar_t* name = L"\u00C4nne \U0001F600";
      HandImage h;
      h.U32(1), h.I32(kRefA);
      size_t dat = h.Slot();
      h.Point(dat), h.U32(1);
      size_t nameSlot = h.Slot(), groups = h.Slot();
      h.I32(-5), h.Char(L'\u00C4');
      size_t del = h.Slot();
      h.Point(nameSlot), h.Wide(name);
      h.Point(groups), h.U32(1);
      size_t head = h.Slot(), tail = h.Slot();
      h.Point(head), h.Wide(L"Gr\u00FCne");
      h.Point(tail), h.U32(2);
      h.Point(del), h.U32(2);
      auto* pd = OnStack(PersonDatTerm{1, name, tav::MakeStringList({L"Gr\u00FCne"}), -5, L'\u00C4',
                                       Const(kExists)});
      cases.push_back({"person", D(all::domains::person), OnStack(PersonTerm{1, kRefA, pd}), h.Bytes()});
    }
    {
      // duty_to_be_done(kRefB, duty_to_be_done_dat(sp(3, 2, 1), 2, 1, true))
      HandImage h;
      h.U32(1), h.I32(kRefB);
      size_t dat = h.Slot();
      h.Point(dat), h.U32(1);
      size_t at = h.Slot();
      h.U32(2), h.U32(1);
      size_t changed = h.Slot();
      h.Point(at), h.U32(1), h.U32(3), h.U32(2), h.U32(1);
      h.Point(changed), h.U32(2);
      auto* dd = OnStack(DutyDatTerm{1, MakeSp(sp{3, 2, 1}), 2, 1, Bool(true)});
      cases.push_back({"duty_to_be_done", D(all::domains::duty_to_be_done),
                       OnStack(DutyTerm{1, kRefB, dd}), h.Bytes()});
    }
    {
      // tie_dom(kRefA, tie_dat(group_tie("Grp"), K1, K2,
      //         rpnt2(rpnt(1.5, 2.5), rpnt(3.25, -4.0)), must_not_do, repeat_day, just_day))
      const wchar_t *k1 = L"[101,11,11,1,1]", *k2 = L"[102,12,17,2,10]";
      HandImage h;
      h.U32(1), h.I32(kRefA);
      size_t dat = h.Slot();
      h.Point(dat), h.U32(1);
      size_t who = h.Slot(), first = h.Slot(), second = h.Slot(), drawn = h.Slot(),
             tieDo = h.Slot(), repeat = h.Slot(), spec = h.Slot();
      h.Point(who), h.U32(2);
      size_t grp = h.Slot();
      h.Point(grp), h.Wide(L"Grp");
      h.Point(first), h.Wide(k1);
      h.Point(second), h.Wide(k2);
      h.Point(drawn), h.U32(1);
      size_t from = h.Slot(), to = h.Slot();
      h.Point(from), h.U32(1), h.F64(1.5), h.F64(2.5);
      h.Point(to), h.U32(1), h.F64(3.25), h.F64(-4.0);
      h.Point(tieDo), h.U32(2);
      h.Point(repeat), h.U32(2);
      h.Point(spec), h.U32(3);
      auto* td = OnStack(TieDatTerm{
          1, OnStack(WhichTieTerm{2, L"Grp"}), k1, k2,
          OnStack(Rpnt2Term{1, OnStack(RpntTerm{1, 1.5, 2.5}), OnStack(RpntTerm{1, 3.25, -4.0})}),
          Const(2), Const(2), Const(3)});
      cases.push_back({"tie_dom", D(all::domains::tie_dom), OnStack(TieDomTerm{1, kRefA, td}), h.Bytes()});
    }
    {
      // p_loading(day_slot(2, 3), "Dr Ö", 0.25, 7): the real at a 4-aligned offset
      HandImage h;
      h.U32(1);
      size_t kind = h.Slot(), name = h.Slot();
      h.F64(0.25);
      h.U32(7);
      h.Point(kind), h.U32(5), h.U32(2), h.U32(3);
      h.Point(name), h.Wide(L"Dr \u00D6");
      cases.push_back({"p_loading", D(all::domains::loading),
                       OnStack(LoadingTerm{1, MakeWhatStat(stat_kind::day_slot, 2, 3), L"Dr \u00D6", 0.25, 7}),
                       h.Bytes()});
    }
    {
      HandImage h;  // what_stat total: alternative 1
      h.U32(1);
      cases.push_back({"total", D(all::domains::what_stat), MakeWhatStat(stat_kind::total), h.Bytes()});
    }
    {
      HandImage h;  // what_stat day_slot(7, 10): alternative 5
      h.U32(5), h.U32(7), h.U32(10);
      cases.push_back({"day_slot", D(all::domains::what_stat), MakeWhatStat(stat_kind::day_slot, 7, 10),
                       h.Bytes()});
    }
    {
      // person_rule("Ann", rule(true, r_slot(2), i_cant_do))
      HandImage h;
      h.U32(2);
      size_t name = h.Slot(), rule = h.Slot();
      h.Point(name), h.Wide(L"Ann");
      h.Point(rule), h.U32(1);
      size_t inForce = h.Slot(), type = h.Slot(), canDo = h.Slot();
      h.Point(inForce), h.U32(2);
      h.Point(type), h.U32(1), h.U32(2);
      h.Point(canDo), h.U32(1);
      cases.push_back({"person_rule", D(all::domains::which_rule),
                       MakeWhichRule(rule_value{who_kind::person_rule, L"Ann", true, rule_kind::r_slot, 2, nullptr,
                                                can_do_kind::i_cant_do}),
                       h.Bytes()});
    }
    {
      // group_rule("Nörd", rule(false, r_dtbd("[104,12,17,2,10]"), i_can_do))
      const wchar_t* key = L"[104,12,17,2,10]";
      HandImage h;
      h.U32(1);
      size_t name = h.Slot(), rule = h.Slot();
      h.Point(name), h.Wide(L"N\u00F6rd");
      h.Point(rule), h.U32(1);
      size_t inForce = h.Slot(), type = h.Slot(), canDo = h.Slot();
      h.Point(inForce), h.U32(1);
      h.Point(type), h.U32(6);
      size_t keySlot = h.Slot();
      h.Point(keySlot), h.Wide(key);
      h.Point(canDo), h.U32(2);
      cases.push_back({"group_rule", D(all::domains::which_rule),
                       MakeWhichRule(rule_value{who_kind::group_rule, L"N\u00F6rd", false, rule_kind::r_dtbd, 0, key,
                                                can_do_kind::i_can_do}),
                       h.Bytes()});
    }
    {
      HandImage h;  // r_period(104): alternative 3
      h.U32(1);
      size_t name = h.Slot(), rule = h.Slot();
      h.Point(name), h.Wide(L"");
      h.Point(rule), h.U32(1);
      size_t inForce = h.Slot(), type = h.Slot(), canDo = h.Slot();
      h.Point(inForce), h.U32(2);
      h.Point(type), h.U32(3), h.U32(104);
      h.Point(canDo), h.U32(1);
      cases.push_back({"week rule", D(all::domains::which_rule),
                       MakeWhichRule(rule_value{who_kind::group_rule, L"", true, rule_kind::r_period, 104, nullptr,
                                                can_do_kind::i_cant_do}),
                       h.Bytes()});
    }
    for (uint64_t n : {kDeleted, kExists}) {
      HandImage h;  // deleted: alternative 1, exists: 2
      h.U32(static_cast<uint32_t>(n));
      cases.push_back({n == kDeleted ? "deleted" : "exists", D(all::domains::deleted_or_not), Const(n),
                       h.Bytes()});
    }
  }), 0u);

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> written;
    ASSERT_EQ(CodeOf([&] { written = Written(c.d, static_cast<T::term>(c.term)); }), 0u);
    EXPECT_EQ(written, c.image);
    // The hand-laid image reads back to an equal term.
    std::vector<uint8_t> copy = c.image;
    T::term back = nullptr;
    ASSERT_EQ(CodeOf([&] { back = T::FromBinary(c.d, copy.data() + 4); }), 0u);
    EXPECT_EQ(T::CompareTerms(c.d, back, static_cast<T::term>(c.term)), 0);
  }
}

TEST_F(Images, RangedFieldsAreCheckedWhenATermIsMade) {
  struct Bad {
    const char* what;
    std::function<void()> make;
  };
  const Bad bad[] = {
      {"day 8", [] { MakeSp(sp{8, 1, 1}); }},
      {"period 105", [] { MakeSp(sp{1, 105, 1}); }},
      {"period 0", [] { MakeSp(sp{1, 0, 1}); }},
      {"slot 11", [] { MakeSp(sp{1, 1, 11}); }},
      {"task 11", [] { MakeTls(tls{11, 1, 1}); }},
      {"location 0", [] { MakeTls(tls{1, 0, 1}); }},
      {"weekend slot 11", [] { MakeWeekendSd(11, 1); }},
      {"year 2051", [] { MakeDt(dt{2051, 1, 1}); }},
      {"year 1949", [] { MakeDt(dt{1949, 12, 31}); }},
      {"day_slot slot 0", [] { MakeWhatStat(stat_kind::day_slot, 1, 0); }},
  };
  for (const Bad& b : bad) {
    SCOPED_TRACE(b.what);
    EXPECT_TRUE(IsRangeError(CodeOf(b.make)));
  }
  // The weekend entry holds slots 8..10 (the day-slot type refuses them as days).
  EXPECT_EQ(CodeOf([] { MakeWeekendSd(10, 7); }), 0u);
  EXPECT_TRUE(IsRangeError(CodeOf([] { MakeSd(sd{8, 1}); })));
}

}  // namespace
