// The stores' common open state.
#include "kalmoradb/store_state.h"

#include "SYSTEM/myKWI/myKWI.h"

namespace all {

tav::chainDB* store_state::db() const {
  if (!xdb) tav::K::Errors::RunTimeError(329, L"xdb", store);
  return xdb;
}

void store_state::is_initialised() const {
  if (!boo_init) rizediveva6::myKWI::note(note);
}

}  // namespace all
