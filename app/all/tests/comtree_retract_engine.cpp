// The recorder's engine removal: the registered engine, if any, leaves the
// registry and is stopped.
#include "commandtree/comtree.h"
#include "comtree_recorder.h"
#include "kalmoradb/sc_engine.h"

void all::comtree::retract_engine() {
  alltest::ComtreeCalls().push_back({L"retract_engine", 0, L""});
  sc_engine* engine = alltest::RegisteredEngine();
  if (!engine) return;
  alltest::RegisteredEngine() = nullptr;
  engine->stop_generating();
}
