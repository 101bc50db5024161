// Databases as a whole: create, the opens, close, delete, flush, copy,
// load, garbage collection.  Names are the variant's text (UTF-16 or 8-bit).
#pragma once

#include "db.h"

namespace chainDB::detail {

enum class OpenKind { Open, Read, Invalid };

FILEDESCR* CreateDb(FileName name, uint8_t place);
FILEDESCR* OpenDb(FileName name, uint8_t place, OpenKind kind);
FILEDESCR* OpenShareDb(FileName name, uint8_t accessMode, uint8_t denyMode);
void CloseDb(FILEDESCR* d);
void DeleteDb(FileName name, uint8_t place);
void CopyDb(FILEDESCR* d, FileName name, uint8_t place);
void LoadDb(FileName file, FileName memory);
void FlushDb(FILEDESCR* d);
void GarbageCollectDb(FILEDESCR* d);
// Reads and checks the header and tables of an open file (1111, 1317, 1326).
void ReadDatabase(FILEDESCR* d, bool invalidOk);
// The internal place of the program's place byte; 1315 for others.
uint8_t InternalPlace(uint8_t place);

// Hooks of the B+tree part: copying trees into a new database (a repairing
// Copy passes the references it kept: entries naming others are dropped)
// and releasing a memory database's nodes.
extern void (*g_copyTrees)(FILEDESCR* from, FILEDESCR* to, const RefSet* live);

}  // namespace chainDB::detail
