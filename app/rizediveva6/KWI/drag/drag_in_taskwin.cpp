// The task window's drag item: see the header.
#include "KWI/drag/drag_in_taskwin.h"

#include "SYSTEM/myKWI/myKWI.h"

namespace rizediveva6 {

const tav::ClassInfo drag_in_taskwin::classInfo{L"qel6pack/drag/drag_in_taskwin", L"0"};

namespace {

// db_drag_item: static data, which the collector scans.
struct Held {
  bool present;
  drag_item item;
};
Held g_held{};
Held* held() { return &g_held; }

}  // namespace

void drag_in_taskwin::set_dragging_item(const drag_item& item) {
  *held() = {true, {item.source, item.box, tav::HeapCopy(item.sourceClass), tav::HeapCopy(item.key)}};
}

bool drag_in_taskwin::drop_dragging_item(drag_item* item) {
  Held* h = held();
  if (!h->present) return false;
  *item = h->item;
  h->present = false;
  return true;
}

bool drag_in_taskwin::is_dragging_item() {
  if (!held()->present) return false;
  myKWI::message_write({L"\n", L" dragging"});
  return true;
}

}  // namespace rizediveva6
