// Transactions.
//
// Invariants:
//  - A begin that raises holds no lock afterwards; an end unlocks whatever
//    its flush did (a failed flush leaves the file marked, as a crash does).
//  - Tables are replaced only by a complete, checked set read from the file:
//    a header or table that fails the checks leaves the old tables.
#include "transaction.h"

#include <cstring>
#include <utility>

#include "btree.h"
#include "database.h"
#include "qel6kernel.h"
#include "qel6run_lib.h"

namespace chainDB::detail {

using Qel::RunTime::Kernel::RunTrapped;
namespace Errors = Qel::RunTime::Kernel::Errors;

namespace {

constexpr uint32_t kReaderSlots = 255;

uint32_t Gate(const FILEDESCR* d) { return HeaderSize(d); }
uint32_t Slot(const FILEDESCR* d, uint32_t s) { return HeaderSize(d) + 1 + s; }

// Tries `attempt` under the retry rule: each failure sleeps one delay and
// uses one unit of the budget; a budget of 0 makes no try.
template <class F>
bool Wait(FILEDESCR* d, uint32_t* budget, F&& attempt) {
  if (*budget == 0) return false;
  for (;;) {
    if (attempt()) return true;
    SleepTicks(d->retryDelay);
    if (--*budget == 0) return false;
  }
}

void UnlockSlots(FILEDESCR* d) {
  if (d->readTransaction)
    FileUnlock(d->fileHandle, Slot(d, d->readerSlot), 1);
  else
    FileUnlock(d->fileHandle, Slot(d, 0), kReaderSlots);
}

// Reads the header; when another process changed the file, reloads every
// table from it (checked) and takes the new state over.
void Refresh(FILEDESCR* d) {
  uint8_t header[kWideHeader];
  FileReadAt(d->fileHandle, 0, header, HeaderSize(d));
  FILEDESCR s = *d;
  DecodeHeader(&s, header);
  if (s.updateMark) Raise(1317);
  if (s.headerStamp == d->headerStamp) return;
  s = *d;
  ReadDatabase(&s, false);
  d->updated = 1;
  d->endOfFile = s.endOfFile;
  ReloadTrees(d, s.btrees.table);
  for (auto [group, fresh] : {std::pair{&d->chains, &s.chains}, {&d->chainNames, &s.chainNames},
                              {&d->refs, &s.refs}, {&d->freeSpace, &s.freeSpace},
                              {&d->btrees, &s.btrees}, {&d->btreeNames, &s.btreeNames}}) {
    *group = *fresh;
    group->dirty = 0;
  }
  d->headerStamp = s.headerStamp;
  d->refPaged = s.refPaged;
  d->refBlock = s.refBlock;
  d->refSlot = s.refSlot;
  d->refBlockPosition = s.refBlockPosition;
  d->freeRefHead = s.freeRefHead;
  d->termCount = s.termCount;
  d->bytesInUse = s.bytesInUse;
  d->freeChainHead = s.freeChainHead;
  d->freeBtreeHead = s.freeBtreeHead;
  d->topClass = s.topClass;
  d->endOfFile = s.endOfFile;
  d->noRefReuse = s.noRefReuse;
  d->cachedRef = kNoRef;
}

// The first transaction of a shared open: the header and every table.
void FirstLoad(FILEDESCR* d) {
  if (!IsFile(d)) Raise(1315);
  uint32_t code = RunTrapped([&] { ReadDatabase(d, false); });
  if (!code) {
    d->tablesLoaded = 1;
    return;
  }
  // The header read over the descriptor says "loaded": nothing is, and a
  // Close must not flush the half-read tables.
  d->tablesLoaded = 0;
  if (code == 1326 || (code == 1317 && !d->updateMark)) {
    // Not a database of this format: closed as by Close.
    UnlockSlots(d);
    FileClose(d->fileHandle);
    d->fileHandle = nullptr;
  }
  Errors::Qel_ErrorExit(code);
}

}  // namespace

void SetRetry(FILEDESCR* d, int32_t delay, int32_t count) {
  d->retryDelay = static_cast<uint32_t>(delay < 0 ? 0 : delay);
  d->retryCount = static_cast<uint32_t>(count < 0 ? 0 : count);
}

void BeginTransaction(FILEDESCR* d, uint8_t mode) {
  uint32_t budget = static_cast<int32_t>(d->retryCount) < 0 ? 0 : d->retryCount;
  if (d->accessOpen && !Wait(d, &budget, [&] { return !d->accessOpen; })) Raise(1330);
  if (mode == 2 && d->accessMode == 1) Raise(1328);
  d->readTransaction = mode == 1;
  if (IsFile(d) && d->denyMode != 3) {
    HANDLE h = d->fileHandle;
    if (!Wait(d, &budget, [&] { return FileLock(h, Gate(d), 1); })) Raise(1332);
    bool held;
    if (d->readTransaction) {
      uint32_t s = static_cast<uint32_t>(QelMath::Random_1(kReaderSlots));
      held = Wait(d, &budget, [&] {
        if (FileLock(h, Slot(d, s), 1)) return true;
        s = (s + 1) % kReaderSlots;
        return false;
      });
      d->readerSlot = static_cast<uint8_t>(s);
    } else {
      held = Wait(d, &budget, [&] { return FileLock(h, Slot(d, 0), kReaderSlots); });
    }
    FileUnlock(h, Gate(d), 1);
    if (!held) Raise(1332);
    uint32_t code = RunTrapped([&] {
      if (!d->tablesLoaded) FirstLoad(d);
      else Refresh(d);
    });
    if (code) {
      // Nothing stays locked after a failed begin.
      if (d->fileHandle) RunTrapped([&] { UnlockSlots(d); });
      Errors::Qel_ErrorExit(code);
    }
  } else if (!d->tablesLoaded) {
    FirstLoad(d);
  }
  d->accessOpen = 1;
}

void EndTransaction(FILEDESCR* d) {
  if (!d->accessOpen) Raise(1327);
  d->accessOpen = 0;
  if (!IsFile(d) || d->denyMode == 3) return;
  uint32_t code = 0;
  if (!d->readTransaction && d->updateMark) code = RunTrapped([&] { Flush(d); });
  UnlockSlots(d);
  ClearTreeUpdates(d);
  if (code) Errors::Qel_ErrorExit(code);
}

}  // namespace chainDB::detail
