// The recorder's engine entry: any registered engine is retracted, then a
// new one is created, registered and run.
#include "commandtree/comtree.h"
#include "comtree_recorder.h"
#include "kalmoradb/sc_engine.h"

void all::comtree::run_engine(engine_mode mode) {
  alltest::ComtreeCalls().push_back({L"run_engine", 0, mode == engine_mode::run ? L"run" : L"force_fill"});
  retract_engine();
  sc_engine* engine = sc_engine::new_engine();
  alltest::RegisteredEngine() = engine;
  engine->fill_empties(mode == engine_mode::force_fill);
}
