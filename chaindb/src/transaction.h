// Transactions on shared database files: byte-range locks on the lock area
// behind the header (a gate byte, then 255 reader slots), a retry budget per
// begin, the first load of the tables and their reload by change stamps.
#pragma once

#include "db.h"

namespace chainDB::detail {

// Raises 1304 through the caller when the first load closed the file.
void BeginTransaction(FILEDESCR* d, uint8_t mode);
void EndTransaction(FILEDESCR* d);
void SetRetry(FILEDESCR* d, int32_t delay, int32_t count);

}  // namespace chainDB::detail
