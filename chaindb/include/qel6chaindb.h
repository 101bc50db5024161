// qel6chaindb: chain databases.  Named chains of stored terms and named
// B+tree indexes in one file or in memory, in a wide-string family
// (`chainDB`, handles are FILEDESCR**) and an 8-bit family (`chainDB8`,
// databases named by a one-byte selector).
//
// Exports that can give no solution fail through the kernel (Run_Fail);
// errors are raised through the kernel and never return.  The
// nondeterministic exports hand each solution to the caller's continuation
// under a backtrack point: when the continuation fails, the next solution
// is handed on; when it returns, the export returns.  Terms, strings and
// binaries handed out live on the caller's global stack.
#pragma once

#include <cstdint>

#include "qel6run.h"

#ifdef QEL6CHAINDB_BUILD
// The export list decides what the DLL exports (see exports.txt).
#define QEL_CHAINDB_API
#else
#define QEL_CHAINDB_API __declspec(dllimport)
#endif

namespace chainDB {

struct FILEDESCR;
using Qel::RunTime::Terms::IDomainDefinition;
using term = const uint8_t*;
// A stored term's reference: block | slot << 16, 0 = none.
using TRef = int32_t;
// Place bytes: 1 in memory, 2 in a file.
constexpr uint8_t kInMemory = 1, kInFile = 2;

using TNameContinuation = void (*)(void* context, const wchar_t* name);
using TTermContinuation = void (*)(void* context, term t, TRef ref);

QEL_CHAINDB_API void QEL_DB_Create(FILEDESCR*** handle, const wchar_t* name, const uint8_t* place);
QEL_CHAINDB_API void QEL_DB_Open(FILEDESCR*** handle, const wchar_t* name, const uint8_t* place);
QEL_CHAINDB_API void QEL_DB_OpenRead(FILEDESCR*** handle, const wchar_t* name, const uint8_t* place);
QEL_CHAINDB_API void QEL_DB_OpenInvalid(FILEDESCR*** handle, const wchar_t* name, const uint8_t* place);
QEL_CHAINDB_API void QEL_DB_OpenShare(FILEDESCR*** handle, const wchar_t* name, const uint8_t* accessMode,
                                      const uint8_t* denyMode);
QEL_CHAINDB_API void QEL_DB_Load(const wchar_t* fileName, const wchar_t* memoryName);
QEL_CHAINDB_API void QEL_DB_Close(FILEDESCR** handle);
QEL_CHAINDB_API void QEL_DB_Delete(const wchar_t* name, const uint8_t* place);
QEL_CHAINDB_API void QEL_DB_Flush(FILEDESCR** handle);
QEL_CHAINDB_API void QEL_DB_Copy(FILEDESCR** handle, const wchar_t* name, const uint8_t* place);
QEL_CHAINDB_API void QEL_DB_GarbageCollect(FILEDESCR** handle);
// Stored terms, memory the open database uses, bytes in use, free space of
// its drive (0 for a memory database; at most 0xFFFFFFFF).
QEL_CHAINDB_API void QEL_DB_Statistics(FILEDESCR** handle, uint32_t* terms, uint32_t* memory, uint32_t* inUse,
                                       uint32_t* freeSpace);
// Transactions on a shared file (mode: 1 read, 2 read-write).
QEL_CHAINDB_API void QEL_DB_BeginTransaction(FILEDESCR** handle, const uint8_t* mode);
QEL_CHAINDB_API void QEL_DB_EndTransaction(FILEDESCR** handle);
QEL_CHAINDB_API void QEL_DB_SetRetry(FILEDESCR** handle, int32_t delay, int32_t count);
QEL_CHAINDB_API void QEL_DB_Chains(FILEDESCR** handle, TNameContinuation next, void* context);
QEL_CHAINDB_API void QEL_DB_Updated(FILEDESCR** handle);
QEL_CHAINDB_API TRef QEL_DB_ChainInserta(const IDomainDefinition* domain, FILEDESCR** handle,
                                         const wchar_t* chain, term t);
QEL_CHAINDB_API TRef QEL_DB_ChainInsertz(const IDomainDefinition* domain, FILEDESCR** handle,
                                         const wchar_t* chain, term t);
QEL_CHAINDB_API TRef QEL_DB_ChainInsertAfter(const IDomainDefinition* domain, FILEDESCR** handle,
                                             const wchar_t* chain, TRef after, term t);
QEL_CHAINDB_API term QEL_DB_RefTerm(const IDomainDefinition* domain, FILEDESCR** handle, TRef ref);
QEL_CHAINDB_API void QEL_DB_TermReplace(const IDomainDefinition* domain, FILEDESCR** handle, TRef ref,
                                        term t);
QEL_CHAINDB_API void QEL_DB_TermDelete(FILEDESCR** handle, const wchar_t* chain, TRef ref);
QEL_CHAINDB_API void QEL_DB_ChainDelete(FILEDESCR** handle, const wchar_t* chain);
QEL_CHAINDB_API void QEL_DB_ChainTerms(const IDomainDefinition* domain, FILEDESCR** handle,
                                       const wchar_t* chain, TTermContinuation next, void* context);
QEL_CHAINDB_API TRef QEL_DB_ChainFirst(FILEDESCR** handle, const wchar_t* chain);
QEL_CHAINDB_API TRef QEL_DB_ChainLast(FILEDESCR** handle, const wchar_t* chain);
QEL_CHAINDB_API TRef QEL_DB_ChainNext(FILEDESCR** handle, TRef ref);
QEL_CHAINDB_API TRef QEL_DB_ChainPrev(FILEDESCR** handle, TRef ref);
QEL_CHAINDB_API void QEL_DB_ReUseRef(FILEDESCR** handle, bool reuse);
QEL_CHAINDB_API void QEL_DB_BTrees(FILEDESCR** handle, TNameContinuation next, void* context);
QEL_CHAINDB_API void QEL_DB_BtUpdated(FILEDESCR** handle, int32_t selector);
QEL_CHAINDB_API void QEL_DB_BtCreate6(FILEDESCR** handle, const wchar_t* name, int32_t* selector,
                                      int32_t keyLength, int32_t order, bool duplicates);
QEL_CHAINDB_API void QEL_DB_BtCreate5(FILEDESCR** handle, const wchar_t* name, int32_t* selector,
                                      int32_t keyLength, int32_t order);
QEL_CHAINDB_API void QEL_DB_BtOpen(FILEDESCR** handle, const wchar_t* name, int32_t* selector);
QEL_CHAINDB_API void QEL_DB_BtClose(FILEDESCR** handle, int32_t selector);
QEL_CHAINDB_API void QEL_DB_BtCopySelector(FILEDESCR** handle, int32_t selector, int32_t* copy);
QEL_CHAINDB_API void QEL_DB_BtDelete(FILEDESCR** handle, const wchar_t* name);
QEL_CHAINDB_API void QEL_DB_BtStatistics(FILEDESCR** handle, int32_t selector, uint32_t* keys, uint32_t* nodes,
                                         uint32_t* depth, uint32_t* keyLength, uint32_t* order,
                                         uint32_t* nodeSize);
QEL_CHAINDB_API void QEL_DB_KeyInsert(FILEDESCR** handle, int32_t selector, const wchar_t* key, TRef ref);
QEL_CHAINDB_API void QEL_DB_KeyDelete(FILEDESCR** handle, int32_t selector, const wchar_t* key, TRef ref);
QEL_CHAINDB_API void QEL_DB_KeySearch_i(FILEDESCR** handle, int32_t selector, const wchar_t* key, TRef ref);
QEL_CHAINDB_API void QEL_DB_KeySearch_o(FILEDESCR** handle, int32_t selector, const wchar_t* key, TRef* ref);
QEL_CHAINDB_API void QEL_DB_KeyFirst(FILEDESCR** handle, int32_t selector, TRef* ref);
QEL_CHAINDB_API void QEL_DB_KeyLast(FILEDESCR** handle, int32_t selector, TRef* ref);
QEL_CHAINDB_API void QEL_DB_KeyNext(FILEDESCR** handle, int32_t selector, TRef* ref);
QEL_CHAINDB_API void QEL_DB_KeyPrev(FILEDESCR** handle, int32_t selector, TRef* ref);
QEL_CHAINDB_API void QEL_DB_KeyCurrent(FILEDESCR** handle, int32_t selector, const wchar_t** key, TRef* ref);

QEL_CHAINDB_API const wchar_t* ConvertRef2Str(TRef ref);
QEL_CHAINDB_API TRef ConvertStr2Ref(const wchar_t* text);

}  // namespace chainDB

namespace chainDB8 {

using chainDB::IDomainDefinition;
using chainDB::term;
using chainDB::TNameContinuation;
using chainDB::TRef;
using chainDB::TTermContinuation;

QEL_CHAINDB_API void QEL_DB8_Create(const uint8_t* selector, const wchar_t* name, const uint8_t* place);
QEL_CHAINDB_API void QEL_DB8_Open(const uint8_t* selector, const wchar_t* name, const uint8_t* place);
QEL_CHAINDB_API void QEL_DB8_OpenRead(const uint8_t* selector, const wchar_t* name, const uint8_t* place);
QEL_CHAINDB_API void QEL_DB8_OpenInvalid(const uint8_t* selector, const wchar_t* name,
                                         const uint8_t* place);
QEL_CHAINDB_API void QEL_DB8_OpenShare(const uint8_t* selector, const wchar_t* name,
                                       const uint8_t* accessMode, const uint8_t* denyMode);
QEL_CHAINDB_API void QEL_DB8_Load(const wchar_t* fileName, const wchar_t* memoryName);
QEL_CHAINDB_API void QEL_DB8_Close(const uint8_t* selector);
QEL_CHAINDB_API void QEL_DB8_Delete(const wchar_t* name, const uint8_t* place);
QEL_CHAINDB_API void QEL_DB8_Flush(const uint8_t* selector);
QEL_CHAINDB_API void QEL_DB8_Copy(const uint8_t* selector, const wchar_t* name, const uint8_t* place);
QEL_CHAINDB_API void QEL_DB8_GarbageCollect(const uint8_t* selector);
QEL_CHAINDB_API void QEL_DB8_Statistics(const uint8_t* selector, uint32_t* terms, uint32_t* memory,
                                        uint32_t* inUse, uint32_t* freeSpace);
QEL_CHAINDB_API void QEL_DB8_BeginTransaction(const uint8_t* selector, const uint8_t* mode);
QEL_CHAINDB_API void QEL_DB8_EndTransaction(const uint8_t* selector);
QEL_CHAINDB_API void QEL_DB8_SetRetry(const uint8_t* selector, int32_t delay, int32_t count);
QEL_CHAINDB_API void QEL_DB8_Chains(const uint8_t* selector, TNameContinuation next, void* context);
QEL_CHAINDB_API void QEL_DB8_Updated(const uint8_t* selector);
QEL_CHAINDB_API TRef QEL_DB8_ChainInserta(const IDomainDefinition* domain, const uint8_t* selector,
                                          const wchar_t* chain, term t);
QEL_CHAINDB_API TRef QEL_DB8_ChainInsertz(const IDomainDefinition* domain, const uint8_t* selector,
                                          const wchar_t* chain, term t);
QEL_CHAINDB_API TRef QEL_DB8_ChainInsertAfter(const IDomainDefinition* domain, const uint8_t* selector,
                                              const wchar_t* chain, TRef after, term t);
QEL_CHAINDB_API term QEL_DB8_RefTerm(const IDomainDefinition* domain, const uint8_t* selector, TRef ref);
QEL_CHAINDB_API void QEL_DB8_TermReplace(const IDomainDefinition* domain, const uint8_t* selector,
                                         TRef ref, term t);
QEL_CHAINDB_API void QEL_DB8_TermDelete(const uint8_t* selector, const wchar_t* chain, TRef ref);
QEL_CHAINDB_API void QEL_DB8_ChainDelete(const uint8_t* selector, const wchar_t* chain);
QEL_CHAINDB_API void QEL_DB8_ChainTerms(const IDomainDefinition* domain, const uint8_t* selector,
                                        const wchar_t* chain, TTermContinuation next, void* context);
QEL_CHAINDB_API TRef QEL_DB8_ChainFirst(const uint8_t* selector, const wchar_t* chain);
QEL_CHAINDB_API TRef QEL_DB8_ChainLast(const uint8_t* selector, const wchar_t* chain);
QEL_CHAINDB_API TRef QEL_DB8_ChainNext(const uint8_t* selector, TRef ref);
QEL_CHAINDB_API TRef QEL_DB8_ChainPrev(const uint8_t* selector, TRef ref);
QEL_CHAINDB_API void QEL_DB8_ReUseRef(const uint8_t* selector, bool reuse);
QEL_CHAINDB_API void QEL_DB8_Btrees(const uint8_t* selector8, TNameContinuation next, void* context);
QEL_CHAINDB_API void QEL_DB8_BtUpdated(const uint8_t* selector8, int32_t selector);
QEL_CHAINDB_API void QEL_DB8_BtCreate6(const uint8_t* selector8, const wchar_t* name, int32_t* selector,
                                      int32_t keyLength, int32_t order, bool duplicates);
QEL_CHAINDB_API void QEL_DB8_BtCreate5(const uint8_t* selector8, const wchar_t* name, int32_t* selector,
                                      int32_t keyLength, int32_t order);
QEL_CHAINDB_API void QEL_DB8_BtOpen(const uint8_t* selector8, const wchar_t* name, int32_t* selector);
QEL_CHAINDB_API void QEL_DB8_BtClose(const uint8_t* selector8, int32_t selector);
QEL_CHAINDB_API void QEL_DB8_BtCopySelector(const uint8_t* selector8, int32_t selector, int32_t* copy);
QEL_CHAINDB_API void QEL_DB8_BtDelete(const uint8_t* selector8, const wchar_t* name);
QEL_CHAINDB_API void QEL_DB8_BtStatistics(const uint8_t* selector8, int32_t selector, uint32_t* keys, uint32_t* nodes,
                                         uint32_t* depth, uint32_t* keyLength, uint32_t* order,
                                         uint32_t* nodeSize);
QEL_CHAINDB_API void QEL_DB8_KeyInsert(const uint8_t* selector8, int32_t selector, const wchar_t* key, TRef ref);
QEL_CHAINDB_API void QEL_DB8_KeyDelete(const uint8_t* selector8, int32_t selector, const wchar_t* key, TRef ref);
QEL_CHAINDB_API void QEL_DB8_KeySearch_i(const uint8_t* selector8, int32_t selector, const wchar_t* key, TRef ref);
QEL_CHAINDB_API void QEL_DB8_KeySearch_o(const uint8_t* selector8, int32_t selector, const wchar_t* key, TRef* ref);
QEL_CHAINDB_API void QEL_DB8_KeyFirst(const uint8_t* selector8, int32_t selector, TRef* ref);
QEL_CHAINDB_API void QEL_DB8_KeyLast(const uint8_t* selector8, int32_t selector, TRef* ref);
QEL_CHAINDB_API void QEL_DB8_KeyNext(const uint8_t* selector8, int32_t selector, TRef* ref);
QEL_CHAINDB_API void QEL_DB8_KeyPrev(const uint8_t* selector8, int32_t selector, TRef* ref);
QEL_CHAINDB_API void QEL_DB8_KeyCurrent(const uint8_t* selector8, int32_t selector, const wchar_t** key, TRef* ref);
QEL_CHAINDB_API void QEL_DB8_SetCodePage(uint32_t codePage);
QEL_CHAINDB_API uint32_t QEL_DB8_GetCodePage();

}  // namespace chainDB8
