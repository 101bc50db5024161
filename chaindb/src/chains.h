// Chains of stored terms: named, doubly linked lists of term records
// {u32 size, u32 previous, u32 next, image}.  Every check of an operation
// runs before its first change.
#pragma once

#include "db.h"
#include "qel6run.h"

namespace chainDB::detail {

using Qel::RunTime::Terms::IDomainDefinition;
using term = const uint8_t*;

// The process-wide code page of the 8-bit variant.
extern uint32_t g_codePage8;

Ref ChainInsertFront(FILEDESCR* d, const IDomainDefinition* dom, const void* chain, term t);
Ref ChainInsertEnd(FILEDESCR* d, const IDomainDefinition* dom, const void* chain, term t);
Ref ChainInsertAfter(FILEDESCR* d, const IDomainDefinition* dom, const void* chain, Ref a, term t);
term RefTerm(FILEDESCR* d, const IDomainDefinition* dom, Ref r);
void TermReplace(FILEDESCR* d, const IDomainDefinition* dom, Ref r, term t);
void TermDelete(FILEDESCR* d, const void* chain, Ref r);
// False for an unknown or empty chain.
bool ChainDelete(FILEDESCR* d, const void* chain);
Ref ChainFirst(FILEDESCR* d, const void* chain);  // kNoRef: none
Ref ChainLast(FILEDESCR* d, const void* chain);
Ref ChainNext(FILEDESCR* d, Ref r);
Ref ChainPrev(FILEDESCR* d, Ref r);
// The chain number of a name, or -1.
int64_t ChainIndex(FILEDESCR* d, const void* chain);
// The record head {size, previous, next} of a live reference (cached);
// returns its position.  1319 for a size below 12 or past the end.
Pos RecordHead(FILEDESCR* d, Ref r, uint32_t head[3]);
// The record image as a binary on the global stack.
uint8_t* RecordImage(FILEDESCR* d, Ref r);
// Writes a record: head {size, previous, next} and image.
void WriteRecord(FILEDESCR* d, Pos p, const uint32_t head[3], const uint8_t* image, uint32_t length);

}  // namespace chainDB::detail
