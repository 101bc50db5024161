// The command tree's handler closures, shared by the units that make the
// panes and that give the panes back their handlers.
//
// Invariants: one closure per pane handler, static and never changed.
#pragma once

#include "commandtree/comtree.h"

namespace all::comtree_closures {

QEL_KWI::PROLOG_EHANDLER_STRUCT* Title();
QEL_KWI::PROLOG_EHANDLER_STRUCT* Top();
QEL_KWI::PROLOG_EHANDLER_STRUCT* Bottom();
// Paints the top data pane white once it exists.
void BlankTop();

}  // namespace all::comtree_closures
