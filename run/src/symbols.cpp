// The runtime's symbol table: one instance of each text, so that equal
// symbols share one pointer.  The kernel's table, created on first use; the
// pointer to it lives in this module's static data, which the collector scans.
#include "runtime.h"

namespace Qel::RunTime::detail {

// Created on first use without a guarded static: a raise from the creation
// leaves nothing half-done, and of two threads racing the first one's table
// is kept.
static Memory::RBinTree* volatile g_table;

static Memory::RBinTree* Table() {
  if (Memory::RBinTree* t = g_table) return t;
  Memory::RBinTree* created = Memory::CreateSymbolsTable();
  if (!created) Errors::RunTimeError(206, 0u, 0u);
  void* before = InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(&g_table),
                                                   created, nullptr);
  return before ? static_cast<Memory::RBinTree*>(before) : created;
}

const wchar_t* InternSymbol(const wchar_t* text, bool copy) {
  return Table()->Insert(text ? text : L"", copy);
}

}  // namespace Qel::RunTime::detail

namespace Qel::RunTime {

const wchar_t* Insert2SymbolTable(const wchar_t* text) { return detail::InternSymbol(text, true); }

}  // namespace Qel::RunTime
