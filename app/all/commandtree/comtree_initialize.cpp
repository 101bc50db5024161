// comtree: initialize, alone in its unit so that a test program may link a
// stand-in of its own in its place.
#include "commandtree/comtree.h"
#include "kalmoradb/kalmora_DB.h"

namespace all {

void comtree::initialize() {
  const wchar_t* file = nullptr;
  if (!kalmora_DB::get_file(&file)) return;
  delete_cal(1);
  delete_liboxes();
  taskWindow::set_title();
  rebuild_com_tree(true);
}

}  // namespace all
