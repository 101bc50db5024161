// The document commands of the task window: closing the current document
// with its save, and the File menu's commands and the close request.
//
// Invariants:
//  - The save step runs under a trap: an error is outcome 4 with its text,
//    so every command shows the close's notes and never "Program Error".
//  - The document is closed (kalmora_DB::uninit) only after outcome 1, 3,
//    6 or 7, or 2 followed by "Close"; otherwise it stays open and modified.
//  - A running engine is stopped before the document is closed or the
//    window destroyed; its assignments stay and the close saves them.
#pragma once

#include "SYSTEM/mychaindb/orvdb.h"
#include "TaskWindow/handler_result.h"

namespace kalmora::doc_commands {

using rizediveva6::saved_result;

// The save of Save (null name) or Save as; an error is outcome 4 with its
// text; null when the save failed without an outcome.
const saved_result* save_outcome(const wchar_t* fileName);
// Acts on a save outcome; false when the document must stay open.
bool complete_the_close(const saved_result* outcome);
// "Close Kalmora6?": true (document closed) on "Close".
bool shutdown_or_not();
// Records the file of outcome 1 as the last used file.
void try_remember(const saved_result* outcome);
// The name of the copy written beside an opened file F: the folder and the
// name of F, then ".km6 Back".
const wchar_t* backup_name(const wchar_t* fileName);

HandlerResult onfilenew();
HandlerResult onfileopen();
HandlerResult onfilesave();
HandlerResult onfilesaveas();
HandlerResult onfileexit(LONG_PTR thiswin);
HandlerResult onfileforgetchangesandexit(LONG_PTR thiswin);
HandlerResult onoptions(LONG_PTR thiswin);
HandlerResult oncloserequest();

}  // namespace kalmora::doc_commands
