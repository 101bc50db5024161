// sc_build_nth: see the header.
#include "SYSTEM/mychaindb/sc_build_nth.h"

#include <cwchar>

#include "SYSTEM/myKWI/myKWI.h"

namespace rizediveva6 {

using namespace tav;
using tav::chainDB;

const ClassInfo sc_build_nth::classInfo{L"qel6pack/chainDB/sc_build_nth", TAV_CLASS_VERSION};

namespace {

const wchar_t* Decimal(int64_t v) {
  wchar_t buffer[24];
  swprintf(buffer, 24, L"%lld", static_cast<long long>(v));
  return HeapCopy(buffer);
}

// Inserts the next item's key, counting from 10001.
class Numbering {
 public:
  Numbering(x_direction direction, bt* target) : direction_(direction), target_(target) {}
  void Add(int32_t ref) {
    const int64_t n = ++count_;
    target_->kee_insert(Decimal(direction_.backwards ? int64_t{direction_.top} - n + 10000 : n), ref);
  }

 private:
  x_direction direction_;
  bt* target_;
  int64_t count_ = 10000;
};

}  // namespace

void sc_build_nth::build_using_index_base_10000(x_direction direction, bt* target, bt* source) {
  target->beet_clear();
  int32_t ref;
  const wchar_t* key;
  if (!source->kee_first(&ref) || !source->kee_current(&key, &ref)) return;
  Numbering numbering(direction, target);
  source->nd_kee1([&](KeyRef e) {
    numbering.Add(e.ref);
    K::Fail();
  });
}

void sc_build_nth::build_using_chain_term(x_direction direction, bt* target, RefEnumerator enumerator) {
  target->beet_clear();
  Numbering numbering(direction, target);
  K::Succeeds([&] {
    enumerator([&](int32_t ref) {
      numbering.Add(ref);
      K::Fail();
    });
    K::Fail();
  });
}

bool sc_build_nth::get_nth_ref(int32_t n, bt* index, int32_t* ref) {
  return index->kee_search(Decimal(int64_t{n} + 10000), ref);
}

int32_t sc_build_nth::ref_is_nth(int32_t ref, bt* index) {
  int32_t first;
  int32_t position = 0, found = 0;
  if (index->kee_first(&first))
    index->nd_kee1([&](KeyRef e) {
      ++position;
      if (e.ref != ref) K::Fail();
      found = position;
    });
  if (!found) myKWI::error(L"Error 4330 in sc_build_nth");
  return found;
}

}  // namespace rizediveva6
