// Recorder: the tree view's callback with the message's kind number.
#include <string>

#include "commandtree/comtree.h"
#include "comtree_recorder.h"

void all::comtree::_comm_cb(LONG_PTR, const tav::TreeMessage* message) {
  alltest::ComtreeCalls().push_back({L"_comm_cb", 0, std::to_wstring(static_cast<uint64_t>(message->kind))});
}
