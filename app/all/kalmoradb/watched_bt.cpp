// The watched tree: bt's writers, each followed by its report.
#include "kalmoradb/watched_bt.h"

#include "phase1/sc_phase1.h"
#include "stream/stream.h"

namespace all {

using rizediveva6::bt;
using rizediveva6::bt_class_state;

namespace {

class watched final : public bt {
 public:
  const bt_watch* watch = nullptr;

  void kee_insert(const wchar_t* key, int32_t ref) override {
    const bool open = IsOpen();
    bt::kee_insert(key, ref);
    if (open) watch->inserted(key, ref);
  }
  void kee_delete(const wchar_t* key, int32_t ref) override {
    const bool open = IsOpen();
    bt::kee_delete(key, ref);
    if (open) watch->deleted(key);
  }
  bool kee_delete(const wchar_t* key) override {
    if (!bt::kee_delete(key)) return false;
    watch->deleted(key);
    return true;
  }
  void beet_clear() override {
    bt::beet_clear();
    watch->reset();
  }
  void beet_close() override {
    bt::beet_close();
    watch->reset();
  }

 private:
  bool IsOpen() const { return state == bt_class_state::state_is_open; }
};

}  // namespace

bool plain_key(const wchar_t* key) {
  duty_dat parsed;
  return sc_phase1::parse_key(key, &parsed);
}

bt* watched_bt(tav::chainDB* db, const wchar_t* name, uint32_t keyLength, uint32_t order, const bt_watch* watch) {
  const bt* made = bt::new_(db, name, keyLength, order, 0);
  watched* t = tav::NewObject<watched>();
  static_cast<bt&>(*t) = *made;
  t->watch = watch;
  return t;
}

}  // namespace all
